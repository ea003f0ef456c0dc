#include "platform/Worker.h"

#include <utility>

namespace tessarel {

Worker::~Worker() {
    if (thread_.joinable())
        thread_.join();
}

bool Worker::start(std::function<int()> body) {
    if (isRunning())
        return false;
    if (thread_.joinable())
        thread_.join();
    running_.store(true, std::memory_order_release);
    thread_ = std::thread([this, body = std::move(body)] {
        // No exception may end the process from a worker thread, nor leave it marked running.
        int code = -1;
        try {
            code = body();
        } catch (...) {
        }
        exitCode_.store(code);
        {
            std::lock_guard lock(mutex_);
            running_.store(false, std::memory_order_release);
        }
        ended_.notify_all();
    });
    return true;
}

void Worker::waitForEnd() {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [this] { return !isRunning(); });
}

} // namespace tessarel
