#include "sdk/adviews/VuderuAdNetworkMillennialPlugin.h"
#include "sdk/adviews/VuderuAdNetworkCallArguments.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuLog.h"

#include <algorithm>
#include <atomic>

namespace {
constexpr std::int64_t kGenderMale = 1;
constexpr std::int64_t kGenderFemale = 2;

struct Observed {
    const char* name;
    void (VuderuAdNetworkMillennialPlugin::*handler)(const std::shared_ptr<NSNotification>&);
};
const Observed kObserved[] = {
    {"MillennialMediaAdWillTerminateApplication", &VuderuAdNetworkMillennialPlugin::applicationWillTerminateFromAd},
    {"MillennialMediaAdWasTapped", &VuderuAdNetworkMillennialPlugin::adWasTapped},
    {"MillennialMediaAdModalDidAppear", &VuderuAdNetworkMillennialPlugin::adModalDidAppear},
    {"MillennialMediaAdModalDidDismiss", &VuderuAdNetworkMillennialPlugin::adModalDidDismiss},
};
} // namespace

std::shared_ptr<VuderuAdNetworkMillennialPlugin> VuderuAdNetworkMillennialPlugin::create() {
    auto plugin = std::make_shared<VuderuAdNetworkMillennialPlugin>();
    std::weak_ptr<VuderuAdNetworkMillennialPlugin> weak = plugin;
    for (const auto& observed : kObserved) {
        auto handler = observed.handler;
        NSNotificationCenter::defaultCenter()->addObserver(plugin, observed.name, nullptr,
                                                           [weak, handler](const std::shared_ptr<NSNotification>& notification) {
                                                               if (auto alive = weak.lock()) ((*alive).*handler)(notification);
                                                           });
    }
    return plugin;
}

VuderuAdNetworkMillennialPlugin::~VuderuAdNetworkMillennialPlugin() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    if (auto banner = currentBanner()) banner->removeFromSuperview();
}

std::vector<CGSize> VuderuAdNetworkMillennialPlugin::makeSupportedAdSizes() const {
    return {{728, 90}, {480, 60}, {320, 50}, {300, 250}, {300, 50}, {216, 36}, {168, 28}, {120, 20}};
}

bool VuderuAdNetworkMillennialPlugin::adIsAvailableParentViewOrientation(const std::string&, const UIViewPtr&, std::int64_t) { return true; }

Class VuderuAdNetworkMillennialPlugin::millennialClass(const std::string& name) {
    static std::atomic<bool> started{false};
    Class found = outsideClass(name, "MMAdView not found. Please ensure Millenial Media Framework is referenced and enabled.");
    if (found && !started.exchange(true)) VuderuOutsideSDK::send(VuderuOutsideSDK::lookUpClass("MMSDK"), "initialize");
    return found;
}

std::shared_ptr<NSObject> VuderuAdNetworkMillennialPlugin::millennialAdRequest() {
    Class requestClass = VuderuOutsideSDK::lookUpClass("MMRequest");
    auto settings = VuderuGlobalVariableStorage::sharedInstance();
    auto location = settings->location();
    auto request = location ? VuderuOutsideSDK::sendForObject(requestClass, "requestWithLocation:", {Value(location)})
                            : VuderuOutsideSDK::sendForObject(requestClass, "request");
    if (!request) return nullptr;
    std::string gender = settings->gender().value_or("");
    std::transform(gender.begin(), gender.end(), gender.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (gender == "M") VuderuOutsideSDK::send(request, "setGender:", {Value(kGenderMale)});
    if (gender == "F") VuderuOutsideSDK::send(request, "setGender:", {Value(kGenderFemale)});
    if (settings->age() > 0) VuderuOutsideSDK::send(request, "setAge:", {Value(settings->age())});
    return request;
}

std::shared_ptr<NSBlock> VuderuAdNetworkMillennialPlugin::loadCompletion(bool interstitial) {
    std::weak_ptr<VuderuAdNetworkMillennialPlugin> weak = self<VuderuAdNetworkMillennialPlugin>();
    return std::make_shared<NSBlock>([weak, interstitial](const Value::Array& arguments) {
        auto plugin = weak.lock();
        if (!plugin) return;
        bool success = !arguments.empty() && arguments[0].boolValue();
        auto error = VuderuAdNetworkErrorArgument(arguments, 1);
        if (error || !success) {
            interstitial ? plugin->reportInterstitialError(error) : plugin->reportBannerError(error);
            return;
        }
        VuderuLog(interstitial ? "VuderuZidUvov: Millennial interstitial adRequestSucceeded" : "VuderuZidUvov: Millennial adRequestSucceeded");
        plugin->withContainer([](IVuderuAdNetworkConnector& view) { view.prepareView(); });
    });
}

bool VuderuAdNetworkMillennialPlugin::getAdViewParentViewShowTakeoverAdContainer(const std::string& space, const UIViewPtr& parentView,
                                                                                 bool takeover, const Connector& adContainer) {
    adRendered_ = false;
    if (!VuderuAdNetworkBasePlugin::getAdViewParentViewShowTakeoverAdContainer(space, parentView, takeover, adContainer)) return false;
    millennialAppKey_.clear();
    auto key = takeover ? delegateKey(&VuderuAdDelegate::zidUvovMillennialInterstitalAppKey)
                        : delegateKey(&VuderuAdDelegate::zidUvovMillennialAppKey);
    millennialAppKey_ = key.value_or("");
    if (millennialAppKey_.empty()) {
        VuderuLog("VuderuZidUvov: must supply zidUvovMillennialAppKey in delegate for Millennial ads");
        return false;
    }
    auto controller = presentingViewController();
    if (!controller) {
        VuderuLog("VuderuZidUvov: must supply viewController for Millenial ads");
        return false;
    }
    auto request = millennialAdRequest();
    if (!request) return false;
    if (takeover) {
        Class interstitialClass = millennialClass("MMInterstitial");
        if (!interstitialClass) return false;
        VuderuOutsideSDK::send(interstitialClass, "fetchWithRequest:apid:onCompletion:",
                               {Value(request), Value(millennialAppKey_), Value(loadCompletion(true))});
        return true;
    }
    CGSize size = getBannerDimensions(parentView);
    if (size.height == 0) return false;
    Class bannerClass = millennialClass("MMAdView");
    if (!bannerClass) return false;
    currentBannerObject_ = VuderuOutsideSDK::make(bannerClass, "initWithFrame:apid:rootViewController:",
                                                  {VuderuOutsideSDK::rectValue(CGRect{CGPointZero, size}), Value(millennialAppKey_), Value(controller)});
    if (!currentBannerObject_) return false;
    VuderuOutsideSDK::send(currentBannerObject_, "getAdWithRequest:onCompletion:", {Value(request), Value(loadCompletion(false))});
    return true;
}

void VuderuAdNetworkMillennialPlugin::renderAdViewParentViewShowTakeoverAdContainer(const std::string&, const UIViewPtr& parentView,
                                                                                    bool takeover, const Connector&) {
    if (millennialAppKey_.empty()) return;
    auto keep = self();
    if (!takeover) {
        adoptPresentedRootViewController();
        placeBannerRendered(parentView);
        return;
    }
    // The rendered event comes with the modal notification.
    std::weak_ptr<VuderuAdNetworkMillennialPlugin> weak = self<VuderuAdNetworkMillennialPlugin>();
    auto shown = std::make_shared<NSBlock>([weak](const Value::Array& arguments) {
        bool success = !arguments.empty() && arguments[0].boolValue();
        auto error = VuderuAdNetworkErrorArgument(arguments, 1);
        VuderuLog("VuderuZidUvov: displayForApid %@", error ? error->description() : std::string("(null)"));
        auto plugin = weak.lock();
        if (plugin && (error || !success)) plugin->reportInterstitialError(error);
    });
    auto orientation = static_cast<std::int64_t>(UIApplication::sharedApplication()->statusBarOrientation());
    VuderuOutsideSDK::send(millennialClass("MMInterstitial"), "displayForApid:fromViewController:withOrientation:onCompletion:",
                           {Value(millennialAppKey_), VuderuOutsideSDK::objectValue(presentingViewController()), Value(orientation), Value(shown)});
}

bool VuderuAdNetworkMillennialPlugin::isOwn(const std::shared_ptr<NSNotification>& notification) const {
    auto apid = notification->userInfo().find("MillennialMediaAPID");
    return apid != notification->userInfo().end() && apid->second.isString() && apid->second.string() == millennialAppKey_;
}

void VuderuAdNetworkMillennialPlugin::adWasTapped(const std::shared_ptr<NSNotification>& notification) {
    if (!isOwn(notification)) return;
    VuderuLog("VuderuZidUvov: Millennial clicked");
    withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
}

void VuderuAdNetworkMillennialPlugin::applicationWillTerminateFromAd(const std::shared_ptr<NSNotification>& notification) {
    if (!isOwn(notification)) return;
    VuderuLog("user clicked Millennial ad that is taking them out");
    if (interstitial()) withContainer([](IVuderuAdNetworkConnector& view) { view.processClick(); });
    tellDelegate([](VuderuAdDelegate& delegate, const std::string& space) { delegate.spaceWillLeaveApplication(space); });
}

void VuderuAdNetworkMillennialPlugin::adModalDidAppear(const std::shared_ptr<NSNotification>& notification) {
    if (!isOwn(notification)) return;
    VuderuLog("VuderuZidUvov: Millennial modal did appear");
    withContainer([](IVuderuAdNetworkConnector& view) { view.processRendered(); });
    adRendered_ = true;
}

void VuderuAdNetworkMillennialPlugin::adModalDidDismiss(const std::shared_ptr<NSNotification>& notification) {
    if (!isOwn(notification)) return;
    VuderuLog("VuderuZidUvov: Millennial modal dismissed by user");
    withContainer([](IVuderuAdNetworkConnector& view) { view.externalAdDidClose(); });
}
