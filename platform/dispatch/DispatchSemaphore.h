#pragma once
// A counting semaphore whose waits end at a time on the platform clock.

#include "platform/dispatch/DispatchClock.h"
#include "platform/foundation/NSObject.h"

class DispatchSemaphore : public NSObject {
public:
    explicit DispatchSemaphore(long value);
    // 0 when a unit was taken, non-zero when the time-out passed first.
    long wait(dispatch_time_t timeout);
    // Non-zero when a waiter was woken.
    long signal();

private:
    std::shared_ptr<DispatchClock::WaitState> state_ = std::make_shared<DispatchClock::WaitState>();
    long value_;
    long waiters_ = 0;
};
