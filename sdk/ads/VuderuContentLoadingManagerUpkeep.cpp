// The asset cache's upkeep: the index file and its entries, cache keys, eviction, expiry, the
// size of what is stored, and the application's notifications.

#include "platform/foundation/FileWrites.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/ads/VuderuHttpLoadOperation.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <iterator>

namespace {

std::string upkeepStringOf(const Value::Dictionary& entry, const std::string& key) {
    auto found = entry.find(key);
    return found != entry.end() && found->second.isString() ? found->second.string() : std::string();
}

// Seconds since 1970; nullopt when the entry has no such date.
std::optional<double> secondsOf(const Value::Dictionary& entry, const std::string& key) {
    auto found = entry.find(key);
    if (found == entry.end() || !found->second.isDate()) return std::nullopt;
    return found->second.date().secondsSince1970;
}

} // namespace

Value::Dictionary VuderuContentLoadingManager::localAssetInfo() const {
    std::lock_guard guard(indexLock_);
    return localAssetInfo_;
}

Value VuderuContentLoadingManager::localAssetInfoForResourceId(const std::string& resourceId) const {
    std::lock_guard guard(indexLock_);
    auto found = localAssetInfo_.find(resourceId);
    return found == localAssetInfo_.end() ? Value() : found->second;
}

bool VuderuContentLoadingManager::diskNotFree() const {
    std::lock_guard guard(stateLock_);
    return diskNotFree_;
}

Value::Dictionary VuderuContentLoadingManager::httpLoadOperations() const {
    std::lock_guard guard(stateLock_);
    Value::Dictionary records;
    for (const auto& [resourceId, pending] : pendingLoads_) {
        if (!pending.http) continue;
        records[resourceId] = Value::Dictionary{
            {"assetUrl", pending.assetUrl}, {"cbEmbedded", pending.cbEmbedded ? "YES" : "NO"}, {"altCBKey", pending.altCBKey}};
    }
    return records;
}

// Local loads are not recorded while they run.
Value::Dictionary VuderuContentLoadingManager::fileLoadOperations() const { return {}; }

std::shared_ptr<VuderuPreCachingDelegate> VuderuContentLoadingManager::delegate() const {
    std::lock_guard guard(stateLock_);
    return delegate_.lock();
}

void VuderuContentLoadingManager::setDelegate(DelegateRef delegate) {
    std::lock_guard guard(stateLock_);
    delegate_ = std::move(delegate);
}

bool VuderuContentLoadingManager::isLoadPending(const std::string& resourceId) const {
    std::lock_guard guard(indexLock_);
    auto found = localAssetInfo_.find(resourceId);
    return found != localAssetInfo_.end() && found->second.isDictionary() &&
           upkeepStringOf(found->second.dictionary(), "downloadStatus") == kVuderuFileDownloadInProgress && startedThisRun_.count(resourceId) > 0;
}

void VuderuContentLoadingManager::writeAssetsInfoToDisk() {
    std::lock_guard guard(indexLock_);
    std::weak_ptr<NSObject> owner = weak_from_this();
    if (owner.expired()) {
        // Not shared (a manager made on the stack): nothing can outlive the call, so write now.
        std::vector<AssetSyncPtr> assets;
        assets.swap(unsyncedAssets_);
        writeIndexAfterAssets(indexBytes(), std::move(assets));
        return;
    }
    indexDirty_ = true;
    if (indexWriteScheduled_) return;
    indexWriteScheduled_ = true;
    std::weak_ptr<VuderuContentLoadingManager> weak = std::static_pointer_cast<VuderuContentLoadingManager>(owner.lock());
    // Each write encodes the whole index: the more it names, the more changes share one write, so
    // that writing takes a bounded share of the time however large the index grows.
    const double delay =
        std::max(kIndexWriteDelaySeconds, static_cast<double>(localAssetInfo_.size()) * kIndexWriteDelayPerEntrySeconds);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(delay * NSEC_PER_SEC)), indexQueue_, [weak] {
        if (auto manager = weak.lock()) manager->writeIndexIfChanged();
    });
}

NSDataPtr VuderuContentLoadingManager::indexBytes() {
    std::lock_guard guard(indexLock_);
    // The index is lent to the property list for the encoding and taken back, whatever happens:
    // a copy of every entry would cost as much again as the text, on whichever thread writes.
    Value lent(std::move(localAssetInfo_));
    struct GiveBack {
        Value& lent;
        Value::Dictionary& index;
        ~GiveBack() { index = std::move(lent.dictionary()); }
    } giveBack{lent, localAssetInfo_};
    return NSPropertyListSerialization::dataWithPropertyList(lent, NSPropertyListXMLFormat_v1_0, 0, nullptr);
}

void VuderuContentLoadingManager::writeIndexIfChanged() {
    NSDataPtr index;
    std::vector<AssetSyncPtr> assets;
    {
        std::lock_guard guard(indexLock_);
        indexWriteScheduled_ = false;
        if (!indexDirty_) return;
        indexDirty_ = false;
        index = indexBytes();
        assets.swap(unsyncedAssets_);
    }
    writeIndexAfterAssets(std::move(index), std::move(assets));
}

VuderuContentLoadingManager::AssetSync::AssetSync(std::string devicePath) : path(std::move(devicePath)), done(dispatch_group_create()) {
    dispatch_group_enter(done);
}

void VuderuContentLoadingManager::AssetSync::runUnlessClaimed() {
    if (claimed.exchange(true)) return;
    synced = NSSyncFile(path);
    dispatch_group_leave(done);
}

VuderuContentLoadingManager::AssetSyncPtr VuderuContentLoadingManager::startAssetSync(const std::string& path) {
    auto sync = std::make_shared<AssetSync>(path);
    dispatch_async(assetSyncLanes_[nextSyncLane_++ % assetSyncLanes_.size()], [sync] { sync->runUnlessClaimed(); });
    return sync;
}

void VuderuContentLoadingManager::writeIndexAfterAssets(NSDataPtr index, std::vector<AssetSyncPtr> assets) {
    std::vector<AssetSyncPtr> unbegun;
    for (const AssetSyncPtr& sync : assets) {
        if (!sync->claimed.load()) unbegun.push_back(sync);
    }
    dispatch_apply(unbegun.size(), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [&unbegun](std::size_t i) { unbegun[i]->runUnlessClaimed(); });
    std::vector<std::string> synced, failed;
    for (const AssetSyncPtr& sync : assets) {
        dispatch_group_wait(sync->done, DISPATCH_TIME_FOREVER);
        (sync->synced ? synced : failed).push_back(sync->path);
    }
    NSSyncParentFolders(synced);
    if (failed.empty()) {
        if (index) writeIndexTextToDisk(*index, indexPath_);
        return;
    }
    // The encoded index names assets that are not whole: it is not written. Their entries and files
    // go, and that change schedules the next write, from the index as it is then.
    for (const std::string& path : failed) {
        VuderuLog("Asset cache: %@ could not be synced; it is not kept", path);
        std::vector<std::string> resourceIds;
        {
            std::lock_guard guard(indexLock_);
            for (auto it = localAssetInfo_.begin(); it != localAssetInfo_.end();) {
                if (it->second.isDictionary() && upkeepStringOf(it->second.dictionary(), "cachedAssetPath") == path) {
                    resourceIds.push_back(it->first);
                    it = localAssetInfo_.erase(it);
                } else {
                    ++it;
                }
            }
            writeAssetsInfoToDisk();
        }
        for (const std::string& resourceId : resourceIds) deleteAssetForPath(path, resourceId);
    }
}

void VuderuContentLoadingManager::flushAssetsInfoWrites() {
    auto self = this->self<VuderuContentLoadingManager>();
    dispatch_sync(indexQueue_, [self] { self->writeIndexIfChanged(); });
}

void VuderuContentLoadingManager::writeAssetInfoToDisk(Value::Dictionary info, const std::string& diskPath) {
    auto text = NSPropertyListSerialization::dataWithPropertyList(Value(std::move(info)), NSPropertyListXMLFormat_v1_0, 0, nullptr);
    if (text) writeIndexTextToDisk(*text, diskPath);
}

void VuderuContentLoadingManager::writeIndexTextToDisk(const NSData& text, const std::string& diskPath) {
    auto files = NSFileManager::defaultManager();
    std::string folder = NSString::stringByDeletingLastPathComponent(diskPath);
    if (!files->fileExistsAtPath(folder)) files->createDirectoryAtPath(folder, true, nullptr, nullptr);
    text.writeToFile(diskPath, true);
}

void VuderuContentLoadingManager::saveAssetCachingInfo(const std::shared_ptr<VuderuLoadOperation>& operation, const std::string& status) {
    const std::string& resourceId = operation->resourceId();
    const Value now(Value::Date{PlatformClock::now()});
    const Value expiry(Value::Date{operation->expiryTime()});
    auto http = std::dynamic_pointer_cast<VuderuHttpLoadOperation>(operation);
    std::lock_guard guard(indexLock_);
    auto found = localAssetInfo_.find(resourceId);
    if (found != localAssetInfo_.end() && found->second.isDictionary()) {
        auto& entry = found->second.dictionary();
        entry["downloadStatus"] = status;
        entry["cachedTime"] = now;
        entry["expiryTime"] = expiry;
    } else {
        auto removal = operation->tags().find("removalType");
        localAssetInfo_[resourceId] = Value::Dictionary{
            {"cachedAssetPath", operation->savePath()}, {"resourceId", resourceId}, {"cachedTime", now}, {"expiryTime", expiry},
            {"lastAccessTime", now},
            {"removalType", removal != operation->tags().end() && removal->second.isString() ? removal->second : Value(kLRURemovableFileType)},
            {"downloadStatus", status}};
    }
    // A download's file is synced as it ends, and the index names it complete only once that sync
    // has run (see writeIndexAfterAssets).
    if (http && status == kVuderuFileDownloadCompleted) unsyncedAssets_.push_back(startAssetSync(operation->savePath()));
    updateCBKeyForResource(resourceId, http && !http->cbKey().empty() ? OptionalKey(http->cbKey()) : std::nullopt);
    if (http && status == kVuderuFileDownloadCompleted) noteStoredFile(operation->savePath());
}

std::string VuderuContentLoadingManager::cacheBustForResource(const std::string& resourceId) const {
    auto key = getCachedAssetLocalCbKey(resourceId);
    return key ? *key : VUDERU_BURNED_IN_CACHE_BUSTER;
}

VuderuContentLoadingManager::OptionalKey VuderuContentLoadingManager::getCachedAssetLocalCbKey(const std::string& resourceId) const {
    std::lock_guard guard(indexLock_);
    auto found = localAssetInfo_.find(resourceId);
    if (found == localAssetInfo_.end() || !found->second.isDictionary()) return std::nullopt;
    auto key = found->second.dictionary().find("cbKey");
    if (key == found->second.dictionary().end() || !key->second.isString()) return std::nullopt;
    return key->second.string();
}

void VuderuContentLoadingManager::updateCBKeyForResource(const std::string& resourceId, const OptionalKey& cbKey) {
    std::lock_guard guard(indexLock_);
    auto found = localAssetInfo_.find(resourceId);
    if (found == localAssetInfo_.end() || !found->second.isDictionary()) return;
    found->second.dictionary()["cbKey"] = cbKey ? *cbKey : VUDERU_BURNED_IN_CACHE_BUSTER;
    writeAssetsInfoToDisk();
}

bool VuderuContentLoadingManager::writeCachedAssetForPath(const std::string& path, const NSData& data, const OptionalKey&, bool checkDir) {
    std::string full = cachedAssetCachedPathForPath(path);
    if (checkDir) {
        NSFileManager::defaultManager()->createDirectoryAtPath(NSString::stringByDeletingLastPathComponent(full), true, nullptr, nullptr);
    }
    bool written = data.writeToFile(full, true);
    noteStoredFile(full);
    return written;
}

bool VuderuContentLoadingManager::cachedAssetExistsInCachesDirForPath(const std::string& path) const {
    return NSFileManager::defaultManager()->fileExistsAtPath(cachedAssetCachedPathForPath(path));
}

std::string VuderuContentLoadingManager::cachedAssetCachedPathForPath(const std::string& path) const {
    return NSString::stringWithFormat("%@/%@", cachesDirectoryPath_, path);
}

void VuderuContentLoadingManager::removeCachedassetForPath(const VuderuCachedAssetPtr& asset) {
    if (asset) deleteAssetForPath(asset->cachedAssetPath(), asset->adResourceId());
}

void VuderuContentLoadingManager::deleteAssetForPath(const std::string& path, const std::string& resourceId) {
    auto files = NSFileManager::defaultManager();
    if (!files->fileExistsAtPath(path)) return;
    files->removeItemAtPath(path, nullptr);
    forgetStoredFile(path);
    removeFolderIfEmpty(NSString::stringByDeletingLastPathComponent(path));
    std::lock_guard guard(indexLock_);
    localAssetInfo_.erase(resourceId);
    writeAssetsInfoToDisk();
}

void VuderuContentLoadingManager::removeOldestAsset() {
    std::vector<std::tuple<double, std::string, std::string>> candidates;  // last access, resource id, path
    {
        std::lock_guard guard(indexLock_);
        for (const auto& [resourceId, value] : localAssetInfo_) {
            if (!value.isDictionary() || upkeepStringOf(value.dictionary(), "removalType") != kLRURemovableFileType) continue;
            candidates.emplace_back(secondsOf(value.dictionary(), "lastAccessTime").value_or(0), resourceId,
                                    upkeepStringOf(value.dictionary(), "cachedAssetPath"));
        }
    }
    std::sort(candidates.begin(), candidates.end());
    // The pending ads' question reaches into the ad manager: asked without the index lock.
    for (const auto& [accessed, resourceId, path] : candidates) {
        if (VuderuAdManager::isPendingAdAsset(resourceId) || isLoadPending(resourceId)) continue;
        deleteAssetForPath(path, resourceId);
        return;
    }
}

void VuderuContentLoadingManager::removeExpiredAssets() {
    const double now = PlatformClock::now();
    std::vector<std::pair<std::string, std::string>> expired;  // path, resource id
    {
        std::lock_guard guard(indexLock_);
        for (const auto& [resourceId, value] : localAssetInfo_) {
            if (!value.isDictionary() || upkeepStringOf(value.dictionary(), "removalType") == kUpdateOnlyRemovableFileType) continue;
            auto expiry = secondsOf(value.dictionary(), "expiryTime");
            if (!expiry || *expiry < now) expired.emplace_back(upkeepStringOf(value.dictionary(), "cachedAssetPath"), resourceId);
        }
    }
    for (const auto& [path, resourceId] : expired) deleteAssetForPath(path, resourceId);
}

void VuderuContentLoadingManager::removeOldCachesDirectory() {
    auto files = NSFileManager::defaultManager();
    const std::string old = VuderuUtil::filePathDirectory();
    for (const auto& name : {kLocalAssetCacheDirectory, kSDKAssetCacheDirectory}) {
        std::string path = NSString::stringByAppendingPathComponent(old, name);
        bool isDirectory = false;
        if (files->fileExistsAtPath(path, &isDirectory) && isDirectory) files->removeItemAtPath(path, nullptr);
    }
    std::string index = NSString::stringByAppendingPathComponent(old, kLocalAssetLookup);
    if (files->fileExistsAtPath(index)) files->removeItemAtPath(index, nullptr);
}

bool VuderuContentLoadingManager::isCachedFilesSizeInLimits() {
    auto adManager = VuderuAdManager::instance();
    std::int32_t limit = adManager->cacheSize();
    if (limit < 0) return false;
    std::uint64_t stored;
    {
        std::lock_guard guard(sizeLock_);
        stored = storedBytes_;
    }
    if (stored > static_cast<std::uint64_t>(limit)) return false;
    // The running downloads' partial files count too. At most a queue's width of them run, and a
    // body is cut off once past maxAssetSize: with room for that, they need not be looked at.
    std::int32_t maxAssetSize = adManager->maxAssetSize();
    if (maxAssetSize > 0 &&
        stored + static_cast<std::uint64_t>(kQueueWidth) * (static_cast<std::uint64_t>(maxAssetSize) + kLargestWriteBytes) <=
            static_cast<std::uint64_t>(limit))
        return true;
    return stored + bytesOfRunningLoads() <= static_cast<std::uint64_t>(limit);
}

std::uint64_t VuderuContentLoadingManager::getDirectoryFileSize(const std::string& directory) { return walkAssetFolder(directory, nullptr); }

std::uint64_t VuderuContentLoadingManager::walkAssetFolder(const std::string& directory, std::map<std::string, std::uint64_t>* sizes) {
    auto files = NSFileManager::defaultManager();
    auto names = files->contentsOfDirectoryAtPath(directory, nullptr);
    if (!names) return 0;
    std::uint64_t total = 0;
    bool listed = false;
    for (const auto& name : *names) {
        if (name.empty() || name[0] == '.') continue;
        listed = true;
        std::string path = NSString::stringByAppendingPathComponent(directory, name);
        auto attributes = files->attributesOfItemAtPath(path, nullptr);
        if (!attributes) continue;
        if (attributes->fileType == NSFileTypeDirectory) {
            total += walkAssetFolder(path, sizes);
        } else if (attributes->fileType == NSFileTypeRegular && attributes->fileSize) {
            total += *attributes->fileSize;
            if (sizes) (*sizes)[path] = *attributes->fileSize;
        }
    }
    // A download makes its resource's folder just before its file: that empty folder stays.
    if (!listed && !isLoadingInto(directory)) files->removeItemAtPath(directory, nullptr);
    return total;
}

void VuderuContentLoadingManager::noteStoredFile(const std::string& path) {
    if (path.compare(0, assetFolderPrefix_.size(), assetFolderPrefix_) != 0) return;
    auto attributes = NSFileManager::defaultManager()->attributesOfItemAtPath(path, nullptr);
    std::uint64_t bytes = attributes && attributes->fileType == NSFileTypeRegular ? attributes->fileSize.value_or(0) : 0;
    std::lock_guard guard(sizeLock_);
    auto [found, added] = storedBytesByPath_.emplace(path, bytes);
    if (!added) {
        storedBytes_ -= found->second;
        found->second = bytes;
    }
    storedBytes_ += bytes;
}

void VuderuContentLoadingManager::forgetStoredFile(const std::string& path) {
    std::lock_guard guard(sizeLock_);
    auto found = storedBytesByPath_.find(path);
    if (found == storedBytesByPath_.end()) return;
    storedBytes_ -= found->second;
    storedBytesByPath_.erase(found);
}

std::uint64_t VuderuContentLoadingManager::bytesOfRunningLoads() const {
    std::vector<std::string> running;
    {
        std::lock_guard guard(stateLock_);
        for (const auto& [resourceId, pending] : pendingLoads_) {
            auto operation = pending.operation.lock();
            if (pending.http && operation && operation->isExecuting()) running.push_back(pending.savePath);
        }
    }
    std::uint64_t total = 0;
    auto files = NSFileManager::defaultManager();
    for (const auto& path : running) {
        if (path.compare(0, assetFolderPrefix_.size(), assetFolderPrefix_) != 0) continue;
        {
            // Completed a moment ago and already counted as stored.
            std::lock_guard guard(sizeLock_);
            if (storedBytesByPath_.count(path)) continue;
        }
        auto attributes = files->attributesOfItemAtPath(path, nullptr);
        if (attributes && attributes->fileType == NSFileTypeRegular) total += attributes->fileSize.value_or(0);
    }
    return total;
}

void VuderuContentLoadingManager::removeFolderIfEmpty(const std::string& directory) {
    if (directory.compare(0, assetFolderPrefix_.size(), assetFolderPrefix_) != 0 || isLoadingInto(directory)) return;
    auto files = NSFileManager::defaultManager();
    auto names = files->contentsOfDirectoryAtPath(directory, nullptr);
    if (!names) return;
    for (const auto& name : *names)
        if (!name.empty() && name[0] != '.') return;
    files->removeItemAtPath(directory, nullptr);
}

bool VuderuContentLoadingManager::isLoadingInto(const std::string& directory) const {
    std::lock_guard guard(stateLock_);
    return pendingLoads_.count(NSString::lastPathComponent(directory)) > 0;
}

void VuderuContentLoadingManager::cancelAllLoads() {
    httpLoadOperationsQueue_->cancelAllOperations();
    fileLoadOperationsQueue_->cancelAllOperations();
    std::set<std::string> stopped;
    {
        std::lock_guard guard(stateLock_);
        for (const auto& entry : pendingLoads_) stopped.insert(entry.first);
        pendingLoads_.clear();
    }
    // Their entries keep "downloadInProgress", but nothing loads them any more.
    std::lock_guard guard(indexLock_);
    for (const auto& resourceId : stopped) startedThisRun_.erase(resourceId);
}

void VuderuContentLoadingManager::registerForNotifications() {
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<VuderuContentLoadingManager> weak = self<VuderuContentLoadingManager>();
    auto observe = [&](const std::string& name, void (VuderuContentLoadingManager::*handler)(const std::shared_ptr<NSNotification>&)) {
        center->addObserver(weakSelf(), name, nullptr, [weak, handler](const std::shared_ptr<NSNotification>& notification) {
            if (auto manager = weak.lock()) ((*manager).*handler)(notification);
        });
    };
    observe(UIApplicationWillTerminateNotification, &VuderuContentLoadingManager::appWillTerminate);
    observe(UIApplicationWillResignActiveNotification, &VuderuContentLoadingManager::appWillBackground);
    observe(UIApplicationDidBecomeActiveNotification, &VuderuContentLoadingManager::appWillResume);
}

void VuderuContentLoadingManager::appWillTerminate(const std::shared_ptr<NSNotification>&) {
    VuderuLog("VuderuContentLoadingManager: app terminate called");
    cancelAllLoads();
    flushAssetsInfoWrites();
}

void VuderuContentLoadingManager::appWillBackground(const std::shared_ptr<NSNotification>&) {
    VuderuLog("VuderuContentLoadingManager: app pause called");
    cancelAllLoads();
    removeExpiredAssets();
}

void VuderuContentLoadingManager::appWillResume(const std::shared_ptr<NSNotification>&) {
    VuderuLog("VuderuContentLoadingManager: app resume called");
    removeExpiredAssets();
    removeOldCachesDirectory();
}
