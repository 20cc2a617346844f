#pragma once
// What the action engine asks of the view whose frame an action acts on: switching frames, now
// or after a delay, and hearing where a followed link ended.

#include "sdk/ads/VuderuAdFrame.h"

#include "platform/foundation/NSError.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class VuderuActionDelegate {
public:
    virtual ~VuderuActionDelegate() = default;

    // Shows the frame; false with the error when it cannot.
    virtual bool loadAdFrameError(const VuderuAdFramePtr& frame, NSErrorPtr* error) = 0;
    // Schedules a switch to the frame named by the offset ("next", "previous", "current" or an
    // index) after the delay in seconds.
    virtual void loadAdFrameWithDelayFrameOffset(std::int64_t delay, std::string& offset) = 0;
    // Shows the current frame again.
    virtual void resumeFrame() = 0;
    // A link an action opened: where it ended (nil when nothing is known), or why it failed.
    virtual void linkProcessedForAdAction(const std::optional<std::string>& url, const std::string& adAction) = 0;
    virtual void linkNotProcessedForAdAction(const NSErrorPtr& error, const std::string& adAction) = 0;
};
using VuderuActionDelegatePtr = std::shared_ptr<VuderuActionDelegate>;
