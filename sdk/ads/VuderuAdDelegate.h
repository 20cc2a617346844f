#pragma once
// The host application's delegate for ad life-cycle callbacks. Every method is optional: the
// default bodies do what a delegate that does not implement them does.

#include "platform/foundation/NSError.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class UIViewController;

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
    // A video ad ended before its end.
    virtual void videoDidNotFinish(const std::string& /*space*/) {}

    // The outside ad networks' credentials and the controller they present from; nullopt: the
    // delegate does not answer the key.
    using Key = std::optional<std::string>;
    virtual Key zidUvovAdMobPublisherID() { return std::nullopt; }
    virtual Key zidUvovInMobiAppKey() { return std::nullopt; }
    virtual Key zidUvovMillennialAppKey() { return std::nullopt; }
    virtual Key zidUvovMillennialInterstitalAppKey() { return std::nullopt; }
    virtual Key zidUvovMobclixApplicationID() { return std::nullopt; }
    virtual Key zidUvovJumptapPublisherID() { return std::nullopt; }
    virtual Key zidUvovJumptapSiteID() { return std::nullopt; }
    virtual Key zidUvovJumptapBannerAdSpotID() { return std::nullopt; }
    virtual Key zidUvovJumptapLeaderboardAdSpotID() { return std::nullopt; }
    virtual Key zidUvovJumptapMediumRectangleAdSpotID() { return std::nullopt; }
    virtual Key zidUvovGreystripeApplicationID() { return std::nullopt; }
    virtual std::optional<std::shared_ptr<UIViewController>> zidUvovRootViewController() { return std::nullopt; }
};
