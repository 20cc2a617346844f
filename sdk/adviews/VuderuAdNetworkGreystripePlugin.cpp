#include "sdk/adviews/VuderuAdNetworkGreystripePlugin.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {
const char* const kErrorMessages[] = {
    "Error: No network connection available.",     "Error: No ad available from server.",
    "Error: Fetch request timed out.",             "Error: Greystripe returned a server error.",
    "Error: Invalid or missing application identifier.", "Error: Previously fetched ad expired.",
    "Error: Too many requests too quickly.",        "Error: An unknown error has occurred.",
};

std::string bannerClassName(CGSize size) {
    if (size == CGSizeMake(728, 90)) return "GSLeaderboardAdView";
    if (size == CGSizeMake(300, 250)) return "GSMediumRectangleAdView";
    if (size == CGSizeMake(300, 50)) return "GSMobileBannerAdView";
    return {};
}
} // namespace

VuderuAdNetworkGreystripePlugin::~VuderuAdNetworkGreystripePlugin() { clearDelegates(); }

std::vector<CGSize> VuderuAdNetworkGreystripePlugin::makeSupportedAdSizes() const {
    if (VuderuUtil::isIPad()) return {{728, 90}, {300, 250}, {300, 50}};
    return {{300, 250}, {300, 50}};
}

std::string VuderuAdNetworkGreystripePlugin::errorMessage(long code) {
    if (code >= 1 && code <= static_cast<long>(std::size(kErrorMessages))) return kErrorMessages[code - 1];
    return "An invalid error code was returned. Thats really bad!";
}

bool VuderuAdNetworkGreystripePlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) { return true; }

bool VuderuAdNetworkGreystripePlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                                 bool takeover, const Connector& adContainer) {
    adRendered_ = false;
    if (!VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(space, parentView, takeover, adContainer)) return false;
    try {
        return request(parentView, takeover);
    } catch (...) {
        VuderuUtil::handleException(std::current_exception());
        return false;
    }
}

bool VuderuAdNetworkGreystripePlugin::request(const UIViewPtr& parentView, bool takeover) {
    if (!delegateKey(&VuderuAdDelegate::zidUvovGreystripeApplicationID)) {
        VuderuLog("VuderuZidUvov: must supply zidUvovGreystripeApplicationID in delegate for Greystripe ads");
        return false;
    }
    std::shared_ptr<NSObject>& object = takeover ? currentInterstitial_ : currentBannerObject_;
    if (!object && takeover) {
        Class fullscreen = outsideClass("GSFullscreenAd", "Greystripe full screen not found. Please ensure Greystripe Framework is referenced and enabled.");
        object = VuderuOutsideSDK::make(fullscreen, "initWithDelegate:", {Value(self())});
        if (!object) return false;
    }
    if (!object && !takeover) {
        VuderuLog("Greystripe: Finding appropriate view class");
        CGSize size = getBannerDimensions(parentView);
        VuderuLog("Determined Greystripe AdSize as [%f, %f]", size.width, size.height);
        std::string className = bannerClassName(size);
        Class bannerClass;
        if (className.empty()) {
            VuderuLog("Could not find Greystripe AdSize that matches size [%f, %f]", size.width, size.height);
        } else {
            VuderuLog("Found Greystripe AdSize that matches size");
            bannerClass = outsideClass(className, className + " not found. Please ensure Greystripe Framework is referenced and enabled.");
        }
        object = VuderuOutsideSDK::make(bannerClass, "init");
        if (!object) {
            VuderuLog("Did not find an appropriate size ad for View");
            return false;
        }
        VuderuOutsideSDK::send(object, "setDelegate:", {Value(self())});
    }
    if (VuderuOutsideSDK::send(object, "isAdReady").boolValue()) {
        withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    } else {
        VuderuOutsideSDK::send(object, "fetch");
    }
    return true;
}

void VuderuAdNetworkGreystripePlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr& parentView,
                                                                                    bool takeover, const Connector&) {
    auto keep = self();
    if (takeover) {
        // The rendered event comes with greystripeWillPresentModalViewController.
        VuderuOutsideSDK::send(currentInterstitial_, "displayFromViewController:", {VuderuOutsideSDK::objectValue(presentingViewController())});
        return;
    }
    if (VuderuOutsideSDK::send(currentBannerObject_, "isAdReady").boolValue()) {
        placeBannerRendered(parentView);
    } else {
        withContainer([](IVuderuAdNetworkConnector& view) { view.processRenderFailureSendReport(nullptr, true); });
    }
}

void VuderuAdNetworkGreystripePlugin::cleanupAdView(const std::string& space) {
    if (auto banner = currentBanner()) banner->removeFromSuperview();
    VuderuOutsideSDK::send(currentBannerObject_, "setDelegate:", {Value()});
    if (!VuderuUtil::isIPad()) VuderuOutsideSDK::send(currentInterstitial_, "setDelegate:", {Value()});
    VuderuAdNetworkBasePlugin::cleanupAdView(space);
}

const VuderuAdNetworkBasePlugin::SelectorTable& VuderuAdNetworkGreystripePlugin::outsideSelectors() const {
    using P = VuderuAdNetworkGreystripePlugin;
    static const SelectorTable table = {
        {"greystripeGUID", on(&P::greystripeGUID)},
        {"greystripeBannerAutoload", on(&P::greystripeBannerAutoload)},
        {"greystripeBannerDisplayViewController", on(&P::greystripeBannerDisplayViewController)},
        {"greystripeAdFetchSucceeded:", on(&P::greystripeAdFetchSucceeded)},
        {"greystripeAdFetchFailed:withError:", on(&P::greystripeAdFetchFailedWithError)},
        {"greystripeAdClickedThrough:", on(&P::greystripeAdClickedThrough)},
        {"greystripeWillPresentModalViewController", on(&P::greystripeWillPresentModalViewController)},
        {"greystripeWillDismissModalViewController", on(&P::greystripeWillDismissModalViewController)},
        {"greystripeDidDismissModalViewController", on(&P::greystripeDidDismissModalViewController)},
        {"greystripeBannerAdWillExpand", on(&P::greystripeBannerAdWillExpand)},
        {"greystripeBannerAdDidCollapse", on(&P::greystripeBannerAdDidCollapse)},
    };
    return table;
}

bool VuderuAdNetworkGreystripePlugin::isCurrent(const Value::Array& arguments) const {
    auto ad = arguments.empty() ? nullptr : arguments[0].objectAs<NSObject>();
    return ad && (ad == currentBannerObject_ || ad == currentInterstitial_);
}

Value VuderuAdNetworkGreystripePlugin::greystripeGUID(const Value::Array&) {
    VuderuLog("Accessing GUID");
    auto key = delegateKey(&VuderuAdDelegate::zidUvovGreystripeApplicationID);
    if (!key) {
        VuderuLog("VuderuZidUvov: must supply zidUvovGreystripeApplicationID in delegate for Greystripe ads");
        return Value();
    }
    return Value(*key);
}

Value VuderuAdNetworkGreystripePlugin::greystripeBannerAutoload(const Value::Array&) { return Value(false); }

Value VuderuAdNetworkGreystripePlugin::greystripeBannerDisplayViewController(const Value::Array&) {
    auto container = adContainer();
    auto parent = container ? container->parentViewController() : nullptr;
    if (auto presented = parent ? UIViewController_VuderuExtensions::com_vuderu_ads_presentedViewController(parent) : nullptr)
        return Value(presented);
    if (auto root = VuderuAdManager::instance()->rvc()) return Value(root);
    auto delegate = getVuderuAdDelegate();
    return VuderuOutsideSDK::objectValue(delegate ? delegate->zidUvovRootViewController().value_or(nullptr) : nullptr);
}

Value VuderuAdNetworkGreystripePlugin::greystripeAdFetchSucceeded(const Value::Array& arguments) {
    VuderuLog("Greystripe ad finished loading");
    if (isCurrent(arguments)) withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    return Value();
}

Value VuderuAdNetworkGreystripePlugin::greystripeAdFetchFailedWithError(const Value::Array& arguments) {
    long code = arguments.size() > 1 ? static_cast<long>(arguments[1].integerValue()) : 0;
    VuderuLog("Failed to load greystripe banner with error %d", code);
    if (!isCurrent(arguments)) return Value();
    auto error = VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorNetworkCouldNotSatisfy,
                                                           NSString::stringWithFormat("VuderuAds: Greystripe -  %@", errorMessage(code)));
    failed(error);
    return Value();
}

Value VuderuAdNetworkGreystripePlugin::greystripeAdClickedThrough(const Value::Array& arguments) {
    VuderuLog("Clicked greystripe ad, will open");
    if (isCurrent(arguments)) withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    return Value();
}

Value VuderuAdNetworkGreystripePlugin::greystripeWillPresentModalViewController(const Value::Array&) {
    VuderuLog("Greystripe interstitialWillPresentModal");
    withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
    adRendered_ = true;
    return Value();
}

Value VuderuAdNetworkGreystripePlugin::greystripeWillDismissModalViewController(const Value::Array&) {
    VuderuLog("Greystripe will dismiss interstitial");
    return Value();
}

Value VuderuAdNetworkGreystripePlugin::greystripeDidDismissModalViewController(const Value::Array&) {
    VuderuLog("Greystripe did dismiss interstitial");
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    return Value();
}

Value VuderuAdNetworkGreystripePlugin::greystripeBannerAdWillExpand(const Value::Array&) {
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillExpand(space); });
    return Value();
}

Value VuderuAdNetworkGreystripePlugin::greystripeBannerAdDidCollapse(const Value::Array&) {
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceDidCollapse(space); });
    return Value();
}
