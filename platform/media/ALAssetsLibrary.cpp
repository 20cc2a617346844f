#include "platform/media/ALAssetsLibrary.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/graphics/CGImageEncoding.h"
#include "platform/system/DeviceProfile.h"

#include <cstdio>

namespace {
constexpr char kSavedPhotosFolder[] = "/var/mobile/Media/DCIM/100APPLE";

NSErrorPtr deniedError() {
    return NSError::errorWithDomain(ALAssetsLibraryErrorDomain, ALAssetsLibraryAccessUserDeniedError,
                                    {{"NSLocalizedDescription", "User denied access"},
                                     {"NSLocalizedFailureReason", "The user has denied the application access to their media."}});
}

// Runs the answer later on the main loop, or the failure when access is denied.
void answerLater(std::function<void()> answer, ALAssetsLibrary::FailureBlock failure) {
    dispatch_async(dispatch_get_main_queue(), [answer = std::move(answer), failure = std::move(failure)] {
        if (ALAssetsLibrary::authorizationStatus() != ALAuthorizationStatusAuthorized) {
            if (failure) failure(deniedError());
            return;
        }
        answer();
    });
}

// IMG_0001.JPG and on: the first number no file of the folder has.
std::string nextPhotoPath() {
    auto manager = NSFileManager::defaultManager();
    manager->createDirectoryAtPath(kSavedPhotosFolder, true, nullptr, nullptr);
    for (int number = 1; number < 100000; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", number);
        std::string path = NSString::stringByAppendingPathComponent(kSavedPhotosFolder, name);
        if (!manager->fileExistsAtPath(path)) return path;
    }
    return {};
}
} // namespace

ALAssetsLibrary::ALAssetsLibrary() { ALAssetsLibraryStartWatchingChanges(); }

ALAuthorizationStatus ALAssetsLibrary::authorizationStatus() {
    return DeviceProfile::current().photoLibraryAccessDenied ? ALAuthorizationStatusDenied : ALAuthorizationStatusAuthorized;
}

void ALAssetsLibrary::enumerateGroupsWithTypesUsingBlockFailureBlock(ALAssetsGroupType types, GroupBlock block,
                                                                     FailureBlock failure) {
    answerLater(
        [types, block = std::move(block)] {
            if (!block) return;
            bool stop = false;
            for (const auto& group : ALAssetsGroup::allGroups()) {
                if (stop) break;
                if (types & static_cast<ALAssetsGroupType>(group->valueForProperty(ALAssetsGroupPropertyType).integerValue()))
                    block(group, &stop);
            }
            block(nullptr, &stop);
        },
        std::move(failure));
}

void ALAssetsLibrary::groupForURLResultBlockFailureBlock(const NSURLPtr& url, GroupResultBlock result, FailureBlock failure) {
    answerLater(
        [url, result = std::move(result)] {
            if (result) result(ALAssetsGroup::groupWithIdentifier(ALAssetsLibraryIdentifierOfURL(url)));
        },
        std::move(failure));
}

void ALAssetsLibrary::assetForURLResultBlockFailureBlock(const NSURLPtr& url, AssetResultBlock result, FailureBlock failure) {
    answerLater(
        [url, result = std::move(result)] {
            if (!result) return;
            auto record = ALAssetsLibraryStore::recordWithIdentifier(ALAssetsLibraryIdentifierOfURL(url));
            result(record ? std::make_shared<ALAsset>(*record) : nullptr);
        },
        std::move(failure));
}

void ALAssetsLibrary::writeImageToSavedPhotosAlbumMetadataCompletionBlock(const CGImageRef& image,
                                                                          const Value::Dictionary& metadata,
                                                                          WriteCompletionBlock completion) {
    int orientation = 1;
    if (auto it = metadata.find("Orientation"); it != metadata.end()) orientation = static_cast<int>(it->second.integerValue());
    dispatch_async(dispatch_get_main_queue(), [image, orientation, completion = std::move(completion)] {
        NSURLPtr url;
        NSErrorPtr error;
        if (authorizationStatus() != ALAuthorizationStatusAuthorized) error = deniedError();
        else if (!image) error = NSError::errorWithDomain(ALAssetsLibraryErrorDomain, ALAssetsLibraryWriteInvalidDataError);
        else {
            auto bytes = CGImageEncoding::jpegData(*image, 0.9, orientation);
            const std::string path = nextPhotoPath();
            NSData data(std::move(bytes));
            if (path.empty() || data.length() == 0 || !NSFileManager::defaultManager()->createFileAtPath(path, &data, nullptr))
                error = NSError::errorWithDomain(ALAssetsLibraryErrorDomain, ALAssetsLibraryWriteFailedError);
            else if (auto record = ALAssetsLibraryStore::recordWithIdentifier(ALAssetsLibraryStore::identifierOf(path)))
                url = ALAssetURLOfRecord(*record);
        }
        if (completion) completion(url, error);
    });
}
