#pragma once
// A timer source: created suspended, armed by set_timer, firing its event handler on its target
// queue. A source that fell behind (a blocked queue, a manual clock jump) fires once and goes on
// at the next time of its schedule that is ahead; an event still waiting on the queue is not
// queued twice.

#include "platform/dispatch/DispatchTimerThread.h"
#include "platform/foundation/NSObject.h"

#include <mutex>

class DispatchSource : public NSObject {
public:
    explicit DispatchSource(dispatch_queue_t queue);

    void setTimer(dispatch_time_t start, std::uint64_t interval, std::uint64_t leeway);
    void setEventHandler(dispatch_block_t handler);
    void setCancelHandler(dispatch_block_t handler);
    void cancel();
    bool isCancelled() const;
    void suspend();
    void resume();

private:
    void armLocked();
    void disarmLocked();
    void timerFired(std::uint64_t generation);
    void fireLocked();
    void queueEventLocked();
    void deliverCancelLocked();

    mutable std::mutex mutex_;
    dispatch_queue_t queue_;
    dispatch_block_t eventHandler_;
    dispatch_block_t cancelHandler_;
    dispatch_time_t next_ = DISPATCH_TIME_FOREVER;
    std::uint64_t interval_ = DISPATCH_TIME_FOREVER;
    int suspendCount_ = 1;
    bool cancelled_ = false;
    bool cancelDelivered_ = false;
    bool eventPending_ = false;
    bool missedWhileSuspended_ = false;
    std::uint64_t generation_ = 0;
    DispatchTimerThread::EntryId entry_ = 0;
};
