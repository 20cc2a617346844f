#pragma once
// The served ad units per ad space and screen orientation, dropped when they expire: the store
// under the class lock (validation, choosing, storing, insertion, replacement, removals, lookups
// by GUID, counts and copies), and takes that fetch from the ad server when a key runs dry while
// at most one thread waits for its fetch. The cache hears every ad request's outcome and passes
// it on to the ad manager on the main thread.

#include "sdk/ads/VuderuPreCachingDelegate.h"
#include "platform/foundation/NSCondition.h"
#include "platform/foundation/NSDate.h"
#include "platform/graphics/CGGeometry.h"
#include "sdk/ads/VuderuAdRequest.h"
#include "sdk/ads/VuderuAdUnit.h"
#include "sdk/ads/VuderuCacheKey.h"
#include "sdk/ads/VuderuCacheRetrievalPolicy.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

class NSOperationQueue;

class VuderuAdCache : public NSObject, public VuderuAdRequestDelegate, public VuderuPreCachingDelegate {
public:
    using UnitList = std::vector<VuderuAdUnitPtr>;
    using Container = std::shared_ptr<NSObject>;

    static std::shared_ptr<VuderuAdCache> instance();

    // The SDK's player-asset bundle (VuderuAdCacheBundle.cpp): asked of the asset cache after a
    // reply that announced a new one, unpacked when it arrives.
    void fetchSdkAssetBundle();
    void assetPreCachingDone(const VuderuCachedAssetPtr& asset) override;
    void assetPreCachingFailed(const VuderuCachedAssetPtr& asset) override;
    void assetPreCachingCancelled(const VuderuCachedAssetPtr& asset) override;
    // Unpacks the bundle beside its file and hands the player images found to the ad manager;
    // an archive that does not open changes nothing.
    void unzipAssetPreCachingFile(const VuderuCachedAssetPtr& asset);

    // A take: chooses by the policy; when the key has no valid unit, starts a server fetch and
    // waits for it up to the policy's time-out (0: not at all). While one take waits, another
    // that needs a fetch gets error 103 and starts none. The wait ends at the deadline or when
    // that take's own fetch has reported.
    static VuderuAdUnitPtr adUnitForKeyViewContainerCacheRetrievalPolicyError(const VuderuCacheKey& key, const Container& container,
                                                                             const VuderuCacheRetrievalPolicy& policy, NSErrorPtr* error);
    // A configuration fetch: a take for the empty space name that waits 1 ms and reports nothing.
    static void refreshCache(const Container& container);
    // Whether a take (time-out as given, 2 for 0; units stay) produces a unit.
    static bool isAdAvailableForKeyViewTimeoutError(const VuderuCacheKey& key, const Container& view, std::int64_t timeout,
                                                    NSErrorPtr* error);

    // The server fetch of a take and the render-time fetch of a unit whose frame has binding 6.
    void fetchAdUnitsFromServer(const Value& params);
    // The space generation (see the retrieval policy) goes back with the fetch's report.
    void fetchRealTimeAdFromserverRelatedToAdWithViewContainerTimeout(const VuderuAdUnitPtr& unit, const Container& container,
                                                                     std::int64_t timeout,
                                                                     std::optional<std::uint64_t> spaceGeneration = std::nullopt);

    void requestSuccessfulWithParams(const std::vector<VuderuAdUnitPtr>& units, const Value& params) override;
    void requestDidFailError(const Value& params, const NSErrorPtr& error) override;
    void requestDidCancel() override {}

    // Drops the unit and stores and sends an "unfilled" log for its first frame.
    static void removeAndReportAdUnit(const VuderuAdUnitPtr& unit);

    // What a fetch does with its parameters; the ad request by default. Tests stand in for the
    // server here to drive outcomes from their own threads.
    using FetchStarter = std::function<void(const std::shared_ptr<VuderuAdCache>& cache, const Value& params)>;
    static void setFetchStarter(FetchStarter starter);

    // The key's units after dropping the expired ones; nil when the key has no list.
    static std::shared_ptr<UnitList> validatedCachedAdUnitsForKey(const VuderuCacheKey& key);
    static std::size_t validatedCacheCountForKey(const VuderuCacheKey& key);
    static UnitList allCachedAdUnitsForKey(const VuderuCacheKey& key);
    // Chooses from the cache only; the chosen unit leaves it when the policy says so.
    static VuderuAdUnitPtr cachedAdUnitForKeyCacheRetrievalPolicy(const VuderuCacheKey& key, const VuderuCacheRetrievalPolicy& policy);
    static VuderuAdUnitPtr fetchFromAdUnitsUsingFilter(const UnitList& units, const VuderuCacheRetrievalPolicy::Filter& filter);
    // The first unit in any list with a frame of the GUID.
    static VuderuAdUnitPtr adUnitForGuid(const std::string& guid);

    // Served units, each under its own space and orientation; an empty space is logged and
    // dropped, an unknown orientation dropped.
    static void addAdUnits(const UnitList& units);
    static void addAdUnitForKey(const VuderuAdUnitPtr& unit, const VuderuCacheKey& key);
    // An index past the end is refused.
    static void addAdUnitForKeyAtIndex(const VuderuAdUnitPtr& unit, const VuderuCacheKey& key, std::size_t index);
    // Puts the new unit in the old one's place, with its group id and the old first frame's
    // callbacks merged into its own first frame.
    static bool findAndReplaceWithNewAdUnit(const VuderuAdUnitPtr& oldUnit, const VuderuAdUnitPtr& newUnit);
    static void removeAdUnit(const VuderuAdUnitPtr& unit);
    static void removeAdUnitsForSpace(const std::string& space);
    static void removeAdUnitsForGroupIDWithSpace(const std::string& groupId, const std::string& space);
    static void clearCache();

    static bool isTakeover(const VuderuAdUnitPtr& unit);
    std::int32_t loadAdPredicate() const;
    template <class T>
    static T firstElementFromArray(const std::vector<T>& array) {
        return array.empty() ? T() : array.front();
    }

private:
    void enqueueFetch(Value params);
    void notifyAdDidLoad(const Value& params);
    void notifyRequestFailed(const Value& params, const NSErrorPtr& error);
    // Signals the waiting take when this is its fetch, and hands the ad manager's part of the
    // report (nil: none) to the main thread: at once, or, for the waiting take's own fetch, once
    // that take has chosen its unit, so the arrival report cannot take the unit from under it.
    void fetchReported(const Value& params, std::function<void()> onMainThread);
    // A waiting take's wait for its own fetch, entered and left with the condition's lock held;
    // YES when the deadline ended it.
    bool waitOnCondition(const std::shared_ptr<NSDate>& deadline);
    bool waitTurningMainRunLoop(const std::shared_ptr<NSDate>& deadline);

    std::shared_ptr<NSOperationQueue> operationQueue_;
    std::mutex operationQueueLock_;
    NSCondition loadAdCondition_;
    // Under the condition's lock: loads a waiting take may still start, and the fetch the
    // waiting take waits for (0: none) with whether it has reported.
    std::int32_t loadAdPredicate_ = 1;
    std::int64_t nextFetchId_ = 1;
    std::int64_t waitingFetchId_ = 0;
    bool waitingFetchReported_ = false;
    // The ad manager's part of the waiting take's own report, sent once that take has chosen.
    std::function<void()> heldReport_;
};
