#pragma once
// The host application's delegate for ad life-cycle callbacks. Every method is optional: the
// default bodies do what a delegate that does not implement them does.

#include "platform/foundation/NSError.h"

#include <cstdint>
#include <optional>
#include <string>

class VuderuAdDelegate {
public:
    virtual ~VuderuAdDelegate() = default;

    virtual void spaceDidReceiveAd(const std::string& /*space*/) {}
    virtual void spaceDidFailToReceiveAdError(const std::string& /*space*/, const NSErrorPtr& /*error*/) {}
    // Questions before an ad is shown; nil: the delegate does not answer them.
    virtual std::optional<bool> spaceShouldDisplayInterstitial(const std::string& /*space*/, bool /*interstitial*/) { return std::nullopt; }
    virtual std::optional<bool> spaceShouldDisplayForType(const std::string& /*space*/, std::int32_t /*type*/) { return std::nullopt; }
    virtual void spaceDidRenderInterstitial(const std::string& /*space*/, bool /*interstitial*/) {}
    virtual void spaceDidFailToRenderError(const std::string& /*space*/, const NSErrorPtr& /*error*/) {}
    virtual void spaceWillDismissInterstitial(const std::string& /*space*/, bool /*interstitial*/) {}
    virtual void spaceDidDismissInterstitial(const std::string& /*space*/, bool /*interstitial*/) {}
    virtual void spaceWillLeaveApplication(const std::string& /*space*/) {}
    virtual void spaceWillExpand(const std::string& /*space*/) {}
    virtual void spaceWillCollapse(const std::string& /*space*/) {}
    virtual void spaceDidCollapse(const std::string& /*space*/) {}
    virtual void spaceDidReceiveClick(const std::string& /*space*/) {}
    virtual void videoDidFinish(const std::string& /*space*/) {}
};
