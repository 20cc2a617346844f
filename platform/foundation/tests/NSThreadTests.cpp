#include "platform/foundation/NSThread.h"
#include "platform/foundation/NSPort.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <atomic>
#include <thread>
#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::string osNameOfCurrentThread() {
    std::ifstream comm("/proc/self/task/" + std::to_string(::gettid()) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}
} // namespace

TEST(NSThreadTest, MainThreadIsTheFirstThread) {
    EXPECT_TRUE(NSThread::isMainThread());
    EXPECT_EQ(NSThread::currentThread(), NSThread::mainThread());
    EXPECT_TRUE(NSThread::mainThread()->isMain());
}

TEST(NSThreadTest, DetachedThreadRunsWithItsNameAndItsOwnThreadObject) {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool wasMain = true;
    std::string objectName;
    std::string osName;
    std::shared_ptr<NSThread> seen;
    NSThread::detachNewThread(
        [&] {
            std::lock_guard<std::mutex> guard(mutex);
            wasMain = NSThread::isMainThread();
            seen = NSThread::currentThread();
            objectName = seen->name();
            osName = osNameOfCurrentThread();
            finished = true;
            done.notify_all();
        },
        "com.example.a-rather-long-thread-name");
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(10), [&] { return finished; }));
    EXPECT_FALSE(wasMain);
    EXPECT_EQ(objectName, "com.example.a-rather-long-thread-name");
    EXPECT_EQ(osName, "com.example.a-r"); // the OS keeps 15 bytes
    EXPECT_FALSE(seen->isMain());
    EXPECT_NE(seen, NSThread::mainThread());
}

TEST(NSThreadTest, StartedThreadReportsItsStateAndCancellation) {
    std::mutex mutex;
    std::condition_variable changed;
    bool release = false;
    bool sawCancel = false;
    bool finished = false;
    std::shared_ptr<NSThread> thread;
    thread = std::make_shared<NSThread>([&] {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return release; });
        sawCancel = NSThread::currentThread()->isCancelled();
        finished = true;
        changed.notify_all();
    });
    EXPECT_FALSE(thread->isExecuting());
    thread->start();
    EXPECT_TRUE(thread->isExecuting());
    thread->cancel();
    {
        std::lock_guard<std::mutex> guard(mutex);
        release = true;
    }
    changed.notify_all();
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return finished; }));
    EXPECT_TRUE(sawCancel);
}

TEST(NSThreadTest, PerformOnAThreadRunningItsLoopIncludingBeforeItStarted) {
    auto thread = std::make_shared<NSThread>([] {
        NSRunLoop::currentRunLoop()->addPort(NSPort::port(), NSDefaultRunLoopMode);
        NSRunLoop::currentRunLoop()->run();
    });
    thread->setName("NetKit");
    std::vector<int> order;
    // Queued before the thread runs: kept by the thread's loop, run in order once it does.
    thread->performBlock([&] { order.push_back(1); });
    thread->start();
    std::string ranOn;
    thread->performBlock([&] {
        order.push_back(2);
        ranOn = NSThread::currentThread()->name();
    }, true);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(ranOn, "NetKit");
    EXPECT_FALSE(thread->runLoop()->isCurrent());
    thread->performBlock([] { NSRunLoop::currentRunLoop()->stop(); }, true);
}

TEST(NSThreadTest, PerformOnTheMainThreadWaitsForTheMainLoop) {
    bool onMain = false;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        NSThread::mainThread()->performBlock([&] { onMain = NSThread::isMainThread(); }, true);
        finished = true;
        NSRunLoop::mainRunLoop()->wakeUp();
    });
    EXPECT_TRUE(runMainUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_TRUE(onMain);
    // On the thread itself a waiting perform runs at once.
    int ran = 0;
    NSThread::mainThread()->performBlock([&] { ++ran; }, true);
    EXPECT_EQ(ran, 1);
}
