#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {
// Blocks the caller until `count` signals arrived (or fails the test after a long real time-out).
void waitFor(const dispatch_semaphore_t& semaphore, int count = 1) {
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(dispatch_semaphore_wait(semaphore, dispatch_time(DISPATCH_TIME_NOW, 30 * NSEC_PER_SEC)), 0);
    }
}
} // namespace

TEST(DispatchQueueTest, MainQueueWorkRunsOnlyWhenTheMainLoopIsPumped) {
    std::atomic<bool> ran{false};
    bool onMain = false;
    auto done = dispatch_semaphore_create(0);
    std::thread([&] {
        dispatch_async(dispatch_get_main_queue(), [&] {
            onMain = NSThread::isMainThread();
            ran = true;
        });
        dispatch_semaphore_signal(done);
    }).join();
    waitFor(done);
    EXPECT_FALSE(ran);
    drainMain();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(onMain);
}

TEST(DispatchQueueTest, MainQueueIsTheCurrentQueueOnTheMainThread) {
    EXPECT_EQ(dispatch_get_current_queue(), dispatch_get_main_queue());
    EXPECT_STREQ(dispatch_queue_get_label(dispatch_get_main_queue()), "com.apple.main-thread");
    dispatch_queue_t seen;
    dispatch_async(dispatch_get_main_queue(), [&] { seen = dispatch_get_current_queue(); });
    drainMain();
    EXPECT_EQ(seen, dispatch_get_main_queue());
}

TEST(DispatchQueueTest, SerialQueueKeepsOrderAndNeverOverlaps) {
    constexpr int kBlocks = 2000;
    constexpr int kPosters = 4;
    auto queue = dispatch_queue_create("com.example.serial", DISPATCH_QUEUE_SERIAL);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::vector<int>> seen(kPosters);
    auto done = dispatch_semaphore_create(0);
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p) {
        posters.emplace_back([&, p] {
            for (int i = 0; i < kBlocks; ++i) {
                dispatch_async(queue, [&, p, i] {
                    if (inside.fetch_add(1) != 0) overlapped = true;
                    seen[p].push_back(i); // unsynchronised on purpose: the queue is the lock
                    EXPECT_EQ(dispatch_get_current_queue(), queue);
                    inside.fetch_sub(1);
                    if (i == kBlocks - 1) dispatch_semaphore_signal(done);
                });
            }
        });
    }
    for (auto& t : posters) t.join();
    waitFor(done, kPosters);
    EXPECT_FALSE(overlapped);
    dispatch_sync(queue, [] {});
    for (int p = 0; p < kPosters; ++p) {
        ASSERT_EQ(seen[p].size(), static_cast<std::size_t>(kBlocks));
        EXPECT_TRUE(std::is_sorted(seen[p].begin(), seen[p].end()));
    }
}

TEST(DispatchQueueTest, SyncRunsAfterEarlierAsyncsAndReturnsTheBlocksEffects) {
    auto queue = dispatch_queue_create("com.example.sync");
    std::vector<int> order;
    for (int i = 0; i < 100; ++i) dispatch_async(queue, [&order, i] { order.push_back(i); });
    std::size_t seenInSync = 0;
    dispatch_queue_t current;
    dispatch_sync(queue, [&] {
        seenInSync = order.size();
        current = dispatch_get_current_queue();
        order.push_back(100);
    });
    EXPECT_EQ(seenInSync, 100u);
    EXPECT_EQ(order.size(), 101u);
    EXPECT_EQ(current, queue);
    EXPECT_STREQ(dispatch_queue_get_label(queue), "com.example.sync");
    // The queue goes on after the sync.
    int after = 0;
    dispatch_async(queue, [&] { after = 1; });
    dispatch_sync(queue, [] {});
    EXPECT_EQ(after, 1);
}

TEST(DispatchQueueTest, SyncsFromManyThreadsAndAsyncsInterleaveWithoutOverlap) {
    auto queue = dispatch_queue_create("com.example.mixed");
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    int counter = 0;
    auto body = [&] {
        if (inside.fetch_add(1) != 0) overlapped = true;
        ++counter;
        inside.fetch_sub(1);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                if (i % 2) dispatch_sync(queue, body);
                else dispatch_async(queue, body);
            }
        });
    }
    for (auto& t : threads) t.join();
    int total = 0;
    dispatch_sync(queue, [&] { total = counter; });
    EXPECT_EQ(total, 2000);
    EXPECT_FALSE(overlapped);
}

TEST(DispatchQueueTest, SyncOntoTheMainQueueFromAnotherThreadRunsOnTheMainThread) {
    std::atomic<bool> finished{false};
    bool onMain = false;
    std::thread worker([&] {
        dispatch_sync(dispatch_get_main_queue(), [&] { onMain = NSThread::isMainThread(); });
        finished = true;
        NSRunLoop::mainRunLoop()->wakeUp();
    });
    EXPECT_TRUE(runMainUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_TRUE(onMain);
}

TEST(DispatchQueueTest, NestedSyncOntoAnotherQueueIsAllowed) {
    auto outer = dispatch_queue_create("com.example.outer");
    auto inner = dispatch_queue_create("com.example.inner");
    std::vector<std::string> labels;
    dispatch_sync(outer, [&] {
        labels.push_back(dispatch_queue_get_label(dispatch_get_current_queue()));
        dispatch_sync(inner, [&] { labels.push_back(dispatch_queue_get_label(dispatch_get_current_queue())); });
        labels.push_back(dispatch_queue_get_label(dispatch_get_current_queue()));
    });
    EXPECT_EQ(labels, (std::vector<std::string>{"com.example.outer", "com.example.inner", "com.example.outer"}));
}

using DispatchQueueDeathTest = ::testing::Test;

TEST(DispatchQueueDeathTest, SyncOntoTheCurrentSerialQueueDies) {
    EXPECT_DEATH(
        {
            auto queue = dispatch_queue_create("com.example.self");
            dispatch_sync(queue, [&] { dispatch_sync(queue, [] {}); });
        },
        "dispatch_sync onto the queue \"com.example.self\" from a block running on it");
}

TEST(DispatchQueueDeathTest, SyncOntoAQueueHeldFurtherOutDies) {
    EXPECT_DEATH(
        {
            auto a = dispatch_queue_create("com.example.a");
            auto b = dispatch_queue_create("com.example.b");
            dispatch_sync(a, [&] { dispatch_sync(b, [&] { dispatch_sync(a, [] {}); }); });
        },
        "dispatch_sync onto the queue \"com.example.a\"");
}

TEST(DispatchQueueDeathTest, SyncOntoTheMainQueueFromTheMainThreadDies) {
    EXPECT_DEATH(dispatch_sync(dispatch_get_main_queue(), [] {}), "dispatch_sync onto the queue \"com.apple.main-thread\"");
}

TEST(DispatchQueueTest, GlobalQueuesRunBlocksConcurrently) {
    // Two blocks that each wait for the other can only finish side by side.
    auto global = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    auto a = dispatch_semaphore_create(0);
    auto b = dispatch_semaphore_create(0);
    auto done = dispatch_semaphore_create(0);
    dispatch_async(global, [&] {
        dispatch_semaphore_signal(a);
        waitFor(b);
        dispatch_semaphore_signal(done);
    });
    dispatch_async(global, [&] {
        dispatch_semaphore_signal(b);
        waitFor(a);
        dispatch_semaphore_signal(done);
    });
    waitFor(done, 2);
    EXPECT_NE(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), global);
    EXPECT_EQ(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), global);
}

TEST(DispatchQueueTest, SuspendedQueueHoldsItsBlocksUntilResumed) {
    for (auto attr : {DISPATCH_QUEUE_SERIAL, DISPATCH_QUEUE_CONCURRENT}) {
        auto queue = dispatch_queue_create("com.example.suspended", attr);
        std::atomic<int> ran{0};
        auto done = dispatch_semaphore_create(0);
        dispatch_suspend(queue);
        dispatch_suspend(queue);
        for (int i = 0; i < 3; ++i) {
            dispatch_async(queue, [&] {
                ++ran;
                dispatch_semaphore_signal(done);
            });
        }
        dispatch_resume(queue);
        // Still suspended once: nothing may have run. A second queue's round trip gives the pool
        // the chance to run something it should not.
        auto other = dispatch_queue_create("com.example.other");
        dispatch_sync(other, [] {});
        EXPECT_EQ(ran.load(), 0);
        dispatch_resume(queue);
        waitFor(done, 3);
        EXPECT_EQ(ran.load(), 3);
    }
}

TEST(DispatchQueueTest, ApplyRunsEveryIterationOnceAndReturnsWhenAllAreDone) {
    constexpr std::size_t kIterations = 1000;
    std::vector<std::atomic<int>> hits(kIterations);
    dispatch_apply(kIterations, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [&](std::size_t i) { hits[i].fetch_add(1); });
    for (auto& hit : hits) EXPECT_EQ(hit.load(), 1);

    std::vector<std::size_t> order;
    auto serial = dispatch_queue_create("com.example.apply");
    dispatch_apply(5, serial, [&](std::size_t i) { order.push_back(i); });
    EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
}

TEST(DispatchQueueTest, OnceRunsTheBlockOnceAcrossThreads) {
    static dispatch_once_t token;
    std::atomic<int> runs{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) threads.emplace_back([&] { dispatch_once(&token, [&] { ++runs; }); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(runs.load(), 1);
}

TEST(DispatchQueueTest, NotificationObserverWithAQueueRunsThereWhileThePosterWaits) {
    auto center = std::make_shared<NSNotificationCenter>();
    auto queue = dispatch_queue_create("com.example.observer");
    dispatch_queue_t ranOn;
    center->addObserverForName("N", nullptr, queue, [&](const auto&) { ranOn = dispatch_get_current_queue(); });
    center->postNotificationName("N");
    EXPECT_EQ(ranOn, queue); // set before the post returned

    // Posting from the observer's own queue runs it at once instead of deadlocking.
    ranOn = nullptr;
    dispatch_sync(queue, [&] { center->postNotificationName("N"); });
    EXPECT_EQ(ranOn, queue);

    bool onMain = false;
    center->addObserverForName("M", nullptr, dispatch_get_main_queue(), [&](const auto&) { onMain = NSThread::isMainThread(); });
    center->postNotificationName("M");
    EXPECT_TRUE(onMain);
}
