#include "pickers/assethelper/AssetHelper.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/media/ALAssetRepresentation.h"
#include "platform/media/CIFilter.h"
#include "platform/uikit/UIDevice.h"

#include <algorithm>
#include <mutex>

namespace {
constexpr long kSavedPhotosType = 16;
// The version the empty save is made from, compared as a string.
constexpr char kSaveNothingSystemVersion[] = "5";

bool isCameraRoll(const ALAssetsGroupPtr& group) {
    return group->valueForProperty(ALAssetsGroupPropertyType).integerValue() == kSavedPhotosType;
}

// The first camera roll of the list goes to its front; the rest keep their order.
void moveCameraRollToFront(std::vector<ALAssetsGroupPtr>& groups) {
    auto roll = std::find_if(groups.begin(), groups.end(), isCameraRoll);
    if (roll == groups.end()) return;
    auto found = *roll;
    groups.erase(std::remove(groups.begin(), groups.end(), found), groups.end());
    groups.insert(groups.begin(), found);
}

template <typename T>
std::shared_ptr<T> elementAt(const std::shared_ptr<std::vector<std::shared_ptr<T>>>& list, long index) {
    if (!list || index < 0 || static_cast<std::size_t>(index) >= list->size()) return nullptr;
    return (*list)[static_cast<std::size_t>(index)];
}

UIImagePtr wrapped(const CGImageRef& image, UIImageOrientation orientation = UIImageOrientationUp) {
    return image ? UIImage::imageWithCGImage(image, 1, orientation) : nullptr;
}
} // namespace

AssetHelperPtr AssetHelper::sharedAssetHelper() {
    static std::once_flag once;
    static AssetHelperPtr shared;
    std::call_once(once, [] {
        shared = std::make_shared<AssetHelper>();
        shared->initAsset();
    });
    return shared;
}

bool AssetHelper::systemVersionNotBelow(const std::string& version, const std::string& other) {
    return NSString::compare(version, other) != NSOrderedAscending;
}

void AssetHelper::initAsset() {
    if (assetsLibrary) return;
    assetsLibrary = std::make_shared<ALAssetsLibrary>();
    if (systemVersionNotBelow(UIDevice::currentDevice()->systemVersion(), kSaveNothingSystemVersion))
        assetsLibrary->writeImageToSavedPhotosAlbumMetadataCompletionBlock(nullptr, {}, [](const NSURLPtr&, const NSErrorPtr&) {});
}

void AssetHelper::getGroupList(GroupsBlock result) {
    initAsset();
    assetGroups = std::make_shared<std::vector<ALAssetsGroupPtr>>();
    auto self = std::static_pointer_cast<AssetHelper>(shared_from_this());
    assetsLibrary->enumerateGroupsWithTypesUsingBlockFailureBlock(
        ALAssetsGroupAll,
        [self, result](const ALAssetsGroupPtr& group, bool*) {
            if (group) {
                group->setAssetsFilter(ALAssetsFilter::allPhotos());
                if (self->assetGroups) self->assetGroups->push_back(group);
                return;
            }
            auto groups = self->assetGroups ? self->assetGroups : std::make_shared<std::vector<ALAssetsGroupPtr>>();
            if (self->bReverse) {
                groups = std::make_shared<std::vector<ALAssetsGroupPtr>>(groups->rbegin(), groups->rend());
                self->assetGroups = groups;
            }
            moveCameraRollToFront(*groups);
            if (result) result(*groups);
        },
        [](const NSErrorPtr& error) { NSLog("Error : %@", error ? error->description() : std::string()); });
}

void AssetHelper::getPhotoListOfGroup(const ALAssetsGroupPtr& group, PhotosBlock result) {
    initAsset();
    auto photos = std::make_shared<std::vector<ALAssetPtr>>();
    assetPhotos = photos;
    if (!group) {
        if (result) result(*photos);
        return;
    }
    group->setAssetsFilter(ALAssetsFilter::allPhotos());
    group->enumerateAssetsUsingBlock([&](const ALAssetPtr& asset, unsigned long, bool*) {
        if (asset) photos->push_back(asset);
    });
    if (bReverse) std::reverse(photos->begin(), photos->end());
    if (result) result(*photos);
}

void AssetHelper::getPhotoListOfGroupByIndex(long index, PhotosBlock result) {
    auto group = getGroupAtIndex(index);
    if (!group) return;
    getPhotoListOfGroup(group, std::move(result));
}

void AssetHelper::getSavedPhotoList(PhotosBlock result, ErrorBlock error) {
    initAsset();
    auto self = std::static_pointer_cast<AssetHelper>(shared_from_this());
    dispatch_async(dispatch_get_main_queue(), [self, result, error] {
        self->assetPhotos = std::make_shared<std::vector<ALAssetPtr>>();
        self->assetsLibrary->enumerateGroupsWithTypesUsingBlockFailureBlock(
            ALAssetsGroupSavedPhotos,
            [self, result](const ALAssetsGroupPtr& group, bool*) {
                if (!group || !isCameraRoll(group)) return;
                group->setAssetsFilter(ALAssetsFilter::allPhotos());
                auto photos = self->assetPhotos ? self->assetPhotos : std::make_shared<std::vector<ALAssetPtr>>();
                group->enumerateAssetsUsingBlock([&](const ALAssetPtr& asset, unsigned long, bool*) {
                    if (asset) photos->push_back(asset);
                });
                if (self->bReverse) std::reverse(photos->begin(), photos->end());
                if (result) result(*photos);
            },
            [error](const NSErrorPtr& failure) {
                NSLog("Error : %@", failure ? failure->description() : std::string());
                if (error) error(failure);
            });
    });
}

long AssetHelper::getGroupCount() const { return assetGroups ? static_cast<long>(assetGroups->size()) : 0; }

long AssetHelper::getPhotoCountOfCurrentGroup() const { return assetPhotos ? static_cast<long>(assetPhotos->size()) : 0; }

Value::Dictionary AssetHelper::getGroupInfo(long index) const {
    auto group = getGroupAtIndex(index);
    if (!group) return {};
    Value::Dictionary info{{"name", group->valueForProperty(ALAssetsGroupPropertyName)},
                           {"count", Value(group->numberOfAssets())}};
    if (auto poster = wrapped(group->posterImage())) info["thumbnail"] = Value(poster);
    return info;
}

ALAssetsGroupPtr AssetHelper::getGroupAtIndex(long index) const { return elementAt(assetGroups, index); }

ALAssetPtr AssetHelper::getAssetAtIndex(long index) const { return elementAt(assetPhotos, index); }

UIImagePtr AssetHelper::getImageFromAsset(const ALAssetPtr& asset, long kind) const {
    if (!asset) return nullptr;
    switch (kind) {
    case AssetHelperImageThumbnail: return wrapped(asset->thumbnail());
    case AssetHelperImageAspectThumbnail: return wrapped(asset->aspectRatioThumbnail());
    case AssetHelperImageFullScreen: {
        auto representation = asset->defaultRepresentation();
        return representation ? wrapped(representation->fullScreenImage()) : nullptr;
    }
    case AssetHelperImageFullResolution: return editedFullResolutionImage(asset);
    default: return nullptr;
    }
}

UIImagePtr AssetHelper::getImageAtIndex(long index, long kind) const { return getImageFromAsset(getAssetAtIndex(index), kind); }

// The full-resolution bitmap with the edits saved in the metadata ("AdjustmentXMP") applied in turn.
UIImagePtr AssetHelper::editedFullResolutionImage(const ALAssetPtr& asset) const {
    auto representation = asset->defaultRepresentation();
    if (!representation) return nullptr;
    auto orientation = static_cast<UIImageOrientation>(representation->orientation());
    auto full = representation->fullResolutionImage();
    if (!full) return nullptr;
    auto metadata = representation->metadata();
    auto entry = metadata.find("AdjustmentXMP");
    if (entry == metadata.end() || !entry->second.isString()) return wrapped(full, orientation);

    const std::string xmp = entry->second.string();
    NSData data(xmp.data(), xmp.size());
    auto image = CIImage::imageWithCGImage(full);
    NSErrorPtr error;
    auto filters = CIFilter::filterArrayFromSerializedXMP(data, image->extent(), &error);
    if (error) NSLog("Error during CIFilter creation: %@", error->localizedDescription());
    for (const auto& filter : filters) {
        filter->setInputImage(image);
        auto output = filter->outputImage();
        if (output) image = output;
    }
    return wrapped(image->CGImage(), orientation);
}

UIImagePtr AssetHelper::getCroppedImage(const NSURLPtr& assetURL) {
    initAsset();
    auto waiting = std::make_shared<bool>(true);
    auto found = std::make_shared<UIImagePtr>();
    auto self = std::static_pointer_cast<AssetHelper>(shared_from_this());
    assetsLibrary->assetForURLResultBlockFailureBlock(
        assetURL,
        [self, waiting, found](const ALAssetPtr& asset) {
            *found = asset ? self->editedFullResolutionImage(asset) : nullptr;
            *waiting = false;
        },
        [waiting](const NSErrorPtr& error) {
            NSLog("booya, cant get image - %@", error ? error->localizedDescription() : std::string());
            *waiting = false;
        });
    while (*waiting) NSRunLoop::currentRunLoop()->runModeBeforeDate(NSDefaultRunLoopMode, NSDate::distantFuture());
    return *found;
}

void AssetHelper::clearData() {
    assetGroups = nullptr;
    assetPhotos = nullptr;
}
