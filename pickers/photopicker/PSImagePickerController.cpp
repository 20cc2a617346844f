#include "pickers/photopicker/PSImagePickerController.h"

#include "pickers/photopicker/PSPhotoCell.h"
#include "pickers/resize/UIImage+ResizeGeometry.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UILongPressGestureRecognizer.h"
#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITapGestureRecognizer.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr CGFloat kBarHeight = 44;
constexpr CGFloat kAlbumRowHeight = 50;
constexpr CGFloat kJumpSide = 40;
constexpr double kLongPressSeconds = 0.3;

AssetHelperPtr helper() { return AssetHelper::sharedAssetHelper(); }

} // namespace

UIColorPtr PSImagePickerController::pickerBlue(double alpha) {
    return UIColor::colorWithRed(57 / 255.0, 185 / 255.0, 238 / 255.0, alpha);
}

PSImagePickerController::~PSImagePickerController() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

// The screen as its interface file lays it out: the grid above the bar, the jump buttons at the
// grid's right edge, the backdrop over the grid, the album list and the bar in front.
void PSImagePickerController::loadView() {
    auto view = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    setView(view);
    const CGRect b = view->bounds();
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    layout->minimumInteritemSpacing = 2;
    layout->minimumLineSpacing = 4;
    cvPhotoList = std::make_shared<UICollectionView>(CGRectMake(0, 0, b.size.width, b.size.height - kBarHeight), layout);
    cvPhotoList->setBackgroundColor(UIColor::whiteColor());
    btUp = UIButton::buttonWithType(UIButtonTypeCustom);
    btUp->setFrame(CGRectMake(b.size.width - kJumpSide - 10, 10, kJumpSide, kJumpSide));
    btUp->setTitleForState("Up", UIControlStateNormal);
    btDown = UIButton::buttonWithType(UIButtonTypeCustom);
    btDown->setFrame(CGRectMake(b.size.width - kJumpSide - 10, b.size.height - kBarHeight - kJumpSide - 10, kJumpSide, kJumpSide));
    btDown->setTitleForState("Down", UIControlStateNormal);
    vDimmed = std::make_shared<UIView>(b);
    vDimmed->setBackgroundColor(UIColor::blackColor());
    vDimmed->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    tvAlbumList = std::make_shared<UITableView>(CGRectMake(0, 0, b.size.width, 0), UITableViewStylePlain);
    buildBottomMenu(b);
    // As the interface file sizes them when the screen turns: the grid and the bar across the
    // screen, the bar (and the album list waiting at its top edge) along the bottom, the jump
    // buttons at the right edge.
    cvPhotoList->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    btUp->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleBottomMargin);
    btDown->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleTopMargin);
    tvAlbumList->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
    vBottomMenu->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
    btOK->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    for (const UIViewPtr& item : std::vector<UIViewPtr>{cvPhotoList, btUp, btDown, vDimmed, tvAlbumList, vBottomMenu})
        view->addSubview(item);
}

void PSImagePickerController::buildBottomMenu(const CGRect& b) {
    vBottomMenu = std::make_shared<UIView>(CGRectMake(0, b.size.height - kBarHeight, b.size.width, kBarHeight));
    btCancel = UIButton::buttonWithType(UIButtonTypeCustom);
    btCancel->setFrame(CGRectMake(0, 0, 70, kBarHeight));
    btCancel->setTitleForState("Cancel", UIControlStateNormal);
    ivLine2 = std::make_shared<UIImageView>(CGRectMake(70, 8, 1, kBarHeight - 16));
    btSelectAlbum = UIButton::buttonWithType(UIButtonTypeCustom);
    btSelectAlbum->setFrame(CGRectMake(71, 0, 120, kBarHeight));
    // The arrow mark keeps to the album button's right end when the button widens.
    ivShowMark = std::make_shared<UIImageView>(UIImage::imageNamed("PSShowMark"));
    ivShowMark->setFrame(CGRectMake(120 - 16, (kBarHeight - 12) / 2, 12, 12));
    ivShowMark->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    ivShowMark->setUserInteractionEnabled(false);
    btSelectAlbum->addSubview(ivShowMark);
    ivLine1 = std::make_shared<UIImageView>(CGRectMake(191, 8, 1, kBarHeight - 16));
    lbSelectCount = std::make_shared<UILabel>(CGRectMake(192, 0, 58, kBarHeight));
    lbSelectCount->setTextAlignment(NSTextAlignmentCenter);
    btOK = UIButton::buttonWithType(UIButtonTypeCustom);
    btOK->setFrame(CGRectMake(250, 0, 70, kBarHeight));
    btOK->setTitleForState("OK", UIControlStateNormal);
    for (const UIViewPtr& item : std::vector<UIViewPtr>{btCancel, ivLine2, btSelectAlbum, ivLine1, lbSelectCount, btOK})
        vBottomMenu->addSubview(item);
}

void PSImagePickerController::viewDidLoad() {
    UIViewController::viewDidLoad();
    initBottomMenu();
    initControls();
    cvPhotoList->registerCellFactoryForReuseIdentifier([](const CGRect& frame) { return std::make_shared<PSPhotoCell>(frame); },
                                                       PSPhotoCell::kReuseIdentifier);
    const CGFloat side = nColumnCount == 2 ? 158 : nColumnCount == 3 ? 104 : nColumnCount == 4 ? 77 : 0;
    cvPhotoList->collectionViewLayout()->itemSize = CGSizeMake(side, side);
    cvPhotoList->setDataSource(me());
    cvPhotoList->setDelegate(me());
    tvAlbumList->setDataSource(me());
    tvAlbumList->setDelegate(me());
    tvAlbumList->setRowHeight(kAlbumRowHeight);
    const CGSize size = view()->frame().size;
    tvAlbumList->setFrame(CGRectMake(0, vBottomMenu->frame().origin.y, size.width, size.height));
    tvAlbumList->setAlpha(0);
    readAlbumList(true);
    // The album read answers later, so it is reversed as well.
    helper()->bReverse = true;

    auto target = me();
    if (nMaxCount != 1) {
        selectionPan_ = std::make_shared<UIPanGestureRecognizer>(target, &PSImagePickerController::onPanForSelection);
        selectionPan_->setDelegate(me());
        view()->addGestureRecognizer(selectionPan_);
    }
    auto press = std::make_shared<UILongPressGestureRecognizer>(target, &PSImagePickerController::onLongTapForPreview);
    press->setMinimumPressDuration(kLongPressSeconds);
    view()->addGestureRecognizer(press);

    std::weak_ptr<NSObject> observer = target;
    NSNotificationCenter::defaultCenter()->addObserver(observer, UIApplicationWillEnterForegroundNotification, nullptr,
                                                       [this](const std::shared_ptr<NSNotification>&) { handleEnterForeground(); });
}

void PSImagePickerController::initBottomMenu() {
    vBottomMenu->setBackgroundColor(pickerBlue(0.98));
    btSelectAlbum->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    btSelectAlbum->setTitleColorForState(UIColor::whiteColor(), UIControlStateDisabled);
    auto line = UIColor::colorWithPatternImage(UIImage::imageNamed("line.png"));
    ivLine1->setBackgroundColor(line);
    ivLine2->setBackgroundColor(line);
    auto target = me();
    btOK->addTargetActionForControlEvents(target, &PSImagePickerController::onSelectPhoto, UIControlEventTouchUpInside);
    btCancel->addTargetActionForControlEvents(target, &PSImagePickerController::onCancel, UIControlEventTouchUpInside);
    btSelectAlbum->addTargetActionForControlEvents(target, &PSImagePickerController::onSelectAlbum, UIControlEventTouchUpInside);
    if (isMultiSelect()) {
        lbSelectCount->setTextColor(UIColor::whiteColor());
        updateCounter();
        return;
    }
    btOK->setHidden(true);
    ivLine1->setHidden(true);
    lbSelectCount->setHidden(true);
    auto frame = btSelectAlbum->frame();
    btSelectAlbum->setFrame(CGRectMake(frame.origin.x, frame.origin.y, frame.size.width + 60, frame.size.height));
}

void PSImagePickerController::initControls() {
    for (const auto& button : {btUp, btDown}) {
        button->setBackgroundColor(pickerBlue(0.9));
        button->setClipsToBounds(true);
        button->layer()->setCornerRadius(button->frame().size.height * 0.5 - 1);
    }
    auto target = me();
    btUp->addTargetActionForControlEvents(target, &PSImagePickerController::onUp, UIControlEventTouchUpInside);
    btDown->addTargetActionForControlEvents(target, &PSImagePickerController::onDown, UIControlEventTouchUpInside);
    // Hairlines above the first and below the last album.
    const CGFloat width = tvAlbumList->frame().size.width;
    for (bool header : {true, false}) {
        auto hairline = std::make_shared<UIImageView>(CGRectMake(0, 0, width, 0.5));
        hairline->setBackgroundColor(pickerBlue(1));
        if (header) tvAlbumList->setTableHeaderView(hairline);
        else tvAlbumList->setTableFooterView(hairline);
    }
    vDimmed->setAlpha(0);
    vDimmed->setFrame(view()->frame());
    vDimmed->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(target, &PSImagePickerController::onTapOnDimmedView));
}

void PSImagePickerController::updateCounter() {
    long count = dSelected ? static_cast<long>(dSelected->size()) : 0;
    char text[48];
    if (nMaxCount == -1) std::snprintf(text, sizeof text, "(%ld)", count);
    else std::snprintf(text, sizeof text, "(%ld/%ld)", count, nMaxCount);
    lbSelectCount->setText(text);
}

void PSImagePickerController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    if (nResultType == 0) helper()->clearData();
    NSNotificationCenter::defaultCenter()->removeObserver(this, UIApplicationWillEnterForegroundNotification, nullptr);
}

void PSImagePickerController::handleEnterForeground() { readAlbumList(false); }

void PSImagePickerController::showPhotosInGroup(long index) {
    if (isMultiSelect()) {
        dSelected = std::make_shared<std::map<long, unsigned long>>();
        nextOrder_ = 0;
        updateCounter();
    }
    auto weak = std::weak_ptr<PSImagePickerController>(me());
    helper()->getPhotoListOfGroupByIndex(index, [weak](const std::vector<ALAssetPtr>& photos) {
        auto self = weak.lock();
        if (!self) return;
        self->cvPhotoList->reloadData();
        self->cvPhotoList->setAlpha(0.3);
        UIView::animateWithDuration(0.2, [self] {
            UIView::setAnimationDelay(0.1);
            self->cvPhotoList->setAlpha(1);
        });
        if (!photos.empty()) self->cvPhotoList->scrollToItemAtIndexPath({0, 0}, UICollectionViewScrollPositionTop, false);
        self->btUp->setAlpha(0);
        self->showJumpButtons();
    });
    saveSelectedGroup(index);
}

// Once the reloaded grid knows its content size: the down button shows when there is more below.
void PSImagePickerController::showJumpButtons() {
    auto weak = std::weak_ptr<PSImagePickerController>(me());
    dispatch_async(dispatch_get_main_queue(), [weak] {
        auto self = weak.lock();
        if (!self) return;
        const bool more = self->cvPhotoList->contentSize().height >= self->cvPhotoList->frame().size.height;
        self->btDown->setAlpha(more ? 1 : 0);
    });
}

long PSImagePickerController::collectionViewNumberOfItemsInSection(UICollectionView&, long) {
    return helper()->getPhotoCountOfCurrentGroup();
}

UICollectionViewCellPtr PSImagePickerController::collectionViewCellForItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) {
    auto cell = std::static_pointer_cast<PSPhotoCell>(view.dequeueReusableCellWithReuseIdentifierForIndexPath(PSPhotoCell::kReuseIdentifier, indexPath));
    long item = indexPath.item();
    UIImagePtr image;
    if (nColumnCount == 4) image = helper()->getImageAtIndex(item, AssetHelperImageThumbnail);
    else {
        auto thumbnail = helper()->getImageAtIndex(item, AssetHelperImageAspectThumbnail);
        image = thumbnail ? UIImage_ResizeGeometry::resizedImageByGeometry(thumbnail, nColumnCount == 3 ? "208x208#" : "316x316#") : nullptr;
    }
    cell->photo()->setImage(image);
    cell->setSelectMode(dSelected && dSelected->count(item));
    return cell;
}

void PSImagePickerController::collectionViewDidSelectItemAtIndexPath(UICollectionView& view, const NSIndexPath& indexPath) {
    // The picker keeps its own selection (the dimmed cells); the grid's is not used.
    view.deselectItemAtIndexPath(indexPath, false);
    toggleItem(indexPath);
}

void PSImagePickerController::toggleItem(const NSIndexPath& indexPath) {
    long item = indexPath.item();
    if (!isMultiSelect()) {
        std::vector<Value> picked;
        if (nResultType != 0) picked.emplace_back(helper()->getAssetAtIndex(item));
        else picked.emplace_back(helper()->getImageAtIndex(item, AssetHelperImageFullScreen));
        if (auto d = delegate.lock()) d->didSelectPhotosFromPSImagePickerController(*this, picked);
        return;
    }
    auto cell = std::dynamic_pointer_cast<PSPhotoCell>(cvPhotoList->cellForItemAtIndexPath(indexPath));
    // An unsigned comparison: -1 sets no limit.
    if (!dSelected->count(item) && dSelected->size() < static_cast<unsigned long>(nMaxCount)) {
        (*dSelected)[item] = nextOrder_++;
        if (cell) cell->setSelectMode(true);
    } else {
        dSelected->erase(item);
        if (cell) cell->setSelectMode(false);
    }
    updateCounter();
}

void PSImagePickerController::onSelectPhoto() {
    std::vector<std::pair<unsigned long, long>> byOrder;
    if (dSelected)
        for (auto& [item, order] : *dSelected) byOrder.emplace_back(order, item);
    std::sort(byOrder.begin(), byOrder.end());
    std::vector<Value> result;
    result.reserve(byOrder.size());
    for (auto& [order, item] : byOrder) {
        if (nResultType != 0) {
            if (auto asset = helper()->getAssetAtIndex(item)) result.emplace_back(asset);
        } else if (auto image = helper()->getImageAtIndex(item, AssetHelperImageFullScreen)) {
            result.emplace_back(image);
        }
    }
    if (auto d = delegate.lock()) d->didSelectPhotosFromPSImagePickerController(*this, result);
}

void PSImagePickerController::onCancel() {
    if (auto d = delegate.lock()) d->didCancelPSImagePickerController();
}
