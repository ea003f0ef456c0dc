#include "shell/RunCoordinator.h"

#include <QMetaObject>

#include <memory>
#include <utility>

namespace tessarel {

class RunCoordinator::StampingSink : public EngineSink {
public:
    StampingSink(RunCoordinator& owner, Kind kind) : owner_(owner), kind_(kind) {}

    void post(std::uint32_t message, std::u16string payload) override {
        // Only one worker of a kind runs at a time, and the number changes only between runs, so
        // the number read here is the posting run's own.
        const std::uint64_t serial = owner_.posting_[kind_].load(std::memory_order_acquire);
        RunCoordinator* owner = &owner_;
        const Kind kind = kind_;
        QMetaObject::invokeMethod(
            owner,
            [owner, kind, serial, message, payload = std::move(payload)] {
                owner->deliver(kind, serial, message, payload);
            },
            Qt::QueuedConnection);
        if (owner_.afterPost)
            owner_.afterPost(kind_, message);
    }

private:
    RunCoordinator& owner_;
    Kind kind_;
};

RunCoordinator::RunCoordinator(Handler handler) : handler_(std::move(handler)) {
    sinks_[Reading] = std::make_unique<StampingSink>(*this, Reading);
    sinks_[Search] = std::make_unique<StampingSink>(*this, Search);
}

RunCoordinator::~RunCoordinator() = default;

EngineSink& RunCoordinator::sink(Kind kind) {
    return *sinks_[kind];
}

void RunCoordinator::begin(Kind kind) {
    const std::uint64_t serial = ++lastSerial_;
    posting_[kind].store(serial, std::memory_order_release);
    current_[kind] = serial;
}

void RunCoordinator::overtake(Kind kind) {
    current_[kind] = 0;
}

void RunCoordinator::deliver(Kind kind, std::uint64_t serial, std::uint32_t message,
                             const std::u16string& payload) {
    if (serial == 0 || serial != current_[kind])
        return;
    handler_(kind, message, payload);
}

} // namespace tessarel
