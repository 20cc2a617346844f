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
// A wait stays exact: every timer due in it fires at its own time, each a step of its own. A walk
// takes at most kExactSteps steps to due timers; one that would need more (a repeating timer far quicker than
// the wait is long) stops where its steps ran out, short of its limit, and says so (cutShort()),
// rather than pass timers over. A longer time is waited out in several walks.

#include <cstdint>
#include <functional>

namespace SteppedClock {

// The steps to due timers a walk takes at most.
inline constexpr std::int64_t kExactSteps = 200000;

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
    // when the clock already stood at the limit, the steps ran out, or the clock is not manual.
    bool step();
    // The same towards `until` (capped at the limit): the clock follows time that passed
    // elsewhere (real time spent on a transfer), each timer due on the way firing in turn.
    bool stepTo(double until);
    double limit() const { return limit_; }
    // Whether the clock stands at the limit.
    bool reached() const;
    // Whether the walk stopped short of its limit for want of steps.
    bool cutShort() const { return cutShort_; }

private:
    double limit_;
    double patience_;
    std::int64_t steps_ = 0;
    bool cutShort_ = false;
};

// How long, in real time, settle() waits at most for the worker pool by default.
inline constexpr double kDefaultPatienceSeconds = 2;

// One step towards `limit` (a monotonic time), as the first step of a Walk there.
bool stepToward(double limit, double patience = kDefaultPatienceSeconds);

// Runs the main loop and lets the worker pool and the service threads' run loops finish, again and
// again, until none has anything to do now (work due later on the clock does not count, nor a task
// in an outside wait of the pool, such as a name lookup).
// `patience` bounds the real time spent waiting for them; false when they were still busy then
// (a task blocked on the outside), or as soon as `interrupted` holds (looked at between passes:
// the caller has something else to do while they are busy, such as following a transfer).
bool settle(double patience = kDefaultPatienceSeconds, const std::function<bool()>& interrupted = nullptr);

// Lets `seconds` pass: on a manual clock step by step until the time has passed (settled after
// each step); on the real clock by running the main loop that long. False when the walk was cut
// short (see above).
bool advance(double seconds);

} // namespace SteppedClock
