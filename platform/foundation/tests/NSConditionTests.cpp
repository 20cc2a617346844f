#include "platform/foundation/NSCondition.h"

#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A worker that waits on the condition until a date `seconds` ahead and records the answer.
// Once start() returns the worker is inside its wait: it set `waiting` under the lock, and the
// lock is free again only while it waits.
struct Waiter {
    Waiter(NSCondition& c, double s) : condition(c), seconds(s) {}
    NSCondition& condition;
    double seconds;
    bool waiting = false;
    std::atomic<int> answer{-1};
    std::thread thread;

    void start() {
        thread = std::thread([this] {
            condition.lock();
            waiting = true;
            answer = condition.waitUntilDate(NSDate::dateWithTimeIntervalSinceNow(seconds)) ? 1 : 0;
            condition.unlock();
        });
        while (true) {
            condition.lock();
            bool inWait = waiting;
            condition.unlock();
            if (inWait) return;
            std::this_thread::yield();
        }
    }
    int join() {
        thread.join();
        return answer;
    }
};

} // namespace

TEST(NSConditionTest, ManualClockEndsTheWaitOnlyOnceTheDatePassed) {
    ManualClock clock;
    NSCondition condition;
    Waiter waiter{condition, 2};
    waiter.start();
    clock.advance(1.5);
    // Still waiting: the signal below is what it answers to.
    condition.lock();
    condition.signal();
    condition.unlock();
    EXPECT_EQ(waiter.join(), 1);

    Waiter late{condition, 2};
    late.start();
    clock.advance(2.5);
    EXPECT_EQ(late.join(), 0);
}

TEST(NSConditionTest, DatesAlreadyPastOrMissingDoNotWait) {
    NSCondition condition;
    condition.lock();
    EXPECT_FALSE(condition.waitUntilDate(NSDate::dateWithTimeIntervalSinceNow(-1)));
    EXPECT_FALSE(condition.waitUntilDate(nullptr));
    condition.unlock();
    // The lock is free again after the waits.
    EXPECT_TRUE(condition.tryLock());
    condition.unlock();
}

TEST(NSConditionTest, SignalOnTheRealClockEndsAFarWait) {
    NSCondition condition;
    Waiter waiter{condition, 600};
    waiter.start();
    condition.lock();
    condition.signal();
    condition.unlock();
    EXPECT_EQ(waiter.join(), 1);
}

TEST(NSConditionTest, ASignalWithNobodyWaitingIsNotKeptForTheNextWait) {
    ManualClock clock;
    NSCondition condition;
    condition.lock();
    condition.signal();
    condition.unlock();
    Waiter waiter{condition, 1};
    waiter.start();
    clock.advance(1);
    EXPECT_EQ(waiter.join(), 0);
}
