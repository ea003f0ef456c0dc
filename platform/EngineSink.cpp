#include "platform/EngineSink.h"

#include <utility>

namespace tessarel {

void QueuedEngineSink::post(std::uint32_t message, std::u16string payload) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({message, std::move(payload)});
    }
    ready_.notify_all();
}

QueuedEngineSink::Message QueuedEngineSink::take() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return !queue_.empty(); });
    Message m = std::move(queue_.front());
    queue_.pop_front();
    return m;
}

std::deque<QueuedEngineSink::Message> QueuedEngineSink::drain() {
    std::lock_guard lock(mutex_);
    return std::exchange(queue_, {});
}

} // namespace tessarel
