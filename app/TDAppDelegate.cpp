#include "app/TDAppDelegate.h"

#include "app/TDBrowser.h"
#include "app/TDImageScaling.h"
#include "app/TDMedia.h"
#include "app/support/BridgeConnect.h"
#include "app/support/TDSites.h"
#include "app/support/UIColor+Color.h"
#include "app/support/VTVersionTracker.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSThread.h"
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
// The second tab sits under the options button and is never selected.
constexpr std::size_t kOptionsTabIndex = 1;
constexpr const char* kUpdateButtonTitle = "Update";
constexpr const char* kImportButtonTitle = "Import";
constexpr const char* kCydiaPackagePage = "cydia://package/org.harborstack.tandrel";

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

    window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    window_->setBackgroundColor(UIColor::whiteColor());
    window_->makeKeyAndVisible();

    // The share circle is built here, before the tabs, once it is part of the app.

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

    // The options button covers this item once it is part of the app; the item itself stays disabled.
    tabBarController_->tabBar()->items()[kOptionsTabIndex]->setEnabled(false);

    window_->setRootViewController(tabBarController_);

    // The first-launch welcome starts here, before the location feed, once it is part of the app.

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
                                       self<TDAppDelegate>(), "Later", {kUpdateButtonTitle})
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

void TDAppDelegate::alertViewClickedButtonAtIndex(UIAlertView& alertView, long buttonIndex) {
    alertBtnTitle_ = alertView.buttonTitleAtIndex(buttonIndex);
    if (alertBtnTitle_ == kUpdateButtonTitle) {
        updateThroughCydia();
    } else if (alertBtnTitle_ == kImportButtonTitle) {
        // The song is in the app folder already; the import app is handed its path. Whether the
        // hand-over started is not told: "Save" would have kept the file just the same.
        NSLog("Importing %@...", musicFilePath_);
        BridgeConnect::importFileAtPath(musicFilePath_);
    }
}

void TDAppDelegate::updateThroughCydia() {
    NSLog("Updating through Cydia...");
    UIApplication::sharedApplication()->openURL(NSURL::URLWithString(kCydiaPackagePage));
}
