#include "platform/dispatch/dispatch.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {
class DispatchTimingTest : public ::testing::Test {
protected:
    ManualClock clock_{1400000000};
};

dispatch_time_t inSeconds(double seconds) {
    return dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(seconds * NSEC_PER_SEC));
}
} // namespace

TEST_F(DispatchTimingTest, DispatchTimesAreOnThePlatformClock) {
    const dispatch_time_t now = dispatch_time(DISPATCH_TIME_NOW, 0);
    clock_.advance(2);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, 0) - now, 2 * NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, 5), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_walltime_seconds(1400000002 + 10, 0) - dispatch_time(DISPATCH_TIME_NOW, 0), 10 * NSEC_PER_SEC);
}

TEST_F(DispatchTimingTest, AfterFiresOnAdvanceInDueOrder) {
    std::vector<std::string> fired;
    dispatch_after(inSeconds(1800), dispatch_get_main_queue(), [&] { fired.push_back("1800"); });
    dispatch_after(inSeconds(2), dispatch_get_main_queue(), [&] { fired.push_back("2"); });
    drainMain();
    clock_.advance(1.5);
    EXPECT_TRUE(fired.empty());
    clock_.advance(1798.5);
    EXPECT_EQ(fired, (std::vector<std::string>{"2", "1800"}));
}

TEST_F(DispatchTimingTest, AfterNowRunsWithoutAnAdvance) {
    bool ran = false;
    dispatch_after(DISPATCH_TIME_NOW, dispatch_get_main_queue(), [&] { ran = true; });
    EXPECT_TRUE(runMainUntil([&] { return ran; }));
}

TEST_F(DispatchTimingTest, AfterOnAGlobalQueueHopsToTheMainQueue) {
    bool done = false;
    dispatch_after(inSeconds(1800), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [&] { dispatch_async(dispatch_get_main_queue(), [&] { done = true; }); });
    clock_.advance(1799);
    EXPECT_FALSE(done);
    PlatformClock::advance(1);
    EXPECT_TRUE(runMainUntil([&] { return done; }));
}

TEST_F(DispatchTimingTest, TimerSourceStartsSuspendedAndFiresEachInterval) {
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    int fired = 0;
    dispatch_source_set_event_handler(source, [&] { ++fired; });
    dispatch_source_set_timer(source, inSeconds(1800), 1800 * NSEC_PER_SEC, NSEC_PER_SEC);
    clock_.advance(1800);
    EXPECT_EQ(fired, 0); // still suspended
    dispatch_resume(source);
    drainMain();
    EXPECT_EQ(fired, 1); // the missed start fires once on resume
    clock_.advance(1799);
    EXPECT_EQ(fired, 1);
    clock_.advance(1);
    EXPECT_EQ(fired, 2);
    clock_.advance(18000); // far behind: once, not ten times
    EXPECT_EQ(fired, 3);
    clock_.advance(1800);
    EXPECT_EQ(fired, 4);
    dispatch_source_cancel(source);
}

TEST_F(DispatchTimingTest, TimerSourceThatFellBehindKeepsItsSchedule) {
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    int fired = 0;
    dispatch_source_set_event_handler(source, [&] { ++fired; });
    dispatch_source_set_timer(source, inSeconds(10), 10 * NSEC_PER_SEC, 0);
    dispatch_resume(source);
    clock_.advance(35); // due at 10, 20 and 30: one event; the schedule goes on at 40
    EXPECT_EQ(fired, 1);
    clock_.advance(4);
    EXPECT_EQ(fired, 1);
    clock_.advance(1);
    EXPECT_EQ(fired, 2);
    dispatch_source_cancel(source);
}

TEST_F(DispatchTimingTest, TimerSourceSuspendNestsAndCancelRunsTheCancelHandlerOnce) {
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    int fired = 0;
    int cancelled = 0;
    dispatch_source_set_event_handler(source, [&] { ++fired; });
    dispatch_source_set_cancel_handler(source, [&] { ++cancelled; });
    dispatch_source_set_timer(source, inSeconds(1), NSEC_PER_SEC, 0);
    dispatch_resume(source);
    clock_.advance(1);
    EXPECT_EQ(fired, 1);
    dispatch_suspend(source);
    dispatch_suspend(source);
    clock_.advance(1);
    dispatch_resume(source);
    clock_.advance(1);
    EXPECT_EQ(fired, 1);
    dispatch_resume(source);
    drainMain();
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(dispatch_source_testcancel(source), 0);
    dispatch_source_cancel(source);
    dispatch_source_cancel(source);
    EXPECT_NE(dispatch_source_testcancel(source), 0);
    clock_.advance(10);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(cancelled, 1);
}

TEST_F(DispatchTimingTest, TimerSourceOnAGlobalQueueFollowsTheManualClock) {
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0,
                                         dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0));
    auto tick = dispatch_semaphore_create(0);
    std::atomic<int> fired{0};
    dispatch_source_set_event_handler(source, [&] {
        ++fired;
        dispatch_semaphore_signal(tick);
    });
    dispatch_source_set_timer(source, DISPATCH_TIME_NOW, 1800 * NSEC_PER_SEC, 0);
    dispatch_resume(source);
    EXPECT_EQ(dispatch_semaphore_wait(tick, DISPATCH_TIME_FOREVER), 0);
    clock_.advance(1800);
    EXPECT_EQ(dispatch_semaphore_wait(tick, DISPATCH_TIME_FOREVER), 0);
    EXPECT_EQ(fired.load(), 2);
    dispatch_source_cancel(source);
}

TEST_F(DispatchTimingTest, OneShotTimerSourceFiresOnce) {
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    int fired = 0;
    dispatch_source_set_event_handler(source, [&] { ++fired; });
    dispatch_source_set_timer(source, inSeconds(5), DISPATCH_TIME_FOREVER, 0);
    dispatch_resume(source);
    clock_.advance(5);
    clock_.advance(500);
    EXPECT_EQ(fired, 1);
}

TEST_F(DispatchTimingTest, SemaphoreAndGroupWaitsEndWhenTheManualClockPassesTheirTimeOut) {
    auto semaphore = dispatch_semaphore_create(0);
    auto group = dispatch_group_create();
    dispatch_group_enter(group);
    // Deadlines fixed before the waiter starts: one advance passes them whenever it waits.
    const dispatch_time_t deadline = inSeconds(60);
    long semaphoreResult = -1;
    long groupResult = -1;
    std::thread waiter([&] {
        semaphoreResult = dispatch_semaphore_wait(semaphore, deadline);
        groupResult = dispatch_group_wait(group, deadline);
    });
    PlatformClock::advance(60);
    waiter.join();
    EXPECT_NE(semaphoreResult, 0);
    EXPECT_NE(groupResult, 0);
    dispatch_group_leave(group);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
}

TEST_F(DispatchTimingTest, EventQueuedBeforeASuspendIsDeliveredOnResume) {
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    int fired = 0;
    dispatch_source_set_event_handler(source, [&] { ++fired; });
    dispatch_source_set_timer(source, inSeconds(10), 10 * NSEC_PER_SEC, 0);
    dispatch_resume(source);
    PlatformClock::advance(10); // the event is on the main queue, not yet run
    dispatch_suspend(source);
    drainMain();
    EXPECT_EQ(fired, 0);
    dispatch_resume(source);
    drainMain();
    EXPECT_EQ(fired, 1);
    dispatch_source_cancel(source);
}

TEST_F(DispatchTimingTest, FarOffTimesDoNotOverflow) {
    bool ran = false;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, INT64_MAX), dispatch_get_main_queue(), [&] { ran = true; });
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    dispatch_source_set_event_handler(source, [&] { ran = true; });
    dispatch_source_set_timer(source, DISPATCH_TIME_FOREVER - 2, DISPATCH_TIME_FOREVER - 2, 0);
    dispatch_resume(source);
    clock_.advance(365.0 * 24 * 3600);
    EXPECT_FALSE(ran);
    dispatch_source_cancel(source);
}

// Without memory for the timer thread's stack a timer still fires on the stepped clock, and the
// process goes on.
TEST_F(DispatchTimingTest, TimersWaitForTheClockWhenNoTimerThreadCanBeStarted) {
    if (!addressSpaceCanBeLimited()) GTEST_SKIP() << "the sanitizers' shadow memory lies beyond any address-space limit";
    constexpr std::size_t kAllowance = 2u << 20;  // less than a thread's stack
    int status = runInChildProcess([&] {
        if (!limitAddressSpace(kAllowance)) return 3;
        bool ran = false;
        dispatch_after(inSeconds(2), dispatch_get_main_queue(), [&] { ran = true; });
        clock_.advance(2);
        drainMain();
        return ran ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}
