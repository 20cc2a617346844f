#pragma once
// The disk cache of ad media and of the SDK's player-asset bundle. Given an asset URL it answers
// whether a current copy is on disk or starts a download into a folder per resource under the
// cache root R ("VuderuFiles" in Caches), keeps an index of what it stores in
// R/local_asset_info_lookup.plist (rewritten atomically after changes), evicts the least
// recently used assets past the ad manager's cacheSize, and sweeps expired ones when the app
// leaves or comes back to the foreground.
//
// Threads: lookups come from any thread; downloads end on the load queues' workers or on the
// main thread (see the load operations) and report there. Every read and change of the index
// takes the index lock. Each download's outcome goes to the delegates of the calls that asked
// for it (a request for a resource already downloading joins that download); `delegate` still
// answers the latest caller. A URL the cache will not load fails at once, to its caller's
// delegate on the main thread.

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "sdk/ads/VuderuContentLoadOperationDelegate.h"
#include "sdk/ads/VuderuPreCachingDelegate.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

extern const std::string kLRURemovableFileType;
extern const std::string kExpiryOnlyRemovalFileType;
extern const std::string kUpdateOnlyRemovableFileType;
extern const std::string kVuderuFileDownloadInProgress;
extern const std::string kVuderuFileDownloadCompleted;
extern const std::string kLocalAssetLookup;
extern const std::string kLocalAssetCacheDirectory;
extern const std::string kSDKAssetCacheDirectory;
extern const std::string VUDERU_BURNED_IN_CACHE_BUSTER;
extern const std::string kVuderuSDKAssetsResourceId;

class NSNotification;
class VuderuLoadOperation;

class VuderuContentLoadingManager : public NSObject, public VuderuContentLoadOperationDelegate {
public:
    using DelegateRef = std::weak_ptr<VuderuPreCachingDelegate>;
    using OptionalKey = std::optional<std::string>;
    static constexpr int kMaxEvictionsPerDownload = 25;
    static constexpr double kInProgressExpirySeconds = 86400;
    static constexpr long kQueueWidth = 3;
    // More than a download ever writes at once: a body past maxAssetSize stops within this.
    static constexpr std::uint64_t kLargestWriteBytes = 1 << 20;
    // How long the index file waits for more changes before it is rewritten: at least this, and
    // longer by the second figure for each entry it names.
    static constexpr double kIndexWriteDelaySeconds = 0.1;
    static constexpr double kIndexWriteDelayPerEntrySeconds = 0.0001;
    // How many completed downloads are synced at once while the downloads go on: each lane is a
    // serial queue, so no thread is made for each download's sync. Few, because each sync in
    // flight slows the downloads' own file creation; an index write runs whatever the lanes have
    // not reached (measured on ext4 and tmpfs: two lanes beat four, and one did no better).
    static constexpr std::size_t kAssetSyncLanes = 2;

    static void setup();
    // Made on first use; registers for the application's notifications on the main thread.
    static std::shared_ptr<VuderuContentLoadingManager> sharedInstance();
    static std::shared_ptr<VuderuContentLoadingManager> instance() { return sharedInstance(); }
    VuderuContentLoadingManager();

    // Lookup or download (cachedAssetForPath:withResourceId:startDownloadIfNotCached:...): the
    // asset when a current copy is on disk, else nil (and perhaps a download, reported later).
    VuderuCachedAssetPtr cachedAssetForPath(const std::string& url, const OptionalKey& resourceId, bool startDownloadIfNotCached,
                                            bool cbEmbedded, const OptionalKey& altCBKey, double expiryTime,
                                            const Value::Dictionary& tags, const DelegateRef& delegate);
    // No resource id, start YES, key embedded, no alternative key.
    VuderuCachedAssetPtr cachedAssetForPath(const std::string& url, double expiryTime, const Value::Dictionary& tags,
                                            const DelegateRef& delegate);
    bool isAssetPreCached(const std::string& url, const OptionalKey& resourceId, bool cbEmbedded, const OptionalKey& altCBKey,
                          const std::string& removalType);
    // Starts one download; false when it started nothing (a URL it will not load, or a download of
    // the resource already running, which the delegate then joins).
    bool loadAsset(const std::string& resourceId, const std::string& url, double expiryTime, bool cbEmbedded,
                   const OptionalKey& altCBKey, const Value::Dictionary& tags, const std::string& savePath,
                   const std::string& removalType, const DelegateRef& delegate);

    std::string getResourceId(const std::string& url) const;
    bool isLoadPending(const std::string& resourceId) const;
    void removeCachedassetForPath(const VuderuCachedAssetPtr& asset);
    void deleteAssetForPath(const std::string& path, const std::string& resourceId);
    std::string cacheBustForResource(const std::string& resourceId) const;
    OptionalKey getCachedAssetLocalCbKey(const std::string& resourceId) const;
    void updateCBKeyForResource(const std::string& resourceId, const OptionalKey& cbKey);
    bool writeCachedAssetForPath(const std::string& path, const NSData& data, const OptionalKey& cbKey, bool checkDir = true);
    bool cachedAssetExistsInCachesDirForPath(const std::string& path) const;
    std::string cachedAssetCachedPathForPath(const std::string& path) const;

    void removeOldestAsset();
    void removeExpiredAssets();
    void removeOldCachesDirectory();
    bool isCachedFilesSizeInLimits();
    std::uint64_t getDirectoryFileSize(const std::string& directory);
    void cancelAllLoads();
    // Schedules the index file's rewrite: the changes of the next tenth of a second share one
    // write, made on the index queue from the text encoded under the index lock.
    void writeAssetsInfoToDisk();
    // Taken by value: a copy the caller no longer needs is moved into the property list, not copied.
    void writeAssetInfoToDisk(Value::Dictionary info, const std::string& diskPath);
    // Returns once every scheduled rewrite of the index file is done.
    void flushAssetsInfoWrites();
    void saveAssetCachingInfo(const std::shared_ptr<VuderuLoadOperation>& operation, const std::string& status);

    void loadOperationDidFinishLoading(const std::shared_ptr<VuderuLoadOperation>& operation) override;
    void loadOperationDidFailLoading(const std::shared_ptr<VuderuLoadOperation>& operation) override;
    void loadOperationDidCancel(const std::shared_ptr<VuderuLoadOperation>& operation) override;

    void registerForNotifications();
    void appWillTerminate(const std::shared_ptr<NSNotification>& notification);
    void appWillBackground(const std::shared_ptr<NSNotification>& notification);
    void appWillResume(const std::shared_ptr<NSNotification>& notification);

    // R, fetched once.
    const std::string& cachesDirectoryPath() const { return cachesDirectoryPath_; }
    // A copy of the index: resource id to its entry.
    Value::Dictionary localAssetInfo() const;
    // The entry of one resource, or null.
    Value localAssetInfoForResourceId(const std::string& resourceId) const;
    bool diskNotFree() const;
    // Resource id to {"assetUrl", "cbEmbedded", "altCBKey"} of each running HTTP download.
    Value::Dictionary httpLoadOperations() const;
    Value::Dictionary fileLoadOperations() const;
    const std::shared_ptr<NSOperationQueue>& httpLoadOperationsQueue() const { return httpLoadOperationsQueue_; }
    const std::shared_ptr<NSOperationQueue>& fileLoadOperationsQueue() const { return fileLoadOperationsQueue_; }
    std::shared_ptr<VuderuPreCachingDelegate> delegate() const;
    void setDelegate(DelegateRef delegate);

private:
    enum class Outcome { Done, Failed, Cancelled };
    struct PendingLoad {
        std::string assetUrl;
        bool cbEmbedded = false;
        std::string altCBKey;
        bool http = true;
        std::vector<DelegateRef> delegates;
        std::string savePath;
        std::weak_ptr<VuderuLoadOperation> operation;
    };
    std::string pathForAsset(const std::string& resourceId, const std::string& fileName, const std::string& removalType) const;
    VuderuCachedAssetPtr assetFromEntry(const std::string& url, const Value::Dictionary& entry, const Value::Dictionary& tags) const;
    VuderuCachedAssetPtr assetFromOperation(const std::shared_ptr<VuderuLoadOperation>& operation) const;
    // Ends a download: the entry goes (or is completed), the callers hear.
    void endLoad(const std::shared_ptr<VuderuLoadOperation>& operation, Outcome outcome);
    void refuseLoad(const std::string& url, const std::string& resourceId, const Value::Dictionary& tags, const DelegateRef& delegate);
    void touchEntry(const std::string& resourceId);
    // On the index queue: writes the index when it changed since the last write.
    void writeIndexIfChanged();
    // The index as the text of its file, encoded in place under the index lock (no copy of the
    // entries is made); null when it cannot be encoded.
    NSDataPtr indexBytes();
    // A completed download's sync, queued on the next sync lane as the download ends. Whoever
    // claims it first runs it: the lane, or an index write that names the download and finds it
    // not begun (see writeIndexAfterAssets).
    struct AssetSync {
        explicit AssetSync(std::string devicePath);
        // Runs the sync unless it was claimed already.
        void runUnlessClaimed();
        const std::string path;
        std::atomic<bool> claimed{false};
        bool synced = false;  // written by the claimer before `done` is left
        const dispatch_group_t done;
    };
    using AssetSyncPtr = std::shared_ptr<AssetSync>;
    AssetSyncPtr startAssetSync(const std::string& path);
    // Runs the syncs of the downloads the index text names that no lane has begun, side by side
    // (when the downloads outpace the disk, the lanes fall behind), waits for the rest, syncs the
    // folders holding their folders, then writes the text: the index on disk names only assets
    // that are whole there.
    // When an asset could not be synced, the text is dropped instead, the asset leaves the index
    // and the disk, and the next write follows from the index as it is then.
    void writeIndexAfterAssets(NSDataPtr index, std::vector<AssetSyncPtr> assets);
    // Writes an index's text atomically, making its folder when it is missing.
    void writeIndexTextToDisk(const NSData& text, const std::string& diskPath);
    // Whether the folder is that of a resource whose download runs.
    bool isLoadingInto(const std::string& directory) const;
    // The stored files' sizes (see storedBytes_): taken from the folder once, then kept as files
    // are completed, written and removed.
    std::uint64_t walkAssetFolder(const std::string& directory, std::map<std::string, std::uint64_t>* sizes);
    void noteStoredFile(const std::string& path);
    void forgetStoredFile(const std::string& path);
    // What the downloads running now have written so far (at most the load queue's width).
    std::uint64_t bytesOfRunningLoads() const;
    // Removes a resource's folder under asset_cache once it holds nothing and nothing loads into it.
    void removeFolderIfEmpty(const std::string& directory);

    std::string cachesDirectoryPath_;
    std::string indexPath_;
    std::shared_ptr<NSOperationQueue> httpLoadOperationsQueue_;
    std::shared_ptr<NSOperationQueue> fileLoadOperationsQueue_;

    mutable std::recursive_mutex indexLock_;
    Value::Dictionary localAssetInfo_;
    dispatch_queue_t indexQueue_;
    bool indexWriteScheduled_ = false;
    bool indexDirty_ = false;
    // Resources whose "downloadInProgress" entry this run wrote.
    std::set<std::string> startedThisRun_;
    // The syncs of the downloads completed since the index was last written. Each starts as its
    // download ends, beside the downloads still going, so that the index write waits only for
    // the last few instead of syncing the whole group after the last download.
    std::vector<AssetSyncPtr> unsyncedAssets_;
    std::vector<dispatch_queue_t> assetSyncLanes_;
    std::size_t nextSyncLane_ = 0;

    // What asset_cache holds, file path to bytes, and their total: the size check reads these
    // instead of walking the folder, so each download costs the same however full the cache is.
    std::string assetFolderPrefix_;
    mutable std::mutex sizeLock_;
    std::map<std::string, std::uint64_t> storedBytesByPath_;
    std::uint64_t storedBytes_ = 0;

    mutable std::mutex stateLock_;
    bool diskNotFree_ = false;
    std::map<std::string, PendingLoad> pendingLoads_;
    DelegateRef delegate_;
};
