#include "pickers/assetpicker/APAssetsViewController.h"

#include "pickers/assetpicker/ALAsset+isEqual.h"
#include "pickers/assetpicker/APAssetsPickerController.h"
#include "pickers/assetpicker/APAssetsSupplementaryView.h"
#include "pickers/assetpicker/APAssetsViewCell.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIDevice.h"

#include <algorithm>

namespace {
constexpr CGSize kGridContentSize = {320, 480};
constexpr CGFloat kFooterHeight = 44;

struct GridMetrics {
    UIEdgeInsets inset;
    CGFloat spacing;
};
// A phone on its side spreads the columns a little; everything else keeps them tight.
constexpr GridMetrics kPhoneLandscape{{9, 2, 0, 2}, 3};
constexpr GridMetrics kOther{{9, 0, 0, 0}, 2};

void runOnMain(const std::weak_ptr<APAssetsViewController>& weak) {
    dispatch_async(dispatch_get_main_queue(), [weak] {
        if (auto self = weak.lock()) self->setupAssets();
    });
}
} // namespace

UICollectionViewFlowLayoutPtr APAssetsViewController::collectionViewFlowLayoutOfOrientation(UIInterfaceOrientation orientation) {
    bool landscape = orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
    bool pad = UIDevice::currentDevice()->userInterfaceIdiom() == UIUserInterfaceIdiomPad;
    const GridMetrics& metrics = landscape && !pad ? kPhoneLandscape : kOther;
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    layout->itemSize = kThumbnailSize;
    layout->footerReferenceSize = CGSizeMake(0, kFooterHeight);
    layout->sectionInset = metrics.inset;
    layout->minimumInteritemSpacing = metrics.spacing;
    layout->minimumLineSpacing = metrics.spacing;
    return layout;
}

std::shared_ptr<APAssetsViewController> APAssetsViewController::init() {
    auto layout = collectionViewFlowLayoutOfOrientation(UIApplication::sharedApplication()->statusBarOrientation());
    auto grid = std::make_shared<APAssetsViewController>(layout);
    auto view = grid->collectionView();
    view->setAllowsMultipleSelection(true);
    view->registerCellFactoryForReuseIdentifier([](const CGRect& frame) { return std::make_shared<APAssetsViewCell>(frame); },
                                                APAssetsViewCell::kReuseIdentifier);
    view->registerSupplementaryFactoryForKindWithReuseIdentifier(
        [](const CGRect& frame) { return APAssetsSupplementaryView::initWithFrame(frame); }, UICollectionElementKindSectionFooter,
        APAssetsSupplementaryView::kReuseIdentifier);
    grid->setPreferredContentSize(kGridContentSize);
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<APAssetsViewController> weak = grid;
    center->addObserver(weak, ALAssetsLibraryChangedNotification, nullptr, [weak](const std::shared_ptr<NSNotification>& n) {
        if (auto self = weak.lock()) self->assetsLibraryChanged(n);
    });
    center->addObserver(weak, APAssetsPickerSelectedAssetsChangedNotification, nullptr, [weak](const std::shared_ptr<NSNotification>& n) {
        if (auto self = weak.lock()) self->selectedAssetsChanged(n);
    });
    return grid;
}

APAssetsViewController::~APAssetsViewController() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

std::shared_ptr<APAssetsPickerController> APAssetsViewController::picker() const {
    return std::dynamic_pointer_cast<APAssetsPickerController>(navigationController());
}

void APAssetsViewController::viewDidLoad() {
    UICollectionViewController::viewDidLoad();
    collectionView()->setBackgroundColor(UIColor::whiteColor());
}

void APAssetsViewController::viewWillAppear(bool animated) {
    UICollectionViewController::viewWillAppear(animated);
    setupButtons();
    setupToolbar();
    setupAssets();
}

void APAssetsViewController::willAnimateRotationToInterfaceOrientationDuration(UIInterfaceOrientation orientation, double duration) {
    UICollectionViewController::willAnimateRotationToInterfaceOrientationDuration(orientation, duration);
    collectionView()->setCollectionViewLayoutAnimated(collectionViewFlowLayoutOfOrientation(orientation), true);
}

void APAssetsViewController::setupButtons() {
    auto owner = picker();
    if (!owner) return;
    auto done = UIBarButtonItem::initWithTitle(APLocalizedString("Done"), UIBarButtonItemStyleDone, owner,
                                               &APAssetsPickerController::finishPickingAssets);
    done->setEnabled(owner->countOfSelectedAssets() > 0);
    navigationItem()->setRightBarButtonItem(done);
}

void APAssetsViewController::setupToolbar() {
    if (auto owner = picker()) setToolbarItems(owner->toolbarItems());
}

void APAssetsViewController::setupAssets() {
    if (!assetsGroup) return;
    setTitle(assetsGroup->valueForProperty(ALAssetsGroupPropertyName).stringValue());
    assets.clear();
    // The album enumerates in the caller and ends with a call without an asset.
    assetsGroup->enumerateAssetsUsingBlock([this](const ALAssetPtr& asset, unsigned long, bool*) {
        if (asset) assets.push_back(asset);
        else reloadData();
    });
}

void APAssetsViewController::reloadData() {
    auto view = collectionView();
    auto owner = picker();
    if (assets.empty()) {
        if (owner) view->setBackgroundView(owner->noAssetsView());
        return;
    }
    view->reloadData();
    // The first load shows the newest assets, once the view has its size on screen.
    if (view->contentOffset().x == 0 && view->contentOffset().y == 0) scrollToEndPending_ = true;
}

// Before the grid lays out its cells, so the first screen made is the newest one.
void APAssetsViewController::viewWillLayoutSubviews() {
    UICollectionViewController::viewWillLayoutSubviews();
    if (!scrollToEndPending_) return;
    scrollToEndPending_ = false;
    // The last full screen of the content: never past its end, nor above its start when it fits.
    auto view = collectionView();
    CGFloat height = view->collectionViewLayout()->contentSize(static_cast<long>(assets.size()), view->bounds().size.width).height;
    view->setContentOffset(CGPointMake(0, std::max<CGFloat>(0, height - view->bounds().size.height)));
    prefetchThumbnailsOfVisibleItems();
}

void APAssetsViewController::prefetchThumbnailsOfVisibleItems() {
    auto view = collectionView();
    const CGFloat top = view->contentOffset().y, bottom = top + view->bounds().size.height;
    const CGFloat width = view->bounds().size.width;
    std::vector<ALAssetPtr> shown;
    for (long item = static_cast<long>(assets.size()) - 1; item >= 0; --item) {
        CGRect frame = view->collectionViewLayout()->frameForItem(item, width);
        if (frame.origin.y + frame.size.height <= top) break;  // the screen is the end of the grid
        if (frame.origin.y < bottom) shown.push_back(assets[static_cast<std::size_t>(item)]);
    }
    auto thumbnails = ALAsset::thumbnailsOf(shown);
    prefetched_.clear();
    for (std::size_t i = 0; i < shown.size(); ++i)
        if (thumbnails[i]) prefetched_[shown[i].get()] = thumbnails[i];
}

void APAssetsViewController::assetsLibraryChanged(const std::shared_ptr<NSNotification>& notification) {
    std::weak_ptr<APAssetsViewController> weak = self<APAssetsViewController>();
    const auto& info = notification->userInfo();
    if (info.empty()) return runOnMain(weak);
    auto updated = info.find(ALAssetLibraryUpdatedAssetGroupsKey);
    if (updated == info.end() || !updated->second.isArray()) return;
    // The album is read on this thread only for its URL, which never changes.
    auto predicate = NSPredicate::predicateWithFormat("SELF == %@", assetsGroup ? assetsGroup->valueForProperty(ALAssetsGroupPropertyURL) : Value());
    for (auto& url : updated->second.array())
        if (predicate->evaluateWithObject(url)) return runOnMain(weak);
}

void APAssetsViewController::selectedAssetsChanged(const std::shared_ptr<NSNotification>& notification) {
    if (auto owner = picker()) owner->updateToolbarOf(*this, notification->object());
}

ALAssetPtr APAssetsViewController::assetAt(const NSIndexPath& indexPath) const {
    long item = indexPath.item();
    return item >= 0 && item < static_cast<long>(assets.size()) ? assets[static_cast<std::size_t>(item)] : nullptr;
}

UICollectionViewCellPtr APAssetsViewController::collectionViewCellForItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<APAssetsViewCell>(view.dequeueReusableCellWithReuseIdentifierForIndexPath(APAssetsViewCell::kReuseIdentifier, indexPath));
    auto asset = assetAt(indexPath);
    if (!cell || !asset) return cell;
    auto owner = picker();
    auto d = owner ? owner->delegate() : nullptr;
    cell->setEnabled(!d || d->assetsPickerControllerShouldEnableAsset(*owner, asset));
    if (owner && ALAsset_isEqual::containsObject(owner->selectedAssets(), asset)) {
        cell->setSelected(true);
        view.selectItemAtIndexPath(indexPath, false, UICollectionViewScrollPositionNone);
    }
    auto prefetched = prefetched_.find(asset.get());
    if (prefetched != prefetched_.end()) {
        cell->bind(asset, prefetched->second);
        prefetched_.erase(prefetched);
    } else {
        cell->bind(asset);
    }
    return cell;
}

UIViewPtr APAssetsViewController::collectionViewViewForSupplementaryElementOfKindAtIndexPath(UICollectionView& view, const std::string& kind,
                                                                                             const NSIndexPath& indexPath) {
    if (kind != UICollectionElementKindSectionFooter) return nullptr;
    auto footer = std::dynamic_pointer_cast<APAssetsSupplementaryView>(
        view.dequeueReusableSupplementaryViewOfKindWithReuseIdentifierForIndexPath(kind, APAssetsSupplementaryView::kReuseIdentifier, indexPath));
    if (footer) footer->bind(assets);
    return footer;
}

bool APAssetsViewController::collectionViewShouldSelectItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<APAssetsViewCell>(view.cellForItemAtIndexPath(indexPath));
    auto owner = picker();
    if (!cell || !cell->isEnabled() || !owner) return false;
    auto d = owner->delegate();
    return !d || d->assetsPickerControllerShouldSelectAsset(*owner, assetAt(indexPath));
}

void APAssetsViewController::collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath& indexPath) {
    auto owner = picker();
    auto asset = assetAt(indexPath);
    if (!owner || !asset) return;
    owner->selectAsset(asset);
    if (auto d = owner->delegate()) d->assetsPickerControllerDidSelectAsset(*owner, asset);
}

bool APAssetsViewController::collectionViewShouldDeselectItemAtIndexPath(UICollectionView&, const NSIndexPath& indexPath) {
    auto owner = picker();
    if (!owner) return true;
    auto d = owner->delegate();
    return !d || d->assetsPickerControllerShouldDeselectAsset(*owner, assetAt(indexPath));
}

void APAssetsViewController::collectionViewDidDeselectItemAtIndexPath(UICollectionView&, const NSIndexPath& indexPath) {
    auto owner = picker();
    auto asset = assetAt(indexPath);
    if (!owner || !asset) return;
    owner->deselectAsset(asset);
    if (auto d = owner->delegate()) d->assetsPickerControllerDidDeselectAsset(*owner, asset);
}

bool APAssetsViewController::collectionViewShouldHighlightItemAtIndexPath(UICollectionView&, const NSIndexPath& indexPath) {
    auto owner = picker();
    if (!owner) return true;
    auto d = owner->delegate();
    return !d || d->assetsPickerControllerShouldHighlightAsset(*owner, assetAt(indexPath));
}

void APAssetsViewController::collectionViewDidHighlightItemAtIndexPath(UICollectionView&, const NSIndexPath& indexPath) {
    auto owner = picker();
    if (auto d = owner ? owner->delegate() : nullptr) d->assetsPickerControllerDidHighlightAsset(*owner, assetAt(indexPath));
}

void APAssetsViewController::collectionViewDidUnhighlightItemAtIndexPath(UICollectionView&, const NSIndexPath& indexPath) {
    auto owner = picker();
    if (auto d = owner ? owner->delegate() : nullptr) d->assetsPickerControllerDidUnhighlightAsset(*owner, assetAt(indexPath));
}
