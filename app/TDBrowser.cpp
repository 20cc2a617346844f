#include "app/TDBrowser.h"

#include "app/TDAirDropSheet.h"
#include "app/TDAppDelegate.h"
#include "app/TDFolderListing.h"
#include "app/TDReceived.h"
#include "app/support/UIColor+Color.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/analytics/Vuderu.h"
#include "app/TDImageScaling.h"
#include "app/support/TKZipArchive.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"


namespace {
constexpr const char* kCellIdentifier = "Cell";
constexpr const char* kZipFolder = TDZipFolderPath;
constexpr const char* kFooterCredit = "Tandrel — made with care for jailbroken devices";

// Folders that refuse to be listed but whose one entry leads on down the tree.
struct ListingFallback {
    const char* path;
    const char* entry;
};
constexpr ListingFallback kListingFallbacks[] = {{"/System", "Library"}, {"/Library", "Preferences"}, {"/var", "mobile"}};
} // namespace

std::shared_ptr<TDBrowser> TDBrowser::initWithPath(const std::string& path) {
    auto browser = std::make_shared<TDBrowser>();
    browser->path_ = path;
    browser->readListing();
    return browser;
}

void TDBrowser::readListing() {
    setTitle(NSString::lastPathComponent(path_));
    auto listing = TDReadFolderListing(path_);
    files_ = std::move(listing.files);
    hiddenFiles_ = std::move(listing.hiddenFiles);
    if (!listing.readable) {
        NSLog("ERROR: %@", listing.error);
        for (auto& fallback : kListingFallbacks)
            if (path_ == fallback.path) files_ = {fallback.entry};
    }
}

void TDBrowser::viewDidLoad() {
    UITableViewController::viewDidLoad();
    auto table = tableView();

    auto refreshControl = std::make_shared<UIRefreshControl>();
    refreshControl->addTargetActionForControlEvents(
        self<TDBrowser>(),
        [](TDBrowser& browser, UIControl& sender) {
            browser.refreshTriggered(static_cast<UIRefreshControl&>(sender));
        },
        UIControlEventValueChanged);
    table->addSubview(refreshControl);

    tableViewFooter_ = std::make_shared<UILabel>(CGRectMake(0, 0, view()->bounds().size.width, kFooterHeight));
    tableViewFooter_->setText(kFooterCredit);
    tableViewFooter_->setTextAlignment(NSTextAlignmentCenter);
    tableViewFooter_->setFont(UIFont::italicSystemFontOfSize(kFooterFontSize));
    tableViewFooter_->setTextColor(UIColor::darkGrayColor());
    table->setTableFooterView(tableViewFooter_);

    auto receivedImage = imageWithImageScaledToSize(UIImage::imageNamed("received"), CGSizeMake(kReceivedButtonSide, kReceivedButtonSide));
    navigationItem()->setRightBarButtonItem(UIBarButtonItem::initWithImage(
        receivedImage, UIBarButtonItemStyleBordered, self<TDBrowser>(),
        &TDBrowser::showReceivedFiles));
}

void TDBrowser::viewDidAppear(bool animated) {
    UITableViewController::viewDidAppear(animated);
    // The first responder receives the shake.
    becomeFirstResponder();
}

void TDBrowser::viewWillDisappear(bool animated) {
    resignFirstResponder();
    UITableViewController::viewWillDisappear(animated);
}

std::string TDBrowser::fullPathOfRow(long row) const {
    if (row < 0 || row >= static_cast<long>(files_.size())) return "";
    return NSString::stringByAppendingPathComponent(path_, files_[static_cast<std::size_t>(row)]);
}

std::shared_ptr<UITableViewCell> TDBrowser::tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) {
    auto cell = tableView.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) cell = UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleSubtitle, kCellIdentifier);

    std::string fullPath = fullPathOfRow(indexPath.row);
    bool isDirectory = false;
    bool exists = NSFileManager::defaultManager()->fileExistsAtPath(fullPath, &isDirectory);
    cell->textLabel()->setText(files_[static_cast<std::size_t>(indexPath.row)]);

    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    // A folder, or an entry that is not there (a broken link), can only be zipped.
    auto image = imageWithImageScaledToSize(UIImage::imageNamed(isDirectory || !exists ? "zip" : "send"),
                                            CGSizeMake(kAccessoryImageSide, kAccessoryImageSide));
    button->setBackgroundImageForState(image, UIControlStateNormal);
    button->setFrame(CGRectMake(0, 0, image->size().width, image->size().height));
    button->setBackgroundColor(UIColor::clearColor());
    button->addTargetActionForControlEvents(
        self<TDBrowser>(),
        &TDBrowser::checkButtonTappedEvent,
        UIControlEventTouchUpInside);
    cell->setAccessoryView(button);
    cell->setSelectionStyle(UITableViewCellSelectionStyleBlue);
    return cell;
}

void TDBrowser::checkButtonTappedEvent(UIControl&, UIEvent* event) {
    if (!event || event->allTouches().empty()) return;
    auto table = tableView();
    auto touch = event->allTouches().front();
    auto indexPath = table->indexPathForRowAtPoint(touch->locationInView(table));
    if (indexPath) tableViewAccessoryButtonTappedForRowWithIndexPath(*table, *indexPath);
}

void TDBrowser::tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView&, const NSIndexPath& indexPath) {
    std::string fullPath = fullPathOfRow(indexPath.row);
    if (fullPath.empty()) return;
    bool isDirectory = false;
    bool exists = NSFileManager::defaultManager()->fileExistsAtPath(fullPath, &isDirectory);
    if (!exists || isDirectory) zipFolderAtPath(fullPath);
    else presentAirDropSheetForPath(fullPath, nullptr);
}

void TDBrowser::tableViewDidSelectRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) {
    tableView.deselectRowAtIndexPathAnimated(indexPath, true);
    std::string fullPath = fullPathOfRow(indexPath.row);
    if (fullPath.empty()) return;
    bool isDirectory = false;
    bool exists = NSFileManager::defaultManager()->fileExistsAtPath(fullPath, &isDirectory);
    if (!exists) return;
    if (isDirectory) {
        if (auto nav = navigationController()) nav->pushViewControllerAnimated(TDBrowser::initWithPath(fullPath), true);
    } else {
        presentAirDropSheetForPath(fullPath, nullptr);
    }
}

void TDBrowser::zipFolderAtPath(const std::string& path) {
    std::string zipPath = NSString::stringByAppendingPathComponent(kZipFolder, NSString::lastPathComponent(path)) + ".zip";
    NSLog("%@", zipPath);
    if (!TKZipArchive::createZipFileAtPathWithContentsOfDirectory(zipPath, path)) {
        // A failed archive never reached the zip path (it is written whole or not at all), so
        // whatever stands there (an earlier archive, a FIFO, a link, a folder) is someone's and
        // stays as it was; the user is told, and offered nothing.
        UIAlertView::initWithTitle("Error", "The folder could not be zipped.", nullptr, "OK")->show();
        return;
    }
    presentAirDropSheetForPath(zipPath, [] {});
}

void TDBrowser::refreshTriggered(UIRefreshControl& sender) {
    tableView()->reloadSectionsWithRowAnimation({0}, UITableViewRowAnimationFade);
    sender.endRefreshing();
}

void TDBrowser::tableViewCommitEditingStyleForRowAtIndexPath(UITableView& tableView, UITableViewCellEditingStyle editingStyle,
                                                           const NSIndexPath& indexPath) {
    TDCommitDeleteOfListedItem(tableView, editingStyle, [&] { return fullPathOfRow(indexPath.row); }, [this] { readListing(); });
}

void TDBrowser::presentAirDropSheetForPath(const std::string& path, std::function<void()> completion) {
    auto sheet = TDAirDropSheet::sheetForFileAtPath(path);
    Vuderu::logEvent(Value("File sent through AirDrop"));
    if (auto tabs = tabBarController()) tabs->presentViewControllerAnimatedCompletion(sheet, true, std::move(completion));
}

void TDBrowser::showReceivedFiles() {
    auto content = UINavigationController::initWithRootViewController(TDReceived::initWithPath(TDAppFolderPath));
    content->navigationBar()->setBarTintColor(UIColor_Color::colorWithR255G255B255A255(42, 42, 42, 255));
    importedFiles_ = PVPopoverController::initWithContentViewController(content);
    // Anchored in the Files tab's navigation view, under the bar button.
    auto nav = navigationController();
    auto inView = nav ? nav->view() : view();
    bool pad = NSString::hasPrefix(UIDevice::currentDevice()->model(), "iPad");
    CGFloat x = view()->bounds().size.width - (pad ? kPopoverAnchorInsetPad : kPopoverAnchorInset);
    importedFiles_->presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptions(
        CGRectMake(x, 0, kPopoverAnchorSide, kPopoverAnchorSide), inView, PVPopoverArrowDirectionUp, true,
        PVPopoverAnimationOptionFadeWithScale);
}

UIImagePtr TDBrowser::imageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize) const {
    return TDImageWithImageScaledToSize(image, newSize);
}
