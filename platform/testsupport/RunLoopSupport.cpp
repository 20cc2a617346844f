#include "platform/testsupport/RunLoopSupport.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/PlatformClock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
// A condition may be made true by another thread without waking the main loop; one pass never
// waits longer than this before the condition is looked at again.
constexpr double kConditionRecheckSeconds = 0.01;
// drainMain() gives up after this many busy passes: something re-queues itself forever.
constexpr int kMaxDrainPasses = 100000;

void requireMainThread(const char* what) {
    if (!NSThread::isMainThread()) {
        std::fprintf(stderr, "%s must be called on the main thread\n", what);
        std::abort();
    }
}
} // namespace

bool runMainUntil(const std::function<bool()>& condition, double timeoutSeconds) {
    requireMainThread("runMainUntil");
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    auto loop = NSRunLoop::mainRunLoop();
    while (!condition()) {
        const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0) return condition();
        loop->runOnce(std::min(left, kConditionRecheckSeconds));
    }
    return true;
}

void drainMain() {
    requireMainThread("drainMain");
    auto loop = NSRunLoop::mainRunLoop();
    for (int pass = 0; pass < kMaxDrainPasses; ++pass) {
        if (!loop->runOnce(0)) return;
    }
    std::fprintf(stderr, "drainMain: the main loop never ran out of work\n");
}

ManualClock::ManualClock(double wallSeconds) { PlatformClock::setManual(wallSeconds); }

ManualClock::~ManualClock() { PlatformClock::setAutomatic(); }

void ManualClock::advance(double seconds) {
    PlatformClock::advance(seconds);
    drainMain();
}
