#pragma once
// Letting time pass for the main thread as it passes on a device.
//
// On a manual clock, time does not jump past the timers due on the way: it moves to the next due
// timer (run-loop timers, delayed performs, animations' ends, dispatch_after and timer sources),
// exactly to its time, lets the main loop and the worker pool finish what firing it caused, and
// goes on from there. A timer started by another therefore counts from its starter's firing time,
// and a repeating timer fires once per interval. On the real clock the same calls run the main
// loop in real time. Call these on the main thread.
//
// A wait of any length stays exact: past kExactSteps steps, a repeating timer whose interval is
// shorter than what is left of the wait spread over another kExactSteps steps is no longer stepped
// through one interval at a time (each step it is passed makes it fire once for the times it
// missed, as when a device's loop is held up); every other timer still fires at its own time.
// Only a chain of one-shot timers each starting the next a moment later can outlast ten times as
// many steps; the rest of the wait then passes in one move.

#include <cstdint>

namespace SteppedClock {

// The steps a wait takes one due timer at a time before repeating timers may be passed over.
inline constexpr int kExactSteps = 10000;

// The latest monotonic time a wait may reach: the dispatch clock counts nanoseconds in 63 bits,
// and a timer set from then on must still be representable.
inline constexpr double kLatestTime = 4e9;
// Whether a wait of `seconds` from now ends at a time the clock can represent.
bool canWait(double seconds);

// A walk of the manual clock to a limit (a monotonic time), one step at a time (see above).
class Walk {
public:
    // `patience` is settle()'s after each step; once the worker pool keeps a task past it (one
    // blocked on the outside), later steps do not wait for it.
    Walk(double limit, double patience);
    // To the next due timer at or before the limit, else to the limit itself; then settles. False
    // when the clock already stood at the limit (or is not manual).
    bool step();
    double limit() const { return limit_; }

private:
    double limit_;
    double patience_;
    std::int64_t steps_ = 0;
    // Repeating timers of a shorter interval are passed over (0 while the walk is exact).
    double shortestRepeat_ = 0;
};

// How long, in real time, settle() waits at most for the worker pool by default.
inline constexpr double kDefaultPatienceSeconds = 2;

// One step towards `limit` (a monotonic time), as the first step of a Walk there.
bool stepToward(double limit, double patience = kDefaultPatienceSeconds);

// Runs the main loop and lets the worker pool and the service threads' run loops finish, again and
// again, until none has anything to do now (work due later on the clock does not count, nor a task
// in an outside wait of the pool, such as a name lookup).
// `patience` bounds the real time spent waiting for them; false when they were still busy then
// (a task blocked on the outside).
bool settle(double patience = kDefaultPatienceSeconds);

// Lets `seconds` pass: on a manual clock step by step until the time has passed (settled after
// each step); on the real clock by running the main loop that long.
void advance(double seconds);

} // namespace SteppedClock
