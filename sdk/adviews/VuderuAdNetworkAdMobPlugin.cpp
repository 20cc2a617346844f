#include "sdk/adviews/VuderuAdNetworkAdMobPlugin.h"
#include "sdk/adviews/VuderuAdNetworkCallArguments.h"

#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/analytics/VuderuLog.h"

namespace {
const char* const kAdMobSizeNames[] = {"IAB_LEADERBOARD", "IAB_BANNER", "BANNER", "IAB_MRECT"};
} // namespace

VuderuAdNetworkAdMobPlugin::~VuderuAdNetworkAdMobPlugin() { clearDelegates(); }

std::vector<CGSize> VuderuAdNetworkAdMobPlugin::makeSupportedAdSizes() const { return {{728, 90}, {468, 60}, {320, 50}, {300, 250}}; }

bool VuderuAdNetworkAdMobPlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) {
    internetAvailable_ = true;
    return true;
}

bool VuderuAdNetworkAdMobPlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                            bool takeover, const Connector& adContainer) {
    adRendered_ = false;
    if (!VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(space, parentView, takeover, adContainer)) return false;
    // The size is chosen for interstitials too: a parent that fits no banner gets no ad at all.
    CGSize size = getBannerDimensions(parentView);
    const auto& sizes = supportedAdSizes();
    auto listed = std::find(sizes.begin(), sizes.end(), size);
    if (listed != sizes.end()) {
        VuderuLog("Determined Admob AdSize as %@", kAdMobSizeNames[listed - sizes.begin()]);
    } else {
        VuderuLog("Could not find Admob AdSize that matches size [%f, %f]", size.width, size.height);
    }
    if (size.height == 0) return false;
    auto publisherId = delegateKey(&VuderuAdDelegate::zidUvovAdMobPublisherID);
    if (!publisherId) {
        VuderuLog("VuderuZidUvov: must supply zidUvovAdMobPublisherID in delegate for AdMob ads");
        return false;
    }
    if (!presentingViewController()) {
        VuderuLog("VuderuZidUvov: must supply viewController for Admob ads");
        return false;
    }
    VuderuLog("VuderuZidUvov AdMob size: %f x %f", size.width, size.height);

    Class requestClass = outsideClass("GADRequest", "GADRequest not found. Please ensure adMob framework is referenced and enabled.");
    if (!requestClass) return false;
    Class objectClass = takeover ? outsideClass("GADInterstitial", "GADInterstitial not found. Please ensure adMob framework is referenced and enabled.")
                                 : outsideClass("GADBannerView", "GADBannerView not found. Please ensure adMob framework is referenced and enabled.");
    if (!objectClass) return false;
    auto object = VuderuOutsideSDK::make(objectClass, "init");
    if (!object) return false;
    auto self = Value(this->self());
    if (takeover) {
        currentInterstitial_ = object;
        VuderuOutsideSDK::send(object, "setAdUnitID:", {Value(*publisherId)});
        VuderuOutsideSDK::send(object, "setDelegate:", {self});
    } else {
        currentBannerObject_ = object;
        VuderuOutsideSDK::send(object, "setFrame:", {VuderuOutsideSDK::rectValue(CGRect{CGPointZero, size})});
        VuderuOutsideSDK::send(object, "setAdUnitID:", {Value(*publisherId)});
        VuderuOutsideSDK::send(object, "setDelegate:", {self});
        std::shared_ptr<UIViewController> root = VuderuAdManager::instance()->rvc();
        if (!root) {
            auto delegate = getVuderuAdDelegate();
            root = delegate ? delegate->zidUvovRootViewController().value_or(nullptr) : nullptr;
        }
        VuderuOutsideSDK::send(object, "setRootViewController:", {VuderuOutsideSDK::objectValue(root)});
    }
    VuderuOutsideSDK::send(object, "loadRequest:", {VuderuOutsideSDK::send(requestClass, "request")});
    return true;
}

void VuderuAdNetworkAdMobPlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr& parentView,
                                                                               bool takeover, const Connector&) {
    auto keep = self();
    if (takeover) {
        // The rendered event comes with interstitialWillPresentScreen:.
        VuderuOutsideSDK::send(currentInterstitial_, "presentFromRootViewController:", {VuderuOutsideSDK::objectValue(presentingViewController())});
        return;
    }
    adoptPresentedRootViewController();
    placeBannerRendered(parentView);
}

void VuderuAdNetworkAdMobPlugin::cleanupAdView(const std::string& space) {
    auto container = adContainer();
    if (container && container->space() == space) {
        auto object = currentBannerObject_ ? currentBannerObject_ : currentInterstitial_;
        VuderuOutsideSDK::send(object, "setDelegate:", {Value()});
    }
    VuderuAdNetworkBasePlugin::cleanupAdView(space);
}

const VuderuAdNetworkBasePlugin::SelectorTable& VuderuAdNetworkAdMobPlugin::outsideSelectors() const {
    using P = VuderuAdNetworkAdMobPlugin;
    static const SelectorTable table = {
        {"adViewDidReceiveAd:", on(&P::adViewDidReceiveAd)},
        {"adView:didFailToReceiveAdWithError:", on(&P::adViewDidFailToReceiveAdWithError)},
        {"adViewWillPresentScreen:", on(&P::adViewWillPresentScreen)},
        {"adViewDidDismissScreen:", on(&P::adViewDidDismissScreen)},
        {"adViewWillLeaveApplication:", on(&P::adViewWillLeaveApplication)},
        {"interstitialDidReceiveAd:", on(&P::interstitialDidReceiveAd)},
        {"interstitial:didFailToReceiveAdWithError:", on(&P::interstitialDidFailToReceiveAdWithError)},
        {"interstitialWillPresentScreen:", on(&P::interstitialWillPresentScreen)},
        {"interstitialWillDismissScreen:", on(&P::interstitialWillDismissScreen)},
        {"interstitialDidDismissScreen:", on(&P::interstitialDidDismissScreen)},
        {"interstitialWillLeaveApplication:", on(&P::interstitialWillLeaveApplication)},
    };
    return table;
}

Value VuderuAdNetworkAdMobPlugin::adViewDidReceiveAd(const Value::Array&) {
    withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::adViewDidFailToReceiveAdWithError(const Value::Array& arguments) {
    failed(VuderuAdNetworkErrorArgument(arguments, 1));
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::adViewWillPresentScreen(const Value::Array&) {
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillExpand(space); });
    withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::adViewDidDismissScreen(const Value::Array&) {
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceDidCollapse(space); });
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::adViewWillLeaveApplication(const Value::Array&) {
    withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillLeaveApplication(space); });
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::interstitialDidReceiveAd(const Value::Array&) {
    withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::interstitialDidFailToReceiveAdWithError(const Value::Array& arguments) {
    VuderuLog("Failed to receive AdMob Interstitial");
    failed(VuderuAdNetworkErrorArgument(arguments, 1));
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::interstitialWillPresentScreen(const Value::Array&) {
    VuderuLog("showing AdMob interstitial");
    withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
    adRendered_ = true;
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::interstitialWillDismissScreen(const Value::Array&) {
    VuderuLog("Will Dismiss AdMob interstitial");
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillDismissInterstitial(space, true); });
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::interstitialDidDismissScreen(const Value::Array&) {
    VuderuLog("user dismissed AdMob interstitial");
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    return Value();
}

Value VuderuAdNetworkAdMobPlugin::interstitialWillLeaveApplication(const Value::Array&) {
    VuderuLog("user clicked AdMob interstitial");
    withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillLeaveApplication(space); });
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    return Value();
}
