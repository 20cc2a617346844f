#pragma once
// Jumptap through its SDK ("JTAdWidget"). The widget asks the plugin for its parameters; the kind
// of the latest request and the size class of the latest size choice belong to the class and
// answer for every Jumptap plugin of the process.

#include "sdk/adviews/VuderuAdNetworkSDKPlugin.h"

class VuderuAdNetworkJumptapPlugin : public VuderuAdNetworkSDKPlugin {
public:
    enum class SizeClass { None, Leaderboard, Banner, MediumRectangle };

    ~VuderuAdNetworkJumptapPlugin() override;

    bool adIsAvailableParentViewOrientation(const std::string& space, const UIViewPtr& parentView, std::int64_t orientation) override;
    bool getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                    const Connector& adContainer) override;
    void renderAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView, bool takeover,
                                                       const Connector& adContainer) override;
    void cleanupAdView(const std::string& space) override;
    bool internetAvailable() const { return internetAvailable_; }
    static SizeClass latestSizeClass();
    static bool latestRequestWasInterstitial();

protected:
    std::vector<CGSize> makeSupportedAdSizes() const override;
    const SelectorTable& outsideSelectors() const override;

private:
    // The size choice, which also fixes the class's size class.
    CGSize chooseSize(const UIViewPtr& parentView);
    Value publisherId(const Value::Array& arguments);
    Value site(const Value::Array& arguments);
    Value adSpot(const Value::Array& arguments);
    Value isInterstitial(const Value::Array& arguments);
    Value shouldRenderAd(const Value::Array& arguments);
    Value beginAdInteraction(const Value::Array& arguments);
    Value endAdInteraction(const Value::Array& arguments);
    Value adWidgetDidFailToShowAd(const Value::Array& arguments);
    Value beginDisplayingInterstitial(const Value::Array& arguments);
    Value endDisplayingInterstitial(const Value::Array& arguments);

    bool internetAvailable_ = false;
};
