#include "platform/foundation/NSTimer.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/PlatformClock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

namespace {
// The platform's floor for a repeating timer's interval; a zero interval would spin the loop.
constexpr NSTimeInterval kMinimumRepeatInterval = 0.0001;
constexpr double kNever = std::numeric_limits<double>::infinity();
} // namespace

struct NSTimer::State {
    mutable std::mutex mutex;
    bool valid = true;
    double fireTime = kNever; // on PlatformClock::monotonic()
    std::weak_ptr<NSRunLoop> loop;
    bool attached = false;
};

NSTimer::NSTimer(NSTimeInterval interval, bool repeats, Block block, Value userInfo)
    : interval_(repeats && interval < kMinimumRepeatInterval ? kMinimumRepeatInterval : std::max(interval, 0.0)),
      repeats_(repeats),
      block_(std::move(block)),
      userInfo_(std::move(userInfo)),
      state_(std::make_shared<State>()) {
    state_->fireTime = PlatformClock::monotonic() + interval_;
}

std::shared_ptr<NSTimer> NSTimer::timerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block, Value userInfo) {
    return std::make_shared<NSTimer>(interval, repeats, std::move(block), std::move(userInfo));
}

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block,
                                                                 Value userInfo) {
    auto timer = timerWithTimeInterval(interval, repeats, std::move(block), std::move(userInfo));
    NSRunLoop::currentRunLoop()->addTimer(timer);
    return timer;
}

void NSTimer::fire() {
    if (!isValid()) return;
    auto self = this->self<NSTimer>();
    if (block_) block_(self);
    if (!repeats_) invalidate();
}

void NSTimer::invalidate() {
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        state_->valid = false;
        state_->fireTime = kNever;
        loop = state_->loop.lock();
    }
    if (loop) loop->removeTimer(this);
}

bool NSTimer::isValid() const {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return state_->valid;
}

std::shared_ptr<NSDate> NSTimer::fireDate() const {
    double at;
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        at = state_->fireTime;
    }
    if (at == kNever) return NSDate::distantFuture();
    return NSDate::dateWithTimeIntervalSinceNow(at - PlatformClock::monotonic());
}

void NSTimer::setFireDate(const std::shared_ptr<NSDate>& date) {
    std::shared_ptr<NSRunLoop> loop;
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        if (!state_->valid) return;
        state_->fireTime = date ? PlatformClock::monotonic() + date->timeIntervalSinceNow() : kNever;
        loop = state_->loop.lock();
    }
    if (loop) loop->wakeUp();
}

double NSTimer::scheduledFireTime() const {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return state_->fireTime;
}

bool NSTimer::attachToRunLoop(const std::shared_ptr<NSRunLoop>& loop) {
    std::lock_guard<std::mutex> guard(state_->mutex);
    if (!state_->valid) return false;
    if (state_->attached) return state_->loop.lock() == loop;
    state_->attached = true;
    state_->loop = loop;
    return true;
}

void NSTimer::fireFromRunLoop() {
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        const double now = PlatformClock::monotonic();
        if (!state_->valid || state_->fireTime > now) return;
        if (repeats_) {
            // Behind schedule (a blocked loop, a manual clock jump): fire once for all the missed
            // times instead of catching up in a burst, and go on at the first time of the original
            // schedule that is still ahead, as the platform does.
            double next = state_->fireTime + interval_;
            if (next <= now) next += std::floor((now - next) / interval_ + 1) * interval_;
            if (next <= now) next += interval_;
            state_->fireTime = next;
        } else {
            state_->fireTime = kNever;
        }
    }
    auto self = this->self<NSTimer>();
    if (block_) block_(self);
    if (!repeats_) invalidate();
}
