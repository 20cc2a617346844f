// The photo picker's albums: reading them, the remembered album, and the album list that slides
// up from behind the bar.
#include "pickers/photopicker/PSImagePickerController.h"

#include "pickers/photopicker/PSAlbumCell.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSUserDefaults.h"

#include <algorithm>
#include <numbers>

namespace {
constexpr CGFloat kAlbumsRowHeight = 50;
constexpr CGFloat kMaxAlbumListHeight = 200;
constexpr double kSlide = 0.2;

AssetHelperPtr albumsHelper() { return AssetHelper::sharedAssetHelper(); }

std::string groupName(long index) {
    auto info = albumsHelper()->getGroupInfo(index);
    return info.count("name") && info["name"].isString() ? info["name"].string() : std::string();
}
} // namespace

void PSImagePickerController::readAlbumList(bool) {
    auto weak = std::weak_ptr<PSImagePickerController>(me());
    albumsHelper()->getGroupList([weak](const std::vector<ALAssetsGroupPtr>& groups) {
        auto self = weak.lock();
        if (!self) return;
        self->tvAlbumList->reloadData();
        long index = std::max(0L, self->getSelectedGroupIndex(groups));
        if (index < static_cast<long>(groups.size()))
            self->tvAlbumList->selectRowAtIndexPath(NSIndexPath{0, index}, false, UITableViewScrollPositionTop);
        if (auto name = groupName(index); !name.empty()) self->btSelectAlbum->setTitleForState(name, UIControlStateNormal);
        self->showPhotosInGroup(index);
        if (groups.size() == 1) self->btSelectAlbum->setEnabled(false);
        auto frame = self->tvAlbumList->frame();
        CGFloat height = std::min<CGFloat>(kAlbumsRowHeight * static_cast<CGFloat>(groups.size()), kMaxAlbumListHeight);
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
    auto group = albumsHelper()->getGroupAtIndex(index);
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

bool PSImagePickerController::isAlbumListOpen() const { return tvAlbumList->frame().origin.y != vBottomMenu->frame().origin.y; }

void PSImagePickerController::onSelectAlbum() {
    if (isAlbumListOpen()) return hideBottomMenu();
    auto self = me();
    UIView::animateWithDuration(kSlide, [self] {
        const CGRect list = self->tvAlbumList->frame();
        self->vDimmed->setAlpha(0.7);
        self->tvAlbumList->setFrame(CGRectMake(0, self->vBottomMenu->frame().origin.y - list.size.height, list.size.width, list.size.height));
        self->tvAlbumList->setAlpha(1);
        self->ivShowMark->setTransform(CGAffineTransformMakeRotation(std::numbers::pi_v<CGFloat>));
    });
}

void PSImagePickerController::hideBottomMenu() {
    auto self = me();
    UIView::animateWithDuration(kSlide, [self] {
        const CGRect list = self->tvAlbumList->frame();
        self->vDimmed->setAlpha(0);
        self->tvAlbumList->setFrame(CGRectMake(0, self->vBottomMenu->frame().origin.y, list.size.width, list.size.height));
        self->ivShowMark->setTransform(CGAffineTransformIdentity);
        UIView::setAnimationDelay(0.1);
        self->tvAlbumList->setAlpha(0);
    });
}

long PSImagePickerController::tableViewNumberOfRowsInSection(UITableView&, long) { return albumsHelper()->getGroupCount(); }

std::shared_ptr<UITableViewCell> PSImagePickerController::tableViewCellForRowAtIndexPath(UITableView& tableView, const NSIndexPath& indexPath) {
    auto cell = tableView.dequeueReusableCellWithIdentifier(PSAlbumCell::kReuseIdentifier);
    auto album = std::dynamic_pointer_cast<PSAlbumCell>(cell);
    if (!album) album = std::make_shared<PSAlbumCell>();
    auto info = albumsHelper()->getGroupInfo(indexPath.row);
    album->lbAlbumName()->setText(info.count("name") && info["name"].isString() ? info["name"].string() : "");
    album->lbCount()->setText(info.count("count") ? std::to_string(info["count"].integerValue()) : "");
    return album;
}

void PSImagePickerController::tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& indexPath) {
    showPhotosInGroup(indexPath.row);
    if (auto name = groupName(indexPath.row); !name.empty()) btSelectAlbum->setTitleForState(name, UIControlStateNormal);
    hideBottomMenu();
}
