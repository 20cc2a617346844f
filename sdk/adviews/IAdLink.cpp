#include "sdk/adviews/IAdLink.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"
#include "sdk/adviews/VuderuOutsideSDK.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {
constexpr int kLastSystemWithoutContentSizes = 50100;
using VuderuOutsideSDK::send;
} // namespace

std::shared_ptr<IAdLink> IAdLink::instance() {
    return SharedInstance<IAdLink>::slot().getOrMake([] { return std::make_shared<IAdLink>(); });
}

template <class... Args>
void IAdLink::debugLog(std::string_view format, const Args&... args) const {
    if (debugLogEnabled_) NSLog(format, args...);
}

void IAdLink::setAdViewDelegate(const std::shared_ptr<NSObject>& plugin) {
    adViewDelegate_ = plugin;
    adViewDelegateIdentity_ = plugin.get();
    if (!plugin) {
        cleanupBannerView();
        cleanupInterstitial();
    }
}

Class IAdLink::adBannerViewClass() {
    if (!adBannerViewClass_) {
        adBannerViewClass_ = VuderuOutsideSDK::lookUpClass("ADBannerView");
        debugLog(adBannerViewClass_ ? "ADBannerView found." : "ADBannerView not found. Please ensure iAdFramework is referenced and enabled.");
    }
    return adBannerViewClass_;
}

Class IAdLink::adInterstitialViewClass() {
    if (!VuderuUtil::isIPad()) {
        debugLog("Device is not an iPad. Can not server interstitial.");
        return nullptr;
    }
    if (!adInterstitialViewClass_) {
        adInterstitialViewClass_ = VuderuOutsideSDK::lookUpClass("ADInterstitialAd");
        debugLog(adInterstitialViewClass_ ? "ADInterstitialAd found."
                                          : "ADInterstitialAd not found. Please ensure iAd framework is referenced and enabled.");
    }
    return adInterstitialViewClass_;
}

std::shared_ptr<NSObject> IAdLink::iADInterstitial() {
    if (!iADInterstitial_) {
        iADInterstitial_ = VuderuOutsideSDK::make(adInterstitialViewClass(), "init");
        if (!iADInterstitial_) {
            debugLog("Could not create iAd intestital object");
            return nullptr;
        }
        send(iADInterstitial_, "setDelegate:", {Value(self())});
    }
    return iADInterstitial_;
}

std::shared_ptr<NSObject> IAdLink::iADBannerView() {
    if (!iADBannerView_) {
        iADBannerView_ = VuderuOutsideSDK::make(adBannerViewClass(), "initWithFrame:", {VuderuOutsideSDK::rectValue(CGRectZero)});
        if (!iADBannerView_) {
            debugLog("Could not create iAd banner view");
            return nullptr;
        }
        if (auto view = std::dynamic_pointer_cast<UIView>(iADBannerView_))
            view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        send(iADBannerView_, "setDelegate:", {Value(self())});
        if (VuderuUtil::getSystemVersionAsAnInteger() <= kLastSystemWithoutContentSizes) {
            if (!observesOrientation_) {
                observesOrientation_ = true;
                std::weak_ptr<IAdLink> weak = self<IAdLink>();
                NSNotificationCenter::defaultCenter()->addObserver(weak, UIApplicationDidChangeStatusBarOrientationNotification, nullptr,
                                                                   [weak](const std::shared_ptr<NSNotification>&) {
                                                                       if (auto link = weak.lock()) link->updateInterfaceOrientation();
                                                                   });
            }
            updateInterfaceOrientation();
        }
    }
    return iADBannerView_;
}

bool IAdLink::viewIsBannerWithAdSpaceName(const std::shared_ptr<UIView>& view, const std::string&) {
    auto object = std::dynamic_pointer_cast<NSObject>(view);
    return object && iAdEnabled() && NSStringFromClass(adBannerViewClass()) == object->className();
}

void IAdLink::cleanupBannerView() {
    auto banner = std::move(iADBannerView_);
    if (!banner) return;
    send(banner, "setDelegate:", {Value()});
    if (send(banner, "isBannerViewActionInProgress").boolValue()) send(banner, "cancelBannerViewAction");
    if (auto view = std::dynamic_pointer_cast<UIView>(banner)) view->removeFromSuperview();
}

void IAdLink::cleanupInterstitial() {
    auto interstitial = std::move(iADInterstitial_);
    if (!interstitial) return;
    send(interstitial, "setDelegate:", {Value()});
    if (send(interstitial, "isActionInProgress").boolValue()) send(interstitial, "cancelAction");
}

void IAdLink::updateInterfaceOrientation() {
    auto orientation = UIApplication::sharedApplication()->statusBarOrientation();
    bool landscape = orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
    send(iADBannerView_, "setCurrentContentSizeIdentifier:",
         {Value(landscape ? "ADBannerContentSizeLandscape" : "ADBannerContentSizePortrait")});
}

bool IAdLink::respondsToSelector(std::string_view selector) const {
    static const std::string_view callbacks[] = {
        "bannerViewDidLoadAd:", "bannerViewActionShouldBegin:willLeaveApplication:", "bannerViewActionDidFinish:",
        "bannerView:didFailToReceiveAdWithError:", "interstitialAdDidUnload:", "interstitialAdDidLoad:", "interstitialAd:didFailWithError:",
        "interstitialAdActionShouldBegin:willLeaveApplication:", "interstitialAdActionDidFinish:",
    };
    for (auto callback : callbacks)
        if (callback == selector) return true;
    return false;
}

Value IAdLink::forward(std::string_view selector, const Value::Array& arguments) {
    return NSObjectSendMessage(adViewDelegate(), selector, arguments);
}

Value IAdLink::failed(std::string_view selector, const Value::Array& arguments, bool banner) {
    auto plugin = adViewDelegate();
    if (banner) {
        auto error = arguments.size() > 1 ? arguments[1] : Value();
        VuderuLog("iAd bannerView error %@, delegate %@", error.description(), plugin ? plugin->description() : std::string("(null)"));
    }
    setAdViewDelegate(nullptr);
    banner ? cleanupBannerView() : cleanupInterstitial();
    return NSObjectSendMessage(plugin, selector, arguments);
}

Value IAdLink::performSelectorWithArguments(std::string_view selector, const Value::Array& arguments) {
    // The iAd object calling back may be released here: it is kept until the callback returns.
    auto keep = self();
    if (selector == "bannerView:didFailToReceiveAdWithError:") return failed(selector, arguments, true);
    if (selector == "interstitialAd:didFailWithError:") return failed(selector, arguments, false);
    if (selector == "bannerViewActionShouldBegin:willLeaveApplication:" || selector == "interstitialAdActionShouldBegin:willLeaveApplication:") {
        Value answer = forward(selector, arguments);
        return Value(answer.boolValue());
    }
    if (selector == "interstitialAdActionDidFinish:") {
        cleanupInterstitial();
        return forward(selector, arguments);
    }
    Value answer = forward(selector, arguments);
    if (selector == "interstitialAdDidUnload:") cleanupInterstitial();
    if (selector == "interstitialAdDidLoad:") {
        auto loaded = arguments.empty() ? nullptr : arguments[0].objectAs<NSObject>();
        if (loaded && loaded != iADInterstitial_) {
            cleanupInterstitial();
            iADInterstitial_ = loaded;
            send(loaded, "setDelegate:", {Value(self())});
        }
    }
    return answer;
}
