#include "sdk/adviews/VuderuAdNetworkIAdPlugin.h"
#include "sdk/adviews/VuderuAdNetworkCallArguments.h"

#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/IAdLink.h"
#include "sdk/adviews/VuderuOutsideSDK.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {
constexpr int kLastSystemBeforeSeven = 69999;
using VuderuOutsideSDK::send;
void prepare(IVuderuAdNetworkConnector& view) { view.prepareView(); }
} // namespace

VuderuAdNetworkIAdPlugin::~VuderuAdNetworkIAdPlugin() {
    auto link = IAdLink::instance();
    if (link->isAdViewDelegate(this)) link->setAdViewDelegate(nullptr);
}

UIViewPtr VuderuAdNetworkIAdPlugin::currentBanner() const { return std::dynamic_pointer_cast<UIView>(IAdLink::instance()->existingBannerView()); }

bool VuderuAdNetworkIAdPlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) {
    return IAdLink::instance()->iAdEnabled();
}

bool VuderuAdNetworkIAdPlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                          bool takeover, const Connector& adContainer) {
    adRendered_ = false;
    if (!VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(space, parentView, takeover, adContainer)) return false;
    auto link = IAdLink::instance();
    std::shared_ptr<NSObject> object;
    bool loaded = false;
    if (takeover) {
        if (!presentingViewController()) {
            VuderuLog("Root View Controller not passed. Can not show iAd takeover");
            return false;
        }
        object = link->iADInterstitial();
        loaded = send(object, "isLoaded").boolValue();
    } else {
        object = link->iADBannerView();
        loaded = send(object, "isBannerLoaded").boolValue();
    }
    if (!object) return false;
    link->setAdViewDelegate(self());
    if (loaded) withContainer(prepare);
    return true;
}

void VuderuAdNetworkIAdPlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr& parentView, bool takeover,
                                                                             const Connector&) {
    auto keep = self();
    auto link = IAdLink::instance();
    if (takeover) {
        auto interstitial = link->existingInterstitial();
        if (!send(interstitial, "isLoaded").boolValue()) {
            withContainer([](IVuderuAdNetworkConnector& view) { view.processRenderFailureSendReport(nullptr, true); });
            return;
        }
        auto controller = VuderuOutsideSDK::objectValue(presentingViewController());
        if (VuderuUtil::getSystemVersionAsAnInteger() > kLastSystemBeforeSeven) {
            // The iAd framework's addition to view controllers, reached through its class with the
            // controller as the receiver.
            send(link->adInterstitialViewClass(), "requestInterstitialAdPresentation:", {controller});
        } else {
            send(interstitial, "presentFromViewController:", {controller});
        }
    } else if (auto banner = currentBanner()) {
        if (parentView) banner->setFrame(parentView->frame());
        addBannerViewIntoHolderView(banner, parentView);
    }
    withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
    adRendered_ = true;
    link->setAdViewDelegate(self());
}

void VuderuAdNetworkIAdPlugin::adjustAdBannerFrame() {
    auto banner = currentBanner();
    auto holder = banner ? banner->superview() : nullptr;
    if (holder && holder->superview()) banner->setFrame(holder->superview()->frame());
    VuderuAdNetworkBasePlugin::adjustAdBannerFrame();
}

void VuderuAdNetworkIAdPlugin::cleanupAdView(const std::string& space) {
    auto container = adContainer();
    auto link = IAdLink::instance();
    // A plugin that no longer has the link leaves the shared objects to the one that has.
    if (container && container->space() == space && link->isAdViewDelegate(this)) link->setAdViewDelegate(nullptr);
    VuderuAdNetworkBasePlugin::cleanupAdView(space);
}

void VuderuAdNetworkIAdPlugin::tellDelegate(void (VuderuAdDelegate::*call)(const std::string&)) const {
    if (auto delegate = getVuderuAdDelegate()) ((*delegate).*call)(boundSpace());
}

const VuderuAdNetworkBasePlugin::SelectorTable& VuderuAdNetworkIAdPlugin::outsideSelectors() const {
    using P = VuderuAdNetworkIAdPlugin;
    static const SelectorTable table = {
        {"bannerViewDidLoadAd:", on(&P::bannerViewDidLoadAd)},
        {"bannerViewActionShouldBegin:willLeaveApplication:", on(&P::bannerViewActionShouldBeginWillLeaveApplication)},
        {"bannerViewActionDidFinish:", on(&P::bannerViewActionDidFinish)},
        {"bannerView:didFailToReceiveAdWithError:", on(&P::bannerViewDidFailToReceiveAdWithError)},
        {"interstitialAdDidLoad:", on(&P::interstitialAdDidLoad)},
        {"interstitialAd:didFailWithError:", on(&P::interstitialAdDidFailWithError)},
        {"interstitialAdActionShouldBegin:willLeaveApplication:", on(&P::interstitialAdActionShouldBeginWillLeaveApplication)},
        {"interstitialAdActionDidFinish:", on(&P::interstitialAdActionDidFinish)},
        {"interstitialAdDidUnload:", on(&P::interstitialAdDidUnload)},
    };
    return table;
}

Value VuderuAdNetworkIAdPlugin::bannerViewDidLoadAd(const Value::Array& arguments) {
    auto banner = arguments.empty() ? nullptr : arguments[0].objectAs<NSObject>();
    if (!adRendered_ && send(banner, "isBannerLoaded").boolValue()) withContainer(prepare);
    return Value();
}

Value VuderuAdNetworkIAdPlugin::bannerViewActionShouldBeginWillLeaveApplication(const Value::Array& arguments) {
    bool leaving = arguments.size() > 1 && arguments[1].boolValue();
    withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    tellDelegate(leaving ? &VuderuAdDelegate::spaceWillLeaveApplication : &VuderuAdDelegate::spaceWillExpand);
    return Value(true);
}

Value VuderuAdNetworkIAdPlugin::bannerViewActionDidFinish(const Value::Array&) {
    tellDelegate(&VuderuAdDelegate::spaceDidCollapse);
    return Value();
}

void VuderuAdNetworkIAdPlugin::failed(const Value::Array& arguments) {
    auto error = VuderuAdNetworkErrorArgument(arguments, 1);
    auto container = adContainer();
    if (!container) return;
    if (adRendered_) {
        container->processAdNetworkErrorAfterAdRendered();
    } else {
        container->processRenderFailureSendReport(error, true);
    }
}

Value VuderuAdNetworkIAdPlugin::bannerViewDidFailToReceiveAdWithError(const Value::Array& arguments) {
    VuderuLog("iAd bannerView didFailToReceiveAdWithError %@", arguments.size() > 1 ? arguments[1].description() : std::string());
    failed(arguments);
    return Value();
}

Value VuderuAdNetworkIAdPlugin::interstitialAdDidLoad(const Value::Array& arguments) {
    VuderuLog("Interstital ad loaded and available for next display.");
    auto interstitial = arguments.empty() ? nullptr : arguments[0].objectAs<NSObject>();
    if (!adRendered_ && send(interstitial, "isLoaded").boolValue()) withContainer(prepare);
    return Value();
}

Value VuderuAdNetworkIAdPlugin::interstitialAdDidFailWithError(const Value::Array& arguments) {
    VuderuLog("interstitialAd <%@> recieved error <%@>", arguments.empty() ? std::string() : arguments[0].description(),
              arguments.size() > 1 ? arguments[1].description() : std::string());
    failed(arguments);
    return Value();
}

Value VuderuAdNetworkIAdPlugin::interstitialAdActionShouldBeginWillLeaveApplication(const Value::Array& arguments) {
    withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    if (arguments.size() > 1 && arguments[1].boolValue()) tellDelegate(&VuderuAdDelegate::spaceWillLeaveApplication);
    return Value(true);
}

Value VuderuAdNetworkIAdPlugin::interstitialAdActionDidFinish(const Value::Array&) {
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    return Value();
}

Value VuderuAdNetworkIAdPlugin::interstitialAdDidUnload(const Value::Array&) {
    if (auto delegate = getVuderuAdDelegate()) delegate->spaceWillDismissInterstitial(boundSpace(), true);
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
    return Value();
}
