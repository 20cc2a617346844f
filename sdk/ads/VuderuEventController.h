#pragma once
// Turns one ad event into its effects, one action per call: the first call records the event in
// the ad log of the frame's GUID and fires the event's VAST tracking URLs; each call then runs the
// next action the frame's callback attaches to the event name (or the event's default action)
// and answers YES, until none is left (NO). A caller makes one controller per event and keeps
// the result-action slot, starting at 0, and the dictionary across the calls of its loop.
// Main thread only.

#include "platform/foundation/Value.h"
#include "sdk/ads/IVuderuEventControllerHandler.h"
#include "sdk/ads/VuderuAdEvent.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class VuderuEventController : public NSObject {
public:
    VuderuEventController() = default;

    bool processEventForEventHandlerCurrentFrameWithResultActionParams(const std::optional<std::string>& event,
                                                                       const IVuderuEventControllerHandlerPtr& handler,
                                                                       const VuderuAdFramePtr& frame, std::int32_t* resultAction,
                                                                       Value::Dictionary& params);

    IVuderuEventControllerHandlerPtr ad() const { return ad_.lock(); }
    void setAd(const IVuderuEventControllerHandlerPtr& ad) { ad_ = ad; }
    const VuderuAdEventPtr& adEvent() const { return adEvent_; }
    void setAdEvent(VuderuAdEventPtr event) { adEvent_ = std::move(event); }
    const VuderuAdFramePtr& adFrame() const { return adFrame_; }
    void setAdFrame(VuderuAdFramePtr frame) { adFrame_ = std::move(frame); }
    std::int32_t event() const { return event_; }
    void setEvent(std::int32_t event) { event_ = event; }
    std::int32_t curActionIndex() const { return curActionIndex_; }
    void setCurActionIndex(std::int32_t index) { curActionIndex_ = index; }

private:
    struct Split;
    void fireVASTTracking(std::int32_t eventId, const VuderuAdFramePtr& frame, const Value::Dictionary& params) const;
    void logEvent(const Split& split, const IVuderuEventControllerHandlerPtr& handler, Value::Dictionary& params);
    void logCombinableRendered(const Split& split, const IVuderuEventControllerHandlerPtr& handler, Value::Dictionary& params);

    std::weak_ptr<IVuderuEventControllerHandler> ad_;
    VuderuAdEventPtr adEvent_;
    VuderuAdFramePtr adFrame_;
    std::int32_t event_ = 0;
    std::int32_t curActionIndex_ = 0;
    // The event's VAST URLs go out on the first call of the loop only.
    bool trackingFired_ = false;
};
