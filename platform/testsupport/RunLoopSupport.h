#pragma once
// Waiting in tests without sleeping: pump the main run loop until something holds, and drive a
// manual platform clock so that timers fire at once and in a known order.

#include <functional>

// Pumps the main run loop until the condition holds or `timeoutSeconds` of real time passed;
// returns the condition's last value. Must be called on the main thread. The default bound is only
// met by a test that fails: it leaves room for a loaded two-core machine under the sanitizers.
bool runMainUntil(const std::function<bool()>& condition, double timeoutSeconds = 60);

// Runs everything the main loop has to do right now (performs, main-queue blocks, due timers),
// including what those queue in turn, without waiting for anything new.
void drainMain();

// While alive, the platform clock is manual. advance() moves it and then drains the main loop, so
// that every timer and main-queue block due by then has run when it returns. The clock goes back
// to automatic mode when the object goes.
class ManualClock {
public:
    // Starts manual time at `wallSeconds` since 1970 (the current time when negative).
    explicit ManualClock(double wallSeconds = -1);
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    void advance(double seconds);
};
