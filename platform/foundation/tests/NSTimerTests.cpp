#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

namespace {
class NSTimerTest : public ::testing::Test {
protected:
    ManualClock clock_{1400000000};
};
} // namespace

TEST_F(NSTimerTest, TimersFireAtOnceOnAdvanceInTheOrderTheyAreDue) {
    std::vector<std::string> fired;
    NSTimer::scheduledTimerWithTimeInterval(1800, false, [&](const auto&) { fired.push_back("1800"); });
    NSTimer::scheduledTimerWithTimeInterval(2, false, [&](const auto&) { fired.push_back("2"); });
    drainMain();
    EXPECT_TRUE(fired.empty());
    clock_.advance(1);
    EXPECT_TRUE(fired.empty());
    clock_.advance(1799);
    EXPECT_EQ(fired, (std::vector<std::string>{"2", "1800"}));
}

TEST_F(NSTimerTest, ManualTimeDoesNotFireOnRealTime) {
    bool fired = false;
    NSTimer::scheduledTimerWithTimeInterval(0.001, false, [&](const auto&) { fired = true; });
    NSRunLoop::mainRunLoop()->runOnce(0.05);
    EXPECT_FALSE(fired);
    clock_.advance(0.001);
    EXPECT_TRUE(fired);
}

TEST_F(NSTimerTest, OneShotTimerFiresOnceAndBecomesInvalid) {
    int fired = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(1, false, [&](const auto&) { ++fired; }, Value("info"));
    EXPECT_TRUE(timer->isValid());
    EXPECT_EQ(timer->userInfo(), Value("info"));
    EXPECT_DOUBLE_EQ(timer->fireDate()->timeIntervalSince1970(), 1400000001);
    clock_.advance(1);
    clock_.advance(5);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(NSTimerTest, RepeatingTimerThatFellBehindFiresOnceAndCountsFromNow) {
    int fired = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(2, true, [&](const auto&) { ++fired; });
    clock_.advance(2);
    EXPECT_EQ(fired, 1);
    clock_.advance(2);
    EXPECT_EQ(fired, 2);
    clock_.advance(100); // fifty intervals late: one firing, not a burst
    EXPECT_EQ(fired, 3);
    EXPECT_DOUBLE_EQ(timer->fireDate()->timeIntervalSinceNow(), 2);
    clock_.advance(1.5);
    EXPECT_EQ(fired, 3);
    clock_.advance(0.5);
    EXPECT_EQ(fired, 4);
    timer->invalidate();
}

TEST_F(NSTimerTest, RepeatingTimerThatFellBehindKeepsItsSchedule) {
    int fired = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(2, true, [&](const auto&) { ++fired; });
    clock_.advance(7); // due at 2, 4 and 6: one firing; the schedule goes on at 8
    EXPECT_EQ(fired, 1);
    EXPECT_DOUBLE_EQ(timer->fireDate()->timeIntervalSinceNow(), 1);
    clock_.advance(1);
    EXPECT_EQ(fired, 2);
    timer->invalidate();
}

TEST_F(NSTimerTest, InvalidateFromInsideTheBlockStopsARepeatingTimer) {
    int fired = 0;
    NSTimer::scheduledTimerWithTimeInterval(1, true, [&](const std::shared_ptr<NSTimer>& timer) {
        if (++fired == 3) timer->invalidate();
        EXPECT_EQ(timer->isValid(), fired < 3);
    });
    for (int i = 0; i < 10; ++i) clock_.advance(1);
    EXPECT_EQ(fired, 3);
}

TEST_F(NSTimerTest, SetFireDateMovesTheTimer) {
    int fired = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(10, false, [&](const auto&) { ++fired; });
    timer->setFireDate(NSDate::dateWithTimeIntervalSinceNow(1));
    clock_.advance(1);
    EXPECT_EQ(fired, 1);

    auto later = NSTimer::scheduledTimerWithTimeInterval(1, true, [&](const auto&) { ++fired; });
    later->setFireDate(NSDate::distantFuture());
    clock_.advance(100);
    EXPECT_EQ(fired, 1);
    later->invalidate();
}

TEST_F(NSTimerTest, FireRunsTheBlockNowAndEndsAOneShotTimer) {
    int fired = 0;
    auto oneShot = NSTimer::scheduledTimerWithTimeInterval(10, false, [&](const auto&) { ++fired; });
    oneShot->fire();
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(oneShot->isValid());
    auto repeating = NSTimer::scheduledTimerWithTimeInterval(10, true, [&](const auto&) { ++fired; });
    repeating->fire();
    EXPECT_TRUE(repeating->isValid());
    clock_.advance(10);
    EXPECT_EQ(fired, 3);
    repeating->invalidate();
}

TEST_F(NSTimerTest, TimerWithoutRunLoopNeverFires) {
    int fired = 0;
    auto timer = NSTimer::timerWithTimeInterval(1, false, [&](const auto&) { ++fired; });
    clock_.advance(5);
    EXPECT_EQ(fired, 0);
    NSRunLoop::mainRunLoop()->addTimer(timer);
    drainMain();
    EXPECT_EQ(fired, 1); // already overdue when added
}

TEST_F(NSTimerTest, TimerOnAnotherThreadsLoopFiresOnClockAdvance) {
    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<NSRunLoop> loop;
    int fired = 0;
    std::thread worker([&] {
        auto own = NSRunLoop::currentRunLoop();
        NSTimer::scheduledTimerWithTimeInterval(30, false, [&](const auto&) {
            std::lock_guard<std::mutex> guard(mutex);
            ++fired;
            changed.notify_all();
        });
        {
            std::lock_guard<std::mutex> guard(mutex);
            loop = own;
        }
        changed.notify_all();
        own->run();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return loop != nullptr; });
    }
    PlatformClock::advance(30);
    {
        std::unique_lock<std::mutex> lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return fired == 1; }));
    }
    loop->stop();
    worker.join();
}

TEST(NSTimerRealTimeTest, ARealTimerFiresWhileTheLoopRuns) {
    bool fired = false;
    NSTimer::scheduledTimerWithTimeInterval(0.01, false, [&](const auto&) { fired = true; });
    EXPECT_TRUE(runMainUntil([&] { return fired; }));
}

TEST(NSTimerRealTimeTest, InvalidateFromAnotherThreadBeforeFiring) {
    std::atomic<int> fired{0};
    auto timer = NSTimer::scheduledTimerWithTimeInterval(0.001, true, [&](const auto&) { ++fired; });
    std::thread([&] { timer->invalidate(); }).join();
    int after = fired.load();
    NSRunLoop::mainRunLoop()->runOnce(0.02);
    EXPECT_EQ(fired.load(), after);
    EXPECT_FALSE(timer->isValid());
}
