#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSThread.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

constexpr double kWait = 60;

TEST(NSOperationTest, DependenciesOrderTheWork) {
    auto queue = std::make_shared<NSOperationQueue>();
    std::mutex mutex;
    std::vector<int> order;
    auto record = [&](int n) {
        return NSBlockOperation::blockOperationWithBlock([&, n] {
            std::lock_guard guard(mutex);
            order.push_back(n);
        });
    };
    auto first = record(1), second = record(2), third = record(3);
    third->addDependency(second);
    second->addDependency(first);
    EXPECT_FALSE(third->isReady());
    queue->addOperations({third, second, first}, true);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(third->isFinished());
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(queue->operationCount(), 0u);
}

TEST(NSOperationTest, CompletionBlockRunsOnceAfterFinishing) {
    auto operation = NSBlockOperation::blockOperationWithBlock([] {});
    std::atomic<int> runs{0};
    std::atomic<bool> sawFinished{false};
    std::weak_ptr<NSOperation> weak = operation;
    operation->setCompletionBlock([&, weak] {
        if (auto op = weak.lock()) sawFinished = op->isFinished();
        ++runs;
    });
    operation->start();
    operation->start();
    EXPECT_TRUE(runMainUntil([&] { return runs.load() == 1; }, kWait));
    EXPECT_TRUE(sawFinished);
}

TEST(NSOperationTest, CancelledOperationsFinishWithoutRunning) {
    auto queue = std::make_shared<NSOperationQueue>();
    std::atomic<bool> ran{false};
    auto blocker = NSBlockOperation::blockOperationWithBlock([] {});
    auto operation = NSBlockOperation::blockOperationWithBlock([&] { ran = true; });
    operation->addDependency(blocker);
    queue->addOperation(operation);
    operation->cancel();
    operation->waitUntilFinished();
    EXPECT_TRUE(operation->isCancelled());
    EXPECT_FALSE(ran);
}

TEST(NSOperationTest, MaxConcurrentOperationsIsRespected) {
    auto queue = std::make_shared<NSOperationQueue>();
    queue->setMaxConcurrentOperationCount(2);
    std::atomic<int> running{0}, peak{0};
    std::vector<NSOperationPtr> operations;
    for (int i = 0; i < 8; ++i) {
        operations.push_back(NSBlockOperation::blockOperationWithBlock([&] {
            int now = ++running;
            int seen = peak.load();
            while (now > seen && !peak.compare_exchange_weak(seen, now)) {
            }
            for (int spin = 0; spin < 20000; ++spin) std::this_thread::yield();
            --running;
        }));
    }
    queue->addOperations(operations, true);
    EXPECT_LE(peak.load(), 2);
    EXPECT_GE(peak.load(), 1);
}

TEST(NSOperationTest, TheMainQueueRunsOnTheMainThread) {
    std::atomic<bool> ran{false};
    bool onMain = false;
    std::shared_ptr<NSOperationQueue> current;
    NSOperationQueue::mainQueue()->addOperationWithBlock([&] {
        onMain = NSThread::isMainThread();
        current = NSOperationQueue::currentQueue();
        ran = true;
    });
    ASSERT_TRUE(runMainUntil([&] { return ran.load(); }, kWait));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(current, NSOperationQueue::mainQueue());
}

TEST(NSOperationTest, SuspendedQueuesHoldTheirOperations) {
    auto queue = std::make_shared<NSOperationQueue>();
    queue->setSuspended(true);
    std::atomic<bool> ran{false};
    auto operation = NSBlockOperation::blockOperationWithBlock([&] { ran = true; });
    queue->addOperation(operation);
    EXPECT_EQ(queue->operationCount(), 1u);
    EXPECT_FALSE(operation->isExecuting() || operation->isFinished());
    queue->setSuspended(false);
    operation->waitUntilFinished();
    EXPECT_TRUE(ran);
}

} // namespace
