#include "sdk/ads/VuderuContentLoadingManager.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/WholeFile.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuFileLoadOperation.h"
#include "sdk/ads/VuderuHttpLoadOperation.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>

const std::string kLRURemovableFileType = "lruRemovable";
const std::string kExpiryOnlyRemovalFileType = "expirationRemovable";
const std::string kUpdateOnlyRemovableFileType = "updateRemovable";
const std::string kVuderuFileDownloadInProgress = "downloadInProgress";
const std::string kVuderuFileDownloadCompleted = "downloadCompleted";
const std::string kLocalAssetLookup = "local_asset_info_lookup.plist";
const std::string kLocalAssetCacheDirectory = "asset_cache";
const std::string kSDKAssetCacheDirectory = "sdk_cache";
const std::string VUDERU_BURNED_IN_CACHE_BUSTER = "c3f9a41d07be52e68f1d4a9c20b7e53d";
const std::string kVuderuSDKAssetsResourceId = "sdk_player_assets";

namespace {

const std::string kRemovalTypeTag = "removalType";
// How far the launch's sweep reaches beneath the cache folder: its stores' folders, each asset's
// folder and what an unpacked bundle holds.
constexpr unsigned kCacheSweepDepth = 8;
constexpr std::size_t kCacheSweepFolders = 4096;

// The text after the last "//" of a URL, or the whole URL.
std::string urlTail(const std::string& url) {
    auto at = url.rfind("//");
    return at == std::string::npos ? url : url.substr(at + 2);
}

std::string lastComponent(const std::string& text) {
    auto slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

std::string fileNameOf(const std::string& url) { return lastComponent(urlTail(url)); }

std::string embeddedKeyOf(const std::string& url) {
    std::string name = fileNameOf(url);
    return name.substr(0, name.find('.'));
}

std::string removalTypeOf(const Value::Dictionary& tags) {
    auto found = tags.find(kRemovalTypeTag);
    return found != tags.end() && found->second.isString() ? found->second.string() : kLRURemovableFileType;
}

std::string stringOf(const Value::Dictionary& entry, const std::string& key) {
    auto found = entry.find(key);
    return found != entry.end() && found->second.isString() ? found->second.string() : std::string();
}

std::shared_ptr<NSDate> dateOf(const Value::Dictionary& entry, const std::string& key) {
    auto found = entry.find(key);
    return found != entry.end() && found->second.isDate() ? NSDate::dateWithTimeIntervalSince1970(found->second.date().secondsSince1970)
                                                           : nullptr;
}

} // namespace

void VuderuContentLoadingManager::setup() { sharedInstance(); }

std::shared_ptr<VuderuContentLoadingManager> VuderuContentLoadingManager::sharedInstance() {
    static const auto manager = [] {
        auto made = std::make_shared<VuderuContentLoadingManager>();
        NSThread::mainThread()->performBlock([made] { made->registerForNotifications(); });
        return made;
    }();
    return manager;
}

VuderuContentLoadingManager::VuderuContentLoadingManager()
    : cachesDirectoryPath_(VuderuAdUtil::cachePathDirectory()),
      indexPath_(NSString::stringByAppendingPathComponent(cachesDirectoryPath_, kLocalAssetLookup)),
      httpLoadOperationsQueue_(std::make_shared<NSOperationQueue>()),
      fileLoadOperationsQueue_(std::make_shared<NSOperationQueue>()),
      indexQueue_(dispatch_queue_create("com.Vuderu.ContentLoadingManager.index")),
      assetFolderPrefix_(NSString::stringByAppendingPathComponent(cachesDirectoryPath_, kLocalAssetCacheDirectory) + "/") {
    for (std::size_t i = 0; i < kAssetSyncLanes; ++i) {
        assetSyncLanes_.push_back(dispatch_queue_create("com.Vuderu.ContentLoadingManager.sync"));
    }
    httpLoadOperationsQueue_->setName("ContentFileHttpLoadingQueue");
    httpLoadOperationsQueue_->setMaxConcurrentOperationCount(kQueueWidth);
    fileLoadOperationsQueue_->setName("ContentFileLocalLoadingQueue");
    fileLoadOperationsQueue_->setMaxConcurrentOperationCount(kQueueWidth);
    // Cache writes of a run killed half-way leave their temporaries behind: in the cache's own
    // folder, in the assets' folders and in the folders a bundle was being unpacked into.
    NSSweepTemporaryFilesBeneath(cachesDirectoryPath_, NSTemporaryNames::WritersAndEarlierStores, kCacheSweepDepth, kCacheSweepFolders);
    // A missing or unreadable index is an empty one.
    auto index = NSPropertyListSerialization::propertyListWithContentsOfFile(indexPath_);
    if (index && index->isDictionary()) localAssetInfo_ = index->dictionary();
    // Whatever an earlier run left in asset_cache counts, listed in the index or not.
    std::map<std::string, std::uint64_t> sizes;
    std::uint64_t total = walkAssetFolder(NSString::stringByAppendingPathComponent(cachesDirectoryPath_, kLocalAssetCacheDirectory), &sizes);
    std::lock_guard guard(sizeLock_);
    storedBytesByPath_ = std::move(sizes);
    storedBytes_ = total;
}

std::string VuderuContentLoadingManager::getResourceId(const std::string& url) const {
    std::string joined = urlTail(url);
    std::replace(joined.begin(), joined.end(), '/', '_');
    std::replace(joined.begin(), joined.end(), '.', '_');
    return VuderuUtil::md5String(joined);
}

std::string VuderuContentLoadingManager::pathForAsset(const std::string& resourceId, const std::string& fileName,
                                                      const std::string& removalType) const {
    if (removalType == kLRURemovableFileType || removalType == kExpiryOnlyRemovalFileType) {
        return NSString::stringWithFormat("%@/%@/%@/%@", cachesDirectoryPath_, kLocalAssetCacheDirectory, resourceId, fileName);
    }
    if (removalType == kUpdateOnlyRemovableFileType) {
        return NSString::stringWithFormat("%@/%@/%@/%@", cachesDirectoryPath_, kSDKAssetCacheDirectory, resourceId, fileName);
    }
    return NSString::stringWithFormat("%@/%@", cachesDirectoryPath_, fileName);
}

VuderuCachedAssetPtr VuderuContentLoadingManager::cachedAssetForPath(const std::string& url, double expiryTime,
                                                                     const Value::Dictionary& tags, const DelegateRef& delegate) {
    return cachedAssetForPath(url, std::nullopt, true, true, std::nullopt, expiryTime, tags, delegate);
}

VuderuCachedAssetPtr VuderuContentLoadingManager::cachedAssetForPath(const std::string& url, const OptionalKey& givenResourceId,
                                                                     bool startDownloadIfNotCached, bool cbEmbedded,
                                                                     const OptionalKey& altCBKey, double expiryTime,
                                                                     const Value::Dictionary& tags, const DelegateRef& delegate) {
    if (url.empty()) return nullptr;
    auto adManager = VuderuAdManager::instance();
    bool full = VuderuUtil::getFreeDiskspace() < static_cast<std::uint64_t>(std::max<std::int32_t>(adManager->maxAssetSize(), 0));
    {
        std::lock_guard guard(stateLock_);
        diskNotFree_ = full;
    }
    if (full) return nullptr;
    const std::string removalType = removalTypeOf(tags);
    const std::string resourceId = givenResourceId ? *givenResourceId : getResourceId(url);
    if (removalType != kUpdateOnlyRemovableFileType) {
        if (isAssetPreCached(url, resourceId, cbEmbedded, altCBKey, removalType)) {
            Value entry = localAssetInfoForResourceId(resourceId);
            if (entry.isDictionary()) return assetFromEntry(url, entry.dictionary(), tags);
        }
        if (!startDownloadIfNotCached) return nullptr;
    }
    setDelegate(delegate);
    for (int i = 0; i < kMaxEvictionsPerDownload && !isCachedFilesSizeInLimits(); ++i) removeOldestAsset();
    const std::string cacheKey = altCBKey ? *altCBKey : (cbEmbedded ? std::string() : VUDERU_BURNED_IN_CACHE_BUSTER);
    const std::string savePath = pathForAsset(resourceId, fileNameOf(url), removalType);
    loadAsset(resourceId, url, expiryTime, cbEmbedded, cacheKey.empty() ? OptionalKey() : OptionalKey(cacheKey), tags, savePath,
              removalType, delegate);
    return nullptr;
}

bool VuderuContentLoadingManager::isAssetPreCached(const std::string& url, const OptionalKey& givenResourceId, bool cbEmbedded,
                                                   const OptionalKey& altCBKey, const std::string& removalType) {
    const std::string resourceId = givenResourceId ? *givenResourceId : getResourceId(url);
    const std::string path = pathForAsset(resourceId, fileNameOf(url), removalType);
    const OptionalKey expected = cbEmbedded ? OptionalKey(embeddedKeyOf(url)) : altCBKey;
    OptionalKey stored;
    {
        std::lock_guard guard(indexLock_);
        auto found = localAssetInfo_.find(resourceId);
        if (found == localAssetInfo_.end() || !found->second.isDictionary()) return false;
        const auto& entry = found->second.dictionary();
        if (stringOf(entry, "downloadStatus") != kVuderuFileDownloadCompleted) return false;
        if (!NSFileManager::defaultManager()->fileExistsAtPath(path)) {
            // The index file follows with the next change.
            localAssetInfo_.erase(found);
            return false;
        }
        auto key = entry.find("cbKey");
        if (key != entry.end() && key->second.isString()) stored = key->second.string();
    }
    if (stored == expected) {
        touchEntry(resourceId);
        return true;
    }
    if (removalType == kLRURemovableFileType) deleteAssetForPath(path, resourceId);
    return false;
}

void VuderuContentLoadingManager::touchEntry(const std::string& resourceId) {
    std::lock_guard guard(indexLock_);
    auto found = localAssetInfo_.find(resourceId);
    if (found == localAssetInfo_.end() || !found->second.isDictionary()) return;
    found->second.dictionary()["lastAccessTime"] = Value(Value::Date{PlatformClock::now()});
    writeAssetsInfoToDisk();
}

VuderuCachedAssetPtr VuderuContentLoadingManager::assetFromEntry(const std::string& url, const Value::Dictionary& entry,
                                                                 const Value::Dictionary& tags) const {
    auto asset = std::make_shared<VuderuCachedAsset>();
    asset->setAssetUrlPath(url);
    asset->setCbKey(stringOf(entry, "cbKey"));
    asset->setAdResourceId(stringOf(entry, "resourceId"));
    asset->setCachedTime(dateOf(entry, "cachedTime"));
    asset->setExpiryTime(dateOf(entry, "expiryTime"));
    asset->setCachedAssetPath(stringOf(entry, "cachedAssetPath"));
    asset->setTags(tags);
    return asset;
}

bool VuderuContentLoadingManager::loadAsset(const std::string& resourceId, const std::string& url, double expiryTime, bool cbEmbedded,
                                            const OptionalKey& altCBKey, const Value::Dictionary& tags, const std::string& savePath,
                                            const std::string& removalType, const DelegateRef& delegate) {
    if (url.empty()) return false;
    auto schemeEnd = url.find("://");
    const std::string scheme = schemeEnd == std::string::npos ? std::string() : url.substr(0, schemeEnd);
    const std::string cacheKey = cbEmbedded ? embeddedKeyOf(url) : altCBKey.value_or(std::string());
    const bool http = scheme == "http";
    std::string loadUrl;
    if (http) {
        loadUrl = cbEmbedded ? url : NSString::stringWithFormat(url.find('?') == std::string::npos ? "%@?cb=%@" : "%@&cb=%@", url, cacheKey);
    } else if (scheme == "file") {
        loadUrl = fileNameOf(url);
    } else if (url.find('/') == std::string::npos) {
        loadUrl = url;
    } else {
        refuseLoad(url, resourceId, tags, delegate);
        return false;
    }
    auto self = this->self<VuderuContentLoadingManager>();
    // Read before taking the state lock: the ad manager asks whether the disk is free while it
    // holds its own lock, so the two locks are never taken in the other order.
    const std::int32_t maxAssetSize = VuderuAdManager::instance()->maxAssetSize();
    std::shared_ptr<VuderuLoadOperation> operation;
    {
        std::lock_guard guard(stateLock_);
        auto running = pendingLoads_.find(resourceId);
        if (running != pendingLoads_.end()) {
            // Joins the download already running: a second one would write the same file.
            running->second.delegates.push_back(delegate);
            return false;
        }
        if (http) {
            auto load = std::make_shared<VuderuHttpLoadOperation>(resourceId, loadUrl, expiryTime, tags, self, savePath, cacheKey);
            load->setMaxAssetSize(maxAssetSize);
            operation = load;
        } else {
            operation = std::make_shared<VuderuFileLoadOperation>(resourceId, loadUrl, expiryTime, tags, self, savePath);
        }
        pendingLoads_[resourceId] = PendingLoad{url, cbEmbedded, cacheKey, http, {delegate}, savePath, operation};
    }
    // A download begins with an empty file at its path: what was stored there no longer counts.
    if (http) forgetStoredFile(savePath);
    {
        const Value now(Value::Date{PlatformClock::now()});
        std::lock_guard guard(indexLock_);
        localAssetInfo_[resourceId] = Value::Dictionary{
            {"cachedAssetPath", savePath}, {"cbKey", cacheKey.empty() ? VUDERU_BURNED_IN_CACHE_BUSTER : cacheKey},
            {"resourceId", resourceId}, {"cachedTime", now},
            {"expiryTime", Value(Value::Date{PlatformClock::now() + kInProgressExpirySeconds})}, {"lastAccessTime", now},
            {"removalType", removalType}, {"downloadStatus", kVuderuFileDownloadInProgress}};
        startedThisRun_.insert(resourceId);
        writeAssetsInfoToDisk();
    }
    if (http) {
        httpLoadOperationsQueue_->addOperation(operation);
        operation->setQueuePriority(NSOperationQueuePriorityHigh);
    } else {
        fileLoadOperationsQueue_->addOperation(operation);
    }
    return true;
}

void VuderuContentLoadingManager::refuseLoad(const std::string& url, const std::string& resourceId, const Value::Dictionary& tags,
                                             const DelegateRef& delegate) {
    auto asset = std::make_shared<VuderuCachedAsset>();
    asset->setAssetUrlPath(url);
    asset->setAdResourceId(resourceId);
    asset->setTags(tags);
    NSThread::mainThread()->performBlock([delegate, asset] {
        if (auto target = delegate.lock()) target->assetPreCachingFailed(asset);
    });
}

VuderuCachedAssetPtr VuderuContentLoadingManager::assetFromOperation(const std::shared_ptr<VuderuLoadOperation>& operation) const {
    auto asset = std::make_shared<VuderuCachedAsset>();
    auto http = std::dynamic_pointer_cast<VuderuHttpLoadOperation>(operation);
    asset->setAssetUrlPath(operation->assetUrl() ? operation->assetUrl()->absoluteString() : std::string());
    asset->setCachedAssetPath(operation->savePath());
    asset->setCbKey(http ? http->cbKey() : std::string());
    asset->setAdResourceId(operation->resourceId());
    asset->setCachedTime(NSDate::date());
    asset->setExpiryTime(NSDate::dateWithTimeIntervalSince1970(operation->expiryTime()));
    asset->setTags(operation->tags());
    return asset;
}

void VuderuContentLoadingManager::loadOperationDidFinishLoading(const std::shared_ptr<VuderuLoadOperation>& operation) {
    saveAssetCachingInfo(operation, kVuderuFileDownloadCompleted);
    endLoad(operation, Outcome::Done);
}

void VuderuContentLoadingManager::loadOperationDidFailLoading(const std::shared_ptr<VuderuLoadOperation>& operation) {
    endLoad(operation, Outcome::Failed);
}

void VuderuContentLoadingManager::loadOperationDidCancel(const std::shared_ptr<VuderuLoadOperation>& operation) {
    endLoad(operation, Outcome::Cancelled);
}

void VuderuContentLoadingManager::endLoad(const std::shared_ptr<VuderuLoadOperation>& operation, Outcome outcome) {
    const std::string& resourceId = operation->resourceId();
    if (outcome != Outcome::Done) {
        // The load removed its file.
        forgetStoredFile(operation->savePath());
        std::lock_guard guard(indexLock_);
        if (localAssetInfo_.erase(resourceId) > 0) writeAssetsInfoToDisk();
        startedThisRun_.erase(resourceId);
    }
    auto asset = assetFromOperation(operation);
    std::vector<DelegateRef> delegates;
    {
        std::lock_guard guard(stateLock_);
        auto found = pendingLoads_.find(resourceId);
        if (found != pendingLoads_.end()) {
            delegates = std::move(found->second.delegates);
            pendingLoads_.erase(found);
        }
    }
    std::vector<std::shared_ptr<VuderuPreCachingDelegate>> told;
    for (const auto& weak : delegates) {
        auto target = weak.lock();
        if (!target || std::find(told.begin(), told.end(), target) != told.end()) continue;
        told.push_back(target);
        switch (outcome) {
        case Outcome::Done: target->assetPreCachingDone(asset); break;
        case Outcome::Failed: target->assetPreCachingFailed(asset); break;
        case Outcome::Cancelled: target->assetPreCachingCancelled(asset); break;
        }
    }
}
