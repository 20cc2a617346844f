// The options menu over the middle tab: clean the app folder, the maker's pages, About; and the
// alerts the app delegate answers, told apart by the clicked button's title.

#include "app/TDAppDelegate.h"
#include "app/support/BridgeConnect.h"
#include "app/support/TDSites.h"
#include "app/support/UIColor+Color.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"

#include <iterator>

namespace {
constexpr const char* kCleanButtonTitle = "Clean";
constexpr const char* kUpdateButtonTitle = "Update";
constexpr const char* kImportButtonTitle = "Import";
constexpr const char* kCydiaPackagePage = "cydia://package/org.harborstack.tandrel";
// The folder Clean empties, written with its trailing slash: entries are joined to it directly.
constexpr const char* kCleanFolder = "/var/mobile/Tandrel/";
constexpr const char* kAboutText = "Tandrel \u00a9 2014 Zorik Orvenhal (@quorrelhub)\nhttp://harborstack.org/";

// The items' pictures, by index, and the size each is drawn at, in points.
struct ItemPicture {
    const char* image;
    CGFloat width, height;
};
constexpr ItemPicture kItemPictures[] = {
    {"trash", 30, 30}, {"globe", 30, 30}, {"exclamation", 30, 30}, {"twitterBR", 28, 23}, {"share", 30, 30},
};
static_assert(std::size(kItemPictures) == TDAppDelegate::kOptionCount);

void open(const std::string& address) { UIApplication::sharedApplication()->openURL(NSURL::URLWithString(address)); }
bool canOpen(const std::string& address) { return UIApplication::sharedApplication()->canOpenURL(NSURL::URLWithString(address)); }
} // namespace

std::int64_t TDAppDelegate::opOptionsButtonNumberOfItems(OPOptionsButton&) { return kOptionCount; }

UIImagePtr TDAppDelegate::opOptionsButtonImageForItemAtIndex(OPOptionsButton&, std::int64_t index) {
    if (index < 0 || index >= kOptionCount) return nullptr;
    const auto& picture = kItemPictures[index];
    return imageWithImageScaledToSize(UIImage::imageNamed(picture.image), CGSizeMake(picture.width, picture.height));
}

void TDAppDelegate::opOptionsButtonWillDisplayButtonItem(OPOptionsButton&, OPOptionItem& item) {
    item.setBackgroundColor(UIColor_Color::colorWithR255G255B255A255(91, 165, 255, 255));
}

void TDAppDelegate::opOptionsButtonDidSelectItem(OPOptionsButton&, OPOptionItem& item) { optionChosenAtIndex(item.index()); }

void TDAppDelegate::optionChosenAtIndex(std::int64_t index) {
    switch (index) {
    case kOptionClean:
        NSLog("trash");
        UIAlertView::initWithTitle("Clean", std::string("Are you sure you want to clean Tandrel folder?\n ") + kCleanFolder,
                                   self<TDAppDelegate>(), "Cancel", {kCleanButtonTitle})
            ->show();
        break;
    case kOptionWebSite:
        NSLog("globe");
        open(TDSites::kMakerHomePage);
        break;
    case kOptionAbout:
        NSLog("exclamation");
        UIAlertView::initWithTitle("About", kAboutText, nullptr, "Close", {})->show();
        break;
    case kOptionTwitter:
        NSLog("twitter");
        openMakerProfile();
        break;
    case kOptionShare:
        NSLog("share");
        showShareCircle();
        break;
    default:
        break;
    }
}

void TDAppDelegate::openMakerProfile() {
    const std::string handle = TDSites::kMakerHandle;
    if (canOpen("tweetbot:")) {
        open("tweetbot:///user_profile/" + handle);
    } else if (canOpen("twitter:")) {
        open("twitter://user?screen_name=" + handle);
    } else {
        open(TDSites::kMakerMobileTwitterProfile);
    }
}

void TDAppDelegate::alertViewClickedButtonAtIndex(UIAlertView& alertView, long buttonIndex) {
    alertBtnTitle_ = alertView.buttonTitleAtIndex(buttonIndex);
    if (alertBtnTitle_ == kCleanButtonTitle) {
        cleanAppFolder();
    } else if (alertBtnTitle_ == kUpdateButtonTitle) {
        updateThroughCydia();
    } else if (alertBtnTitle_ == kImportButtonTitle) {
        // The song is in the app folder already; the import app is handed its path. Whether the
        // hand-over started is not told: "Save" would have kept the file just the same.
        NSLog("Importing %@...", musicFilePath_);
        BridgeConnect::importFileAtPath(musicFilePath_);
    }
}

void TDAppDelegate::cleanAppFolder() {
    NSLog("Cleaning...");
    auto fileManager = NSFileManager::defaultManager();
    // Each entry goes with whatever it holds; one that cannot be removed does not stop the rest,
    // and the folder itself stays.
    for (const auto& name : fileManager->contentsOfDirectoryAtPath(kCleanFolder, nullptr).value_or(std::vector<std::string>{})) {
        fileManager->removeItemAtPath(NSString::stringWithFormat("%@%@", kCleanFolder, name), nullptr);
    }
}

void TDAppDelegate::updateThroughCydia() {
    NSLog("Updating through Cydia...");
    open(kCydiaPackagePage);
}
