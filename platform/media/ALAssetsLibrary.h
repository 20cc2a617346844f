#pragma once
// The photo library over the device's folders (see ALAssetsLibraryStore): the camera roll and the
// albums, assets by URL, saving photos into the camera roll. Group enumerations and look-ups
// answer later, on the main loop, with new objects each time; a group enumeration ends with a
// call without a group. When the device denies access, they answer with the error
// ALAssetsLibraryAccessUserDeniedError instead.
//
// From the first library made, a watch on the folders posts ALAssetsLibraryChangedNotification
// from its own thread whenever a file or album changes, with the URLs of the updated, inserted
// and deleted albums as arrays of NSURL under the keys below.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGImage.h"
#include "platform/media/ALAsset.h"
#include "platform/media/ALAssetsGroup.h"

#include <functional>
#include <memory>

inline constexpr char ALAssetsLibraryChangedNotification[] = "ALAssetsLibraryChangedNotification";
inline constexpr char ALAssetLibraryUpdatedAssetsKey[] = "ALAssetLibraryUpdatedAssetsKey";
inline constexpr char ALAssetLibraryInsertedAssetGroupsKey[] = "ALAssetLibraryInsertedAssetGroupsKey";
inline constexpr char ALAssetLibraryUpdatedAssetGroupsKey[] = "ALAssetLibraryUpdatedAssetGroupsKey";
inline constexpr char ALAssetLibraryDeletedAssetGroupsKey[] = "ALAssetLibraryDeletedAssetGroupsKey";

inline constexpr char ALAssetsLibraryErrorDomain[] = "ALAssetsLibraryErrorDomain";
enum : long {
    ALAssetsLibraryUnknownError = -1,
    ALAssetsLibraryWriteFailedError = -3300,
    ALAssetsLibraryWriteBusyError = -3301,
    ALAssetsLibraryWriteInvalidDataError = -3302,
    ALAssetsLibraryWriteIncompatibleDataError = -3303,
    ALAssetsLibraryWriteDataEncodingError = -3304,
    ALAssetsLibraryWriteDiskSpaceError = -3305,
    ALAssetsLibraryDataUnavailableError = -3310,
    ALAssetsLibraryAccessUserDeniedError = -3311,
    ALAssetsLibraryAccessGloballyDeniedError = -3312,
};

enum ALAuthorizationStatus : long {
    ALAuthorizationStatusNotDetermined = 0,
    ALAuthorizationStatusRestricted = 1,
    ALAuthorizationStatusDenied = 2,
    ALAuthorizationStatusAuthorized = 3,
};

class ALAssetsLibrary : public NSObject {
public:
    using GroupBlock = std::function<void(const ALAssetsGroupPtr& group, bool* stop)>;
    using GroupResultBlock = std::function<void(const ALAssetsGroupPtr& group)>;
    using AssetResultBlock = std::function<void(const ALAssetPtr& asset)>;
    using FailureBlock = std::function<void(const NSErrorPtr& error)>;
    using WriteCompletionBlock = std::function<void(const NSURLPtr& assetURL, const NSErrorPtr& error)>;

    ALAssetsLibrary();

    static ALAuthorizationStatus authorizationStatus();

    // The camera roll (ALAssetsGroupSavedPhotos), then the albums (ALAssetsGroupAlbum) by name.
    void enumerateGroupsWithTypesUsingBlockFailureBlock(ALAssetsGroupType types, GroupBlock block, FailureBlock failure);
    // The result is nil for a URL of no group or asset.
    void groupForURLResultBlockFailureBlock(const NSURLPtr& url, GroupResultBlock result, FailureBlock failure);
    void assetForURLResultBlockFailureBlock(const NSURLPtr& url, AssetResultBlock result, FailureBlock failure);
    // Writes the image as a JPEG into the camera roll ("Orientation" of the metadata, EXIF's number,
    // goes with it) and answers with its URL; no image gives ALAssetsLibraryWriteInvalidDataError.
    void writeImageToSavedPhotosAlbumMetadataCompletionBlock(const CGImageRef& image, const Value::Dictionary& metadata,
                                                             WriteCompletionBlock completion);
};

// The change watch, started by the first library; tests may start it themselves.
void ALAssetsLibraryStartWatchingChanges();
