// Takes that wait for the ad server, the fetches they start, and what the cache does with each
// fetch's outcome.

#include "sdk/ads/VuderuAdCache.h"

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UIView.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuFreqCapManager.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

std::mutex& starterLock() {
    static std::mutex lock;
    return lock;
}

VuderuAdCache::FetchStarter& starter() {
    static VuderuAdCache::FetchStarter shared;
    return shared;
}

Value boundsValue(const VuderuAdCache::Container& container) {
    CGRect bounds{};
    if (auto view = std::dynamic_pointer_cast<UIView>(container)) bounds = view->bounds();
    return Value(Value::Array{bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height});
}

CGRect boundsFrom(const Value& value) {
    if (!value.isArray() || value.array().size() != 4) return CGRect{};
    return CGRect{{value[0].doubleValue(), value[1].doubleValue()}, {value[2].doubleValue(), value[3].doubleValue()}};
}

std::shared_ptr<VuderuCacheKey> keyOf(const Value& params) { return params["cacheKey"].objectAs<VuderuCacheKey>(); }

void logPicked(const VuderuAdUnitPtr& unit) {
    auto frame = unit ? unit->curAdFrame() : nullptr;
    VuderuLog("Picked cached ad unit %p with guid %@", static_cast<const void*>(unit.get()), frame ? frame->adLogGUID() : std::string());
}

} // namespace

std::shared_ptr<VuderuAdCache> VuderuAdCache::instance() {
    static const auto cache = std::make_shared<VuderuAdCache>();
    return cache;
}

void VuderuAdCache::setFetchStarter(FetchStarter value) {
    std::lock_guard guard(starterLock());
    starter() = std::move(value);
}

std::int32_t VuderuAdCache::loadAdPredicate() const {
    auto& condition = const_cast<NSCondition&>(loadAdCondition_);
    condition.lock();
    std::int32_t value = loadAdPredicate_;
    condition.unlock();
    return value;
}

VuderuAdUnitPtr VuderuAdCache::adUnitForKeyViewContainerCacheRetrievalPolicyError(const VuderuCacheKey& key, const Container& container,
                                                                                  const VuderuCacheRetrievalPolicy& policy, NSErrorPtr* error) {
    VuderuAdUnitPtr unit = cachedAdUnitForKeyCacheRetrievalPolicy(key, policy);
    const std::size_t count = validatedCacheCountForKey(key);
    if (!unit && count > 0) {
        VuderuLog("Current cache count %lu, No adunits passed the filter", static_cast<unsigned long>(count));
        return nullptr;
    }
    if (unit) {
        logPicked(unit);
        return unit;
    }
    const std::int64_t t = policy.timeout();
    auto deadline = t != 0 ? NSDate::dateWithTimeIntervalSinceNow(static_cast<double>(t) / 1000.0) : nullptr;

    auto cache = instance();
    NSCondition& condition = cache->loadAdCondition_;
    condition.lock();
    if (cache->loadAdPredicate_ <= 0) {
        std::string text = NSString::stringWithFormat(
            "A thread is already loading ads. Request for ads in space %@ can not be fulfilled right now.", key.adSpace());
        VuderuLog("%@", text);
        if (error) *error = VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorInitInProgress, text);
        condition.unlock();
        return nullptr;
    }
    --cache->loadAdPredicate_;
    const std::int64_t fetchId = cache->nextFetchId_++;
    cache->waitingFetchId_ = fetchId;
    cache->waitingFetchReported_ = false;
    Value::Dictionary params{{"cacheKey", std::make_shared<VuderuCacheKey>(key)},
                             {"viewContainer", container ? Value(container) : Value()},
                             {"timeout", Value(static_cast<long long>(t))},
                             {"viewContainerBounds", boundsValue(container)},
                             {"fetchId", Value(static_cast<long long>(fetchId))}};
    if (policy.spaceGeneration()) params["spaceGeneration"] = Value(static_cast<long long>(*policy.spaceGeneration()));
    cache->enqueueFetch(std::move(params));
    // Another fetch's signal or a spurious wake-up resumes the wait; only this take's own fetch
    // or the deadline ends it.
    const bool timedOut = deadline && (NSThread::isMainThread() ? cache->waitTurningMainRunLoop(deadline) : cache->waitOnCondition(deadline));
    cache->waitingFetchId_ = 0;
    auto heldReport = std::move(cache->heldReport_);
    cache->heldReport_ = nullptr;
    ++cache->loadAdPredicate_;
    condition.unlock();
    if (timedOut) VuderuLog("Load AdUnit Timed out");

    unit = cachedAdUnitForKeyCacheRetrievalPolicy(key, policy);
    logPicked(unit);
    // The ad manager hears of the fetch only now that this take has chosen, and not at all when
    // the take answered the reply's last unit: the arrival would then read as "no ads" (104)
    // after an ad was had.
    if (heldReport && !(unit && validatedCacheCountForKey(key) == 0)) dispatch_async(dispatch_get_main_queue(), std::move(heldReport));
    return unit;
}

bool VuderuAdCache::waitOnCondition(const std::shared_ptr<NSDate>& deadline) {
    while (!waitingFetchReported_) {
        if (!loadAdCondition_.waitUntilDate(deadline) && !waitingFetchReported_) return true;
    }
    return false;
}

bool VuderuAdCache::waitTurningMainRunLoop(const std::shared_ptr<NSDate>& deadline) {
    // The request's connection, its reply and any VAST documents it fetches all run in the main
    // run loop: a take made there keeps that loop turning while it waits, with the condition's
    // lock let go so that the reply can report. A timer at the deadline ends the last pass.
    auto main = NSRunLoop::mainRunLoop();
    auto alarm = main->performAfterDelay(std::max(0.0, deadline->timeIntervalSinceNow()), [] {});
    bool timedOut = false;
    while (!waitingFetchReported_) {
        if (deadline->timeIntervalSinceNow() <= 0) {
            timedOut = true;
            break;
        }
        loadAdCondition_.unlock();
        main->runModeBeforeDate(NSDefaultRunLoopMode, deadline);
        loadAdCondition_.lock();
    }
    alarm->invalidate();
    return timedOut;
}

void VuderuAdCache::refreshCache(const Container& container) {
    auto policy = VuderuCacheRetrievalPolicy::defaultPolicy();
    adUnitForKeyViewContainerCacheRetrievalPolicyError(VuderuCacheKey::withSpace(""), container, *policy, nullptr);
}

bool VuderuAdCache::isAdAvailableForKeyViewTimeoutError(const VuderuCacheKey& key, const Container& view, std::int64_t timeout,
                                                       NSErrorPtr* error) {
    auto policy = VuderuCacheRetrievalPolicy::defaultPolicy();
    policy->setTimeout(timeout == 0 ? 2 : timeout);
    return adUnitForKeyViewContainerCacheRetrievalPolicyError(key, view, *policy, error) != nullptr;
}

void VuderuAdCache::enqueueFetch(Value params) {
    std::shared_ptr<NSOperationQueue> queue;
    {
        std::lock_guard guard(operationQueueLock_);
        if (!operationQueue_) operationQueue_ = std::make_shared<NSOperationQueue>();
        queue = operationQueue_;
    }
    std::weak_ptr<VuderuAdCache> weak = std::static_pointer_cast<VuderuAdCache>(instance());
    queue->addOperationWithBlock([weak, params = std::move(params)] {
        if (auto cache = weak.lock()) cache->fetchAdUnitsFromServer(params);
    });
}

void VuderuAdCache::fetchAdUnitsFromServer(const Value& params) {
    auto key = keyOf(params);
    if (!key) return;
    FetchStarter start;
    {
        std::lock_guard guard(starterLock());
        start = starter();
    }
    if (start) {
        start(instance(), params);
        return;
    }
    const bool renderTime = params["requestTime"].stringValue() == "renderTime";
    VuderuFreqCapManager::discardExpiredFreqCapObjects();
    std::map<std::string, std::string> payload;
    if (auto unit = params["adUnit"].objectAs<VuderuAdUnit>()) payload = unit->clientSideRtbPayload().value_or(payload);
    auto request = std::make_shared<VuderuAdRequest>();
    request->getAdRequestForSpace(key->adSpace(), boundsFrom(params["viewContainerBounds"]), instance(), params, renderTime, payload);
}

void VuderuAdCache::fetchRealTimeAdFromserverRelatedToAdWithViewContainerTimeout(const VuderuAdUnitPtr& unit, const Container& container,
                                                                                std::int64_t timeout,
                                                                                std::optional<std::uint64_t> spaceGeneration) {
    if (!unit) return;
    Value::Dictionary params{{"cacheKey", std::make_shared<VuderuCacheKey>(VuderuCacheKey::withSpace(unit->adSpace()))},
                             {"viewContainer", container ? Value(container) : Value()},
                             {"timeout", Value(static_cast<long long>(timeout))},
                             {"viewContainerBounds", boundsValue(container)},
                             {"requestTime", Value("renderTime")},
                             {"adUnit", Value(unit)}};
    if (spaceGeneration) params["spaceGeneration"] = Value(static_cast<long long>(*spaceGeneration));
    enqueueFetch(std::move(params));
}
