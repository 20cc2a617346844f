// Time as a script's commands let it pass: one rule for every wait, expect and settle.

#include "platform/device/Driver.h"

#include "platform/dispatch/SteppedClock.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/net/URLTransfer.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

namespace {
// Enough passes to finish any chain of follow-up work, few enough to stop a loop that re-queues itself.
constexpr int kMaxDrainPasses = 10000;
// While a transfer is in flight the clock catches up with real time this often; what the main loop
// is handed meanwhile runs then, at most this much after its real time.
constexpr double kFollowSliceSeconds = 0.005;
// On the real clock, settle ends once nothing was in flight or in hand for this long.
constexpr double kRealQuietSeconds = 0.2;
// A timer this close past a bound was meant for it (sums of due times differ in their last digits).
constexpr double kDueToleranceSeconds = 1e-6;

bool transferInFlight() { return URLTransfer::inFlightCount() > 0; }

// The stretch of transfers the script clock follows: the first look that saw it in flight takes
// the clock's reading (the clock stands between its steps, so that is where it stood when the
// stretch began); a stretch begun and ended while no look saw it ran where the clock stood and
// costs it nothing.
struct FollowedStretch {
    std::uint64_t number = 0;
    double clockAtStart = 0;
    bool following = false;
};

FollowedStretch& followedStretch() {
    static FollowedStretch stretch;
    return stretch;
}

// Where the clock stands by the transfers' real time: while some are in flight, their stretch's
// start plus the real time since; once it is over, its start plus its real length, until the
// clock has reached that. nullopt when there is nothing to follow.
struct TransferTime {
    double clock = 0;
    bool over = false;
};
std::optional<TransferTime> transferTime() {
    const auto stretch = URLTransfer::inFlightStretch();
    auto& followed = followedStretch();
    const double now = PlatformClock::monotonic();
    if (stretch.number != followed.number) followed = {stretch.number, now, !stretch.over};
    if (!followed.following) return std::nullopt;
    const auto until = stretch.over ? stretch.ended : std::chrono::steady_clock::now();
    const double clock = followed.clockAtStart + std::chrono::duration<double>(until - stretch.began).count();
    if (stretch.over && now >= clock) {
        followed.following = false;
        return std::nullopt;
    }
    return TransferTime{clock, stretch.over};
}

// The error for a wait that needed more steps than a walk takes: the clock stands where it got.
std::string cutShortOfTimers(double seconds, double passed) {
    return NSString::stringWithFormat("the clock passed %g s of %g s: more timers were due in it than a wait fires one by one (%lld); "
                                      "wait in shorter steps",
                                      passed, seconds, static_cast<long long>(SteppedClock::kExactSteps));
}
} // namespace

std::string Driver::tooLongToWait(double seconds) {
    return NSString::stringWithFormat("%g s is longer than the device's clock can count (%.0f s from now at most)", seconds,
                                      std::max(0.0, SteppedClock::kLatestTime - PlatformClock::monotonic()));
}

void Driver::settleWork() { SteppedClock::settle(SteppedClock::kDefaultPatienceSeconds, transferInFlight); }

void Driver::drain() {
    auto loop = NSRunLoop::mainRunLoop();
    for (int i = 0; i < kMaxDrainPasses && loop->runOnce(0); ++i) {
    }
}

Driver::Passed Driver::passTime(double seconds, const std::function<bool()>& done, bool settling) {
    auto loop = NSRunLoop::mainRunLoop();
    if (!PlatformClock::isManual()) {
        // The real clock: the loop runs that long (settle: until no transfer has been in flight
        // nor work in hand for kRealQuietSeconds, in which one about to begin shows itself).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        auto quietSince = std::chrono::steady_clock::now();
        for (;;) {
            const bool quiet = SteppedClock::settle(0) && !transferInFlight();
            if (done && done()) return Passed::Done;
            if (!quiet) quietSince = std::chrono::steady_clock::now();
            else if (settling && std::chrono::steady_clock::now() - quietSince >= std::chrono::duration<double>(kRealQuietSeconds))
                return Passed::Settled;
            if (std::chrono::steady_clock::now() >= deadline) return Passed::TimeUp;
            loop->runOnce(kFollowSliceSeconds);
        }
    }
    SteppedClock::Walk walk(PlatformClock::monotonic() + seconds, 0);
    // settle looks this far ahead for a timer that may begin a transfer.
    const double soon = PlatformClock::monotonic() + kAboutToBeginSeconds + kDueToleranceSeconds;
    double patience = SteppedClock::kDefaultPatienceSeconds;
    bool transferRan = false;
    for (;;) {
        // Work in hand runs where the clock stands, unless a transfer it waits on is in flight: then
        // the clock follows the transfer. A task that outlasts the patience (blocked on the
        // outside) is not waited for again.
        if (!SteppedClock::settle(patience, transferInFlight) && !transferInFlight()) patience = 0;
        if (done && done()) return Passed::Done;
        if (auto transfer = transferTime()) {
            transferRan = true;
            // Real time passes for the transfer; what it hands the main loop meanwhile runs once
            // the clock has caught up with the real time it came at (each step settles the queues).
            for (;;) {
                while (walk.stepTo(transfer->clock))
                    if (done && done()) return Passed::Done;
                if (walk.cutShort()) return Passed::CutShort;
                if (walk.reached()) return Passed::TimeUp;
                if (transfer->over) break;
                std::this_thread::sleep_for(std::chrono::duration<double>(kFollowSliceSeconds));
                transfer = transferTime();
                if (!transfer) break;
            }
            continue;
        }
        if (settling) {
            // Nothing in flight or in hand: settled once a transfer ran; else the timers due within
            // a second of the start fire in turn, since one may begin a transfer, and then it is.
            if (transferInFlight()) continue;
            const double next = PlatformClock::nextDueAfter(PlatformClock::monotonic());
            if (transferRan || next > soon) return Passed::Settled;
            if (walk.stepTo(next)) continue;
            return walk.cutShort() ? Passed::CutShort : Passed::Settled;
        }
        if (walk.step()) continue;
        return walk.cutShort() ? Passed::CutShort : Passed::TimeUp;
    }
}

bool Driver::wait(double seconds) {
    if (!SteppedClock::canWait(seconds)) return fail(tooLongToWait(seconds));
    const double start = PlatformClock::monotonic();
    if (passTime(seconds, nullptr) == Passed::CutShort) return fail(cutShortOfTimers(seconds, PlatformClock::monotonic() - start));
    return true;
}

bool Driver::settle(double seconds) {
    const double start = PlatformClock::monotonic();
    const Passed passed = passTime(seconds, nullptr, true);
    if (passed == Passed::Settled) return true;
    if (passed == Passed::CutShort) return fail(cutShortOfTimers(seconds, PlatformClock::monotonic() - start));
    if (!transferInFlight()) return true;
    return fail("transfers still in flight after " + NSString::stringWithFormat("%g", seconds) + " s");
}

bool Driver::expect(const std::string& text, double seconds) {
    // What the screen shows, with the lines printed under the command before this one and since.
    auto shows = [&] { return screenText(false, true).find(text) != std::string::npos; };
    const double start = PlatformClock::monotonic();
    const Passed passed = passTime(seconds, shows);
    if (passed == Passed::Done) return true;
    // The screen itself follows under the command.
    std::string error = UIScreenDescription::quoted(text) + " not on screen after " + NSString::stringWithFormat("%g", seconds) + " s";
    if (passed == Passed::CutShort)
        error = UIScreenDescription::quoted(text) + " not on screen: " + cutShortOfTimers(seconds, PlatformClock::monotonic() - start);
    return fail(error);
}

void Driver::advance(double seconds) { SteppedClock::advance(seconds); }
