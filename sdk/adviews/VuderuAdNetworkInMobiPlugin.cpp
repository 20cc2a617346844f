#include "sdk/adviews/VuderuAdNetworkInMobiPlugin.h"
#include "sdk/adviews/VuderuAdNetworkCallArguments.h"

#include "platform/foundation/NSString.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/analytics/VuderuLog.h"

namespace {
struct InMobiSize {
    CGSize size;
    long id;
};
constexpr InMobiSize kInMobiSizes[] = {{{728, 90}, 11}, {{468, 60}, 12}, {{320, 50}, 15}, {{300, 250}, 10}, {{120, 600}, 13}};
constexpr long kDefaultSizeId = 15;

void prepareInMobi(IVuderuAdNetworkConnector& view) { view.prepareView(); }
void click(IVuderuAdNetworkConnector& view) { view.processClick(); }
void closed(IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); }
} // namespace

VuderuAdNetworkInMobiPlugin::~VuderuAdNetworkInMobiPlugin() { clearDelegates(); }

std::vector<CGSize> VuderuAdNetworkInMobiPlugin::makeSupportedAdSizes() const {
    std::vector<CGSize> sizes;
    for (const auto& entry : kInMobiSizes) sizes.push_back(entry.size);
    return sizes;
}

long VuderuAdNetworkInMobiPlugin::sizeId(CGSize size) {
    for (const auto& entry : kInMobiSizes)
        if (entry.size == size) return entry.id;
    return kDefaultSizeId;
}

bool VuderuAdNetworkInMobiPlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) {
    internetAvailable_ = true;
    return true;
}

bool VuderuAdNetworkInMobiPlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                             bool takeover, const Connector& adContainer) {
    adRendered_ = false;
    auto appKey = delegateKey(&VuderuAdDelegate::zidUvovInMobiAppKey);
    Class inMobi = VuderuOutsideSDK::lookUpClass("InMobi");
    if (!inMobi) return false;
    // The SDK is started with every request.
    VuderuOutsideSDK::send(inMobi, "setLogLevel:", {Value(0)});
    VuderuOutsideSDK::send(inMobi, "initialize:", {appKey ? Value(*appKey) : Value()});
    if (!VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(space, parentView, takeover, adContainer)) return false;

    CGSize size = getBannerDimensions(parentView);
    if (size.height > 0) {
        VuderuLog("Determined InMobi AdSize as %@", NSString::stringWithFormat("%gx%g", size.width, size.height));
    } else {
        VuderuLog("Could not find InMobi AdSize that matches size [%f, %f]", size.width, size.height);
        return false;
    }
    if (!appKey) {
        VuderuLog("VuderuZidUvov: must supply zidUvovInMobiAppKey in delegate for InMobi ads");
        return false;
    }
    VuderuLog("VuderuZidUvov InMobi! size: %f x %f", size.width, size.height);

    auto self = Value(this->self());
    if (takeover) {
        currentInterstitial_ = VuderuOutsideSDK::make(VuderuOutsideSDK::lookUpClass("IMInterstitial"), "initWithAppId:", {Value(*appKey)});
        if (!currentInterstitial_) {
            VuderuLog("Could not create inMobi intestital object");
            return false;
        }
        VuderuOutsideSDK::send(currentInterstitial_, "setDelegate:", {self});
        VuderuOutsideSDK::send(currentInterstitial_, "setAppId:", {Value(*appKey)});
    } else {
        currentBannerObject_ =
            VuderuOutsideSDK::make(VuderuOutsideSDK::lookUpClass("IMBanner"), "initWithFrame:appId:adSize:",
                                   {VuderuOutsideSDK::rectValue(CGRect{CGPointZero, size}), Value(*appKey), Value(sizeId(size))});
        if (!currentBannerObject_) {
            VuderuLog("Could not create inMobi banner object");
            return false;
        }
        if (auto banner = currentBanner()) {
            banner->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                                        UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
        }
        VuderuOutsideSDK::send(currentBannerObject_, "setDelegate:", {self});
    }
    if (adReady_) {
        withContainer(prepareInMobi);
    } else {
        VuderuOutsideSDK::send(takeover ? currentInterstitial_ : currentBannerObject_, takeover ? "loadInterstitial" : "loadBanner");
    }
    return true;
}

void VuderuAdNetworkInMobiPlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr& parentView,
                                                                                bool takeover, const Connector&) {
    auto keep = self();
    if (!takeover) {
        placeBannerRendered(parentView);
        return;
    }
    if (!adReady_) {
        withContainer([](IVuderuAdNetworkConnector& view) { view.processRenderFailureSendReport(nullptr, true); });
        return;
    }
    VuderuOutsideSDK::send(currentInterstitial_, "presentInterstitialAnimated:", {Value(true)});
}

void VuderuAdNetworkInMobiPlugin::cleanupAdView(const std::string& space) {
    auto container = adContainer();
    if (container && container->space() == space)
        VuderuOutsideSDK::send(currentBannerObject_ ? currentBannerObject_ : currentInterstitial_, "setDelegate:", {Value()});
    VuderuAdNetworkBasePlugin::cleanupAdView(space);
}

const VuderuAdNetworkBasePlugin::SelectorTable& VuderuAdNetworkInMobiPlugin::outsideSelectors() const {
    using P = VuderuAdNetworkInMobiPlugin;
    static const SelectorTable table = {
        {"bannerDidReceiveAd:", on(&P::bannerDidReceiveAd)},
        {"banner:didFailToReceiveAdWithError:", on(&P::bannerDidFailToReceiveAdWithError)},
        {"bannerDidInteract:withParams:", on(&P::bannerDidInteractWithParams)},
        {"adViewWillPresentScreen:", on(&P::adViewWillPresentScreen)},
        {"adViewWillDismissScreen:", on(&P::adViewWillDismissScreen)},
        {"adViewDidDismissScreen:", on(&P::adViewDidDismissScreen)},
        {"bannerWillLeaveApplication:", on(&P::bannerWillLeaveApplication)},
        {"interstitialDidReceiveAd:", on(&P::interstitialDidReceiveAd)},
        {"interstitial:didFailToReceiveAdWithError:", on(&P::interstitialDidFailToReceiveAdWithError)},
        {"interstitialWillPresentScreen:", on(&P::interstitialWillPresentScreen)},
        {"interstitialWillDismissScreen:", on(&P::interstitialWillDismissScreen)},
        {"interstitialDidDismissScreen:", on(&P::interstitialDidDismissScreen)},
        {"interstitialWillLeaveApplication:", on(&P::interstitialWillLeaveApplication)},
        {"interstitialDidInteract:withParams:", on(&P::interstitialDidInteractWithParams)},
        {"interstitial:didFailToPresentScreenWithError:", on(&P::interstitialDidFailToPresentScreenWithError)},
    };
    return table;
}

Value VuderuAdNetworkInMobiPlugin::bannerDidReceiveAd(const Value::Array&) {
    // A banner that loads again while shown changes nothing.
    if (!adReady_) {
        withContainer(prepareInMobi);
        adReady_ = true;
    }
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::bannerDidFailToReceiveAdWithError(const Value::Array& arguments) {
    adReady_ = false;
    failed(VuderuAdNetworkErrorArgument(arguments, 1));
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::bannerDidInteractWithParams(const Value::Array&) {
    withContainer(click);
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::adViewWillPresentScreen(const Value::Array&) {
    withContainer(click);
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillExpand(space); });
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::adViewWillDismissScreen(const Value::Array&) {
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillCollapse(space); });
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::adViewDidDismissScreen(const Value::Array&) {
    VuderuOutsideSDK::send(currentBannerObject_, "loadBanner");
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceDidCollapse(space); });
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::bannerWillLeaveApplication(const Value::Array&) {
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillLeaveApplication(space); });
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::interstitialDidReceiveAd(const Value::Array&) {
    adReady_ = true;
    withContainer(prepareInMobi);
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::interstitialDidFailToReceiveAdWithError(const Value::Array& arguments) {
    adReady_ = false;
    VuderuLog("Failed to receive inMobi Interstitial");
    failed(VuderuAdNetworkErrorArgument(arguments, 1));
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::interstitialWillPresentScreen(const Value::Array&) {
    VuderuLog("showing inMobi interstitial");
    withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
    adRendered_ = true;
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::interstitialWillDismissScreen(const Value::Array&) {
    VuderuLog("user will dismiss inMobi interstitial");
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillDismissInterstitial(space, true); });
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::interstitialDidDismissScreen(const Value::Array&) {
    VuderuLog("user dismissed inMobi interstitial");
    withContainer(closed);
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceDidDismissInterstitial(space, true); });
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::interstitialWillLeaveApplication(const Value::Array&) {
    VuderuLog("user clicked inMobi interstitial");
    withContainer(closed);
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillLeaveApplication(space); });
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::interstitialDidInteractWithParams(const Value::Array&) {
    withContainer(click);
    return Value();
}

Value VuderuAdNetworkInMobiPlugin::interstitialDidFailToPresentScreenWithError(const Value::Array& arguments) {
    VuderuLog("Failed to receive inMobi Interstitial");
    auto error = VuderuAdNetworkErrorArgument(arguments, 1);
    withContainer([&](IVuderuAdNetworkConnector& view) { view.processRenderFailureSendReport(error, true); });
    return Value();
}
