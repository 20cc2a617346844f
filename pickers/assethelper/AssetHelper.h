#pragma once
// The process's one helper over the photo library: it keeps one library object and two lists, the
// albums of the last album listing and the photos of the album listed last, and hands out images of
// an asset in several sizes. Every album it lists or enumerates shows photos only. Listings answer
// through the library's callbacks; the lists are plain state of the main thread.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/media/ALAssetsLibrary.h"
#include "platform/uikit/UIImage.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class AssetHelper;
using AssetHelperPtr = std::shared_ptr<AssetHelper>;

// The kinds of image getImageFromAsset() gives.
enum AssetHelperImageKind : long {
    AssetHelperImageThumbnail = 0,
    AssetHelperImageAspectThumbnail = 1,
    AssetHelperImageFullScreen = 2,
    AssetHelperImageFullResolution = 3,
};

class AssetHelper : public NSObject {
public:
    using GroupsBlock = std::function<void(const std::vector<ALAssetsGroupPtr>& groups)>;
    using PhotosBlock = std::function<void(const std::vector<ALAssetPtr>& photos)>;
    using ErrorBlock = std::function<void(const NSErrorPtr& error)>;

    static AssetHelperPtr sharedAssetHelper();

    // Makes the library once; unless the system version sorts below "5", it also asks it to save
    // nothing, which brings up the library's access prompt early.
    void initAsset();
    // Whether the version does not sort below the other as plain strings, character by character:
    // "10.3" sorts below "5" and so skips the save, "8.1" does not. Callers rely on that order.
    static bool systemVersionNotBelow(const std::string& version, const std::string& other);

    // Every album, camera roll first (after the reversal when bReverse is set).
    void getGroupList(GroupsBlock result);
    void getPhotoListOfGroup(const ALAssetsGroupPtr& group, PhotosBlock result);
    // Nothing is listed (and the block not called) for an index outside the album list.
    void getPhotoListOfGroupByIndex(long index, PhotosBlock result);
    // The camera roll's photos; never answers without a camera roll.
    void getSavedPhotoList(PhotosBlock result, ErrorBlock error);

    long getGroupCount() const;
    long getPhotoCountOfCurrentGroup() const;
    // "name", "count" and, for an album with a poster, "thumbnail" (a UIImage); empty for an index
    // outside the album list.
    Value::Dictionary getGroupInfo(long index) const;
    // nil for an index outside its list.
    ALAssetsGroupPtr getGroupAtIndex(long index) const;
    ALAssetPtr getAssetAtIndex(long index) const;

    // nil for an unknown kind or a missing asset.
    UIImagePtr getImageFromAsset(const ALAssetPtr& asset, long kind) const;
    UIImagePtr getImageAtIndex(long index, long kind) const;
    // The edited full-resolution image of the asset at the URL; spins the calling thread's run loop
    // until the library answers. nil for no asset or a failed look-up.
    UIImagePtr getCroppedImage(const NSURLPtr& assetURL);

    void clearData();

    std::shared_ptr<ALAssetsLibrary> assetsLibrary;
    // nil (no list) before the first listing and after clearData().
    std::shared_ptr<std::vector<ALAssetsGroupPtr>> assetGroups;
    std::shared_ptr<std::vector<ALAssetPtr>> assetPhotos;
    std::atomic<bool> bReverse{false};

private:
    UIImagePtr editedFullResolutionImage(const ALAssetPtr& asset) const;
};
