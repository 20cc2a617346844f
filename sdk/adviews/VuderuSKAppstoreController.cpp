#include "sdk/adviews/VuderuSKAppstoreController.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/uikit/UIScreen.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <mutex>

const char* const VuderuSKAppstoreDidFinish = "VuderuSKAppstoreDidFinish";
const char* const VuderuSKAppstoreDidLoad = "VuderuSKAppstoreDidLoad";
const char* const VuderuSKAppstoreDidFailToLoad = "VuderuSKAppstoreDidFailToLoad";

namespace {
constexpr int kSystemVersion6 = 60000;
constexpr int kSystemVersion7 = 70000;
constexpr CGFloat kSKAppstoreControllerWindowLevelAboveStatusBar = 2;

void post(const char* name) { NSNotificationCenter::defaultCenter()->postNotificationName(name); }

// The item id as a 64-bit number, from a number or from numeric text.
Value itemNumber(const Value& itemId) { return Value(static_cast<long long>(itemId.integerValue())); }
} // namespace

std::shared_ptr<VuderuSKAppstoreController> VuderuSKAppstoreController::sharedInstance() {
    return SharedInstance<VuderuSKAppstoreController>::slot().getOrMake([] {
        auto instance = std::make_shared<VuderuSKAppstoreController>();
        if (instance->makeStorePage(kSubclassName, true) && VuderuUtil::getSystemVersionAsAnInteger() < kSystemVersion7)
            instance->setWantsFullScreenLayout(true);
        return instance;
    });
}

bool VuderuSKAppstoreController::makeStorePage(const std::string& subclassName, bool statusBarHidden) {
    skController_ = SKStoreProductViewController::makeByName();
    if (!skController_) return false;
    if (!SKStoreProductViewController::subclassExists(subclassName)) {
        std::map<std::string, SKStoreProductViewController::Method> methods{{"shouldAutorotate", [] { return shouldAutoRotate(); }}};
        if (statusBarHidden) methods["prefersStatusBarHidden"] = [] { return true; };
        if (!SKStoreProductViewController::makeSubclass(subclassName, std::move(methods))) {
            skController_ = nullptr;
            return false;
        }
    }
    skController_->setClass(subclassName);
    skController_->setDelegate(std::dynamic_pointer_cast<SKStoreProductViewControllerDelegate>(self<UIViewController>()));
    return true;
}

void VuderuSKAppstoreController::dynamicallySubclassSKController() {
    if (skController_) makeStorePage(kSubclassName, true);
}

bool VuderuSKAppstoreController::shouldAutoRotate() { return VuderuUtil::getSystemVersionAsAnInteger() < kSystemVersion7; }

void VuderuSKAppstoreController::openSKAppstoreOnViewController(const Value& itemId, const std::shared_ptr<UIViewController>& controller) {
    open("-[VuderuSKAppstoreController openSKAppstore:onViewController:]", itemId, controller, nullptr);
}

void VuderuSKAppstoreController::open(const char* operation, const Value& itemId, const std::shared_ptr<UIViewController>& presenter,
                                      const std::function<void()>& beforePresenting) {
    if (!skController_) {
        VuderuLog("%s: in-app controller is not intiialized", std::string(operation));
        return post(VuderuSKAppstoreDidFailToLoad);
    }
    const Value item = itemNumber(itemId);
    if (loadingTimer_) loadingTimer_->invalidate();
    std::weak_ptr<VuderuSKAppstoreController> weak = self<VuderuSKAppstoreController>();
    loadingTimer_ = NSTimer::scheduledTimerWithTimeInterval(kLoadingTimeout, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto me = weak.lock()) me->loadingProductTimedout();
    });
    auto timer = loadingTimer_;
    auto page = skController_;
    page->loadProductWithParametersCompletionBlock(
        {{SKStoreProductParameterITunesItemIdentifier, item}},
        [weak, timer, page, presenter, beforePresenting, item](bool result, const NSErrorPtr& error) {
            auto me = weak.lock();
            if (!me) return;
            // Only the opening whose time-out still runs may go on; the time-out reported the rest.
            if (me->loadingTimer_ != timer) {
                VuderuLog("%s: Loading of app id %@ timed out", std::string("-[VuderuSKAppstoreController open]_block_invoke"), item);
                return;
            }
            timer->invalidate();
            me->loadingTimer_ = nullptr;
            if (error || !result) {
                VuderuLog("Failed open AppStore %@", error ? error->localizedDescription() : std::string("(null)"));
                return post(VuderuSKAppstoreDidFailToLoad);
            }
            if (!presenter || presenter->presentedViewController()) {
                VuderuLog("%s: passed in VC is already presenting a VC %@", std::string("-[VuderuSKAppstoreController open]_block_invoke"),
                          presenter ? presenter->presentedViewController()->className() : std::string("(null)"));
                // The ad waits for an outcome: without one it kept its cover and observers for ever.
                return post(VuderuSKAppstoreDidFailToLoad);
            }
            try {
                if (beforePresenting) beforePresenting();
                presenter->presentViewControllerAnimatedCompletion(page, true, [] { post(VuderuSKAppstoreDidLoad); });
            } catch (const std::exception& exception) {
                VuderuLogAbove(0, "Exception while presenting SKStoreController: %@", std::string(exception.what()));
                post(VuderuSKAppstoreDidFailToLoad);
            }
        });
}

void VuderuSKAppstoreController::loadingProductTimedout() {
    if (!loadingTimer_) return;
    auto keep = self<VuderuSKAppstoreController>();
    post(VuderuSKAppstoreDidFailToLoad);
    loadingTimer_->invalidate();
    loadingTimer_ = nullptr;
}

void VuderuSKAppstoreController::productViewControllerDidFinish(const std::shared_ptr<SKStoreProductViewController>&) {
    finish(nullptr);
}

void VuderuSKAppstoreController::finish(const std::function<void()>& afterDismissal) {
    if (VuderuUtil::getSystemVersionAsAnInteger() < kSystemVersion6 || !skController_) return;
    skController_->dismissViewControllerAnimatedCompletion(true, [afterDismissal] {
        if (afterDismissal) afterDismissal();
        post(VuderuSKAppstoreDidFinish);
    });
}

// The window-based controller.

std::shared_ptr<VuderuSKAppstoreWindowsBasedController> VuderuSKAppstoreWindowsBasedController::sharedInstance() {
    return SharedInstance<VuderuSKAppstoreWindowsBasedController>::slot().getOrMake([] {
        auto instance = std::make_shared<VuderuSKAppstoreWindowsBasedController>();
        instance->window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        instance->window_->setWindowLevel(UIWindowLevelStatusBar + kSKAppstoreControllerWindowLevelAboveStatusBar);
        instance->window_->setRootViewController(instance);
        instance->window_->setHidden(true);
        if (instance->makeStorePage(kWindowSubclassName, false)) instance->skController_->setWantsFullScreenLayout(true);
        return instance;
    });
}

void VuderuSKAppstoreWindowsBasedController::dynamicallySubclassSKController() {
    if (skController_) makeStorePage(kWindowSubclassName, false);
}

void VuderuSKAppstoreWindowsBasedController::openSKAppstore(const Value& itemId) {
    auto window = window_;
    open("-[VuderuSKAppstoreWindowsBasedController openSKAppstore:]", itemId, self<UIViewController>(), [window] { window->setHidden(false); });
}

void VuderuSKAppstoreWindowsBasedController::productViewControllerDidFinish(const std::shared_ptr<SKStoreProductViewController>&) {
    auto window = window_;
    finish([window] { window->setHidden(true); });
}
