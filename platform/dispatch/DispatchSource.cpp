#include "platform/dispatch/DispatchSource.h"

#include "platform/dispatch/DispatchClock.h"
#include "platform/dispatch/DispatchQueue.h"

DispatchSource::DispatchSource(dispatch_queue_t queue) : queue_(std::move(queue)) {}

void DispatchSource::setTimer(dispatch_time_t start, std::uint64_t interval, std::uint64_t) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (cancelled_) return;
    next_ = DispatchClock::resolve(start);
    interval_ = interval == 0 ? 1 : interval;
    disarmLocked();
    armLocked();
}

void DispatchSource::setEventHandler(dispatch_block_t handler) {
    std::lock_guard<std::mutex> guard(mutex_);
    eventHandler_ = std::move(handler);
}

void DispatchSource::setCancelHandler(dispatch_block_t handler) {
    std::lock_guard<std::mutex> guard(mutex_);
    cancelHandler_ = std::move(handler);
}

void DispatchSource::armLocked() {
    if (cancelled_ || suspendCount_ > 0 || next_ == DISPATCH_TIME_FOREVER || entry_ != 0) return;
    // Already due (a start in the past, a resume after the time passed): the event is queued
    // right away rather than whenever the timer thread gets to it.
    if (next_ <= DispatchClock::nowNanoseconds()) {
        fireLocked();
        return;
    }
    const std::uint64_t generation = generation_;
    // An armed source keeps itself alive, as on the platform, until it is cancelled or suspended.
    entry_ = DispatchTimerThread::shared().schedule(
        next_, [self = self<DispatchSource>(), generation] { self->timerFired(generation); });
}

void DispatchSource::disarmLocked() {
    ++generation_;
    if (entry_ != 0) DispatchTimerThread::shared().cancel(entry_);
    entry_ = 0;
}

void DispatchSource::timerFired(std::uint64_t generation) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (generation != generation_ || cancelled_) return;
    entry_ = 0;
    fireLocked();
}

void DispatchSource::fireLocked() {
    const dispatch_time_t now = DispatchClock::nowNanoseconds();
    if (interval_ == DISPATCH_TIME_FOREVER) {
        next_ = DISPATCH_TIME_FOREVER;
    } else {
        // Behind schedule, the missed times fold into this one event and the timer goes on at
        // the first time of its schedule that is still ahead.
        dispatch_time_t following = DispatchClock::later(next_, interval_);
        if (following <= now) following = DispatchClock::later(following, ((now - following) / interval_ + 1) * interval_);
        next_ = following;
    }
    queueEventLocked();
    armLocked();
}

void DispatchSource::queueEventLocked() {
    if (!eventPending_ && eventHandler_) {
        eventPending_ = true;
        auto self = this->self<DispatchSource>();
        queue_->async([self] {
            dispatch_block_t handler;
            {
                std::lock_guard<std::mutex> guard(self->mutex_);
                self->eventPending_ = false;
                if (self->cancelled_) return;
                if (self->suspendCount_ > 0) {
                    // Suspended after the event was queued: it is delivered on resume.
                    self->missedWhileSuspended_ = true;
                    return;
                }
                handler = self->eventHandler_;
            }
            if (handler) handler();
        });
    }
}

void DispatchSource::deliverCancelLocked() {
    if (!cancelled_ || cancelDelivered_ || suspendCount_ > 0) return;
    cancelDelivered_ = true;
    auto handler = std::move(cancelHandler_);
    cancelHandler_ = nullptr;
    // The event handler (and what it holds) goes once the source is cancelled.
    eventHandler_ = nullptr;
    if (handler) queue_->async(std::move(handler));
}

void DispatchSource::cancel() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (cancelled_) return;
    cancelled_ = true;
    disarmLocked();
    deliverCancelLocked();
}

bool DispatchSource::isCancelled() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return cancelled_;
}

void DispatchSource::suspend() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (++suspendCount_ == 1) disarmLocked();
}

void DispatchSource::resume() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (suspendCount_ == 0) DispatchClock::fatal("over-resume of a dispatch source");
    if (--suspendCount_ > 0) return;
    if (missedWhileSuspended_ && !cancelled_) {
        missedWhileSuspended_ = false;
        queueEventLocked();
    }
    armLocked();
    deliverCancelLocked();
}
