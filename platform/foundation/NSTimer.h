#pragma once
// Timers on the platform clock, served by the run loop they are added to.
//
// Invalidation is thread-safe: once invalidate() returns, no new firing of the block begins (a
// firing already under way on the loop's thread finishes). A repeating timer that fell behind
// fires once, never in a burst, and goes on at the next time of its schedule that is ahead.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

class NSRunLoop;

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
    // The run loop's side: the monotonic time of the next firing (infinity when there is none),
    // binding to the one loop that serves the timer, and firing when due.
    double scheduledFireTime() const;
    bool attachToRunLoop(const std::shared_ptr<NSRunLoop>& loop);
    void fireFromRunLoop();

    NSTimeInterval interval_;
    bool repeats_;
    Block block_;
    Value userInfo_;
    struct State;
    std::shared_ptr<State> state_;
};
