#pragma once
// Numbers the reading runs and searches of the window and stamps every message their threads
// post with its run's number, so that the window acts on every message of the newest run and
// drops those of a run that a newer one has overtaken.

#include "platform/EngineSink.h"

#include <QObject>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tessarel {

class RunCoordinator : public QObject {
public:
    enum Kind : int { Reading = 0, Search = 1 };
    // Runs on the UI thread, for messages of the newest run of their kind only.
    using Handler = std::function<void(Kind kind, std::uint32_t message, const std::u16string& payload)>;

    explicit RunCoordinator(Handler handler);
    ~RunCoordinator() override;

    // The sink for the workers of one kind.
    EngineSink& sink(Kind kind);
    // A run of this kind is about to start (none of its kind runs): from now on only its
    // messages are acted on.
    void begin(Kind kind);
    // The run of this kind now going will not be shown: its remaining messages are dropped.
    void overtake(Kind kind);

    // Called on the worker's thread right after each of its messages has been queued; tests hold
    // a worker here, between its last message and its end.
    std::function<void(Kind kind, std::uint32_t message)> afterPost;

private:
    class StampingSink;
    void deliver(Kind kind, std::uint64_t serial, std::uint32_t message, const std::u16string& payload);

    Handler handler_;
    std::array<std::unique_ptr<StampingSink>, 2> sinks_;
    // The number the running worker of each kind stamps on its messages.
    std::array<std::atomic<std::uint64_t>, 2> posting_{};
    // The number whose messages are acted on, on the UI thread; 0 when the run was overtaken.
    std::array<std::uint64_t, 2> current_{};
    std::uint64_t lastSerial_ = 0;
};

} // namespace tessarel
