#pragma once
// AdMob through its SDK ("GADBannerView", "GADInterstitial", "GADRequest"): the model of the
// outside-network plugins.

#include "sdk/adviews/VuderuAdNetworkSDKPlugin.h"

class VuderuAdNetworkAdMobPlugin : public VuderuAdNetworkSDKPlugin {
public:
    ~VuderuAdNetworkAdMobPlugin() override;

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation) override;
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                    const Connector& adContainer) override;
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                       const Connector& adContainer) override;
    void cleanupAdView(const std::string& space) override;
    bool internetAvailable() const { return internetAvailable_; }

protected:
    std::vector<CGSize> makeSupportedAdSizes() const override;
    const SelectorTable& outsideSelectors() const override;

private:
    Value adViewDidReceiveAd(const Value::Array& arguments);
    Value adViewDidFailToReceiveAdWithError(const Value::Array& arguments);
    Value adViewWillPresentScreen(const Value::Array& arguments);
    Value adViewDidDismissScreen(const Value::Array& arguments);
    Value adViewWillLeaveApplication(const Value::Array& arguments);
    Value interstitialDidReceiveAd(const Value::Array& arguments);
    Value interstitialDidFailToReceiveAdWithError(const Value::Array& arguments);
    Value interstitialWillPresentScreen(const Value::Array& arguments);
    Value interstitialWillDismissScreen(const Value::Array& arguments);
    Value interstitialDidDismissScreen(const Value::Array& arguments);
    Value interstitialWillLeaveApplication(const Value::Array& arguments);

    bool internetAvailable_ = false;
};
