#include "platform/Worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>

namespace tessarel {
namespace {

TEST(Worker, RefusesASecondStartWhileRunningAndReportsTheExitCode) {
    Worker worker;
    std::promise<void> release;
    auto released = release.get_future().share();
    ASSERT_TRUE(worker.start([released] {
        released.wait();
        return 7;
    }));
    EXPECT_TRUE(worker.isRunning());
    EXPECT_FALSE(worker.start([] { return 0; }));
    release.set_value();
    worker.waitForEnd();
    EXPECT_FALSE(worker.isRunning());
    EXPECT_EQ(worker.exitCode(), 7);
    EXPECT_TRUE(worker.start([] { return 3; }));
    worker.waitForEnd();
    EXPECT_EQ(worker.exitCode(), 3);
}

TEST(Worker, ABodyThatThrowsEndsItsRunAndNotTheProcess) {
    Worker worker;
    ASSERT_TRUE(worker.start([]() -> int { throw std::runtime_error("lost"); }));
    worker.waitForEnd();
    EXPECT_FALSE(worker.isRunning());
    EXPECT_EQ(worker.exitCode(), -1);
    EXPECT_TRUE(worker.start([] { return 0; }));
    worker.waitForEnd();
    EXPECT_EQ(worker.exitCode(), 0);
}

TEST(Worker, DestructionWaitsForTheRunningThread) {
    std::atomic<bool> finished{false};
    {
        Worker worker;
        worker.start([&finished] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
            return 0;
        });
    }
    EXPECT_TRUE(finished);
}

} // namespace
} // namespace tessarel

#include "platform/Clock.h"

namespace tessarel {
namespace {

TEST(Clock, CountsWallTimeNotProcessorTime) {
    // A search that waits costs no processor time; its elapsed time must still show.
    const auto start = ElapsedMilliseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_GE(ElapsedMilliseconds() - start, 55);
}

} // namespace
} // namespace tessarel
