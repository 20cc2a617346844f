#pragma once
// The one clock behind NSDate, NSTimer, run-loop timers and dispatch_after.
//
// Normally it reads the host's clocks. Tests and scripts switch it to manual mode: time then
// stands still until advance() moves it, and every run loop and dispatch timer waiting on it is
// woken, so a 2-second or an 1800-second timer fires at once and deterministically.
//
// Whatever keeps timers on the clock (run loops, the dispatch timer thread) also answers when the
// next of them is due, so that time can be stepped from one due timer to the next (SteppedClock)
// instead of jumping past them all at once.

#include <cstdint>
#include <functional>

class PlatformClock {
public:
    // Wall-clock seconds since 1970-01-01 00:00:00 UTC.
    static double now();
    // Seconds on a clock that never goes back; timers are scheduled on it.
    static double monotonic();

    static bool isManual();
    // Enters manual mode with the wall clock at `wallSeconds` (the current time when negative).
    static void setManual(double wallSeconds = -1);
    static void setAutomatic();
    // Moves manual time forward and wakes every observer. Ignored in automatic mode.
    static void advance(double seconds);
    // Moves manual time forward to exactly that monotonic time (the wall clock by as much), so that
    // a timer due then is due to the last digit. Ignored in automatic mode; a time passed moves nothing.
    static void advanceTo(double monotonicSeconds);

    // Observers are told after every change of manual time (on the advancing thread); run loops
    // and the dispatch timer thread use this to re-examine their timers.
    static std::uint64_t addObserver(std::function<void()> observer);
    static void removeObserver(std::uint64_t token);

    // A keeper of timers answers the monotonic time of its earliest timer due strictly after
    // `after` (infinity for none). Sources may be asked from any thread, without the clock's lock.
    using DueTimeSource = std::function<double(double after)>;
    static std::uint64_t addDueTimeSource(DueTimeSource nextDueAfter);
    static void removeDueTimeSource(std::uint64_t token);
    // The earliest time any source has a timer due strictly after `after`; infinity for none.
    static double nextDueAfter(double after);
};
