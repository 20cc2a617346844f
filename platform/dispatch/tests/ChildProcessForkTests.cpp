// A test's child is forked only once every other thread of the test process is at rest, so that
// the child never inherits an allocator lock held by a thread it does not have.

#include "platform/dispatch/dispatch.h"
#include "platform/testsupport/ChildProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

// Allocations a busy thread makes once the fork has been asked for: some milliseconds of work.
constexpr int kBusyAllocations = 200'000;

// Allocates and frees, in a way no compiler leaves out.
void churn(int allocations) {
    for (int i = 0; i < allocations; ++i) {
        void* volatile block = std::malloc(static_cast<std::size_t>(16 + i % 512));
        std::free(block);
    }
}

TEST(ChildProcessFork, WaitsForABusyThreadToRest) {
    std::atomic<bool> forking{false};
    std::atomic<bool> rested{false};
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::thread busy([&] {
        while (!forking) std::this_thread::yield();
        churn(kBusyAllocations);
        rested = true;
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return release; });
    });
    forking = true;
    // The child sees the parent's memory as it was at the fork: the busy thread's work was over.
    int status = runInChildProcess([&] { return rested ? 0 : 1; });
    {
        std::lock_guard guard(mutex);
        release = true;
    }
    released.notify_all();
    busy.join();
    EXPECT_EQ(status, 0);
}

TEST(ChildProcessFork, WaitsForQueuedWorkToFinish) {
    std::atomic<int> done{0};
    constexpr int kBlocks = 8;
    for (int i = 0; i < kBlocks; ++i) {
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
            churn(kBusyAllocations / kBlocks);
            ++done;
        });
    }
    EXPECT_EQ(runInChildProcess([&] { return done == kBlocks ? 0 : 1; }), 0);
}

} // namespace
