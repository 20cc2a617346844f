#pragma once
// Dispatch times on the platform clock, and bounded waits that a manual clock can end.

#include "platform/dispatch/dispatch.h"

#include <condition_variable>
#include <functional>
#include <mutex>

namespace DispatchClock {
// Nanoseconds on PlatformClock::monotonic().
dispatch_time_t nowNanoseconds();
// DISPATCH_TIME_NOW resolved to now; other times as they stand.
dispatch_time_t resolve(dispatch_time_t when);
// `when` plus `nanoseconds`, saturating just below DISPATCH_TIME_FOREVER.
dispatch_time_t later(dispatch_time_t when, std::uint64_t nanoseconds);
// The longest single real-time wait; a longer one is split so that far-off times cannot overflow
// the host clock's arithmetic.
inline constexpr std::uint64_t kLongestWaitNanoseconds = 3600 * NSEC_PER_SEC;

// A mutex and condition that waiters share with a clock observer (which may be called after the
// waiter left, so both live in a shared object).
struct WaitState {
    std::mutex mutex;
    std::condition_variable condition;
};

// Waits on `state` (with `lock` held on its mutex) until `ready` holds or the platform clock
// reaches `deadline`; true when `ready` held. Under a manual clock only advance() passes the
// deadline, and it wakes the wait.
bool waitUntil(const std::shared_ptr<WaitState>& state, std::unique_lock<std::mutex>& lock, dispatch_time_t deadline,
               const std::function<bool()>& ready);

// Prints the message and aborts: misuse that deadlocks or corrupts on the device.
[[noreturn]] void fatal(const char* message);
} // namespace DispatchClock
