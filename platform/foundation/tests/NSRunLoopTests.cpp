#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSPort.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {
// A run loop on a thread of its own, running until the object goes.
class LoopThread {
public:
    LoopThread() {
        thread_ = std::thread([this] {
            auto loop = NSRunLoop::currentRunLoop();
            {
                std::lock_guard<std::mutex> guard(mutex_);
                loop_ = loop;
            }
            ready_.notify_all();
            loop->addPort(port_, NSDefaultRunLoopMode);
            loop->run();
        });
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return loop_ != nullptr; });
    }
    ~LoopThread() {
        loop_->stop();
        thread_.join();
    }
    const std::shared_ptr<NSRunLoop>& loop() const { return loop_; }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::shared_ptr<NSRunLoop> loop_;
    std::shared_ptr<NSPort> port_ = NSPort::port();
    std::thread thread_;
};

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        ::close(read);
        ::close(write);
    }
};
} // namespace

TEST(NSRunLoopTest, MainRunLoopBelongsToTheFirstThread) {
    EXPECT_TRUE(NSThread::isMainThread());
    EXPECT_EQ(NSRunLoop::currentRunLoop(), NSRunLoop::mainRunLoop());
    EXPECT_TRUE(NSRunLoop::mainRunLoop()->isCurrent());
    std::shared_ptr<NSRunLoop> other;
    bool otherIsCurrent = false;
    bool mainIsCurrentThere = true;
    std::thread([&] {
        other = NSRunLoop::currentRunLoop();
        otherIsCurrent = other->isCurrent();
        mainIsCurrentThere = NSRunLoop::mainRunLoop()->isCurrent();
    }).join();
    EXPECT_NE(other, NSRunLoop::mainRunLoop());
    EXPECT_TRUE(otherIsCurrent);
    EXPECT_FALSE(mainIsCurrentThere);
}

TEST(NSRunLoopTest, PerformsFromSeveralThreadsRunInFifoOrderPerThread) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    auto loop = NSRunLoop::mainRunLoop();
    std::vector<std::vector<int>> seen(kThreads);
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) loop->performBlock([&seen, t, i] { seen[t].push_back(i); });
        });
    }
    for (auto& p : posters) p.join();
    drainMain();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kPerThread));
        for (int i = 0; i < kPerThread; ++i) EXPECT_EQ(seen[t][i], i);
    }
}

TEST(NSRunLoopTest, PerformsRunInTheOrderTheyWereQueuedAndOnTheLoopThread) {
    std::vector<int> order;
    auto loop = NSRunLoop::mainRunLoop();
    loop->performBlock([&] {
        order.push_back(1);
        loop->performBlock([&] { order.push_back(3); });
    });
    loop->performBlock([&] { order.push_back(2); });
    drainMain();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(NSRunLoopTest, PerformFromAnotherThreadWakesABlockedLoop) {
    LoopThread worker;
    std::mutex mutex;
    std::condition_variable done;
    bool ran = false;
    bool onLoopThread = false;
    worker.loop()->performBlock([&] {
        std::lock_guard<std::mutex> guard(mutex);
        ran = true;
        onLoopThread = worker.loop()->isCurrent();
        done.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(10), [&] { return ran; }));
    EXPECT_TRUE(onLoopThread);
}

TEST(NSRunLoopTest, StopEndsRunEvenWhenItComesFirst) {
    auto loop = NSRunLoop::mainRunLoop();
    loop->stop();
    loop->run(); // returns at once: the stop is not lost
    int ran = 0;
    loop->performBlock([&] {
        ++ran;
        loop->stop();
    });
    loop->run();
    EXPECT_EQ(ran, 1);
}

// A worker stays in run() while its port is added and leaves once it is removed, whether from
// inside the loop or from another thread; with nothing scheduled, run() returns at once.
TEST(NSRunLoopTest, RunReturnsOnceNothingIsScheduled) {
    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<NSRunLoop> loop;
    auto port = NSPort::port();
    bool returned = false;
    int performed = 0;
    std::thread worker([&] {
        auto own = NSRunLoop::currentRunLoop();
        own->run(); // nothing yet: returns at once
        own->addPort(port, NSDefaultRunLoopMode);
        own->performBlock([&] { ++performed; });
        {
            std::lock_guard<std::mutex> guard(mutex);
            loop = own;
        }
        changed.notify_all();
        own->run();
        std::lock_guard<std::mutex> guard(mutex);
        returned = true;
        changed.notify_all();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return loop != nullptr; });
    }
    // Still inside the loop: a perform reaches it after the first one ran.
    std::promise<int> seen;
    loop->performBlock([&] { seen.set_value(performed); });
    EXPECT_EQ(seen.get_future().get(), 1);
    loop->removePort(port, NSDefaultRunLoopMode);
    {
        std::unique_lock<std::mutex> lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return returned; }));
    }
    worker.join();
}

TEST(NSRunLoopTest, PortRemovedFromInsideTheLoopEndsRunAfterThatPass) {
    auto loop = NSRunLoop::mainRunLoop();
    auto port = NSPort::port();
    loop->addPort(port, NSDefaultRunLoopMode);
    loop->addPort(port, NSDefaultRunLoopMode); // counts once
    int after = 0;
    loop->performBlock([&] {
        loop->removePort(port, NSDefaultRunLoopMode);
        loop->performBlock([&] { ++after; }); // still scheduled: run() serves it before it returns
    });
    loop->run();
    EXPECT_EQ(after, 1);
}

// Descriptors that do not keep the loop running (idle sockets) are served only while something
// else does.
TEST(NSRunLoopTest, SourcesThatDoNotKeepTheLoopRunningLetRunReturn) {
    Pipe pipe;
    auto loop = NSRunLoop::mainRunLoop();
    int reads = 0;
    auto source = loop->addFileDescriptor(pipe.read, NSRunLoop::Readable, [&](int fd, int) {
        char byte;
        while (::read(fd, &byte, 1) == 1) ++reads;
    }, false);
    loop->run();
    EXPECT_EQ(reads, 0);
    auto port = NSPort::port();
    loop->addPort(port, NSDefaultRunLoopMode);
    ASSERT_EQ(::write(pipe.write, "x", 1), 1);
    EXPECT_TRUE(runMainUntil([&] { return reads == 1; }));
    loop->removePort(port, NSDefaultRunLoopMode);
    loop->run();
    EXPECT_EQ(reads, 1);
    loop->removeFileDescriptor(source);
}

TEST(NSRunLoopTest, RunOnceWithNothingToDoReturnsFalse) {
    EXPECT_FALSE(NSRunLoop::mainRunLoop()->runOnce(0));
    EXPECT_FALSE(NSRunLoop::mainRunLoop()->runModeBeforeDate(NSDefaultRunLoopMode, NSDate::date()));
}

TEST(NSRunLoopTest, FileDescriptorSourceReportsReadableAndCanBeRemoved) {
    Pipe pipe;
    auto loop = NSRunLoop::mainRunLoop();
    std::string received;
    int calls = 0;
    auto source = loop->addFileDescriptor(pipe.read, NSRunLoop::Readable, [&](int fd, int events) {
        ++calls;
        EXPECT_EQ(events, NSRunLoop::Readable);
        char buffer[16];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
    });
    ASSERT_NE(source, 0u);
    EXPECT_FALSE(loop->runOnce(0));
    ASSERT_EQ(::write(pipe.write, "abc", 3), 3);
    EXPECT_TRUE(runMainUntil([&] { return received == "abc"; }));
    EXPECT_EQ(calls, 1);

    loop->removeFileDescriptor(source);
    ASSERT_EQ(::write(pipe.write, "d", 1), 1);
    EXPECT_FALSE(loop->runOnce(0));
    EXPECT_EQ(received, "abc");
}

TEST(NSRunLoopTest, FileDescriptorSourceUpdatesItsEvents) {
    Pipe pipe;
    auto loop = NSRunLoop::mainRunLoop();
    std::vector<int> events;
    auto source = loop->addFileDescriptor(pipe.write, 0, [&](int, int ready) { events.push_back(ready); });
    EXPECT_FALSE(loop->runOnce(0));
    loop->updateFileDescriptor(source, NSRunLoop::Writable);
    EXPECT_TRUE(loop->runOnce(0));
    EXPECT_EQ(events, (std::vector<int>{NSRunLoop::Writable}));
    loop->updateFileDescriptor(source, 0);
    EXPECT_FALSE(loop->runOnce(0));
    loop->removeFileDescriptor(source);
}

TEST(NSRunLoopTest, FileDescriptorAddedFromAnotherThreadIsServedOnTheLoopThread) {
    LoopThread worker;
    Pipe pipe;
    std::atomic<bool> onLoopThread{false};
    std::atomic<bool> ran{false};
    worker.loop()->addFileDescriptor(pipe.read, NSRunLoop::Readable, [&](int fd, int) {
        char c;
        [[maybe_unused]] ssize_t n = ::read(fd, &c, 1);
        onLoopThread = worker.loop()->isCurrent();
        ran = true;
        NSRunLoop::mainRunLoop()->wakeUp();
    });
    ASSERT_EQ(::write(pipe.write, "x", 1), 1);
    EXPECT_TRUE(runMainUntil([&] { return ran.load(); }));
    EXPECT_TRUE(onLoopThread);
}

TEST(NSRunLoopTest, PerformAfterDelayRunsOnceWhenDueAndCanBeCancelled) {
    ManualClock clock;
    auto loop = NSRunLoop::mainRunLoop();
    int ran = 0;
    int cancelledRan = 0;
    loop->performAfterDelay(1.0, [&] { ++ran; });
    auto cancelled = loop->performAfterDelay(1.0, [&] { ++cancelledRan; });
    cancelled->invalidate();
    clock.advance(0.5);
    EXPECT_EQ(ran, 0);
    clock.advance(0.5);
    EXPECT_EQ(ran, 1);
    clock.advance(10);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(cancelledRan, 0);
}

TEST(NSRunLoopTest, RunUntilDateUnderManualClockEndsWhenTheClockPassesTheDate) {
    ManualClock clock;
    auto loop = NSRunLoop::mainRunLoop();
    auto limit = NSDate::dateWithTimeIntervalSinceNow(5);
    std::thread advancer([] { PlatformClock::advance(5); });
    loop->runUntilDate(limit);
    advancer.join();
    EXPECT_GE(PlatformClock::now(), limit->timeIntervalSince1970());
}

TEST(NSRunLoopTest, RunUntilDateReturnsAfterRealTimePasses) {
    auto start = std::chrono::steady_clock::now();
    NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(0.02));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(19));
}

TEST(NSRunLoopTest, HangUpIsReportedAsReadableAndASourceWaitingForNothingStaysQuiet) {
    Pipe pipe;
    auto loop = NSRunLoop::mainRunLoop();
    int calls = 0;
    auto source = loop->addFileDescriptor(pipe.read, NSRunLoop::Readable, [&](int, int events) {
        ++calls;
        EXPECT_EQ(events, NSRunLoop::Readable);
    });
    ::close(pipe.write);
    pipe.write = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    EXPECT_TRUE(loop->runOnce(0));
    EXPECT_EQ(calls, 1);
    loop->updateFileDescriptor(source, 0);
    EXPECT_FALSE(loop->runOnce(0));
    loop->updateFileDescriptor(source, NSRunLoop::Readable);
    EXPECT_TRUE(loop->runOnce(0));
    EXPECT_EQ(calls, 2);
    loop->removeFileDescriptor(source);
    EXPECT_FALSE(loop->runOnce(0));
}

TEST(NSRunLoopTest, CancelPerformRequestsCancelsByTargetAndSelector) {
    ManualClock clock;
    auto loop = NSRunLoop::mainRunLoop();
    auto target = std::make_shared<NSObject>();
    auto other = std::make_shared<NSObject>();
    std::vector<std::string> ran;
    loop->performAfterDelay(1, target.get(), "switchFrame:", [&] { ran.push_back("switch"); });
    loop->performAfterDelay(1, target.get(), "hide", [&] { ran.push_back("hide"); });
    loop->performAfterDelay(1, other.get(), "switchFrame:", [&] { ran.push_back("other"); });
    loop->cancelPerformRequests(target.get(), "switchFrame:");
    clock.advance(1);
    EXPECT_EQ(ran, (std::vector<std::string>{"hide", "other"}));

    loop->performAfterDelay(1, target.get(), "a", [&] { ran.push_back("a"); });
    loop->performAfterDelay(1, target.get(), "b", [&] { ran.push_back("b"); });
    loop->cancelPerformRequests(target.get());
    clock.advance(1);
    EXPECT_EQ(ran.size(), 2u);
}

TEST(NSRunLoopTest, CancelPerformRequestsWithAnArgumentCancelsOnlyAnEqualOne) {
    ManualClock clock;
    auto loop = NSRunLoop::mainRunLoop();
    auto target = std::make_shared<NSObject>();
    std::vector<std::string> ran;
    auto params = [](const char* offset) { return Value(Value::Dictionary{{"adFrameId", "7"}, {"offset", offset}}); };
    loop->performAfterDelay(1, target.get(), "nextAdFrameWithDelay:", params("next"), [&] { ran.push_back("next"); });
    loop->performAfterDelay(1, target.get(), "nextAdFrameWithDelay:", params("2"), [&] { ran.push_back("2"); });
    loop->performAfterDelay(1, target.get(), "other:", params("next"), [&] { ran.push_back("other"); });
    loop->performAfterDelay(1, target.get(), "nextAdFrameWithDelay:", [&] { ran.push_back("none"); });
    // An equal dictionary built apart from the one given finds the perform.
    loop->cancelPerformRequests(target.get(), "nextAdFrameWithDelay:", params("next"));
    clock.advance(1);
    EXPECT_EQ(ran, (std::vector<std::string>{"2", "other", "none"}));

    ran.clear();
    loop->performAfterDelay(1, target.get(), "nextAdFrameWithDelay:", params("2"), [&] { ran.push_back("2"); });
    loop->performAfterDelay(1, target.get(), "nextAdFrameWithDelay:", [&] { ran.push_back("none"); });
    loop->cancelPerformRequests(target.get(), "nextAdFrameWithDelay:", Value());
    clock.advance(1);
    EXPECT_EQ(ran, (std::vector<std::string>{"2"}));
}
