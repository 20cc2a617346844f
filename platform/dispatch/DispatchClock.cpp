#include "platform/dispatch/DispatchClock.h"

#include "platform/foundation/PlatformClock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace DispatchClock {

dispatch_time_t nowNanoseconds() {
    return static_cast<dispatch_time_t>(std::llround(PlatformClock::monotonic() * static_cast<double>(NSEC_PER_SEC)));
}

dispatch_time_t resolve(dispatch_time_t when) { return when == DISPATCH_TIME_NOW ? nowNanoseconds() : when; }

dispatch_time_t later(dispatch_time_t when, std::uint64_t nanoseconds) {
    constexpr dispatch_time_t kLatest = DISPATCH_TIME_FOREVER - 1;
    return nanoseconds >= kLatest || when >= kLatest - nanoseconds ? kLatest : when + nanoseconds;
}

bool waitUntil(const std::shared_ptr<WaitState>& state, std::unique_lock<std::mutex>& lock, dispatch_time_t deadline,
               const std::function<bool()>& ready) {
    if (ready()) return true;
    deadline = resolve(deadline);
    if (deadline == DISPATCH_TIME_FOREVER) {
        state->condition.wait(lock, ready);
        return true;
    }
    // Taking the mutex in the observer orders its notify after the waiter has started waiting.
    std::uint64_t observer = PlatformClock::addObserver([state] {
        { std::lock_guard<std::mutex> guard(state->mutex); }
        state->condition.notify_all();
    });
    bool result = false;
    while (true) {
        if (ready()) {
            result = true;
            break;
        }
        const dispatch_time_t now = nowNanoseconds();
        if (now >= deadline) break;
        if (PlatformClock::isManual()) {
            state->condition.wait(lock);
        } else {
            state->condition.wait_for(lock, std::chrono::nanoseconds(std::min(deadline - now, kLongestWaitNanoseconds)));
        }
    }
    lock.unlock();
    PlatformClock::removeObserver(observer);
    lock.lock();
    return result;
}

void fatal(const char* message) {
    std::fprintf(stderr, "dispatch: %s\n", message);
    std::fflush(stderr);
    std::abort();
}

} // namespace DispatchClock
