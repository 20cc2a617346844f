#include "sdk/adviews/VuderuAdNetworkJumptapPlugin.h"
#include "sdk/adviews/VuderuAdNetworkCallArguments.h"

#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/analytics/VuderuLog.h"

#include <atomic>

namespace {
using SizeClass = VuderuAdNetworkJumptapPlugin::SizeClass;

// Shared by every Jumptap plugin of the process, as the widget's questions are answered from them.
std::atomic<SizeClass> latestSize{SizeClass::None};
std::atomic<bool> latestInterstitial{false};

Value keyValue(const std::optional<std::string>& key) { return key ? Value(*key) : Value(); }
} // namespace

VuderuAdNetworkJumptapPlugin::~VuderuAdNetworkJumptapPlugin() { clearDelegates(); }

std::vector<CGSize> VuderuAdNetworkJumptapPlugin::makeSupportedAdSizes() const { return {{728, 90}, {320, 50}, {300, 250}}; }

SizeClass VuderuAdNetworkJumptapPlugin::latestSizeClass() { return latestSize; }
bool VuderuAdNetworkJumptapPlugin::latestRequestWasInterstitial() { return latestInterstitial; }

bool VuderuAdNetworkJumptapPlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) {
    internetAvailable_ = true;
    return true;
}

CGSize VuderuAdNetworkJumptapPlugin::chooseSize(const UIViewPtr& parentView) {
    latestSize = SizeClass::None;
    CGSize size = getBannerDimensions(parentView);
    if (size.height == 0) return size;
    if (size == CGSizeMake(728, 90)) {
        latestSize = SizeClass::Leaderboard;
        VuderuLog("Determined Jumptap AdSize as Leaderboard: 728x90");
    } else if (size == CGSizeMake(320, 50)) {
        latestSize = SizeClass::Banner;
        VuderuLog("Determined Jumptap AdSize as Banner: 320x50");
    } else if (size == CGSizeMake(300, 250)) {
        latestSize = SizeClass::MediumRectangle;
        VuderuLog("Determined Jumptap AdSize as Medium Rectangle: 300x250");
    }
    return size;
}

bool VuderuAdNetworkJumptapPlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                              bool takeover, const Connector& adContainer) {
    adRendered_ = false;
    if (!VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(space, parentView, takeover, adContainer)) return false;
    CGSize size = chooseSize(parentView);
    if (size.height == 0) return false;
    if (!delegateKey(&VuderuAdDelegate::zidUvovJumptapPublisherID)) {
        VuderuLog("VuderuZidUvov: must supply zidUvovJumptapPublisherID in delegate for Jumptap ads");
        return false;
    }
    if (!presentingViewController()) {
        VuderuLog("VuderuZidUvov: must supply viewController for Jumptap ads");
        return false;
    }
    VuderuLog("VuderuZidUvov Jumptap! size: %f x %f", size.width, size.height);
    Class widgetClass = VuderuOutsideSDK::lookUpClass("JTAdWidget");
    static std::atomic<bool> started{false};
    if (widgetClass && !started.exchange(true)) VuderuOutsideSDK::send(widgetClass, "initializeAdService:", {Value(false)});

    latestInterstitial = takeover;
    // An interstitial widget loads only when it is shown; the banner widget starts at once.
    auto widget = VuderuOutsideSDK::make(widgetClass, "initWithDelegate:shouldStartLoading:", {Value(self()), Value(!takeover)});
    if (!widget) {
        VuderuLog(takeover ? "Could not create Jumptap intestital object" : "Could not create jumptap banner object");
        return false;
    }
    if (takeover) {
        currentInterstitial_ = widget;
        withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    } else {
        currentBannerObject_ = widget;
    }
    return true;
}

void VuderuAdNetworkJumptapPlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr& parentView,
                                                                                 bool takeover, const Connector&) {
    auto keep = self();
    if (takeover) {
        // The rendered event comes with beginDisplayingInterstitial:.
        VuderuOutsideSDK::send(currentInterstitial_, "refreshAd");
        return;
    }
    VuderuOutsideSDK::send(currentBannerObject_, "renderAd");
    placeBannerRendered(parentView);
}

void VuderuAdNetworkJumptapPlugin::cleanupAdView(const std::string& space) {
    auto container = adContainer();
    if (container && container->space() == space)
        VuderuOutsideSDK::send(currentBannerObject_ ? currentBannerObject_ : currentInterstitial_, "setDelegate:", {Value()});
    VuderuAdNetworkBasePlugin::cleanupAdView(space);
}

const VuderuAdNetworkBasePlugin::SelectorTable& VuderuAdNetworkJumptapPlugin::outsideSelectors() const {
    using P = VuderuAdNetworkJumptapPlugin;
    static const SelectorTable table = {
        {"publisherId:", on(&P::publisherId)},
        {"site:", on(&P::site)},
        {"adSpot:", on(&P::adSpot)},
        {"isInterstitial:", on(&P::isInterstitial)},
        {"shouldRenderAd:", on(&P::shouldRenderAd)},
        {"beginAdInteraction:", on(&P::beginAdInteraction)},
        {"endAdInteraction:", on(&P::endAdInteraction)},
        {"adWidget:didFailToRequestAd:", on(&P::adWidgetDidFailToShowAd)},
        {"adWidget:didFailToShowAd:", on(&P::adWidgetDidFailToShowAd)},
        {"beginDisplayingInterstitial:", on(&P::beginDisplayingInterstitial)},
        {"endDisplayingInterstitial:", on(&P::endDisplayingInterstitial)},
    };
    return table;
}

Value VuderuAdNetworkJumptapPlugin::publisherId(const Value::Array&) {
    auto key = delegateKey(&VuderuAdDelegate::zidUvovJumptapPublisherID);
    if (!key) VuderuLog("VuderuZidUvov: must supply zidUvovJumptapPublisherID in delegate for JumpTap ads");
    return keyValue(key);
}

Value VuderuAdNetworkJumptapPlugin::site(const Value::Array&) {
    auto key = delegateKey(&VuderuAdDelegate::zidUvovJumptapSiteID);
    if (!key) VuderuLog("VuderuZidUvov: optional JumpTap parameter zidUvovJumptapSiteID is not supplied.");
    return keyValue(key);
}

Value VuderuAdNetworkJumptapPlugin::adSpot(const Value::Array&) {
    std::optional<std::string> key;
    switch (latestSize.load()) {
    case SizeClass::Leaderboard:
        key = delegateKey(&VuderuAdDelegate::zidUvovJumptapLeaderboardAdSpotID);
        if (!key) VuderuLog("VuderuZidUvov: zidUvovJumptapLeadboardAdSpotID is not supplied.  Sending nil for ad spot ID");
        break;
    case SizeClass::Banner:
        key = delegateKey(&VuderuAdDelegate::zidUvovJumptapBannerAdSpotID);
        if (!key) VuderuLog("VuderuZidUvov: zidUvovJumptapBannerAdSpotID is not supplied.  Sending nil for ad spot ID");
        break;
    case SizeClass::MediumRectangle:
        key = delegateKey(&VuderuAdDelegate::zidUvovJumptapMediumRectangleAdSpotID);
        if (!key) VuderuLog("VuderuZidUvov: zidUvovJumptapMediumRectangleAdSpotID is not supplied.  Sending nil for ad spot ID");
        break;
    case SizeClass::None:
        VuderuLog("Unkown Jumptap AdSize. Sending nil for ad spot ID.");
        break;
    }
    return keyValue(key);
}

Value VuderuAdNetworkJumptapPlugin::isInterstitial(const Value::Array&) { return Value(latestInterstitial.load()); }

Value VuderuAdNetworkJumptapPlugin::shouldRenderAd(const Value::Array&) {
    if (!latestInterstitial) withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    return Value(true);
}

Value VuderuAdNetworkJumptapPlugin::beginAdInteraction(const Value::Array& arguments) {
    auto widget = arguments.empty() ? nullptr : arguments[0].objectAs<NSObject>();
    if (widget && widget == currentBannerObject_) {
        tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillExpand(space); });
        withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    } else if (widget && widget == currentInterstitial_) {
        withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    }
    return Value();
}

Value VuderuAdNetworkJumptapPlugin::endAdInteraction(const Value::Array&) {
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillCollapse(space); });
    return Value();
}

Value VuderuAdNetworkJumptapPlugin::adWidgetDidFailToShowAd(const Value::Array& arguments) {
    failed(VuderuAdNetworkErrorArgument(arguments, 1));
    return Value();
}

Value VuderuAdNetworkJumptapPlugin::beginDisplayingInterstitial(const Value::Array&) {
    withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
    adRendered_ = true;
    return Value();
}

Value VuderuAdNetworkJumptapPlugin::endDisplayingInterstitial(const Value::Array&) {
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    return Value();
}
