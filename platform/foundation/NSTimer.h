#pragma once
// Timers on the platform clock, served by the run loop they are added to.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <functional>
#include <memory>

class NSTimer : public NSObject {
public:
    using Block = std::function<void(const std::shared_ptr<NSTimer>& timer)>;

    NSTimer(NSTimeInterval interval, bool repeats, Block block, Value userInfo);

    // Not yet scheduled; add it to a run loop.
    static std::shared_ptr<NSTimer> timerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block, Value userInfo = {});
    // Scheduled on the current thread's run loop in the default mode.
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(NSTimeInterval interval, bool repeats, Block block,
                                                                   Value userInfo = {});

    void fire();
    void invalidate();
    bool isValid() const;
    NSTimeInterval timeInterval() const { return interval_; }
    std::shared_ptr<NSDate> fireDate() const;
    void setFireDate(const std::shared_ptr<NSDate>& date);
    const Value& userInfo() const { return userInfo_; }

private:
    friend class NSRunLoop;
    NSTimeInterval interval_;
    bool repeats_;
    Block block_;
    Value userInfo_;
    struct State;
    std::shared_ptr<State> state_;
};
