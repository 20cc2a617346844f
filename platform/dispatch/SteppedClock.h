#pragma once
// Letting time pass for the main thread as it passes on a device.
//
// On a manual clock, time does not jump past the timers due on the way: it moves to the next due
// timer (run-loop timers, delayed performs, animations' ends, dispatch_after and timer sources),
// exactly to its time, lets the main loop and the worker pool finish what firing it caused, and
// goes on from there. A timer started by another therefore counts from its starter's firing time,
// and a repeating timer fires once per interval. On the real clock the same calls run the main
// loop in real time. Call these on the main thread.

namespace SteppedClock {

// How long, in real time, settle() waits at most for the worker pool by default.
inline constexpr double kDefaultPatienceSeconds = 2;

// Runs the main loop and lets the worker pool and the service threads' run loops finish, again and
// again, until none has anything to do now (work due later on the clock does not count, nor a task
// in an outside wait of the pool, such as a name lookup).
// `patience` bounds the real time spent waiting for them; false when they were still busy then
// (a task blocked on the outside).
bool settle(double patience = kDefaultPatienceSeconds);

// One step towards `limit` (a monotonic time): to the next due timer when it is at or before the
// limit, else to the limit itself; then settles. False when the clock already stood at the limit
// (or is not manual). `patience` is settle()'s.
bool stepToward(double limit, double patience = kDefaultPatienceSeconds);

// Lets `seconds` pass: on a manual clock step by step until the time has passed (settled after
// each step); on the real clock by running the main loop that long.
void advance(double seconds);

} // namespace SteppedClock
