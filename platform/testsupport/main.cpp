#include "platform/dispatch/WorkerPool.h"
#include "platform/foundation/Sanitizers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#if TANDREL_ADDRESS_SANITIZER
#include <sanitizer/lsan_interface.h>
#endif

namespace {
constexpr auto kWorkerFinishLimit = std::chrono::seconds(5);
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests fork a fresh process that re-runs only the dying test: safe with threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int result = RUN_ALL_TESTS();
    // A test may end while a queue still runs work it started (a cache written behind, say). That
    // work finishes first, a few seconds at most, so the leak check never meets objects a worker
    // is half-way through building or freeing.
    if (WorkerPool* pool = WorkerPool::existing()) pool->waitUntilIdle(kWorkerFinishLimit);
    // The platform's threads (the network thread, dispatch workers, the dispatch timer thread)
    // live as long as the process, as on the device. Destroying the process's static objects
    // under them would let them read freed memory, so the process ends without running those
    // destructors — after the leak check that would otherwise run at exit.
    std::fflush(nullptr);
#if TANDREL_ADDRESS_SANITIZER
    __lsan_do_leak_check();
#endif
    std::quick_exit(result);
}
