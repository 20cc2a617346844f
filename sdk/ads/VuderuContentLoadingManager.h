#pragma once
// The disk cache of ad media and of the SDK's player-asset bundle. Here its root folder, its
// constants and the index of stored assets read at start; lookups, downloads and eviction build
// on them.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <mutex>
#include <string>

extern const std::string kLRURemovableFileType;
extern const std::string kExpiryOnlyRemovalFileType;
extern const std::string kUpdateOnlyRemovableFileType;
extern const std::string kVuderuFileDownloadInProgress;
extern const std::string kVuderuFileDownloadCompleted;
extern const std::string kLocalAssetLookup;
extern const std::string kLocalAssetCacheDirectory;
extern const std::string kSDKAssetCacheDirectory;
extern const std::string kVuderuSDKAssetsResourceId;

class VuderuContentLoadingManager : public NSObject {
public:
    static std::shared_ptr<VuderuContentLoadingManager> instance();
    VuderuContentLoadingManager();

    // R: "VuderuFiles" in the caches directory, fetched once.
    const std::string& cachesDirectoryPath() const { return cachesDirectoryPath_; }
    // Resource id to its entry ("cachedAssetPath", "cbKey", "cachedTime", ...); a copy.
    Value::Dictionary localAssetInfo() const;
    // The entry of one resource, or null.
    Value localAssetInfoForResourceId(const std::string& resourceId) const;

private:
    mutable std::mutex lock_;
    std::string cachesDirectoryPath_;
    Value::Dictionary localAssetInfo_;
};
