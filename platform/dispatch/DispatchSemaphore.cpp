#include "platform/dispatch/DispatchSemaphore.h"

namespace {
// What the platform returns for a wait that timed out (KERN_OPERATION_TIMED_OUT).
constexpr long kSemaphoreTimedOut = 49;
} // namespace

DispatchSemaphore::DispatchSemaphore(long value) : value_(value) {}

long DispatchSemaphore::wait(dispatch_time_t timeout) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    ++waiters_;
    bool got = DispatchClock::waitUntil(state_, lock, timeout, [this] { return value_ > 0; });
    --waiters_;
    if (!got) return kSemaphoreTimedOut;
    --value_;
    return 0;
}

long DispatchSemaphore::signal() {
    // Notified under the lock: the woken waiter may release the semaphore as soon as it runs.
    std::lock_guard<std::mutex> guard(state_->mutex);
    ++value_;
    if (waiters_ == 0) return 0;
    state_->condition.notify_one();
    return 1;
}
