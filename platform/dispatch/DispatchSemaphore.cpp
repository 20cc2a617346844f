#include "platform/dispatch/DispatchSemaphore.h"

namespace {
// What the platform returns for a wait that timed out (KERN_OPERATION_TIMED_OUT).
constexpr long kTimedOut = 49;
} // namespace

DispatchSemaphore::DispatchSemaphore(long value) : value_(value) {}

long DispatchSemaphore::wait(dispatch_time_t timeout) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    ++waiters_;
    bool got = DispatchClock::waitUntil(state_, lock, timeout, [this] { return value_ > 0; });
    --waiters_;
    if (!got) return kTimedOut;
    --value_;
    return 0;
}

long DispatchSemaphore::signal() {
    bool woke;
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        ++value_;
        woke = waiters_ > 0;
    }
    if (woke) state_->condition.notify_one();
    return woke ? 1 : 0;
}
