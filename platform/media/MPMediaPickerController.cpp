#include "platform/media/MPMediaPickerController.h"

#include "platform/uikit/NSIndexPath.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITableViewController.h"

namespace {
constexpr char kTitle[] = "Songs";
constexpr char kCellIdentifier[] = "MPMediaPickerSongCell";

// The songs table; it reads the library once, when its view loads.
class MPMediaPickerSongsController : public UITableViewController {
public:
    explicit MPMediaPickerSongsController(std::weak_ptr<MPMediaPickerController> picker) : picker_(std::move(picker)) {}

    void viewDidLoad() override {
        UITableViewController::viewDidLoad();
        songs_ = MPMediaItem::allSongs();
        setTitle(kTitle);
        auto picker = picker_;
        navigationItem()->setRightBarButtonItem(UIBarButtonItem::initWithBarButtonSystemItem(
            UIBarButtonSystemItemCancel, self<NSObject>(), [picker](NSObject&, UIBarButtonItem&) {
                if (auto p = picker.lock()) p->cancel();
            }));
    }

    long tableViewNumberOfRowsInSection(UITableView&, long) override { return static_cast<long>(songs_.size()); }

    std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& indexPath) override {
        auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
        if (!cell) cell = UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleSubtitle, kCellIdentifier);
        const auto& song = songs_.at(static_cast<std::size_t>(indexPath.row));
        cell->textLabel()->setText(song->title());
        cell->detailTextLabel()->setText(song->valueForProperty(MPMediaItemPropertyArtist).stringValue());
        return cell;
    }

    void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& indexPath) override {
        if (auto picker = picker_.lock()) picker->pick(songs_.at(static_cast<std::size_t>(indexPath.row)));
    }

private:
    std::weak_ptr<MPMediaPickerController> picker_;
    std::vector<MPMediaItemPtr> songs_;
};
} // namespace

void MPMediaPickerControllerDelegate::mediaPickerDidCancel(MPMediaPickerController& picker) {
    picker.dismissViewControllerAnimatedCompletion(true, nullptr);
}

std::shared_ptr<MPMediaPickerController> MPMediaPickerController::initWithMediaTypes(MPMediaType mediaTypes) {
    auto picker = std::make_shared<MPMediaPickerController>();
    picker->mediaTypes_ = mediaTypes;
    picker->setViewControllersAnimated({std::make_shared<MPMediaPickerSongsController>(picker)}, false);
    return picker;
}

void MPMediaPickerController::pick(const MPMediaItemPtr& item) {
    if (!item) return;
    if (auto delegate = delegate_.lock()) delegate->mediaPickerDidPickMediaItems(*this, {item});
}

void MPMediaPickerController::cancel() {
    if (auto delegate = delegate_.lock()) delegate->mediaPickerDidCancel(*this);
    else dismissViewControllerAnimatedCompletion(true, nullptr);
}
