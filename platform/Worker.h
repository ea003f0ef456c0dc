#pragma once
// A worker thread with the life of its owner: started many times, queried for its running state,
// waited for from any thread, and joined before the owner goes, so a running worker is never
// destroyed under its thread.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tessarel {

class Worker {
public:
    Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker();

    // Starts body on a new thread; false (and nothing happens) while the previous run is going.
    bool start(std::function<int()> body);
    bool isRunning() const { return running_.load(std::memory_order_acquire); }
    // Blocks until the current run (if any) has ended. Safe from any thread but the worker's own.
    void waitForEnd();
    int exitCode() const { return exitCode_.load(); }

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<int> exitCode_{0};
    std::mutex mutex_;
    std::condition_variable ended_;
};

} // namespace tessarel
