#pragma once
// The platform's own ad network through the shared iAd link: the plugin binds itself to the
// link for one request, shows the shared banner in its ad-space view or presents the shared
// interstitial (an iPad only), and hears the iAd callbacks the link forwards.

#include "sdk/adviews/VuderuAdNetworkBasePlugin.h"

class VuderuAdNetworkIAdPlugin : public VuderuAdNetworkBasePlugin {
public:
    ~VuderuAdNetworkIAdPlugin() override;

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation) override;
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                    const Connector& adContainer) override;
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                       const Connector& adContainer) override;
    void cleanupAdView(const std::string& space) override;
    void adjustAdBannerFrame() override;
    // The link's banner, when there is one.
    UIViewPtr currentBanner() const override;
    bool isAdRendered() const { return adRendered_; }

protected:
    const SelectorTable& outsideSelectors() const override;

private:
    Value bannerViewDidLoadAd(const Value::Array& arguments);
    Value bannerViewActionShouldBeginWillLeaveApplication(const Value::Array& arguments);
    Value bannerViewActionDidFinish(const Value::Array& arguments);
    Value bannerViewDidFailToReceiveAdWithError(const Value::Array& arguments);
    Value interstitialAdDidLoad(const Value::Array& arguments);
    Value interstitialAdDidFailWithError(const Value::Array& arguments);
    Value interstitialAdActionShouldBeginWillLeaveApplication(const Value::Array& arguments);
    Value interstitialAdActionDidFinish(const Value::Array& arguments);
    Value interstitialAdDidUnload(const Value::Array& arguments);
    void failed(const Value::Array& arguments);
    void tellDelegate(void (VuderuAdDelegate::*call)(const std::string&)) const;

    bool adRendered_ = false;
};
