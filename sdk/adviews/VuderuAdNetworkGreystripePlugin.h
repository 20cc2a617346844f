#pragma once
// Greystripe through its SDK (a banner class per size, "GSFullscreenAd"). The plugin keeps its
// banner or interstitial across requests and asks it whether an ad is ready before fetching.

#include "sdk/adviews/VuderuAdNetworkSDKPlugin.h"

class VuderuAdNetworkGreystripePlugin : public VuderuAdNetworkSDKPlugin {
public:
    ~VuderuAdNetworkGreystripePlugin() override;

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation) override;
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                    const Connector& adContainer) override;
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                       const Connector& adContainer) override;
    void cleanupAdView(const std::string& space) override;
    // The text of a Greystripe error code.
    static std::string errorMessage(long code);

protected:
    std::vector<CGSize> makeSupportedAdSizes() const override;
    const SelectorTable& outsideSelectors() const override;

private:
    bool request(const UIViewPtr& parentView, bool takeover);
    bool isCurrent(const Value::Array& arguments) const;
    Value greystripeGUID(const Value::Array& arguments);
    Value greystripeBannerAutoload(const Value::Array& arguments);
    Value greystripeBannerDisplayViewController(const Value::Array& arguments);
    Value greystripeAdFetchSucceeded(const Value::Array& arguments);
    Value greystripeAdFetchFailedWithError(const Value::Array& arguments);
    Value greystripeAdClickedThrough(const Value::Array& arguments);
    Value greystripeWillPresentModalViewController(const Value::Array& arguments);
    Value greystripeWillDismissModalViewController(const Value::Array& arguments);
    Value greystripeDidDismissModalViewController(const Value::Array& arguments);
    Value greystripeBannerAdWillExpand(const Value::Array& arguments);
    Value greystripeBannerAdDidCollapse(const Value::Array& arguments);
};
