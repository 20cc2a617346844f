#include "app/TDAppDelegate.h"

#include "app/TDBrowser.h"
#include "app/TDImageScaling.h"
#include "app/TDMedia.h"
#include "app/TDWelcome.h"
#include "app/support/TDSites.h"
#include "app/support/UIColor+Color.h"
#include "app/support/VTVersionTracker.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/WholeFile.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "sdk/analytics/Vuderu.h"

const std::string startingPath = "/";
const std::string TDAppFolderPath = "/var/mobile/Tandrel";
const std::string TDAnalyticsApplicationKey = "TNDRL7K2Q9X4M1B8C5VW";

namespace {
struct RGBA255 {
    std::int64_t red, green, blue, alpha;
};
constexpr RGBA255 kNavigationBarTint{91, 165, 255, 255};
constexpr RGBA255 kTabBarTint{42, 42, 42, 255};
constexpr RGBA255 kTabTitleHighlighted{91, 135, 255, 255};
constexpr RGBA255 kOptionsButtonColour{91, 130, 255, 255};
constexpr double kShareCircleAlpha = 0.3;
// The second tab sits under the options button and is never selected.
constexpr std::size_t kOptionsTabIndex = 1;
constexpr const char* kLaunchUpdateButtonTitle = "Update";

UIColorPtr color(const RGBA255& c) { return UIColor_Color::colorWithR255G255B255A255(c.red, c.green, c.blue, c.alpha); }
} // namespace

std::string TDAppDelegate::registeredClassName() {
    static const std::string name = "TDAppDelegate";
    UIApplication::registerDelegateClass(name, [] { return std::make_shared<TDAppDelegate>(); });
    return name;
}

std::shared_ptr<UINavigationController> TDAppDelegate::makeFilesTab() {
    auto nav = UINavigationController::initWithRootViewController(TDBrowser::initWithPath(startingPath));
    nav->tabBarItem()->setImage(imageWithImageScaledToSize(UIImage::imageNamed("files_list"), CGSizeMake(kTabIconSide, kTabIconSide)));
    nav->tabBarItem()->setTitle("Files");
    nav->navigationBar()->setBarTintColor(color(kNavigationBarTint));
    nav->navigationBar()->setTintColor(UIColor::blackColor());
    return nav;
}

bool TDAppDelegate::applicationDidFinishLaunchingWithOptions(UIApplication& application, const Value&) {
    NSLog("Tandrel did finish launching");
    // The Files screen relies on shake events.
    application.setApplicationSupportsShakeToEdit(true);

    auto fileManager = NSFileManager::defaultManager();
    if (!fileManager->fileExistsAtPath(TDAppFolderPath)) fileManager->createDirectoryAtPath(TDAppFolderPath, true, nullptr, nullptr);
    // What an earlier run was writing when it was killed: downloads, saves, inbox copies and the
    // Files screen's zips.
    for (const std::string& folder : {TDAppFolderPath, TDInboxPath, std::string(TDZipFolderPath)}) NSSweepTemporaryFiles(folder, NSTemporaryNames::Writers);

    window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    window_->setBackgroundColor(UIColor::whiteColor());
    window_->makeKeyAndVisible();

    buildShareCircle();

    auto files = makeFilesTab();
    auto second = makeFilesTab();
    auto media = UINavigationController::initWithRootViewController(std::make_shared<TDMedia>());
    media->tabBarItem()->setImage(imageWithImageScaledToSize(UIImage::imageNamed("media"), CGSizeMake(kTabIconSide, kTabIconSide)));
    media->tabBarItem()->setTitle("Media");
    media->navigationBar()->setBarTintColor(color(kNavigationBarTint));

    tabBarController_ = std::make_shared<UITabBarController>();
    tabBarController_->tabBar()->setBarTintColor(color(kTabBarTint));
    tabBarController_->setViewControllersAnimated({files, second, media}, true);

    auto appearance = UITabBarItem::appearance();
    appearance->setTitleTextAttributesForState({UIColor::whiteColor(), nullptr}, UIControlStateNormal);
    appearance->setTitleTextAttributesForState({color(kTabTitleHighlighted), nullptr}, UIControlStateHighlighted);

    installOptionsButton();

    window_->setRootViewController(tabBarController_);

    showWelcomeOnFirstLaunch();

    locationManager_ = std::make_shared<CLLocationManager>();
    locationManager_->setDelegate(self<TDAppDelegate>());
    locationManager_->startUpdatingLocation();

    Vuderu::setCrashReportingEnabled(true);
    Vuderu::startSession(Value(TDAnalyticsApplicationKey));

    std::weak_ptr<TDAppDelegate> weakSelf = self<TDAppDelegate>();
    VTVersionTracker::beginTrackingVersionForChannelServiceBaseUrlTimeIntervalWithHandler(
        kUpdateChannel, TDSites::versionServiceBaseURL(), kUpdateCheckInterval, [weakSelf](std::int32_t state, const VTVersionPtr& version) {
            if (auto strongSelf = weakSelf.lock()) strongSelf->handleUpdateStateVersion(state, version);
        });
    return true;
}

void TDAppDelegate::buildShareCircle() {
    shareCircleView_ = std::make_shared<CSShareCircleView>(std::vector<std::shared_ptr<CSSharer>>{
        CSSharer::facebook(), CSSharer::twitter(), CSSharer::mail(), CSSharer::initWithNameImageName("SMS", "sms")});
    shareCircleView_->setBackgroundColor(UIColor::colorWithWhite(1, kShareCircleAlpha));
    shareCircleView_->setDelegate(self<TDAppDelegate>());
}

void TDAppDelegate::installOptionsButton() {
    // The tab bar's view tree keeps the button; the delegate needs no reference to it. The bar
    // joins that tree, at its place at the bottom, when the controller's view loads and is laid
    // out at the window's size: the button is put over the item from there.
    auto tabs = tabBarController_->view();
    tabs->setFrame(window_->bounds());
    tabs->layoutIfNeeded();
    auto button = OPOptionsButton::initForTabBarForItemIndexDelegate(tabBarController_->tabBar(), kOptionsTabIndex,
                                                                     self<TDAppDelegate>());
    if (button) {
        button->setBackgroundColor(color(kOptionsButtonColour));
        button->setImageForOPOptionsButtonState(UIImage::imageNamed("gear"), OPOptionsButtonStateNormal);
        button->setImageForOPOptionsButtonState(UIImage::imageNamed("closeBR"), OPOptionsButtonStateOpen);
    }
    // The item under the button is never selected.
    tabBarController_->tabBar()->items()[kOptionsTabIndex]->setEnabled(false);
}

void TDAppDelegate::showWelcomeOnFirstLaunch() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    // Any value under the key, whatever it is, means the welcome has been shown.
    if (!defaults->objectForKey(kIntroShowKey).isNull()) return;
    // As on the device, a presentation asked for during launch happens once launch is over: the
    // welcome's view loads after the analytics session has started, so its event is recorded.
    std::weak_ptr<UITabBarController> tabs = tabBarController_;
    dispatch_async(dispatch_get_main_queue(), [tabs] {
        if (auto strongTabs = tabs.lock()) strongTabs->presentModalViewControllerAnimated(std::make_shared<TDWelcome>(), true);
    });
    // Recorded at once, so a welcome that is interrupted is not shown again.
    defaults->setObjectForKey(Value("Done"), kIntroShowKey);
    defaults->synchronize();
}

void TDAppDelegate::locationManagerDidUpdateLocations(CLLocationManager& manager, const std::vector<std::shared_ptr<CLLocation>>&) {
    auto location = manager.location();
    if (!location) return;
    Vuderu::setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(location->coordinate().latitude, location->coordinate().longitude,
                                                                   static_cast<float>(location->horizontalAccuracy()),
                                                                   static_cast<float>(location->verticalAccuracy()));
}

UIImagePtr TDAppDelegate::imageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize) const {
    return TDImageWithImageScaledToSize(image, newSize);
}

void TDAppDelegate::handleUpdateStateVersion(std::int32_t state, const VTVersionPtr& version) {
    auto offer = [this, state, version] {
        if (state == VTVersionTrackerStateUpdateAvailable) {
            UIAlertView::initWithTitle("Update Available!", "There is a newer version of Tandrel availabe. Update now?",
                                       self<TDAppDelegate>(), "Later", {kLaunchUpdateButtonTitle})
                ->show();
        } else if (state == VTVersionTrackerStateMandatoryUpdate && version) {
            version->install();
        }
    };
    // The tracker calls from its own thread; a synchronous hop from the main thread would never end.
    if (NSThread::isMainThread()) {
        offer();
    } else {
        dispatch_sync(dispatch_get_main_queue(), offer);
    }
}
