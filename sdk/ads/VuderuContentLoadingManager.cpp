#include "sdk/ads/VuderuContentLoadingManager.h"

#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"
#include "sdk/ads/VuderuAdUtil.h"

const std::string kLRURemovableFileType = "lruRemovable";
const std::string kExpiryOnlyRemovalFileType = "expirationRemovable";
const std::string kUpdateOnlyRemovableFileType = "updateRemovable";
const std::string kVuderuFileDownloadInProgress = "downloadInProgress";
const std::string kVuderuFileDownloadCompleted = "downloadCompleted";
const std::string kLocalAssetLookup = "local_asset_info_lookup.plist";
const std::string kLocalAssetCacheDirectory = "asset_cache";
const std::string kSDKAssetCacheDirectory = "sdk_cache";
const std::string kVuderuSDKAssetsResourceId = "sdk_player_assets";

std::shared_ptr<VuderuContentLoadingManager> VuderuContentLoadingManager::instance() {
    static const auto manager = std::make_shared<VuderuContentLoadingManager>();
    return manager;
}

VuderuContentLoadingManager::VuderuContentLoadingManager() : cachesDirectoryPath_(VuderuAdUtil::cachePathDirectory()) {
    // A missing or unreadable index is an empty one.
    auto index = NSPropertyListSerialization::propertyListWithContentsOfFile(
        NSString::stringByAppendingPathComponent(cachesDirectoryPath_, kLocalAssetLookup));
    if (index && index->isDictionary()) localAssetInfo_ = index->dictionary();
}

Value::Dictionary VuderuContentLoadingManager::localAssetInfo() const {
    std::lock_guard guard(lock_);
    return localAssetInfo_;
}

Value VuderuContentLoadingManager::localAssetInfoForResourceId(const std::string& resourceId) const {
    std::lock_guard guard(lock_);
    auto found = localAssetInfo_.find(resourceId);
    return found == localAssetInfo_.end() ? Value() : found->second;
}
