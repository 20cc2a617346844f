#include "pickers/assetpicker/APAssetsGroupViewController.h"

#include "pickers/assetpicker/ALAsset+isEqual.h"
#include "pickers/assetpicker/APAssetsGroupViewCell.h"
#include "pickers/assetpicker/APAssetsPickerController.h"
#include "pickers/assetpicker/APAssetsViewController.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/media/ALAssetsLibrary.h"
#include "platform/uikit/UIApplication.h"

namespace {
constexpr CGSize kListContentSize = {320, 480};
constexpr CGFloat kRowPadding = 12;
// The camera roll first, then the libraries, albums, events, faces and photo streams.
constexpr ALAssetsGroupType kOtherGroupTypes =
    ALAssetsGroupLibrary | ALAssetsGroupAlbum | ALAssetsGroupEvent | ALAssetsGroupFaces | ALAssetsGroupPhotoStream;

template <class T>
void onMainQueue(const std::weak_ptr<T>& weak, std::function<void(T&)> work) {
    dispatch_async(dispatch_get_main_queue(), [weak, work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

std::vector<NSURLPtr> urlsUnder(const Value::Dictionary& userInfo, const char* key) {
    std::vector<NSURLPtr> urls;
    auto it = userInfo.find(key);
    if (it == userInfo.end() || !it->second.isArray()) return urls;
    for (auto& element : it->second.array())
        if (auto url = element.objectAs<NSURL>()) urls.push_back(url);
    return urls;
}
} // namespace

std::shared_ptr<APAssetsGroupViewController> APAssetsGroupViewController::init() {
    auto controller = std::make_shared<APAssetsGroupViewController>();
    controller->setPreferredContentSize(kListContentSize);
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<APAssetsGroupViewController> weak = controller;
    center->addObserver(weak, ALAssetsLibraryChangedNotification, nullptr, [weak](const std::shared_ptr<NSNotification>& n) {
        if (auto self = weak.lock()) self->assetsLibraryChanged(n);
    });
    center->addObserver(weak, APAssetsPickerSelectedAssetsChangedNotification, nullptr, [weak](const std::shared_ptr<NSNotification>& n) {
        if (auto self = weak.lock()) self->selectedAssetsChanged(n);
    });
    return controller;
}

APAssetsGroupViewController::~APAssetsGroupViewController() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

std::shared_ptr<APAssetsPickerController> APAssetsGroupViewController::picker() const {
    return std::dynamic_pointer_cast<APAssetsPickerController>(navigationController());
}

unsigned long APAssetsGroupViewController::supportedInterfaceOrientations() const {
    return UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscapeLeft | UIInterfaceOrientationMaskLandscapeRight;
}

void APAssetsGroupViewController::viewDidLoad() {
    UITableViewController::viewDidLoad();
    setupViews();
    setupButtons();
    setupToolbar();
    localize();
    setupGroup();
}

void APAssetsGroupViewController::setupViews() {
    tableView()->setRowHeight(kThumbnailLength + kRowPadding);
    tableView()->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
}

void APAssetsGroupViewController::setupButtons() {
    auto owner = picker();
    if (!owner) return;
    if (owner->showsCancelButton)
        navigationItem()->setLeftBarButtonItem(UIBarButtonItem::initWithTitle(
            APLocalizedString("Cancel"), UIBarButtonItemStylePlain, owner,
            &APAssetsPickerController::dismiss));
    auto done = UIBarButtonItem::initWithTitle(APLocalizedString("Done"), UIBarButtonItemStyleDone, owner,
                                               &APAssetsPickerController::finishPickingAssets);
    done->setEnabled(owner->countOfSelectedAssets() > 0);
    navigationItem()->setRightBarButtonItem(done);
}

void APAssetsGroupViewController::setupToolbar() {
    if (auto owner = picker()) setToolbarItems(owner->toolbarItems());
}

void APAssetsGroupViewController::localize() {
    auto owner = picker();
    setTitle(owner && !owner->title().empty() ? owner->title() : APLocalizedString("Photos"));
}

bool APAssetsGroupViewController::admitGroup(const ALAssetsGroupPtr& group) {
    auto owner = picker();
    if (!owner) return false;
    group->setAssetsFilter(owner->assetsFilter);
    auto d = owner->delegate();
    return !d || d->assetsPickerControllerShouldShowAssetsGroup(*owner, group);
}

void APAssetsGroupViewController::setupGroup() {
    groups.clear();
    auto owner = picker();
    if (!owner) return;
    std::weak_ptr<APAssetsGroupViewController> weak = self<APAssetsGroupViewController>();
    auto resultsBlock = [weak](const ALAssetsGroupPtr& group, bool*) {
        auto self = weak.lock();
        if (!self) return;
        if (!group) return self->reloadData();
        if (self->admitGroup(group)) self->groups.push_back(group);
    };
    auto failureBlock = [weak](const NSErrorPtr&) {
        auto self = weak.lock();
        auto owner = self ? self->picker() : nullptr;
        if (!owner) return;
        self->setTitle("");
        self->tableView()->setBackgroundView(owner->notAllowedView());
    };
    owner->assetsLibrary->enumerateGroupsWithTypesUsingBlockFailureBlock(ALAssetsGroupSavedPhotos, resultsBlock, failureBlock);
    owner->assetsLibrary->enumerateGroupsWithTypesUsingBlockFailureBlock(kOtherGroupTypes, resultsBlock, failureBlock);
}

void APAssetsGroupViewController::reloadData() {
    auto owner = picker();
    if (groups.empty() && owner) {
        auto message = owner->noAssetsView();
        emptyMessage_ = message;
        return tableView()->setBackgroundView(message);
    }
    // The camera roll's enumeration ends before the albums arrive: when it brought nothing, the
    // empty-library message it left must not stay behind the albums listed later.
    if (auto message = emptyMessage_.lock(); message && tableView()->backgroundView() == message) tableView()->setBackgroundView(nullptr);
    tableView()->reloadData();
}

void APAssetsGroupViewController::assetsLibraryChanged(const std::shared_ptr<NSNotification>& notification) {
    std::weak_ptr<APAssetsGroupViewController> weak = self<APAssetsGroupViewController>();
    const auto& info = notification->userInfo();
    if (info.empty()) return onMainQueue<APAssetsGroupViewController>(weak, [](APAssetsGroupViewController& self) { self.setupGroup(); });
    using Handler = void (APAssetsGroupViewController::*)(const NSURLPtr&);
    const std::pair<const char*, Handler> handlers[] = {
        {ALAssetLibraryUpdatedAssetGroupsKey, &APAssetsGroupViewController::updateAssetsGroupForURL},
        {ALAssetLibraryInsertedAssetGroupsKey, &APAssetsGroupViewController::insertAssetsGroupForURL},
        {ALAssetLibraryDeletedAssetGroupsKey, &APAssetsGroupViewController::deleteAssetsGroupForURL},
    };
    for (auto& [key, handler] : handlers)
        for (auto& url : urlsUnder(info, key))
            onMainQueue<APAssetsGroupViewController>(weak, [method = handler, url](APAssetsGroupViewController& self) { (self.*method)(url); });
}

void APAssetsGroupViewController::updateAssetsGroupForURL(const NSURLPtr& url) {
    auto owner = picker();
    if (!owner) return;
    std::weak_ptr<APAssetsGroupViewController> weak = self<APAssetsGroupViewController>();
    owner->assetsLibrary->groupForURLResultBlockFailureBlock(
        url,
        [weak](const ALAssetsGroupPtr& group) {
            auto self = weak.lock();
            if (!self || !group) return;
            auto index = ALAssetsGroup_isEqual::indexOfObject(self->groups, group);
            if (!index) return;
            NSIndexPath row{0, static_cast<long>(*index)};
            // The updated album shows what its first listing showed: the picker's filter, and
            // only while the delegate still wants it.
            if (!self->admitGroup(group)) {
                self->groups.erase(self->groups.begin() + static_cast<long>(*index));
                self->tableView()->beginUpdates();
                self->tableView()->deleteRowsAtIndexPathsWithRowAnimation({row}, UITableViewRowAnimationAutomatic);
                self->tableView()->endUpdates();
                return;
            }
            self->groups[*index] = group;
            self->tableView()->reloadRowsAtIndexPathsWithRowAnimation({row}, UITableViewRowAnimationAutomatic);
        },
        nullptr);
}

void APAssetsGroupViewController::insertAssetsGroupForURL(const NSURLPtr& url) {
    auto owner = picker();
    if (!owner) return;
    std::weak_ptr<APAssetsGroupViewController> weak = self<APAssetsGroupViewController>();
    owner->assetsLibrary->groupForURLResultBlockFailureBlock(
        url,
        [weak](const ALAssetsGroupPtr& group) {
            auto self = weak.lock();
            if (!self || !group || !self->admitGroup(group)) return;
            // An album the list already holds (two reports of one change) is not listed twice.
            if (ALAssetsGroup_isEqual::indexOfObject(self->groups, group)) return;
            self->tableView()->beginUpdates();
            self->groups.push_back(group);
            self->tableView()->insertRowsAtIndexPathsWithRowAnimation({NSIndexPath{0, static_cast<long>(self->groups.size()) - 1}},
                                                                      UITableViewRowAnimationAutomatic);
            self->tableView()->endUpdates();
        },
        nullptr);
}

void APAssetsGroupViewController::deleteAssetsGroupForURL(const NSURLPtr& url) {
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (!(groups[i]->valueForProperty(ALAssetsGroupPropertyURL) == Value(url))) continue;
        groups.erase(groups.begin() + static_cast<long>(i));
        tableView()->beginUpdates();
        tableView()->deleteRowsAtIndexPathsWithRowAnimation({NSIndexPath{0, static_cast<long>(i)}}, UITableViewRowAnimationAutomatic);
        tableView()->endUpdates();
        return;
    }
}

void APAssetsGroupViewController::selectedAssetsChanged(const std::shared_ptr<NSNotification>& notification) {
    if (auto owner = picker()) owner->updateToolbarOf(*this, notification->object());
}

std::shared_ptr<UITableViewCell> APAssetsGroupViewController::tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<APAssetsGroupViewCell>(tableView.dequeueReusableCellWithIdentifier(APAssetsGroupViewCell::kReuseIdentifier));
    if (!cell) cell = std::make_shared<APAssetsGroupViewCell>();
    if (indexPath.row >= 0 && indexPath.row < static_cast<long>(groups.size())) cell->bind(groups[static_cast<std::size_t>(indexPath.row)]);
    return cell;
}

void APAssetsGroupViewController::tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& indexPath) {
    auto owner = picker();
    if (!owner || indexPath.row < 0 || indexPath.row >= static_cast<long>(groups.size())) return;
    auto grid = APAssetsViewController::init();
    grid->assetsGroup = groups[static_cast<std::size_t>(indexPath.row)];
    owner->pushViewControllerAnimated(grid, true);
}
