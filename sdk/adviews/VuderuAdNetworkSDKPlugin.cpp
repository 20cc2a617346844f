#include "sdk/adviews/VuderuAdNetworkSDKPlugin.h"

#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/analytics/VuderuLog.h"

Class VuderuAdNetworkSDKPlugin::outsideClass(const std::string& name, const std::string& missingMessage) {
    Class found = VuderuOutsideSDK::lookUpClass(name);
    if (!found) VuderuLog(missingMessage);
    return found;
}

std::optional<std::string> VuderuAdNetworkSDKPlugin::delegateKey(std::optional<std::string> (VuderuAdDelegate::*key)()) const {
    auto delegate = getVuderuAdDelegate();
    if (!delegate) return std::nullopt;
    return ((*delegate).*key)();
}

void VuderuAdNetworkSDKPlugin::tellDelegate(const std::function<void(VuderuAdDelegate&, const std::string&)>& call) const {
    if (auto delegate = getVuderuAdDelegate()) call(*delegate, boundSpace());
}

void VuderuAdNetworkSDKPlugin::placeBannerRendered(const UIViewPtr& parentView) {
    addBannerViewIntoHolderView(currentBanner(), parentView);
    withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
    adRendered_ = true;
}

void VuderuAdNetworkSDKPlugin::adoptPresentedRootViewController() {
    auto container = adContainer();
    auto parent = container ? container->parentViewController() : nullptr;
    if (!parent) return;
    if (auto presented = UIViewController_VuderuExtensions::com_vuderu_ads_presentedViewController(parent))
        VuderuOutsideSDK::send(currentBannerObject_, "setRootViewController:", {VuderuOutsideSDK::objectValue(presented)});
}

void VuderuAdNetworkSDKPlugin::clearDelegates() {
    if (currentBannerObject_) VuderuOutsideSDK::send(currentBannerObject_, "setDelegate:", {Value()});
    if (currentInterstitial_) VuderuOutsideSDK::send(currentInterstitial_, "setDelegate:", {Value()});
}
