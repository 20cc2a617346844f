#include "platform/dispatch/WorkerPool.h"
#include "platform/foundation/Sanitizers.h"
#include "platform/dispatch/dispatch.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

TEST(DispatchGroupTest, NotifyRunsOnceAllWorkLeftTheGroup) {
    auto group = dispatch_group_create();
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    std::atomic<int> done{0};
    for (int i = 0; i < 50; ++i) dispatch_group_async(group, global, [&] { ++done; });
    dispatch_group_enter(group);
    int seenByNotify = -1;
    bool notified = false;
    dispatch_group_notify(group, dispatch_get_main_queue(), [&] {
        seenByNotify = done.load();
        notified = true;
    });
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 49);
    drainMain();
    EXPECT_FALSE(notified); // the entered work has not left
    std::thread([&] {
        ++done;
        dispatch_group_leave(group);
    }).join();
    EXPECT_TRUE(runMainUntil([&] { return notified; }));
    EXPECT_EQ(seenByNotify, 51);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
}

TEST(DispatchGroupTest, NotifyOnAnEmptyGroupRunsAtOnce) {
    auto group = dispatch_group_create();
    bool notified = false;
    dispatch_group_notify(group, dispatch_get_main_queue(), [&] { notified = true; });
    drainMain();
    EXPECT_TRUE(notified);
}

TEST(DispatchGroupTest, WaitReturnsWhenTheGroupEmpties) {
    auto group = dispatch_group_create();
    auto release = dispatch_semaphore_create(0);
    std::atomic<bool> finished{false};
    dispatch_group_async(group, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        dispatch_semaphore_wait(release, DISPATCH_TIME_FOREVER);
        finished = true;
    });
    EXPECT_NE(dispatch_group_wait(group, dispatch_time(DISPATCH_TIME_NOW, 10 * NSEC_PER_MSEC)), 0);
    dispatch_semaphore_signal(release);
    EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_FOREVER), 0);
    EXPECT_TRUE(finished);
}

TEST(DispatchSemaphoreTest, CountsSignalsAndTimesOut) {
    EXPECT_EQ(dispatch_semaphore_create(-1), nullptr);
    auto semaphore = dispatch_semaphore_create(2);
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
    EXPECT_NE(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
    EXPECT_NE(dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_MSEC)), 0);
    EXPECT_EQ(dispatch_semaphore_signal(semaphore), 0); // nobody waiting
    EXPECT_EQ(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
}

TEST(DispatchSemaphoreTest, SignalWakesWaitersOnePerSignal) {
    constexpr int kWaiters = 8;
    auto semaphore = dispatch_semaphore_create(0);
    std::atomic<int> through{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i) {
        waiters.emplace_back([&] {
            if (dispatch_semaphore_wait(semaphore, DISPATCH_TIME_FOREVER) == 0) ++through;
        });
    }
    for (int i = 0; i < kWaiters; ++i) dispatch_semaphore_signal(semaphore);
    for (auto& t : waiters) t.join();
    EXPECT_EQ(through.load(), kWaiters);
    EXPECT_NE(dispatch_semaphore_wait(semaphore, DISPATCH_TIME_NOW), 0);
}

TEST(WorkerPoolTest, WaitingForIdleEndsWithTheLastTaskOrTheLimit) {
    auto& pool = WorkerPool::shared();
    ASSERT_TRUE(pool.waitUntilIdle(std::chrono::seconds(5)));
    std::promise<void> release;
    auto released = release.get_future().share();
    std::atomic<int> done{0};
    for (int i = 0; i < 3; ++i)
        pool.submit([released, &done] {
            released.wait();
            ++done;
        });
    EXPECT_FALSE(pool.isIdle());
    EXPECT_FALSE(pool.waitUntilIdle(std::chrono::milliseconds(20)));
    release.set_value();
    EXPECT_TRUE(pool.waitUntilIdle(std::chrono::seconds(30)));
    EXPECT_EQ(done.load(), 3);
    EXPECT_TRUE(pool.isIdle());
}

TEST(DispatchForkTest, AForkedChildRunsQueuesAndTimersOfItsOwn) {
#if TANDREL_THREAD_SANITIZER
    GTEST_SKIP() << "ThreadSanitizer does not support threads in the child of a multi-threaded fork";
#endif
    // The parent's workers and timer thread exist and are busy when it forks.
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    auto warm = dispatch_semaphore_create(0);
    dispatch_async(global, [&] { dispatch_semaphore_signal(warm); });
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 3600 * NSEC_PER_SEC), global, [] {});
    ASSERT_EQ(dispatch_semaphore_wait(warm, DISPATCH_TIME_FOREVER), 0);

    int status = runInChildProcess([] {
        auto done = dispatch_semaphore_create(0);
        auto serial = dispatch_queue_create("com.example.child");
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_MSEC), serial, [&] { dispatch_semaphore_signal(done); });
        });
        return dispatch_semaphore_wait(done, dispatch_time(DISPATCH_TIME_NOW, 30 * NSEC_PER_SEC)) == 0 ? 7 : 1;
    });
    EXPECT_EQ(status, 7);
}
