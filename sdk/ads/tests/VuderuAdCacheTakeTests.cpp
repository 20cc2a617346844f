#include "sdk/ads/tests/AdCacheTakeFixture.h"

#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdError.h"

namespace {

// A take on its own thread; join() answers what it took and the error it gave.
struct WorkerTake {
    VuderuAdUnitPtr unit;
    NSErrorPtr error;
    std::thread thread;

    WorkerTake(const VuderuCacheKey& key, std::shared_ptr<VuderuCacheRetrievalPolicy> policy) {
        thread = std::thread([this, key, policy] {
            unit = VuderuAdCache::adUnitForKeyViewContainerCacheRetrievalPolicyError(key, nullptr, *policy, &error);
        });
    }
    void join() { thread.join(); }
};

} // namespace

TEST_F(AdCacheTakeTest, ATakeWithoutTimeOutAnswersNilAtOnceAndTheManagerHearsOfTheReplyOnTheMainThread) {
    const VuderuCacheKey key("banner", 0);
    EXPECT_EQ(VuderuAdCache::adUnitForKeyViewContainerCacheRetrievalPolicyError(key, nullptr, *policy(0), nullptr), nullptr);
    Value params = fetch(1);
    EXPECT_EQ(params["timeout"].integerValue(), 0);
    EXPECT_EQ(params["cacheKey"].objectAs<VuderuCacheKey>()->adSpace(), "banner");
    EXPECT_EQ(VuderuAdCache::instance()->loadAdPredicate(), 1);

    // The reply's unit is filed under landscape: the portrait key stays empty, which the manager
    // hears as 104 (and with value 0 also as a render failure).
    VuderuAdCache::instance()->requestSuccessfulWithParams({servedUnit("banner", 1, "g1")}, params);
    EXPECT_TRUE(delegate_->calls().empty());
    drainMain();
    EXPECT_EQ(delegate_->calls(), (std::vector<std::string>{"spaceDidFailToReceiveAd(banner,104)", "spaceDidFailToRender(banner,104)"}));
    EXPECT_EQ(delegate_->texts().front(), "VuderuAds: No ads available from server for this space.");
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(key.reoriented()), 1u);
}

TEST_F(AdCacheTakeTest, AWaitingTakeAnswersTheFirstUnitOfItsReplyAndAnotherLoaderGets103) {
    const VuderuCacheKey key("banner", 0);
    WorkerTake first(key, policy(3000));
    Value params = fetch(1);
    // The first take waits: a second one needing a load is refused without a fetch.
    NSErrorPtr error;
    EXPECT_EQ(VuderuAdCache::adUnitForKeyViewContainerCacheRetrievalPolicyError(VuderuCacheKey("other", 0), nullptr, *policy(3000), &error),
              nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), 103);
    EXPECT_EQ(error->localizedDescription(),
              "A thread is already loading ads. Request for ads in space other can not be fulfilled right now.");

    VuderuAdCache::instance()->requestSuccessfulWithParams({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2")}, params);
    first.join();
    ASSERT_NE(first.unit, nullptr);
    EXPECT_EQ(first.unit->curAdFrame()->adLogGUID(), "g1");
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(key), 1u);
    EXPECT_FALSE(logged("Load AdUnit Timed out"));
    // The loader is free again.
    EXPECT_EQ(VuderuAdCache::instance()->loadAdPredicate(), 1);
    EXPECT_EQ(fetchCount(), 1u);
}

TEST_F(AdCacheTakeTest, OnlyItsOwnFetchOrItsDeadlineEndsAWait) {
    const VuderuCacheKey key("banner", 0);
    // A render-time fetch of another space reports while the take waits: the take waits on.
    auto stale = servedUnit("video", 0, "old");
    VuderuAdCache::addAdUnitForKey(stale, VuderuCacheKey("video", 0));
    WorkerTake take(key, policy(3000));
    fetch(1);
    VuderuAdCache::instance()->fetchRealTimeAdFromserverRelatedToAdWithViewContainerTimeout(stale, nullptr, 0);
    Value renderTime = fetch(2);
    VuderuAdCache::instance()->requestDidFailError(renderTime, nullptr);
    // Still loading: another loader is refused.
    NSErrorPtr error;
    VuderuAdCache::adUnitForKeyViewContainerCacheRetrievalPolicyError(VuderuCacheKey("x", 0), nullptr, *policy(5), &error);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), 103);

    clock_->advance(2.9);
    clock_->advance(0.2);
    take.join();
    EXPECT_EQ(take.unit, nullptr);
    EXPECT_TRUE(logged("Load AdUnit Timed out"));
}

TEST_F(AdCacheTakeTest, UnitsTheFilterRefusesAnswerNilWithoutAFetch) {
    const VuderuCacheKey key("banner", 0);
    VuderuAdCache::addAdUnits({servedUnit("banner", 0, "g1"), servedUnit("banner", 0, "g2")});
    auto refusing = policy(3000);
    refusing->setAdUnitFilter([](const VuderuAdUnitPtr&, std::size_t, bool*) {});
    EXPECT_EQ(VuderuAdCache::adUnitForKeyViewContainerCacheRetrievalPolicyError(key, nullptr, *refusing, nullptr), nullptr);
    EXPECT_TRUE(logged("Current cache count 2, No adunits passed the filter"));
    drainMain();
    EXPECT_EQ(fetchCount(), 0u);
}

TEST_F(AdCacheTakeTest, ServedUnitsFollowTheirOrientationAndExpiry) {
    const std::int64_t now = 1700000000000;
    VuderuAdCache::addAdUnits({servedUnit("s", 1, "land"), servedUnit("s", 2, "unknown"), servedUnit("s", 0, "never", 0),
                               servedUnit("s", 0, "now", now), servedUnit("s", 0, "gone", now - 1)});
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(VuderuCacheKey("s", 0)), 2u);
    auto landscape = VuderuAdCache::allCachedAdUnitsForKey(VuderuCacheKey("s", 1));
    ASSERT_EQ(landscape.size(), 1u);
    EXPECT_EQ(landscape.front()->curAdFrame()->adLogGUID(), "land");
}

TEST_F(AdCacheTakeTest, AFailedFetchReportsItsErrorOr117AndRefreshesStaySilent) {
    struct Case {
        std::int64_t timeout;
        NSErrorPtr error;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {2, nullptr, {"spaceDidFailToReceiveAd(s,117)"}},
        {0, VuderuAdError::adErrorWithCodeDescription(102, "VuderuAds: Network not reachable"),
         {"spaceDidFailToReceiveAd(s,102)", "spaceDidFailToRender(s,102)"}},
        {1, nullptr, {}},
    };
    for (const auto& c : cases) {
        auto delegate = std::make_shared<RecordingHostDelegate>();
        VuderuAds::setAdDelegate(delegate);
        Value params = Value::Dictionary{{"cacheKey", std::make_shared<VuderuCacheKey>("s", 0)}, {"timeout", Value(static_cast<long long>(c.timeout))}};
        VuderuAdCache::instance()->requestDidFailError(params, c.error);
        drainMain();
        EXPECT_EQ(delegate->calls(), c.calls) << c.timeout;
    }
}

TEST_F(AdCacheTakeTest, ARenderTimeReplyWithoutUnitsReports104AndLogsUnfilled) {
    auto old = servedUnit("video", 0, "old");
    VuderuAdCache::addAdUnitForKey(old, VuderuCacheKey("video", 0));
    VuderuAdCache::instance()->fetchRealTimeAdFromserverRelatedToAdWithViewContainerTimeout(old, nullptr, 0);
    Value params = fetch(1);
    EXPECT_EQ(params["requestTime"].stringValue(), "renderTime");
    VuderuAdCache::instance()->requestSuccessfulWithParams({}, params);
    drainMain();
    EXPECT_EQ(delegate_->calls(), (std::vector<std::string>{"spaceDidFailToReceiveAd(video,104)", "spaceDidFailToRender(video,104)"}));
    EXPECT_EQ(delegate_->texts().front(), "VuderuAds: No render time ad received for this space.");
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(VuderuCacheKey("video", 0)), 0u);
    EXPECT_NE(AdLogManager::instance()->getAdLog("old"), nullptr);
}

TEST_F(AdCacheTakeTest, RefreshCacheFetchesForTheEmptySpaceAndTellsNobody) {
    // It waits 1 ms for its fetch: on the manual clock, until the clock moves.
    std::thread refresh([] { VuderuAdCache::refreshCache(nullptr); });
    Value params = fetch(1);
    clock_->advance(0.002);
    refresh.join();
    EXPECT_EQ(params["cacheKey"].objectAs<VuderuCacheKey>()->adSpace(), "");
    EXPECT_EQ(params["timeout"].integerValue(), 1);
    VuderuAdCache::instance()->requestSuccessfulWithParams({}, params);
    drainMain();
    EXPECT_TRUE(delegate_->calls().empty());
}

// Outcomes of other fetches race a waiting take; only its own reply ends the wait.
TEST_F(AdCacheTakeTest, RaceAWaitingTakeAgainstConcurrentFetchOutcomes) {
    const VuderuCacheKey key("banner", 0);
    WorkerTake take(key, policy(3000));
    Value own = fetch(1);
    std::vector<std::thread> others;
    for (int i = 0; i < 4; ++i) {
        others.emplace_back([i] {
            for (int n = 0; n < 50; ++n) {
                Value params = Value::Dictionary{{"cacheKey", std::make_shared<VuderuCacheKey>("elsewhere", 0)},
                                                 {"timeout", Value(1)}, {"fetchId", Value(1000 + i)}};
                if (n % 2) VuderuAdCache::instance()->requestDidFailError(params, nullptr);
                else VuderuAdCache::instance()->requestSuccessfulWithParams({servedUnit("elsewhere", 0, "e")}, params);
            }
        });
    }
    for (auto& t : others) t.join();
    VuderuAdCache::instance()->requestSuccessfulWithParams({servedUnit("banner", 0, "mine")}, own);
    take.join();
    ASSERT_NE(take.unit, nullptr);
    EXPECT_EQ(take.unit->curAdFrame()->adLogGUID(), "mine");
}

// The arrival report of a waiting take's own fetch reaches the ad manager only once the take has
// chosen: the main loop running right after the reply cannot take the unit from under the take.
// With the reply's last unit taken the host hears no "no ads" either; a unit left over is
// reported as usual.
TEST_F(AdCacheTakeTest, AWaitingTakeChoosesBeforeTheManagerHearsOfItsOwnReply) {
    struct Case {
        std::vector<std::string> served;
        // What the host hears: nothing, or the failure of the manager's take of the unit left
        // over (no view maker in these tests).
        long failures;
    };
    for (const Case& c : {Case{{"g1"}, 0}, Case{{"g1", "g2"}, 1}}) {
        VuderuAdCache::clearCache();
        const std::size_t heard = delegate_->calls().size();
        const VuderuCacheKey key("banner", 0);
        // Counted before the take starts: its fetch may start before the next line runs.
        const std::size_t fetched = fetchCount();
        WorkerTake take(key, policy(3000));
        Value params = fetch(fetched + 1);
        std::vector<VuderuAdUnitPtr> units;
        for (const auto& guid : c.served) units.push_back(servedUnit("banner", 0, guid));
        VuderuAdCache::instance()->requestSuccessfulWithParams(units, params);
        drainMain();
        take.join();
        drainMain();
        ASSERT_NE(take.unit, nullptr) << c.served.size() << " units served";
        EXPECT_EQ(take.unit->curAdFrame()->adLogGUID(), "g1");
        EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(key), 0u);
        auto calls = delegate_->calls();
        EXPECT_EQ(std::count(calls.begin() + static_cast<std::ptrdiff_t>(heard), calls.end(), "spaceDidFailToReceiveAd(banner,104)"),
                  c.failures);
    }
}
