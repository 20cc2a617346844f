// Taking the user out of the ad: where followed links ended, opening URLs with the application
// or as an App Store page or in the in-app browser, and what happens when an external view closes.

#include "sdk/adviews/VuderuAd.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "sdk/adviews/VuderuAdFullscreenController.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/adviews/VuderuSKAppstoreController.h"
#include "sdk/adviews/VuderuVideoPlayer.h"
#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAdConnectionDelegate.h"
#include "sdk/ads/VuderuAdEvent.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

const std::string& VuderuAd::appStoreHost() {
    static const std::string host = kVuderuAppStoreWebDomain;
    return host;
}

bool VuderuAd::isAppStoreURL(const NSURLPtr& url) const { return url && endsWith(url->host(), appStoreHost()); }

void VuderuAd::linkProcessedForAdAction(const std::optional<std::string>& url, const std::string& adAction) {
    auto keep = self<VuderuAd>();
    VuderuLog("Link processed with final url %@ for ad action %@", url.value_or("(null)"), adAction);
    switch (VuderuAdAction::adActionStringToEnum(adAction)) {
    case VuderuAdAction::kProcessRedirect:
        if (url) {
            countAndProcess(VuderuAdEvent::kUserConfirmed, "-[VuderuAd linkProcessed:forAdAction:]");
            if (webViewLoader_) webViewLoader_->loadExternalURL(NSURL::URLWithString(*url));
        } else {
            showPageAlert();
        }
        removeLoadingView();
        break;
    case VuderuAdAction::kVerifyUrl: countAndProcess(VuderuAdEvent::kUrlVerified, "-[VuderuAd linkProcessed:forAdAction:]"); break;
    case VuderuAdAction::kDirectOpen:
    case VuderuAdAction::kDirectOpenNonAC:
        if (url) openUrlInExternalWebView(NSURLRequest::requestWithURL(NSURL::URLWithString(*url)));
        else showPageAlert();
        break;
    default: break;
    }
}

void VuderuAd::linkNotProcessedForAdAction(const NSErrorPtr&, const std::string& adAction) {
    auto keep = self<VuderuAd>();
    VuderuLog("Link not processed for ad action %@", adAction);
    switch (VuderuAdAction::adActionStringToEnum(adAction)) {
    case VuderuAdAction::kVerifyUrl: countAndProcess(VuderuAdEvent::kUrlNotVerified, "-[VuderuAd linkNotProcessed:forAdAction:]"); break;
    case VuderuAdAction::kProcessRedirect:
        showPageAlert();
        removeLoadingView();
        break;
    default: break;
    }
}

// The in-app browser, in the full-screen controller's care.
void VuderuAd::openUrlInExternalWebView(const NSURLRequestPtr& request) {
    VuderuAdFullscreenController::instance()->showFullscreenViewForAdWithRequest(self<VuderuAd>(), request);
}

bool VuderuAd::openUrlInNativeBrowserParams(const NSURLPtr& url, Value::Dictionary& params) {
    if (!url) return false;
    auto keep = self<VuderuAd>();
    const bool appStore = isAppStoreURL(url);
    if (appStore && VuderuAdUtil::canDoSKAppStore()) {
        auto appId = parseAppIdFromItunesUrl(url);
        if (appId && (!isShownModallyForViewController() || !fullscreenPresentsController())) {
            itunesURL_ = url;
            if (auto player = videoPlayer_) player->removeLoadingView();
            openSKAppstore(Value(static_cast<long long>(*appId)));
            return true;
        }
    }
    auto application = UIApplication::sharedApplication();
    if (!appStore && !application->canOpenURL(url)) return false;
    if (application->openURL(url)) {
        params["callback"] = "willLeaveApplication";
    } else {
        VuderuLog("Unable to launch URL %@", url->absoluteString());
        countAndProcess(VuderuAdEvent::kLaunchUrlFailed, "-[VuderuAd openUrlInNativeBrowser:params:]");
    }
    activelyRespondingToAction_ = false;
    return true;
}

std::optional<std::int64_t> VuderuAd::parseAppIdFromItunesUrl(const NSURLPtr& url) {
    if (!url) return std::nullopt;
    for (const auto& component : url->pathComponents()) {
        if (component.size() < 3) continue;
        if (std::tolower(static_cast<unsigned char>(component[0])) != 'i' || std::tolower(static_cast<unsigned char>(component[1])) != 'd')
            continue;
        std::int64_t value = 0;
        const char* begin = component.data() + 2;
        const char* end = component.data() + component.size();
        auto [stop, error] = std::from_chars(begin, end, value);
        if (error != std::errc() || stop != end) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

bool VuderuAd::openAppUrlFromExWebView(const NSURLPtr& url, bool fromExWebView) {
    if (!url) return false;
    auto keep = self<VuderuAd>();
    if (!isAppStoreURL(url) && url->absoluteString().find("http") != std::string::npos) return false;
    Value::Dictionary params;
    const bool opened = openUrlInNativeBrowserParams(url, params);
    if (opened && !fromExWebView && adFrame_ && !adFrame_->frameClicked()) processClick();
    auto callback = params.find("callback");
    if (callback != params.end() && callback->second.stringValue() == "willLeaveApplication") reportSpaceWillLeaveApplication();
    return opened;
}

void VuderuAd::openSKAppstore(const Value& appId) {
    if (!VuderuAdUtil::canDoSKAppStore()) {
        VuderuLog("%s: StoreKit framework is not linked in, cannot open in-app appstore", "-[VuderuAd openSKAppstore:]");
        return;
    }
    VuderuLog("%s, app ID %@", "-[VuderuAd openSKAppstore:]", appId.stringValue());
    showLoadingView();
    subscribeToSKAppStoreVuderuNotifications();
    if (!isShownModallyForViewController()) {
        VuderuSKAppstoreWindowsBasedController::sharedInstance()->openSKAppstore(appId);
        return;
    }
    // The store page goes on the controller showing the ad, once whatever that presents is gone.
    auto controller = fullscreenAdViewController();
    if (!controller) controller = parentViewController();
    auto presented = controller ? UIViewController_VuderuExtensions::com_vuderu_ads_presentedViewController(controller) : nullptr;
    if (!presented) {
        VuderuSKAppstoreController::sharedInstance()->openSKAppstoreOnViewController(appId, controller);
        return;
    }
    controller->dismissViewControllerAnimatedCompletion(false, [appId, controller] {
        VuderuSKAppstoreController::sharedInstance()->openSKAppstoreOnViewController(appId, controller);
    });
}

void VuderuAd::subscribeToSKAppStoreVuderuNotifications() {
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<VuderuAd> weak = self<VuderuAd>();
    auto call = [weak](void (VuderuAd::*method)()) {
        return [weak, method](const std::shared_ptr<NSNotification>&) {
            if (auto ad = weak.lock()) ((*ad).*method)();
        };
    };
    center->addObserver(weak, VuderuSKAppstoreDidFinish, nullptr, call(&VuderuAd::skAppStoreDidFinish));
    center->addObserver(weak, VuderuSKAppstoreDidLoad, nullptr, call(&VuderuAd::skAppStoreDidLoad));
    center->addObserver(weak, VuderuSKAppstoreDidFailToLoad, nullptr, call(&VuderuAd::skAppStoreDidFailToLoad));
}

void VuderuAd::desubscribeFromSKAppStoreVuderuNotifications() {
    auto center = NSNotificationCenter::defaultCenter();
    for (const char* name : {VuderuSKAppstoreDidFinish, VuderuSKAppstoreDidLoad, VuderuSKAppstoreDidFailToLoad})
        center->removeObserver(this, name, nullptr);
}

void VuderuAd::skAppStoreDidLoad() {
    removeLoadingView();
    appStoreInvoked_ = true;
}

void VuderuAd::skAppStoreDidFinish() {
    auto keep = self<VuderuAd>();
    removeLoadingView();
    desubscribeFromSKAppStoreVuderuNotifications();
    appStoreInvoked_ = false;
    activelyRespondingToAction_ = false;
    if (auto player = videoPlayer_) player->bringToFocus();
    else if (activeFrameTakeover() || isShownModallyForViewController()) processAdWillClose();
}

void VuderuAd::skAppStoreDidFailToLoad() {
    auto keep = self<VuderuAd>();
    activelyRespondingToAction_ = false;
    removeLoadingView();
    desubscribeFromSKAppStoreVuderuNotifications();
    appStoreInvoked_ = false;
    auto application = UIApplication::sharedApplication();
    if (itunesURL_ && application->canOpenURL(itunesURL_)) {
        if (application->openURL(itunesURL_)) {
            reportSpaceWillLeaveApplication();
        } else {
            VuderuLog("Unable to launch URL %@", itunesURL_->absoluteString());
            countAndProcess(VuderuAdEvent::kLaunchUrlFailed, "-[VuderuAd skAppStoreDidFailToLoad]");
        }
        itunesURL_ = nullptr;
    }
    auto unit = activeAdUnit();
    if (unit && unit->adType() != 0) {
        if (activeFrameTakeover() || isShownModallyForViewController()) processAdWillClose();
    } else if (auto player = videoPlayer_) {
        player->bringToFocus();
    }
}

void VuderuAd::externalAdDidClose() { externalAdDidCloseForceDismissUI(false); }

void VuderuAd::externalAdViewDidCloseDismissAd(bool dismiss) {
    auto keep = self<VuderuAd>();
    fullscreenRemoveExtAdWindow();
    activelyRespondingToAction_ = false;
    auto player = videoPlayer_;
    if (dismiss) {
        if (player) player->pauseMovieViaCloseButton();
        externalAdDidCloseForceDismissUI(true);
    } else if (player) {
        player->bringToFocus();
    }
}

void VuderuAd::externalAdDidCloseForceDismissUI(bool force) {
    auto keep = self<VuderuAd>();
    fullscreenRemoveExtAdWindow();
    VuderuUtil::incrementCounterLocationName(VuderuAdEvent::adEventEnumToString(VuderuAdEvent::kAdWillClose), "-[VuderuAd externalAdDidCloseForceDismissUI:]");
    auto unit = activeAdUnit();
    Value::Dictionary params;
    const auto actions = runEventToExhaustion(VuderuAdEvent::adEventEnumToString(VuderuAdEvent::kAdWillClose), unit ? unit->curAdFrame() : nullptr, params);
    const bool moved = std::any_of(actions.begin(), actions.end(), [](std::int32_t action) {
        return action == VuderuAdAction::kNotifyUser || action == VuderuAdAction::kNextFrame || action == VuderuAdAction::kNextAdUnit;
    });
    if (force || !moved) removeTakeoverWindows();
}
