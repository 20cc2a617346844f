#include "pickers/photopicker/PSImagePickerController.h"

#include "pickers/photopicker/PSPhotoCell.h"
#include "pickers/resize/UIImage+ResizeGeometry.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/uikit/UIColor.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr CGFloat kBarHeight = 44;
constexpr CGFloat kAlbumRowHeight = 50;

UIColorPtr pickerBlue(double alpha) { return UIColor::colorWithRed(57 / 255.0, 185 / 255.0, 238 / 255.0, alpha); }

AssetHelperPtr helper() { return AssetHelper::sharedAssetHelper(); }
} // namespace

void PSImagePickerController::loadView() {
    auto view = std::make_shared<UIView>(CGRectMake(0, 0, 320, 568));
    setView(view);
    auto b = view->bounds();
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    cvPhotoList = std::make_shared<UICollectionView>(CGRectMake(0, 0, b.size.width, b.size.height - kBarHeight), layout);
    tvAlbumList = std::make_shared<UITableView>(CGRectMake(0, 0, b.size.width, 0), UITableViewStylePlain);
    vBottomMenu = std::make_shared<UIView>(CGRectMake(0, b.size.height - kBarHeight, b.size.width, kBarHeight));
    btCancel = UIButton::buttonWithType(UIButtonTypeCustom);
    btCancel->setFrame(CGRectMake(0, 0, 70, kBarHeight));
    btCancel->setTitleForState("Cancel", UIControlStateNormal);
    btSelectAlbum = UIButton::buttonWithType(UIButtonTypeCustom);
    btSelectAlbum->setFrame(CGRectMake(70, 0, 120, kBarHeight));
    lbSelectCount = std::make_shared<UILabel>(CGRectMake(190, 0, 60, kBarHeight));
    btOK = UIButton::buttonWithType(UIButtonTypeCustom);
    btOK->setFrame(CGRectMake(250, 0, 70, kBarHeight));
    btOK->setTitleForState("OK", UIControlStateNormal);
    for (const UIViewPtr& item : std::vector<UIViewPtr>{btCancel, btSelectAlbum, lbSelectCount, btOK}) vBottomMenu->addSubview(item);
    view->addSubview(cvPhotoList);
    view->addSubview(tvAlbumList);
    view->addSubview(vBottomMenu);
}

void PSImagePickerController::viewDidLoad() {
    UIViewController::viewDidLoad();
    initBottomMenu();
    cvPhotoList->registerCellFactoryForReuseIdentifier([](const CGRect& frame) { return std::make_shared<PSPhotoCell>(frame); },
                                                       PSPhotoCell::kReuseIdentifier);
    const CGFloat side = nColumnCount == 2 ? 158 : nColumnCount == 3 ? 104 : nColumnCount == 4 ? 77 : 0;
    cvPhotoList->collectionViewLayout()->itemSize = CGSizeMake(side, side);
    cvPhotoList->setDataSource(me());
    cvPhotoList->setDelegate(me());
    tvAlbumList->setDataSource(me());
    tvAlbumList->setDelegate(me());
    tvAlbumList->setRowHeight(kAlbumRowHeight);
    auto size = view()->frame().size;
    tvAlbumList->setFrame(CGRectMake(0, vBottomMenu->frame().origin.y, size.width, size.height));
    tvAlbumList->setAlpha(0);
    readAlbumList(true);
    helper()->bReverse = true;
}

void PSImagePickerController::initBottomMenu() {
    vBottomMenu->setBackgroundColor(pickerBlue(0.98));
    btSelectAlbum->setTitleColorForState(UIColor::whiteColor(), UIControlStateNormal);
    btSelectAlbum->setTitleColorForState(UIColor::whiteColor(), UIControlStateDisabled);
    lbSelectCount->setTextColor(UIColor::whiteColor());
    auto target = me();
    btOK->addTargetActionForControlEvents(target, [](NSObject& t, UIControl&, UIEvent*) { static_cast<PSImagePickerController&>(t).onSelectPhoto(); },
                                          UIControlEventTouchUpInside);
    btCancel->addTargetActionForControlEvents(target, [](NSObject& t, UIControl&, UIEvent*) { static_cast<PSImagePickerController&>(t).onCancel(); },
                                              UIControlEventTouchUpInside);
    btSelectAlbum->addTargetActionForControlEvents(
        target, [](NSObject& t, UIControl&, UIEvent*) { static_cast<PSImagePickerController&>(t).onSelectAlbum(); }, UIControlEventTouchUpInside);
    if (isMultiSelect()) {
        updateCounter();
        return;
    }
    btOK->setHidden(true);
    lbSelectCount->setHidden(true);
    auto frame = btSelectAlbum->frame();
    btSelectAlbum->setFrame(CGRectMake(frame.origin.x, frame.origin.y, frame.size.width + 60, frame.size.height));
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
}

void PSImagePickerController::readAlbumList(bool) {
    auto weak = std::weak_ptr<PSImagePickerController>(me());
    helper()->getGroupList([weak](const std::vector<ALAssetsGroupPtr>& groups) {
        auto self = weak.lock();
        if (!self) return;
        self->tvAlbumList->reloadData();
        long index = std::max(0L, self->getSelectedGroupIndex(groups));
        if (index < static_cast<long>(groups.size()))
            self->tvAlbumList->selectRowAtIndexPath(NSIndexPath{0, index}, false, UITableViewScrollPositionTop);
        auto info = helper()->getGroupInfo(index);
        if (info.count("name") && info["name"].isString()) self->btSelectAlbum->setTitleForState(info["name"].string(), UIControlStateNormal);
        self->showPhotosInGroup(index);
        if (groups.size() == 1) self->btSelectAlbum->setEnabled(false);
        auto frame = self->tvAlbumList->frame();
        CGFloat height = std::min<CGFloat>(kAlbumRowHeight * static_cast<CGFloat>(groups.size()), 200);
        self->tvAlbumList->setFrame(CGRectMake(frame.origin.x, frame.origin.y, frame.size.width, height));
    });
}

long PSImagePickerController::getSelectedGroupIndex(const std::vector<ALAssetsGroupPtr>& groups) const {
    auto remembered = loadSelectedGroup();
    if (!remembered) return -1;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        auto name = groups[i]->valueForProperty(ALAssetsGroupPropertyName);
        if (name.isString() && name.string() == *remembered) return static_cast<long>(i);
    }
    return -1;
}

void PSImagePickerController::saveSelectedGroup(long index) {
    auto group = helper()->getGroupAtIndex(index);
    if (!group) return;
    auto name = group->valueForProperty(ALAssetsGroupPropertyName);
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey(name, kSelectedAlbumKey);
    defaults->synchronize();
    NSLog("[[ASSETHELPER getGroupAtIndex:nIndex] valueForProperty:ALAssetsGroupPropertyName] : %@", name);
}

std::optional<std::string> PSImagePickerController::loadSelectedGroup() const {
    auto value = NSUserDefaults::standardUserDefaults()->stringForKey(kSelectedAlbumKey);
    NSLog("---------> %@", value ? *value : std::string("(null)"));
    return value;
}

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
        if (!photos.empty()) self->cvPhotoList->scrollToItemAtIndexPath({0, 0}, UICollectionViewScrollPositionTop, false);
    });
    saveSelectedGroup(index);
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
    long item = indexPath.item();
    if (!isMultiSelect()) {
        Value picked = nResultType != 0 ? Value(helper()->getAssetAtIndex(item)) : Value(helper()->getImageAtIndex(item, AssetHelperImageFullScreen));
        if (auto d = delegate.lock()) d->didSelectPhotosFromPSImagePickerController(*this, {picked});
        return;
    }
    auto cell = std::dynamic_pointer_cast<PSPhotoCell>(view.cellForItemAtIndexPath(indexPath));
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

void PSImagePickerController::onSelectAlbum() {
    auto bar = vBottomMenu->frame();
    auto list = tvAlbumList->frame();
    if (list.origin.y != bar.origin.y) return hideBottomMenu();
    tvAlbumList->setFrame(CGRectMake(0, bar.origin.y - list.size.height, list.size.width, list.size.height));
    tvAlbumList->setAlpha(1);
}

void PSImagePickerController::hideBottomMenu() {
    auto list = tvAlbumList->frame();
    tvAlbumList->setFrame(CGRectMake(0, vBottomMenu->frame().origin.y, list.size.width, list.size.height));
    tvAlbumList->setAlpha(0);
}

long PSImagePickerController::tableViewNumberOfRowsInSection(UITableView&, long) { return helper()->getGroupCount(); }

std::shared_ptr<UITableViewCell> PSImagePickerController::tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) {
    auto cell = tableView.dequeueReusableCellWithIdentifier("PSAlbumCell");
    if (!cell) cell = UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleValue1, "PSAlbumCell");
    auto info = helper()->getGroupInfo(indexPath.row);
    cell->textLabel()->setText(info.count("name") && info["name"].isString() ? info["name"].string() : "");
    cell->detailTextLabel()->setText(std::to_string(info.count("count") ? info["count"].integerValue() : 0));
    return cell;
}

void PSImagePickerController::tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& indexPath) {
    showPhotosInGroup(indexPath.row);
    auto info = helper()->getGroupInfo(indexPath.row);
    if (info.count("name") && info["name"].isString()) btSelectAlbum->setTitleForState(info["name"].string(), UIControlStateNormal);
    hideBottomMenu();
}
