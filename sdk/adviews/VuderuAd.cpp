// The ad-space view's creation, container, units and tear-down, and its registration with the
// ad manager.

#include "sdk/adviews/VuderuAd.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/arc4random.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cstdlib>

namespace {
constexpr long kTagRange = 25000;
constexpr int kSystemVersionForeground = 40000;
const char* const kHeartBeatNotification = "VuderuHeartBeatNotification";
} // namespace

std::int32_t VuderuAd::getAdType(const VuderuAdFramePtr& frame) {
    const bool takeover = frame && frame->adSpaceLayout() && frame->adSpaceLayout()->isTakeover();
    switch (frame ? frame->binding() : 0) {
    case VuderuAdFrame::kWebPage:
    case VuderuAdFrame::kHTML: return takeover ? 2 : 1;
    case VuderuAdFrame::kVideo: return takeover ? 3 : 4;
    case VuderuAdFrame::kNetworkView: return takeover ? 7 : 6;
    default: return takeover ? 5 : 4;
    }
}

void VuderuAd::registerAsAdViewMaker() {
    VuderuAdManager::registerAdViewMaker(
        [](const std::shared_ptr<NSObject>& container, const std::string& space) -> IVuderuAdPtr {
            return initWithViewContainerAdSpace(container, space);
        },
        &VuderuAd::getAdType);
}

std::shared_ptr<VuderuAd> VuderuAd::initWithViewContainerAdSpace(const std::shared_ptr<NSObject>& container, const std::string& space) {
    std::shared_ptr<VuderuAd> ad(new VuderuAd());
    ad->setUp(container, space);
    return ad;
}

void VuderuAd::setUp(const std::shared_ptr<NSObject>& container, const std::string& space) {
    space_ = space;
    updateViewContainer(container);
    setAutoresizesSubviews(true);
    setTag(unusedTagInKeyWindow());
    makeViewState();
    currentOrientation_ = VuderuUtil::getCanvasOrientation();
    activeAdUnitsList_ = std::make_shared<std::vector<VuderuAdUnitPtr>>();
    UIDevice::currentDevice()->beginGeneratingDeviceOrientationNotifications();
    observeNotifications();
}

void VuderuAd::observeNotifications() {
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<VuderuAd> weak = self<VuderuAd>();
    auto call = [weak](void (VuderuAd::*method)()) {
        return [weak, method](const std::shared_ptr<NSNotification>&) {
            if (auto ad = weak.lock()) ((*ad).*method)();
        };
    };
    if (VuderuUtil::getSystemVersionAsAnInteger() >= kSystemVersionForeground)
        center->addObserver(weak, UIApplicationWillEnterForegroundNotification, nullptr, call(&VuderuAd::resumeSession));
    center->addObserver(weak, kHeartBeatNotification, nullptr, call(&VuderuAd::handleHeartBeat));
    center->addObserver(weak, UIDeviceOrientationDidChangeNotification, nullptr, call(&VuderuAd::updateToOrientationOnRotation));
}

long VuderuAd::unusedTagInKeyWindow() const {
    auto window = UIApplication::sharedApplication()->keyWindow();
    for (;;) {
        const long tag = static_cast<long>(::arc4random() % kTagRange);
        if (!window || !window->viewWithTag(tag)) return tag;
    }
}

VuderuAd::~VuderuAd() {
    // The ad manager holds the ad it shows, so a view being destroyed is no longer the space's ad:
    // its takeover windows went with its removal.
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    NSRunLoop::mainRunLoop()->cancelPerformRequests(this);
    if (previousWebViewLoader_) previousWebViewLoader_->invalidate();
    if (alertView_) {
        alertView_->setDelegate(nullptr);
        alertView_->dismissWithClickedButtonIndexAnimated(0, false);
    }
    if (webViewLoader_) webViewLoader_->invalidate();
    if (loadingViewTimer_) loadingViewTimer_->invalidate();
}

void VuderuAd::holdUntilNextPass() {
    dispatch_async(dispatch_get_main_queue(), [held = self<VuderuAd>()] {});
}

void VuderuAd::updateViewContainer(const std::shared_ptr<NSObject>& container) {
    parentView_ = nullptr;
    parentViewController_ = nullptr;
    if (auto controller = std::dynamic_pointer_cast<UIViewController>(container)) parentViewController_ = controller;
    else if (auto view = std::dynamic_pointer_cast<UIView>(container)) parentView_ = view;
}

std::shared_ptr<NSObject> VuderuAd::parentViewContainer() const {
    if (isShownModallyForViewController()) return parentViewController_;
    return parentView_;
}

std::shared_ptr<UIView> VuderuAd::parentViewContainersView() const {
    if (parentViewController_) return parentViewController_->view();
    return parentView_;
}

std::shared_ptr<UIView> VuderuAd::adView() const {
    return std::const_pointer_cast<VuderuAd>(self<VuderuAd>());
}

std::shared_ptr<UIWebView> VuderuAd::webView() const { return webViewLoader_ ? webViewLoader_->webView() : nullptr; }

bool VuderuAd::mraidAdLoaded() const { return webViewLoader_ && webViewLoader_->isMraidAdLoaded(); }

void VuderuAd::setMraidAdLoaded(bool loaded) {
    if (webViewLoader_) webViewLoader_->setMraidAdLoaded(loaded);
}

bool VuderuAd::activeFrameTakeover() const {
    return adFrame_ && adFrame_->adSpaceLayout() && adFrame_->adSpaceLayout()->format() == "takeover";
}

void VuderuAd::addAdUnit(const VuderuAdUnitPtr& unit) {
    std::lock_guard guard(lock_);
    if (!activeAdUnitsList_) activeAdUnitsList_ = std::make_shared<std::vector<VuderuAdUnitPtr>>();
    activeAdUnitsList_->push_back(unit);
}

VuderuAdUnitPtr VuderuAd::activeAdUnit() const {
    std::lock_guard guard(lock_);
    return activeAdUnitsList_ && !activeAdUnitsList_->empty() ? activeAdUnitsList_->front() : nullptr;
}

std::vector<VuderuAdUnitPtr> VuderuAd::allAdUnitsList() const {
    std::lock_guard guard(lock_);
    return activeAdUnitsList_ ? *activeAdUnitsList_ : std::vector<VuderuAdUnitPtr>{};
}

bool VuderuAd::setActiveAdUnit(const std::string& guid) {
    std::lock_guard guard(lock_);
    if (!activeAdUnitsList_) return false;
    auto& units = *activeAdUnitsList_;
    for (std::size_t index = 0; index < units.size(); ++index) {
        if (!units[index]) continue;
        for (const auto& frame : units[index]->adFrames()) {
            if (!frame || frame->adLogGUID() != guid) continue;
            if (index != 0) {
                auto unit = units[index];
                units.erase(units.begin() + static_cast<std::ptrdiff_t>(index));
                units.insert(units.begin(), unit);
            }
            return true;
        }
    }
    return false;
}

bool VuderuAd::isGuidActive(const std::string& guid) const {
    if (guid.empty()) return false;
    for (const auto& unit : allAdUnitsList()) {
        auto frame = unit ? unit->curAdFrame() : nullptr;
        if (frame && frame->adLogGUID() == guid) return true;
    }
    return false;
}

std::shared_ptr<std::vector<VuderuAdUnitPtr>> VuderuAd::appendAdUnitsMaximum(std::int32_t minimum, std::int32_t maximum) {
    auto units = VuderuAdManager::instance()->fetchAdUnitsForSpaceMinimumMaximum(space_, minimum, maximum);
    if (units)
        for (const auto& unit : *units) addAdUnit(unit);
    return units;
}

bool VuderuAd::isWebViewNewAdRequest(bool remember) {
    auto unit = activeAdUnit();
    auto frame = unit ? unit->curAdFrame() : nullptr;
    const std::string guid = frame ? frame->adLogGUID() : std::string();
    if (!webviewGuid_.empty() && webviewGuid_ == guid) return false;
    if (remember) webviewGuid_ = guid;
    return true;
}
