#include "sdk/adviews/VuderuAdNetworkMobclixPlugin.h"
#include "sdk/adviews/VuderuAdNetworkCallArguments.h"

#include "platform/uikit/UIViewController.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <atomic>

VuderuAdNetworkMobclixPlugin::~VuderuAdNetworkMobclixPlugin() { clearDelegates(); }

std::vector<CGSize> VuderuAdNetworkMobclixPlugin::makeSupportedAdSizes() const {
    return {{728, 90}, {468, 60}, {320, 50}, {300, 250}, {120, 600}};
}

std::string VuderuAdNetworkMobclixPlugin::bannerClassName(CGSize size) {
    if (size == CGSizeMake(728, 90)) return "MobclixAdViewiPad_728x90";
    if (size == CGSizeMake(468, 60)) return "MobclixAdViewiPad_468x60";
    if (size == CGSizeMake(320, 50)) return "MobclixAdViewiPhone_320x50";
    if (size == CGSizeMake(300, 250)) return VuderuUtil::isIPad() ? "MobclixAdViewiPad_300x250" : "MobclixAdViewiPhone_300x250";
    if (size == CGSizeMake(120, 600)) return "MobclixAdViewiPad_120x600";
    return {};
}

bool VuderuAdNetworkMobclixPlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) { return true; }

bool VuderuAdNetworkMobclixPlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                              bool takeover, const Connector& adContainer) {
    adRendered_ = false;
    if (!VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(space, parentView, takeover, adContainer)) return false;
    CGSize size = getBannerDimensions(parentView);
    if (size.height == 0) return false;
    auto applicationId = delegateKey(&VuderuAdDelegate::zidUvovMobclixApplicationID);
    if (!applicationId) {
        VuderuLog("VuderuZidUvov: must supply zidUvovMobclixApplicationID in delegate for Mobclix ads");
        return false;
    }
    if (!presentingViewController()) {
        VuderuLog("VuderuZidUvov: must supply viewController for Mobclix ads");
        return false;
    }
    // The SDK starts once per process, with the first request's id.
    static std::atomic<bool> started{false};
    if (!started.exchange(true)) VuderuOutsideSDK::send(VuderuOutsideSDK::lookUpClass("Mobclix"), "startWithApplicationId:", {Value(*applicationId)});
    return takeover ? requestInterstitial() : requestBanner(size);
}

bool VuderuAdNetworkMobclixPlugin::requestInterstitial() {
    if (!currentInterstitial_) {
        currentInterstitial_ = VuderuOutsideSDK::make(VuderuOutsideSDK::lookUpClass("MobclixFullScreenAdViewController"), "init");
        VuderuOutsideSDK::send(currentInterstitial_, "setDelegate:", {Value(self())});
    }
    if (mobclixInterstitialReady_) {
        withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    } else {
        VuderuOutsideSDK::send(currentInterstitial_, "requestAd");
    }
    return currentInterstitial_ != nullptr;
}

bool VuderuAdNetworkMobclixPlugin::requestBanner(CGSize size) {
    if (!currentBannerObject_) {
        std::string className = bannerClassName(size);
        if (className.empty()) {
            VuderuLog("Could not find Mobclix AdSize that matches size [%f, %f]", size.width, size.height);
        } else {
            VuderuLog("Determined Mobclix AdSize as [%f, %f]", size.width, size.height);
            Class bannerClass = outsideClass(className, className + " not found. Please ensure Mobclix Framework is referenced and enabled.");
            currentBannerObject_ = VuderuOutsideSDK::make(bannerClass, "initWithFrame:", {VuderuOutsideSDK::rectValue(CGRect{CGPointZero, size})});
            VuderuOutsideSDK::send(currentBannerObject_, "setDelegate:", {Value(self())});
        }
    }
    if (!currentBannerObject_) {
        VuderuLog("Cannot create Mobclix banner");
        return false;
    }
    if (mobclixBannerReady_) {
        withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    } else {
        VuderuOutsideSDK::send(currentBannerObject_, "getAd");
    }
    return true;
}

void VuderuAdNetworkMobclixPlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr& parentView,
                                                                                 bool takeover, const Connector&) {
    auto keep = self();
    if (takeover) {
        withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
        if (VuderuOutsideSDK::send(currentInterstitial_, "displayRequestedAdFromViewController:",
                                   {VuderuOutsideSDK::objectValue(presentingViewController())})
                .boolValue())
            mobclixInterstitialReady_ = false;
        adRendered_ = true;
        return;
    }
    if (!mobclixBannerReady_) {
        withContainer([](IVuderuAdNetworkConnector& view) { view.processRenderFailureSendReport(nullptr, true); });
        return;
    }
    addBannerViewIntoHolderView(currentBanner(), parentView);
    mobclixBannerReady_ = false;
    withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
    adRendered_ = true;
}

void VuderuAdNetworkMobclixPlugin::cleanupAdView(const std::string& space) {
    auto container = adContainer();
    if (container && container->space() == space) VuderuOutsideSDK::send(currentBannerObject_, "setDelegate:", {Value()});
    VuderuAdNetworkBasePlugin::cleanupAdView(space);
}

const VuderuAdNetworkBasePlugin::SelectorTable& VuderuAdNetworkMobclixPlugin::outsideSelectors() const {
    using P = VuderuAdNetworkMobclixPlugin;
    static const SelectorTable table = {
        {"adViewDidFinishLoad:", on(&P::adViewDidFinishLoad)},
        {"adViewWillTouchThrough:", on(&P::adViewWillTouchThrough)},
        {"adViewDidFinishTouchThrough:", on(&P::adViewDidFinishTouchThrough)},
        {"adView:didFailLoadWithError:", on(&P::adViewDidFailLoadWithError)},
        {"fullScreenAdViewControllerDidFinishLoad:", on(&P::fullScreenAdViewControllerDidFinishLoad)},
        {"fullScreenAdViewController:didFailToLoadWithError:", on(&P::fullScreenAdViewControllerDidFailToLoadWithError)},
        {"fullScreenAdViewControllerDidDismissAd:", on(&P::fullScreenAdViewControllerDidDismissAd)},
    };
    return table;
}

Value VuderuAdNetworkMobclixPlugin::adViewDidFinishLoad(const Value::Array&) {
    VuderuLog("Mobclix ad finished loading");
    mobclixBannerReady_ = true;
    withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    VuderuOutsideSDK::send(currentBannerObject_, "pauseAdAutoRefresh");
    return Value();
}

Value VuderuAdNetworkMobclixPlugin::adViewWillTouchThrough(const Value::Array&) {
    VuderuLog("Clicked mobclix ad, will open");
    withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillExpand(space); });
    return Value();
}

Value VuderuAdNetworkMobclixPlugin::adViewDidFinishTouchThrough(const Value::Array&) {
    VuderuLog("did open Clicked Mobclix banner");
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceDidCollapse(space); });
    VuderuOutsideSDK::send(currentBannerObject_, "getAd");
    return Value();
}

Value VuderuAdNetworkMobclixPlugin::adViewDidFailLoadWithError(const Value::Array& arguments) {
    auto error = VuderuAdNetworkErrorArgument(arguments, 1);
    VuderuLog("Failed to load Mobclix banner with error %@", error ? error->description() : std::string("(null)"));
    failed(error);
    return Value();
}

Value VuderuAdNetworkMobclixPlugin::fullScreenAdViewControllerDidFinishLoad(const Value::Array&) {
    VuderuLog("did get ad for mobclix interstitial");
    mobclixInterstitialReady_ = true;
    withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    return Value();
}

Value VuderuAdNetworkMobclixPlugin::fullScreenAdViewControllerDidFailToLoadWithError(const Value::Array& arguments) {
    VuderuLog("failed to get mobclix interstitial");
    failed(VuderuAdNetworkErrorArgument(arguments, 1));
    return Value();
}

Value VuderuAdNetworkMobclixPlugin::fullScreenAdViewControllerDidDismissAd(const Value::Array&) {
    VuderuLog("user dismissing mobclix interstitial");
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    return Value();
}
