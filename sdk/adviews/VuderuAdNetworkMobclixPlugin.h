#pragma once
// Mobclix through its SDK ("Mobclix", one banner class per size, "MobclixFullScreenAdViewController").
// The SDK starts once per process; an ad already loaded on this plugin goes straight to the view.

#include "sdk/adviews/VuderuAdNetworkSDKPlugin.h"

class VuderuAdNetworkMobclixPlugin : public VuderuAdNetworkSDKPlugin {
public:
    ~VuderuAdNetworkMobclixPlugin() override;

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation) override;
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                    const Connector& adContainer) override;
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                       const Connector& adContainer) override;
    void cleanupAdView(const std::string& space) override;
    // The banner class of a size on this device; empty for a size without one.
    static std::string bannerClassName(CGSize size);

protected:
    std::vector<CGSize> makeSupportedAdSizes() const override;
    const SelectorTable& outsideSelectors() const override;

private:
    bool requestInterstitial();
    bool requestBanner(CGSize size);
    Value adViewDidFinishLoad(const Value::Array& arguments);
    Value adViewWillTouchThrough(const Value::Array& arguments);
    Value adViewDidFinishTouchThrough(const Value::Array& arguments);
    Value adViewDidFailLoadWithError(const Value::Array& arguments);
    Value fullScreenAdViewControllerDidFinishLoad(const Value::Array& arguments);
    Value fullScreenAdViewControllerDidFailToLoadWithError(const Value::Array& arguments);
    Value fullScreenAdViewControllerDidDismissAd(const Value::Array& arguments);

    bool mobclixBannerReady_ = false;
    bool mobclixInterstitialReady_ = false;
};
