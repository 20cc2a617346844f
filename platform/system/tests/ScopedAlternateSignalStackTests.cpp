#include "platform/foundation/ScopedAlternateSignalStack.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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
