#pragma once
// The process-wide owner of what each ad space shows and what is about to be shown: the ad
// registered per space, the prepared ads not yet shown, the VAST documents per frame GUID, the
// SDK's player-asset bundle and the asset-cache limits, and the per-space test size codes.
// Taking, preparing, showing and refreshing ads build on these.

#include "platform/foundation/NSError.h"
#include "platform/foundation/ThreadSafety.h"
#include "sdk/ads/IVuderuAd.h"
#include "sdk/ads/VuderuCacheKey.h"
#include "sdk/ads/VuderuPreCachingDelegate.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class NSTimer;
class UIViewController;

class UIView;

class VuderuAdManager : public NSObject, public VuderuPreCachingDelegate {
public:
    // The presentation side registers how a view for a taken unit is made (for a container and a
    // space) and the ad type of a frame that the host's delegate is asked with. The ad library
    // cannot name its views (they sit a layer above it): sdk/adviews/VuderuAdViewsStart.cpp fills
    // this hook at load time through VuderuAd::registerAsAdViewMaker, in every program that links
    // the ad views. Until then no ad view is made.
    using AdViewMaker = std::function<IVuderuAdPtr(const std::shared_ptr<NSObject>& container, const std::string& space)>;
    using AdTypeOf = std::function<std::int32_t(const VuderuAdFramePtr& frame)>;
    static void registerAdViewMaker(AdViewMaker maker, AdTypeOf adType);
    // The registered ad type of the frame; 0 when none is registered.
    static std::int32_t getAdType(const VuderuAdFramePtr& frame);

    static constexpr std::int32_t kDefaultCacheSize = 20000000;
    static constexpr std::int32_t kDefaultMaxAssetSize = 2000000;

    static std::shared_ptr<VuderuAdManager> instance();

    // Size codes of test spaces (class-wide). An empty space name is ignored.
    static void setupDefaultsForAdSpaceSize(const std::string& space, std::int32_t size);
    static bool isTestAdSpace(const std::string& space);
    // 0 when none is stored.
    static std::int32_t adSizeForTestAdSpace(const std::string& space);

    // Registry of the ad shown per space: registering fails while the space has one. Deregistering
    // takes the space's ad out at once; the ad's removal (its events, the host's delegate, the view
    // tree) runs on the main thread, at once there and else next on the main queue.
    bool registerAdAdSpaceName(const IVuderuAdPtr& ad, const std::string& space);
    void deRegisterAdForSpace(const std::string& space);
    // The host removes the space, on any thread: its shown ad is deregistered and removed with
    // notification value -1, and what is under way to show in it ends. Every request to show in a
    // space (a fetch-and-display, a waiting show, a held-back take, a refresh, a display call)
    // carries the space's generation from when it was asked; a removal moves the generation on, and
    // a request whose result is delivered after that renders nothing, reports nothing to the host
    // and counts nothing. Pending ads meant to show when ready are withdrawn (each told so on the
    // main thread). An ad the host fetched for its own display call stays the host's: a display
    // asked after the removal shows it. Requests asked after the removal go on as usual.
    void removeSpace(const std::string& space);
    // How many removals the space has seen: the generation a request carries.
    using Generation = std::uint64_t;
    Generation spaceGeneration(const std::string& space) const;
    IVuderuAdPtr adForSpace(const std::string& space) const;
    // Whether any registered ad shows the frame; NO for an empty GUID.
    bool isGuidActive(const std::string& guid) const;

    // Prepared ads not yet shown, in the order they were made.
    void addPendingAd(const IVuderuAdPtr& ad);
    // The first pending ad of the space that is ready for display.
    IVuderuAdPtr fetchPendingAdForSpace(const std::string& space) const;
    void removePendingAd(const IVuderuAdPtr& ad);
    std::vector<IVuderuAdPtr> pendingAdArray() const;

    // Valid cached units for the space in the current screen orientation.
    std::size_t adUnitCountForSpace(const std::string& space) const;
    // Requests for the next ad of a space (the notification and time-out values are the ad
    // manager's table) and the refresh timer, delay in seconds. Taking a unit into a new ad view
    // needs the ad-space view: until it exists these answer no ad and start no timer.
    IVuderuAdPtr prepareAdForSpaceViewContainerNotification(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                           std::int64_t notification);
    IVuderuAdPtr showNewAdForSpaceViewContainerTimeout(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                      std::int64_t timeout);
    void delayNewAdForSpaceGuidViewContainerDelay(const std::string& space, const std::string& guid,
                                                  const std::shared_ptr<NSObject>& container, std::int64_t delay);

    // Whether a refresh timer was ever set up for the space.
    bool timerStartedForSpace(const std::string& space) const;
    // The cache's reports: units arrived for the space (prepared with the same value), or none
    // could be had (the delegate hears the error; with value 0 also as a render failure). A report
    // carries the generation its request was asked in (nil: now); one that a removal ended is
    // dropped here.
    void adsAvailableForSpaceViewContainerTimeout(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                  std::int64_t timeout, std::optional<Generation> askedAt = std::nullopt);
    void adsNotAvailableForSpaceViewContainerTimeoutError(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                          std::int64_t timeout, const NSErrorPtr& error,
                                                          std::optional<Generation> askedAt = std::nullopt);

    // Keeps the root view controller and fetches the server's configuration with its view.
    void initialize(const std::shared_ptr<UIViewController>& rootViewController);
    // The view reports its ad prepared (main thread): the host hears of it, and it is shown
    // when it was meant to be.
    void adReadyForDisplay(const IVuderuAdPtr& ad);
    // Shows the ad in place of the space's current one; YES when shown. Shows and removals change
    // the view tree, which is the main thread's: called on another thread, the show is handed to
    // the main queue (behind what was handed there before it) and NO is answered. The show is
    // asked now; with a generation, it was asked then, and a removal of the space since ends it.
    bool displayAd(const IVuderuAdPtr& ad);
    bool displayAd(const IVuderuAdPtr& ad, Generation askedAt);
    // Starts a background fetch when the space's key has no valid unit.
    void refreshIfEmptyAdSpaceViewContainer(const std::string& space, const std::shared_ptr<NSObject>& container);
    // The refresh timer's firing.
    void refreshActiveAdSpace(const std::shared_ptr<NSTimer>& timer);
    bool isAdAvailableForSpaceViewTimeout(const std::string& space, const std::shared_ptr<NSObject>& view, std::int64_t timeout);
    // Units for an ad that shows several, from the cache only; nil when too few are cached.
    std::shared_ptr<std::vector<VuderuAdUnitPtr>> fetchAdUnitsForSpaceMinimumMaximum(const std::string& space, std::int32_t minimum,
                                                                                    std::int32_t maximum);
    // One take of a unit for the key; `waiting` tells whether it is held back for its asset. The
    // generation its request was asked in (nil: now) goes with the fetch or the held-back take.
    VuderuAdUnitPtr fetchCachedAdUnitForKeyViewContainerTimeoutWaitingOnAdUnit(const VuderuCacheKey& key,
                                                                               const std::shared_ptr<NSObject>& container,
                                                                               std::int64_t timeout, bool* waiting,
                                                                               std::optional<Generation> askedAt = std::nullopt);
    // Starts the video downloads of the space's upcoming frames.
    void primeVideoCacheForSpace(const std::string& space);

    // Takes held back until their unit's asset is in the asset cache (VuderuAdManagerAssetTakes.cpp).
    struct PrepareRequest {
        VuderuAdUnitPtr adUnit;
        VuderuCacheKey cacheKey;
        std::shared_ptr<NSObject> viewContainer;
        std::int64_t timeout = 0;
        // The space's generation when the take was asked.
        Generation askedAt = 0;
    };
    void addToPendingAssetToPrepareAdRequestsMap(const std::string& assetUrl, const VuderuAdUnitPtr& unit, const VuderuCacheKey& key,
                                                 const std::shared_ptr<NSObject>& container, std::int64_t timeout,
                                                 std::optional<Generation> askedAt = std::nullopt);
    std::vector<PrepareRequest> pendingAssetRequests(const std::string& assetUrl) const;
    // Ends the space's held-back takes that were to show when their asset came (a removal of the
    // space); their units stay cached for the next request. A take the host asked as a fetch stays.
    void removeAllPendingRequestsForSpace(const std::string& space);
    // The asset cache's reports, any thread: each carries on on the main thread.
    void assetPreCachingDone(const VuderuCachedAssetPtr& asset) override;
    void assetPreCachingFailed(const VuderuCachedAssetPtr& asset) override;
    void assetPreCachingCancelled(const VuderuCachedAssetPtr& asset) override;
    void assetPreCachingDoneMainThread(const VuderuCachedAssetPtr& asset);
    void assetPreCachingFailedMainThread(const VuderuCachedAssetPtr& asset);
    void assetPreCachingCancelledMainThread(const VuderuCachedAssetPtr& asset);
    // The end of the wait for an asset: its held-back units are dropped and their takes rerun.
    void assetDownloadTimeoutForAsset(const std::string& assetUrl);
    // The unit's media asset that must be cached before it is shown; with the restriction, a
    // frame that only prefers caching (value 2) needs none.
    static std::optional<std::string> getCacheableAssetFromAdUnitRestrictCacheOnly(const VuderuAdUnitPtr& unit, bool restrictCacheOnly);
    // Whether the asset cache holds the URL's file (LRU-removable, key embedded).
    static bool isAssetCached(const std::string& url);

    // Parsed VAST documents per frame GUID.
    std::shared_ptr<NSObject> vastManagerForAdGuid(const std::string& guid) const;
    void setVastManagerForAdGuid(const std::string& guid, std::shared_ptr<NSObject> manager);

    // Media assets of served ads (VuderuAdManagerAssets.cpp). A frame's media URL is the media
    // file of the VAST manager stored for its GUID (asked by its "getMediaFileUrl" message), else
    // its display string when it is a video frame, else nil; a unit's is that of its first frame
    // that has one.
    static std::optional<std::string> getMediaAssetUrlFromAdFrame(const VuderuAdFramePtr& frame);
    static std::optional<std::string> getMediaAssetUrlFromAdUnit(const VuderuAdUnitPtr& unit);
    // Whether a pending ad's active unit needs the asset of this resource id (the asset cache
    // keeps such files).
    static bool isPendingAdAsset(const std::string& resourceId);

    std::shared_ptr<UIViewController> rvc() const;
    void setRvc(std::shared_ptr<UIViewController> value);
    std::string sdkAssetUrl() const;
    void setSdkAssetUrl(std::string value);
    bool sdkAssetUrlUpdated() const;
    void setSdkAssetUrlUpdated(bool value);
    // Bytes.
    std::int32_t cacheSize() const;
    void setCacheSize(std::int32_t value);
    std::int32_t maxAssetSize() const;
    void setMaxAssetSize(std::int32_t value);
    // Image file name to the file path of the unpacked SDK bundle; nil until unpacked.
    using AssetDictionary = std::optional<std::map<std::string, std::string>>;
    AssetDictionary sdkAssetDictionary() const;
    void setSdkAssetDictionary(AssetDictionary value);

private:
    IVuderuAdPtr takeAndPrepare(const std::string& space, const std::shared_ptr<NSObject>& container, std::int64_t value, bool show,
                                Generation askedAt);
    IVuderuAdPtr prepareTakenUnit(const std::string& space, const std::shared_ptr<NSObject>& container, const VuderuAdUnitPtr& unit,
                                  std::int64_t value, bool show, Generation askedAt);
    void reportNoUnit(const VuderuCacheKey& key, std::int64_t value, bool waiting, bool show);
    // The one rule for what is under way: a request with this value (one that shows by itself:
    // neither a fetch for the host, 2, nor a cache refresh, 1), asked in this generation, was ended
    // by a removal of the space since. Every result delivered late asks it.
    bool endedByRemoval(const std::string& space, std::int64_t value, Generation askedAt) const;
    static bool showsByItself(std::int64_t value) { return value != 1 && value != 2; }
    // A pending ad with the generation its show was asked in (none for a fetched ad).
    void addPendingAd(const IVuderuAdPtr& ad, std::optional<Generation> showAskedAt);
    void setShowAskedAt(const IVuderuAdPtr& ad, Generation askedAt);
    Generation showAskedAt(const IVuderuAdPtr& ad) const;
    Generation spaceGenerationLocked(const std::string& space) const TD_REQUIRES(lock_);
    // Whether the host's delegate lets the ad be shown.
    bool delegateAllowsDisplay(const IVuderuAdPtr& ad);
    bool isPending(const IVuderuAdPtr& ad) const;
    // Whether the active unit's media must be in the asset cache and is not.
    bool activeAssetMissing(const IVuderuAdPtr& ad) const;
    // Runs the step on the main thread: at once there, else next on the main queue.
    static void runOnMainThread(std::function<void()> step);
    // Takes the space's ad out of the registry and stops its refresh timer; nil when it has none.
    IVuderuAdPtr takeRegisteredAd(const std::string& space) TD_REQUIRES(lock_);
    // The show's registration: the ad takes the space only while it is still pending and the space
    // is free, and leaves the pending list in the same step.
    // A show asked before a removal of the space since claims nothing.
    enum class Claim { kClaimed, kNotPending, kSpaceTaken, kSpaceRemoved };
    Claim claimSpace(const IVuderuAdPtr& ad, const std::string& space, Generation askedAt);
    // Whether a removal of its space withdrew the ad while it was pending.
    bool isWithdrawn(const IVuderuAdPtr& ad) const;

    // Guards the tables below for one step at a time: never held while an ad, the cache, the ad
    // logs or the host's delegate run, as they take locks of their own.
    mutable RecursiveMutex lock_;
    // Guards the plain values below (the VAST map, the bundle and cache settings) and is held
    // for nothing else: the cache's filters read them while holding the cache's lock, so these
    // never wait for lock_.
    mutable Mutex valuesLock_;
    // Guards the map of registered ads alongside lock_ (changes take both), so that reading it
    // never waits for lock_: the ad logs ask which GUIDs are shown while holding their own lock.
    // Held for nothing else.
    mutable Mutex registryLock_;
    std::shared_ptr<UIView> StubView_ TD_GUARDED_BY(lock_);
    // Pending ads a removal of their space withdrew (dropped as they go).
    std::set<std::weak_ptr<IVuderuAd>, std::owner_less<>> withdrawnAds_ TD_GUARDED_BY(lock_);
    // Removals per space so far, and the generation each pending ad's show was asked in.
    std::map<std::string, Generation> spaceGenerations_ TD_GUARDED_BY(lock_);
    std::map<std::weak_ptr<IVuderuAd>, Generation, std::owner_less<>> showsAskedAt_ TD_GUARDED_BY(lock_);
    std::map<std::string, IVuderuAdPtr> adSpaceToAdMap_ TD_GUARDED_BY(registryLock_);
    std::vector<IVuderuAdPtr> pendingAdArray_ TD_GUARDED_BY(lock_);
    std::map<std::string, std::shared_ptr<NSTimer>> adSpaceToTimerMap_ TD_GUARDED_BY(lock_);
    std::map<std::string, std::shared_ptr<NSObject>> adGuidToVuderuVASTManagerMap_ TD_GUARDED_BY(valuesLock_);
    std::shared_ptr<UIViewController> rvc_ TD_GUARDED_BY(valuesLock_);
    std::string sdkAssetUrl_ TD_GUARDED_BY(valuesLock_);
    bool sdkAssetUrlUpdated_ TD_GUARDED_BY(valuesLock_) = false;
    std::int32_t cacheSize_ TD_GUARDED_BY(valuesLock_) = kDefaultCacheSize;
    std::int32_t maxAssetSize_ TD_GUARDED_BY(valuesLock_) = kDefaultMaxAssetSize;
    AssetDictionary sdkAssetDictionary_ TD_GUARDED_BY(valuesLock_);
    // Changed only under lock_: takes run on callers' threads, the asset reports on the main one.
    std::map<std::string, std::vector<PrepareRequest>> pendingAssetsToAdPrepareRequests_ TD_GUARDED_BY(lock_);
    std::vector<PrepareRequest> takePendingAssetRequests(const std::string& assetUrl);
    void dropHeldBackUnits(const std::string& assetUrl);
};
