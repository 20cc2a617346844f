#pragma once
// The SDK's steady clock: once started, posts "VuderuHeartBeatNotification" (object nil) on the
// default center every interval, on the run loop of the thread that started it.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSTimer.h"

#include <memory>

inline constexpr const char* VuderuHeartBeatNotification = "VuderuHeartBeatNotification";

class VuderuHeartBeater : public NSObject {
public:
    // The one instance, made and started with the interval on first use; later calls return it
    // unchanged and ignore the interval.
    static std::shared_ptr<VuderuHeartBeater> createAndStartInstance(NSTimeInterval seconds);
    // The instance, or nil before it was made.
    static std::shared_ptr<VuderuHeartBeater> instance();

    VuderuHeartBeater() = default;
    ~VuderuHeartBeater() override;

    // A repeating timer on the current run loop.
    void start(NSTimeInterval seconds);
    void heartBeat();

    NSTimeInterval interval() const { return timer_ ? timer_->timeInterval() : 0; }

private:
    std::shared_ptr<NSTimer> timer_;
};
