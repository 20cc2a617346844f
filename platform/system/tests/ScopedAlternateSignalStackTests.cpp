#include "platform/foundation/ScopedAlternateSignalStack.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/ThreadAlternateSignalStacks.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/ThreadBeforeTheLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
// The size of the calling thread's alternate stack; 0 when it has none.
size_t alternateStackSize() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE)) return 0;
    return current.ss_size;
}
} // namespace

TEST(ScopedAlternateSignalStack, InstallsForItsScopeAndRestoresWhatWasBefore) {
    size_t before = 1, during = 0, after = 1;
    std::thread([&] {
        stack_t none{};
        none.ss_flags = SS_DISABLE;
        sigaltstack(&none, nullptr);
        before = alternateStackSize();
        {
            ScopedAlternateSignalStack stack;
            EXPECT_TRUE(stack.installed());
            during = alternateStackSize();
        }
        after = alternateStackSize();
    }).join();
    EXPECT_EQ(before, 0u);
    EXPECT_GE(during, ScopedAlternateSignalStack::kMinimumSize);
    EXPECT_EQ(after, 0u);
}

// A stack overflow on any of the platform's threads can only be reported from a stack of its own.
TEST(ScopedAlternateSignalStack, ThePlatformsThreadsRunOnesOwn) {
    std::atomic<size_t> onThread{0}, onWorker{0};
    dispatch_semaphore_t done = dispatch_semaphore_create(0);
    NSThread::detachNewThread([&] {
        onThread = alternateStackSize();
        dispatch_semaphore_signal(done);
    });
    dispatch_async(dispatch_get_global_queue(0, 0), [&] {
        onWorker = alternateStackSize();
        dispatch_semaphore_signal(done);
    });
    dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
    dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
    EXPECT_GE(onThread.load(), ScopedAlternateSignalStack::kMinimumSize);
    EXPECT_GE(onWorker.load(), ScopedAlternateSignalStack::kMinimumSize);
}

namespace {

// A thread that was running before the stacks were handed out, set up as a library might have
// left it; it notes its alternate stack once the stacks have been handed out.
struct RunningThread {
    const char* what;
    bool ownStack;      // installed one of its own
    bool blocksSignal;  // blocks every signal
    stack_t seen{};
    std::vector<char> own = std::vector<char>(ScopedAlternateSignalStack::kMinimumSize);
};

class Gate {
public:
    void arrive() {
        std::lock_guard<std::mutex> guard(lock_);
        ++arrived_;
        changed_.notify_all();
    }
    void awaitArrivals(int count) {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [&] { return arrived_ >= count; });
    }
    void open() {
        std::lock_guard<std::mutex> guard(lock_);
        open_ = true;
        changed_.notify_all();
    }
    void awaitOpen() {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [&] { return open_; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int arrived_ = 0;
    bool open_ = false;
};

bool isMapped(const void* address) {
    unsigned char resident = 0;
    return mincore(const_cast<void*>(address), 1, &resident) == 0 || errno != ENOMEM;
}

} // namespace

// Threads started before the library was loaded: one without a stack gets one, one with its own
// keeps it, one that blocks the signal is left as it is, is named, and does not hold the call up.
// The calling thread gets one too. In a forked child, where those threads do not run, their stacks
// are freed, and the forking thread's, which the child's thread runs with, is kept.
TEST(AlternateSignalStacksOfExistingThreads, EachRunningThreadWithoutOneGetsOne) {
    RunningThread threads[] = {
        {"a library's thread", false, false},
        {"a thread with its own stack", true, false},
        {"a thread that blocks every signal", false, true},
    };
    Gate ready, handedOut, noted;
    std::vector<pthread_t> running;
    std::atomic<pid_t> blockingThread{0};
    for (RunningThread& t : threads) {
        running.emplace_back();
        ASSERT_EQ(startThreadBeforeTheLibrary(&running.back(), [&] {
            if (t.blocksSignal) blockingThread = gettid();
            stack_t before{};
            sigaltstack(nullptr, &before);
            stack_t stack{};
            stack.ss_flags = SS_DISABLE;
            if (t.ownStack) {
                stack.ss_sp = t.own.data();
                stack.ss_size = t.own.size();
                stack.ss_flags = 0;
            }
            sigaltstack(&stack, nullptr);
            if (t.blocksSignal) {
                sigset_t all;
                sigfillset(&all);
                pthread_sigmask(SIG_BLOCK, &all, nullptr);
            }
            ready.arrive();
            handedOut.awaitOpen();
            sigaltstack(nullptr, &t.seen);
            noted.arrive();
            // The runtime that started the thread may free the stack it gave it at the end.
            sigaltstack(&before, nullptr);
        }), 0);
    }
    stack_t callerBefore{};
    sigaltstack(nullptr, &callerBefore);
    stack_t none{};
    none.ss_flags = SS_DISABLE;
    sigaltstack(&none, nullptr);

    ready.awaitArrivals(3);
    const vdsys_existing_thread_stacks result = vdsys_alternate_signal_stacks_for_existing_threads();
    stack_t caller{};
    sigaltstack(nullptr, &caller);
    const size_t held = vdsys_alternate_signal_stacks_held();
    EXPECT_GE(held, 2u);
    handedOut.open();
    noted.awaitArrivals(3);

    EXPECT_GE(result.given, 2);
    EXPECT_GE(result.kept, 1);
    EXPECT_GE(result.unreached, 1);
    EXPECT_NE(std::find(result.unreachedThreads.begin(), result.unreachedThreads.end(), blockingThread.load()),
              result.unreachedThreads.end());
    for (const RunningThread& t : threads) {
        SCOPED_TRACE(t.what);
        if (t.ownStack) {
            EXPECT_EQ(t.seen.ss_sp, t.own.data());
        } else if (t.blocksSignal) {
            EXPECT_TRUE(t.seen.ss_flags & SS_DISABLE);
        } else {
            EXPECT_FALSE(t.seen.ss_flags & SS_DISABLE);
            EXPECT_GE(t.seen.ss_size, ScopedAlternateSignalStack::kMinimumSize);
        }
    }
    ASSERT_FALSE(caller.ss_flags & SS_DISABLE);
    EXPECT_GE(caller.ss_size, ScopedAlternateSignalStack::kMinimumSize);

    for (pthread_t t : running) pthread_join(t, nullptr);
    const void* libraryThreadsStack = threads[0].seen.ss_sp;
    EXPECT_EQ(runInChildProcess([&] {
                  const size_t inChild = vdsys_alternate_signal_stacks_held();
                  if (inChild == 0 || inChild >= held) return 1;
                  if (isMapped(libraryThreadsStack)) return 2;
                  stack_t current{};
                  sigaltstack(nullptr, &current);
                  if (current.ss_sp != caller.ss_sp || !isMapped(current.ss_sp)) return 3;
                  return 0;
              }),
              0);
    sigaltstack(&callerBefore, nullptr);
}
