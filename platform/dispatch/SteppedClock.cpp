#include "platform/dispatch/SteppedClock.h"

#include "platform/dispatch/WorkerPool.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/RunLoopActivity.h"

#include <algorithm>
#include <chrono>

namespace {
// A timer this close past the limit was meant for it: the sums that make due times and limits
// (now + 0.3, then + 0.5, then + 0.2 against now + 1) differ in their last digits.
constexpr double kToleranceSeconds = 1e-6;
// Enough passes to finish any chain of follow-up work, few enough to stop a loop that re-queues itself.
constexpr int kMaxSettlePasses = 100000;
// The pool and the service threads are looked at again this often while main-loop work may be
// what they wait for.
constexpr double kSliceSeconds = 0.01;
} // namespace

namespace SteppedClock {

bool settle(double patience, const std::function<bool()>& interrupted) {
    using Clock = std::chrono::steady_clock;
    auto loop = NSRunLoop::mainRunLoop();
    auto& pool = WorkerPool::shared();
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(patience));
    for (int pass = 0; pass < kMaxSettlePasses; ++pass) {
        if (loop->runOnce(0)) continue;
        // The pool's last task may have queued main-loop work just before it became idle. A task
        // waiting on the outside for as long as it takes (a name lookup) is not waited for.
        const bool poolIdle = pool.isQuiet();
        if (poolIdle && RunLoopActivity::busyServiceLoops() == 0) {
            if (loop->runOnce(0)) continue;
            return true;
        }
        if (interrupted && interrupted()) return false;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return false;
        const auto slice = std::min<Clock::duration>(
            left, std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kSliceSeconds)));
        // A service thread hands its results to the main loop, which wakes this wait.
        if (!poolIdle) pool.waitUntilQuiet(slice);
        else loop->runOnce(std::chrono::duration<double>(slice).count());
    }
    return pool.isQuiet() && RunLoopActivity::busyServiceLoops() == 0;
}

bool canWait(double seconds) {
    return seconds >= 0 && seconds <= kLatestTime && PlatformClock::monotonic() + seconds <= kLatestTime;
}

Walk::Walk(double limit, double patience) : limit_(limit), patience_(patience) {}

bool Walk::step() { return stepTo(limit_); }

bool Walk::stepTo(double until) {
    if (!PlatformClock::isManual()) return false;
    const double now = PlatformClock::monotonic();
    const double bound = std::min(until, limit_);
    const double next = PlatformClock::nextDueAfter(now);
    // A timer a rounding past the limit still belongs to this wait, even once the clock reached it.
    const double tolerance = bound == limit_ ? kToleranceSeconds : 0;
    // Only the steps to due timers count: following a transfer's real time takes many small steps
    // to no timer at all.
    if (next <= bound + tolerance) {
        if (steps_ >= kExactSteps) {
            cutShort_ = cutShort_ || now < limit_;
            return false;
        }
        ++steps_;
        PlatformClock::advanceTo(next);
    } else if (now < bound) {
        PlatformClock::advanceTo(bound);
    } else {
        return false;
    }
    if (!settle(patience_)) patience_ = 0;
    return true;
}

bool Walk::reached() const { return !PlatformClock::isManual() || PlatformClock::monotonic() >= limit_; }

bool stepToward(double limit, double patience) { return Walk(limit, patience).step(); }

bool advance(double seconds) {
    double patience = kDefaultPatienceSeconds;
    if (!settle(patience)) patience = 0;
    if (!PlatformClock::isManual()) {
        NSRunLoop::mainRunLoop()->runUntilDate(NSDate::dateWithTimeIntervalSinceNow(seconds));
        settle(patience);
        return true;
    }
    Walk walk(PlatformClock::monotonic() + seconds, patience);
    while (walk.step()) {
    }
    return !walk.cutShort();
}

} // namespace SteppedClock
