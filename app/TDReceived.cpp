#include "app/TDReceived.h"

#include "app/TDFolderListing.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UINavigationController.h"
#include "sdk/analytics/Vuderu.h"

namespace {
constexpr const char* kReceivedCellIdentifier = "Cell";
} // namespace

std::shared_ptr<TDReceived> TDReceived::initWithPath(const std::string& path) {
    auto list = std::make_shared<TDReceived>();
    list->path_ = path;
    list->setTitle(kTitle);
    list->readListing();
    return list;
}

void TDReceived::readListing() {
    // An unreadable folder simply lists nothing.
    auto listing = TDReadFolderListing(path_);
    files_ = std::move(listing.files);
    hiddenFiles_ = std::move(listing.hiddenFiles);
}

void TDReceived::viewDidLoad() {
    UITableViewController::viewDidLoad();
    navigationItem()->setRightBarButtonItem(editButtonItem());
    auto refreshControl = std::make_shared<UIRefreshControl>();
    refreshControl->addTargetActionForControlEvents(
        self<TDReceived>(),
        [](TDReceived& received, UIControl& sender) {
            received.refreshTriggered(static_cast<UIRefreshControl&>(sender));
        },
        UIControlEventValueChanged);
    tableView()->addSubview(refreshControl);
}

void TDReceived::refreshTriggered(UIRefreshControl& sender) {
    readListing();
    tableView()->reloadSectionsWithRowAnimation({0}, UITableViewRowAnimationFade);
    sender.endRefreshing();
}

std::string TDReceived::fullPathOfRow(long row) const {
    if (row < 0 || row >= static_cast<long>(files_.size())) return "";
    return NSString::stringByAppendingPathComponent(path_, files_[static_cast<std::size_t>(row)]);
}

std::shared_ptr<UITableViewCell> TDReceived::tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) {
    auto cell = tableView.dequeueReusableCellWithIdentifier(kReceivedCellIdentifier);
    if (!cell) cell = UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleSubtitle, kReceivedCellIdentifier);
    cell->textLabel()->setText(files_[static_cast<std::size_t>(indexPath.row)]);
    cell->setSelectionStyle(UITableViewCellSelectionStyleBlue);
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    return cell;
}

void TDReceived::tableViewDidSelectRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) {
    tableView.deselectRowAtIndexPathAnimated(indexPath, true);
    std::string fullPath = fullPathOfRow(indexPath.row);
    if (fullPath.empty()) return;
    bool isDirectory = false;
    if (!NSFileManager::defaultManager()->fileExistsAtPath(fullPath, &isDirectory)) return;
    if (isDirectory) {
        if (auto nav = navigationController()) nav->pushViewControllerAnimated(TDReceived::initWithPath(fullPath), true);
        return;
    }
    Vuderu::logEvent(Value("File sent through AirDrop"));
    docController_ = UIDocumentInteractionController::interactionControllerWithURL(NSURL::fileURLWithPath(fullPath));
    docController_->setDelegate(self<TDReceived>());
    docController_->setName(NSString::lastPathComponent(fullPath));
    CGRect bounds = view()->bounds();
    docController_->presentOptionsMenuFromRectInViewAnimated(
        CGRectMake(bounds.size.width / 2, bounds.size.height / 2, kMenuAnchorSide, kMenuAnchorSide), view(), true);
}

void TDReceived::tableViewCommitEditingStyleForRowAtIndexPath(UITableView& tableView, UITableViewCellEditingStyle editingStyle,
                                                            const NSIndexPath& indexPath) {
    TDCommitDeleteOfListedItem(tableView, editingStyle, [&] { return fullPathOfRow(indexPath.row); }, [this] { readListing(); });
}
