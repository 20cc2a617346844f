#include "tests/e2e/adhost/AdHostAppDelegate.h"

#include "tests/e2e/adhost/AdHost.h"
#include "tests/e2e/adhost/AdHostTestAdView.h"

#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/SKStoreProductViewController.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScreenDescription.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/Vuderu.h"

#include <atomic>

const std::string AdHostAnalyticsKey = "ADHOSTK2Q9X4M1B8C5VW";

namespace {
std::atomic<bool> keepsTestViews{false};
} // namespace

void AdHostViewController::loadView() {
    auto bounds = UIScreen::mainScreen()->bounds();
    auto view = std::make_shared<UIView>(bounds);
    view->setBackgroundColor(UIColor::whiteColor());
    container_ = std::make_shared<UIView>(CGRect{{0, 0}, bounds.size});
    view->addSubview(container_);
    setView(view);
}

void AdHostViewController::describeToScreen(UIScreenDescription& screen) {
    for (auto& line : AdHost::shared().screenLines()) screen.addLine(line);
    UIViewController::describeToScreen(screen);
}

std::string AdHostAppDelegate::registeredClassName() {
    static const std::string name = "AdHostAppDelegate";
    UIApplication::registerDelegateClass(name, [] { return std::make_shared<AdHostAppDelegate>(); });
    return name;
}

void AdHostAppDelegate::setKeepsTestViews(bool keep) { keepsTestViews = keep; }

// The host starts the ads as the README says any host does: linking the ad views gave it the
// ad-space view and the plugins. Only --test-views puts the test view in its place.
void AdHostAppDelegate::registerAdViewMaker() {
    if (keepsTestViews) AdHostTestAdView::registerMaker();
}

bool AdHostAppDelegate::applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) {
    // The ad road makes the main thread wait on the clock (the configuration take's 1 ms, a
    // main-thread take's time-out) while the reply it waits for needs the main loop: on a manual
    // clock, which only the main thread's `wait` moves, such a wait would never end. The host
    // runs on the real clock, scripts too.
    PlatformClock::setAutomatic();
    window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    window_->setBackgroundColor(UIColor::whiteColor());
    window_->makeKeyAndVisible();
    root_ = std::make_shared<AdHostViewController>();
    window_->setRootViewController(root_);
    AdHost::shared().setViews(root_, root_->view() ? root_->container() : nullptr);

    Vuderu::startSession(Value(AdHostAnalyticsKey));
    // StoreKit is present in the host when the device profile has it: ads open App Store items in-app.
    SKStoreProductViewController::registerClass();
    VuderuAds::setAdDelegate(adDelegate_);
    VuderuAds::initialize(root_);
    registerAdViewMaker();
    return true;
}
