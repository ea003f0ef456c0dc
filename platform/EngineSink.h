#pragma once
// What worker threads post to the main window. The message numbers are fixed values, so that a
// test, a log and a debugger name each message the same way.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace tessarel {

enum EngineMessage : std::uint32_t {
    WM_ENGINE_STATUS = 32784,
    WM_SEARCH_DONE = 32785,
    WM_SEARCH_WAITING = 32786,
    WM_READING_DONE = 32787,
};

class EngineSink {
public:
    virtual ~EngineSink() = default;
    // Called from worker threads; must not block for long. The payload (a status text for
    // WM_ENGINE_STATUS, empty otherwise) is a copy, so the sender may overwrite its buffer at once.
    virtual void post(std::uint32_t message, std::u16string payload) = 0;
};

// A thread-safe queue of posted messages: the CLI's sink and the tests'.
class QueuedEngineSink : public EngineSink {
public:
    struct Message {
        std::uint32_t message;
        std::u16string payload;
    };

    void post(std::uint32_t message, std::u16string payload) override;
    // Blocks until a message arrives.
    Message take();
    // Everything posted so far, oldest first, without waiting.
    std::deque<Message> drain();

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Message> queue_;
};

} // namespace tessarel
