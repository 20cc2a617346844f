#pragma once
// InMobi through its SDK ("IMBanner", "IMInterstitial", "InMobi"). The SDK is started on every
// request; an ad already loaded on this plugin goes straight to the view.

#include "sdk/adviews/VuderuAdNetworkSDKPlugin.h"

class VuderuAdNetworkInMobiPlugin : public VuderuAdNetworkSDKPlugin {
public:
    ~VuderuAdNetworkInMobiPlugin() override;

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation) override;
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                    const Connector& adContainer) override;
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                       const Connector& adContainer) override;
    void cleanupAdView(const std::string& space) override;
    bool internetAvailable() const { return internetAvailable_; }
    bool adReady() const { return adReady_; }
    // The network's id of a banner size; 15 (320x50) for any size it does not list.
    static long sizeId(CGSize size);

protected:
    std::vector<CGSize> makeSupportedAdSizes() const override;
    const SelectorTable& outsideSelectors() const override;

private:
    Value bannerDidReceiveAd(const Value::Array& arguments);
    Value bannerDidFailToReceiveAdWithError(const Value::Array& arguments);
    Value bannerDidInteractWithParams(const Value::Array& arguments);
    Value adViewWillPresentScreen(const Value::Array& arguments);
    Value adViewWillDismissScreen(const Value::Array& arguments);
    Value adViewDidDismissScreen(const Value::Array& arguments);
    Value bannerWillLeaveApplication(const Value::Array& arguments);
    Value interstitialDidReceiveAd(const Value::Array& arguments);
    Value interstitialDidFailToReceiveAdWithError(const Value::Array& arguments);
    Value interstitialWillPresentScreen(const Value::Array& arguments);
    Value interstitialWillDismissScreen(const Value::Array& arguments);
    Value interstitialDidDismissScreen(const Value::Array& arguments);
    Value interstitialWillLeaveApplication(const Value::Array& arguments);
    Value interstitialDidInteractWithParams(const Value::Array& arguments);
    Value interstitialDidFailToPresentScreenWithError(const Value::Array& arguments);

    bool internetAvailable_ = false;
    bool adReady_ = false;
};
