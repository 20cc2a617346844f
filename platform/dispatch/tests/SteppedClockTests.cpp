#include "platform/dispatch/SteppedClock.h"

#include "platform/dispatch/WorkerPool.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSPort.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace {
constexpr double kTolerance = 1e-6;

class SteppedClockTest : public ::testing::Test {
protected:
    ManualClock clock_{1400000000};
    double start_ = PlatformClock::monotonic();
    double elapsed() const { return PlatformClock::monotonic() - start_; }

    // Times since the start at which the links of a chain fired; links on other threads too.
    std::mutex mutex_;
    std::vector<double> fired_;
    void record() {
        std::lock_guard<std::mutex> guard(mutex_);
        fired_.push_back(elapsed());
    }
    std::vector<double> fired() {
        std::lock_guard<std::mutex> guard(mutex_);
        return fired_;
    }

    // A chain of three timers, each started by the one before as it fires, through each keeper of
    // timers in turn: a run-loop timer (0.3 s), then dispatch_after onto a worker (0.5 s), which
    // adds a delayed perform to the main loop (0.2 s).
    void startChain() {
        NSTimer::scheduledTimerWithTimeInterval(0.3, false, [this](const std::shared_ptr<NSTimer>&) {
            record();
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(0.5 * NSEC_PER_SEC)),
                           dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [this] {
                               record();
                               NSRunLoop::mainRunLoop()->performAfterDelay(0.2, [this] { record(); });
                           });
        });
    }
};
} // namespace

// A timer fires at its own time inside a wait, and what it starts counts from then: one long wait
// and many short ones see the same chain at the same times.
TEST_F(SteppedClockTest, AChainOfTimersFiresAtItsOwnTimesWhateverTheWaits) {
    const struct {
        const char* name;
        std::vector<double> waits;
    } cases[] = {
        {"one wait of 1 s", {1}},
        {"ten waits of 0.1 s", std::vector<double>(10, 0.1)},
        {"waits ending on the links", {0.3, 0.5, 0.2}},
    };
    const std::vector<double> expected = {0.3, 0.8, 1.0};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drainMain();
        {
            std::lock_guard<std::mutex> guard(mutex_);
            fired_.clear();
        }
        start_ = PlatformClock::monotonic();
        startChain();
        for (double wait : c.waits) {
            SteppedClock::advance(wait);
            // After each wait exactly the links due by then have fired.
            std::size_t due = 0;
            for (double at : expected) due += at <= elapsed() + kTolerance ? 1 : 0;
            EXPECT_EQ(fired().size(), due) << "at " << elapsed() << " s";
        }
        auto times = fired();
        ASSERT_EQ(times.size(), expected.size());
        for (std::size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(times[i], expected[i], kTolerance) << "link " << i;
        EXPECT_NEAR(elapsed(), 1.0, kTolerance);
    }
}

TEST_F(SteppedClockTest, ARepeatingTimerFiresOncePerIntervalOfAWait) {
    const struct {
        double interval;
        int times;
    } cases[] = {{0.25, 8}, {0.1, 10}, {1.0 / 60, 60}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.interval);
        int ticks = 0;
        auto timer = NSTimer::scheduledTimerWithTimeInterval(c.interval, true, [&](const std::shared_ptr<NSTimer>&) { ++ticks; });
        std::atomic<int> sourceTicks{0};
        auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
        const auto interval = static_cast<std::uint64_t>(std::llround(c.interval * NSEC_PER_SEC));
        dispatch_source_set_timer(source, dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(interval)), interval, 0);
        dispatch_source_set_event_handler(source, [&] { ++sourceTicks; });
        dispatch_resume(source);
        SteppedClock::advance(c.interval * c.times);
        timer->invalidate();
        dispatch_source_cancel(source);
        drainMain();
        EXPECT_EQ(ticks, c.times);
        EXPECT_EQ(sourceTicks.load(), c.times);
    }
}

// Work a timer hands to a worker, and what that worker hands back to the main queue, is done
// before the wait returns and before time moves past the timer.
TEST_F(SteppedClockTest, QueuesFinishBeforeTimeMovesOn) {
    std::vector<double> seen;
    NSRunLoop::mainRunLoop()->performAfterDelay(0.4, [&] {
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
            const double at = elapsed();
            dispatch_async(dispatch_get_main_queue(), [&seen, at] { seen.push_back(at); });
        });
    });
    SteppedClock::advance(5);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NEAR(seen[0], 0.4, kTolerance);
}

// A task waiting on the outside for as long as it takes (a name lookup) does not hold settling up;
// work queued beside it still finishes first, and the task counts again once its wait ends.
TEST_F(SteppedClockTest, SettlingDoesNotWaitForATaskInAnOutsideWait) {
    auto& pool = WorkerPool::shared();
    auto marked = dispatch_semaphore_create(0);
    auto release = dispatch_semaphore_create(0);
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    std::atomic<bool> ended{false};
    dispatch_async(global, [&] {
        pool.beginOutsideWait();
        dispatch_semaphore_signal(marked);
        dispatch_semaphore_wait(release, DISPATCH_TIME_FOREVER);
        pool.endOutsideWait();
        ended = true;
    });
    dispatch_semaphore_wait(marked, DISPATCH_TIME_FOREVER);
    bool besideRan = false;
    dispatch_async(global, [&] { dispatch_async(dispatch_get_main_queue(), [&besideRan] { besideRan = true; }); });
    EXPECT_TRUE(SteppedClock::settle(10));
    EXPECT_TRUE(besideRan);
    EXPECT_FALSE(ended);
    EXPECT_FALSE(pool.isIdle());
    dispatch_semaphore_signal(release);
    EXPECT_TRUE(pool.waitUntilIdle(std::chrono::seconds(10)));
    EXPECT_TRUE(ended);
}

// A sleep keeps to the stepped clock wherever it runs: on a worker and on a service thread's loop
// it ends once the clock has been stepped past its end (an hour of it passes at once), and
// settling does not wait for a sleeper meanwhile; on the main thread, which steps the clock, the
// sleep moves the clock itself.
TEST_F(SteppedClockTest, ASleepEndsByTheSteppedClockNotByWallTime) {
    auto service = std::make_shared<NSThread>([] {
        NSRunLoop::currentRunLoop()->addPort(NSPort::port(), NSDefaultRunLoopMode);
        NSRunLoop::currentRunLoop()->run();
    });
    service->start();
    const struct {
        const char* name;
        std::function<void(std::function<void()>)> run;
    } places[] = {
        {"on a worker", [](std::function<void()> work) { dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), std::move(work)); }},
        {"on a service thread", [&service](std::function<void()> work) { service->performBlock(std::move(work)); }},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.name);
        start_ = PlatformClock::monotonic();
        std::vector<double> wokeAt;
        place.run([&] {
            NSThread::sleepForTimeInterval(3600);
            const double at = elapsed();
            dispatch_async(dispatch_get_main_queue(), [&wokeAt, at] { wokeAt.push_back(at); });
        });
        // Settling lets the work start its sleep, then does not wait for it.
        EXPECT_TRUE(SteppedClock::settle(10));
        SteppedClock::advance(3599);
        EXPECT_TRUE(wokeAt.empty());
        SteppedClock::advance(1);
        ASSERT_EQ(wokeAt.size(), 1u);
        EXPECT_NEAR(wokeAt[0], 3600, kTolerance);
    }
    service->performBlock([] { NSRunLoop::currentRunLoop()->stop(); }, true);
    start_ = PlatformClock::monotonic();
    NSThread::sleepForTimeInterval(2.5);
    EXPECT_NEAR(elapsed(), 2.5, kTolerance);
}
