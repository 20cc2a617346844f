// Takes gated by the asset cache: units whose video is not cached are passed over or held back,
// held-back takes end by the asset's arrival, failure, cancellation or time-out, and upcoming
// videos are primed. The loopback server holds its replies until a test lets them go.

#include "sdk/ads/tests/AdCacheTakeFixture.h"
#include "sdk/ads/tests/TestAdSpaceView.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuContentLoadingManager.h"

#include <future>

namespace {

class AssetTakeTest : public AdCacheTakeTest {
protected:
    void SetUp() override {
        AdCacheTakeTest::SetUp();
        TestAdSpaceView::registerWithManager();
        server_.setFallback([this](LoopbackExchange& exchange) {
            released_.wait();
            LoopbackHTTPServer::fixed(200, {}, std::string(1000, 'v'))(exchange);
        });
    }
    void TearDown() override {
        release();
        server_.stop();
        AdCacheTakeTest::TearDown();
    }
    void release() {
        if (!releasedOnce_) {
            releasedOnce_ = true;
            release_.set_value();
        }
    }
    // A video unit whose first frame plays the URL; its media must be cached first (caching 1).
    VuderuAdUnitPtr videoUnit(const std::string& guid, const std::string& url, std::int32_t limit, const std::string& group = "",
                              std::int32_t caching = 1) {
        auto unit = servedUnit("video", 0, guid, 0, group);
        unit->setAdType(0);
        unit->setPreCacheAdSkippableTimeLimit(limit);
        auto frame = unit->adFrames().front();
        frame->setBinding(VuderuAdFrame::kVideo);
        frame->setDisplay(url);
        frame->setCachingEnum(caching);
        frame->setAssetExpiration(static_cast<std::int64_t>(PlatformClock::now()) + 3600);
        return unit;
    }
    VuderuAdUnitPtr take(std::int64_t value, bool* waiting) {
        return manager_->fetchCachedAdUnitForKeyViewContainerTimeoutWaitingOnAdUnit(VuderuCacheKey::withSpace("video"), container_, value,
                                                                                    waiting);
    }
    std::size_t cached() { return VuderuAdCache::validatedCacheCountForKey(VuderuCacheKey::withSpace("video")); }
    bool loading(const std::string& url) {
        auto cache = VuderuContentLoadingManager::sharedInstance();
        return cache->isLoadPending(cache->getResourceId(url));
    }
    static VuderuCachedAssetPtr assetFor(const std::string& url) {
        auto asset = std::make_shared<VuderuCachedAsset>();
        asset->setAssetUrlPath(url);
        return asset;
    }

    std::shared_ptr<VuderuAdManager> manager_ = VuderuAdManager::instance();
    std::shared_ptr<UIView> container_ = std::make_shared<UIView>(CGRect{{0, 0}, {320, 50}});
    LoopbackHTTPServer server_;
    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
    bool releasedOnce_ = false;
    const std::string missing_ = "http://127.0.0.1:1/missing.mp4";
};

} // namespace

TEST_F(AssetTakeTest, AnUnskippableMissingAssetPassesOverItsWholeGroup) {
    auto gated = videoUnit("gated", missing_, 0, "g");
    VuderuAdCache::addAdUnits({gated, servedUnit("video", 0, "same-group", 0, "g"), servedUnit("video", 0, "other", 0, "h")});
    bool waiting = true;
    auto unit = take(5, &waiting);
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->adFrames().front()->adLogGUID(), "other");
    EXPECT_FALSE(waiting);
    EXPECT_EQ(cached(), 2u);
    EXPECT_TRUE(manager_->pendingAssetRequests(missing_).empty());
}

TEST_F(AssetTakeTest, AnUnskippableMissingAssetWithoutGroupPassesOverItselfAlone) {
    // Servers send "" for a unit of no group: the next ungrouped unit is still a candidate.
    VuderuAdCache::addAdUnits({videoUnit("gated", missing_, 0, ""), servedUnit("video", 0, "ungrouped", 0, "")});
    bool waiting = true;
    auto unit = take(5, &waiting);
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->adFrames().front()->adLogGUID(), "ungrouped");
    EXPECT_FALSE(waiting);
    EXPECT_EQ(cached(), 1u);
}

TEST_F(AssetTakeTest, AHeldBackTakeWaitsWholeSecondsOfItsLimitOrForever) {
    struct Case {
        std::int32_t limit;
        double waitSeconds;  // negative: no time-out
    };
    for (const Case c : {Case{1500, 1}, Case{1999, 1}, Case{-1, -1}}) {
        SCOPED_TRACE(c.limit);
        VuderuAdCache::clearCache();
        auto held = videoUnit("held", missing_, c.limit);
        VuderuAdCache::addAdUnits({held});
        bool waiting = false;
        EXPECT_FALSE(take(7, &waiting));
        EXPECT_TRUE(waiting);
        EXPECT_EQ(cached(), 1u) << "a held-back unit stays in the cache";
        auto requests = manager_->pendingAssetRequests(missing_);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].adUnit, held);
        EXPECT_EQ(requests[0].timeout, 7);
        EXPECT_EQ(requests[0].cacheKey.adSpace(), "video");
        clock_->advance(0.999);
        EXPECT_EQ(manager_->pendingAssetRequests(missing_).size(), 1u);
        if (c.waitSeconds < 0) {
            clock_->advance(100000);
            EXPECT_EQ(manager_->pendingAssetRequests(missing_).size(), 1u);
            manager_->assetPreCachingCancelledMainThread(assetFor(missing_));
            continue;
        }
        const auto before = delegate_->calls().size();
        clock_->advance(0.001);
        EXPECT_TRUE(manager_->pendingAssetRequests(missing_).empty());
        EXPECT_EQ(cached(), 0u);
        auto calls = delegate_->calls();
        ASSERT_EQ(calls.size(), before + 1);
        EXPECT_EQ(calls.back(), "spaceDidFailToReceiveAd(video,nil)");
    }
}

TEST_F(AssetTakeTest, TheAssetCachesReportsEndAWaitOnTheMainThread) {
    struct Case {
        const char* outcome;
        bool anotherUnit;
        bool otherTaken;
    };
    const Case cases[] = {{"failed", true, true}, {"failed", false, false}, {"cancelled", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.outcome) + (c.anotherUnit ? " with another unit" : " alone"));
        VuderuAdCache::clearCache();
        for (const auto& ad : manager_->pendingAdArray()) manager_->removePendingAd(ad);
        auto held = videoUnit("held", missing_, -1);
        VuderuAdCache::addAdUnits({held});
        bool waiting = false;
        EXPECT_FALSE(take(2, &waiting));
        auto other = servedUnit("video", 0, "other");
        if (c.anotherUnit) VuderuAdCache::addAdUnits({other});
        const auto before = delegate_->calls().size();
        // Reported from a worker thread, handled on the main one.
        std::thread reporter([&] {
            if (std::string(c.outcome) == "failed") {
                manager_->assetPreCachingFailed(assetFor(missing_));
            } else {
                manager_->assetPreCachingCancelled(assetFor(missing_));
            }
        });
        reporter.join();
        EXPECT_EQ(manager_->pendingAssetRequests(missing_).size(), 1u) << "nothing changes off the main thread";
        drainMain();
        EXPECT_TRUE(manager_->pendingAssetRequests(missing_).empty());
        auto pending = manager_->pendingAdArray();
        const bool otherTaken = pending.size() == 1 && pending[0]->activeAdUnit() == other;
        EXPECT_EQ(otherTaken, c.otherTaken);
        auto calls = delegate_->calls();
        const bool failureHeard = calls.size() > before && calls.back() == "spaceDidFailToReceiveAd(video,nil)";
        EXPECT_EQ(failureHeard, !c.otherTaken);
        EXPECT_EQ(cached(), c.anotherUnit && !c.otherTaken ? 1u : 0u) << "the held-back unit is dropped";
    }
}

TEST_F(AssetTakeTest, TheArrivedAssetLetsTheHeldBackUnitShowWithItsValueAndALateTimeOutDoesNothing) {
    clock_.reset();
    const std::string url = server_.url("/clip.mp4");
    auto held = videoUnit("held", url, 1500);
    VuderuAdCache::addAdUnits({held});
    // Priming starts the download, the take holds the unit back until it arrives.
    EXPECT_FALSE(manager_->prepareAdForSpaceViewContainerNotification("video", container_, 0));
    EXPECT_TRUE(loading(url));
    EXPECT_EQ(manager_->pendingAssetRequests(url).size(), 1u);
    release();
    ASSERT_TRUE(runMainUntil([&] { return manager_->adForSpace("video") != nullptr; }));
    auto shown = std::dynamic_pointer_cast<TestAdSpaceView>(manager_->adForSpace("video"));
    EXPECT_EQ(shown->activeAdUnit(), held);
    EXPECT_EQ(shown->notificationFlag(), 0);
    EXPECT_GT(shown->renders, 0);
    const auto before = delegate_->calls();
    manager_->assetDownloadTimeoutForAsset(url);
    EXPECT_EQ(delegate_->calls(), before);
    EXPECT_EQ(manager_->adForSpace("video"), shown);
}

TEST_F(AssetTakeTest, TheCacheableAssetIsAVideoUnitsFirstFrameAndCachingValueTwoOnlyWhenUnrestricted) {
    auto frame = [](std::int32_t binding, std::int32_t caching, const std::string& display) {
        auto made = std::make_shared<VuderuAdFrame>();
        made->setBinding(binding);
        made->setCachingEnum(caching);
        made->setDisplay(display);
        return made;
    };
    auto unit = [](std::int32_t adType, std::vector<VuderuAdFramePtr> frames) {
        auto made = std::make_shared<VuderuAdUnit>();
        made->setAdType(adType);
        for (auto& f : frames) made->addAdFrame(f);
        return made;
    };
    struct Case {
        const char* name;
        VuderuAdUnitPtr unit;
        std::optional<std::string> restricted;
        std::optional<std::string> unrestricted;
    };
    const Case cases[] = {
        {"video unit, first frame a page", unit(0, {frame(1, 1, "p.html"), frame(3, 1, "v.mp4")}), std::nullopt, std::nullopt},
        {"other unit, first video frame", unit(2, {frame(1, 1, "p.html"), frame(3, 1, "v.mp4")}), "v.mp4", "v.mp4"},
        {"caching 2", unit(0, {frame(3, 2, "v.mp4")}), std::nullopt, "v.mp4"},
        {"caching 0", unit(0, {frame(3, 0, "v.mp4")}), std::nullopt, std::nullopt},
        {"no video frame", unit(2, {frame(2, 1, "<b/>")}), std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(VuderuAdManager::getCacheableAssetFromAdUnitRestrictCacheOnly(c.unit, true), c.restricted);
        EXPECT_EQ(VuderuAdManager::getCacheableAssetFromAdUnitRestrictCacheOnly(c.unit, false), c.unrestricted);
    }
}

TEST_F(AssetTakeTest, PrimingStartsTheFirstTwoQualifyingVideosIncludingCachingTwo) {
    const std::string first = server_.url("/one.mp4"), second = server_.url("/two.mp4"), third = server_.url("/three.mp4");
    auto page = servedUnit("video", 0, "page");
    page->adFrames().front()->setBinding(VuderuAdFrame::kWebPage);
    page->adFrames().front()->setCachingEnum(1);
    VuderuAdCache::addAdUnits({page, videoUnit("a", first, -1, "", 2), videoUnit("b", second, -1), videoUnit("c", third, -1)});
    manager_->primeVideoCacheForSpace("video");
    EXPECT_TRUE(loading(first));
    EXPECT_TRUE(loading(second));
    EXPECT_FALSE(loading(third));
    // Those already loading still count toward the two: nothing more starts.
    manager_->primeVideoCacheForSpace("video");
    EXPECT_FALSE(loading(third));
    manager_->removeAllPendingRequestsForSpace("video");
}

TEST_F(AssetTakeTest, DisplayRefusesAnAdWhoseVideoIsNotCachedWith116) {
    auto ad = std::make_shared<TestAdSpaceView>(container_, "video");
    ad->addAdUnit(videoUnit("evicted", missing_, -1));
    ad->setNotificationFlag(2);
    manager_->addPendingAd(ad);
    EXPECT_FALSE(manager_->displayAd(ad));
    EXPECT_TRUE(manager_->pendingAdArray().empty());
    EXPECT_FALSE(manager_->adForSpace("video"));
    ASSERT_EQ(delegate_->calls(), std::vector<std::string>{"spaceDidFailToRender(video,116)"});
    EXPECT_EQ(delegate_->texts().back(), "VuderuAds: space [video] current ad has expired and cannot be displayed");
}

TEST_F(AssetTakeTest, HeldBackRequestsRecordedOnWorkersWhileMainEndsWaitsAreNeitherLostNorDoubled) {
    constexpr int kWorkers = 4, kEach = 50;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i) {
                manager_->addToPendingAssetToPrepareAdRequestsMap(missing_, videoUnit("w" + std::to_string(w), missing_, -1),
                                                                  VuderuCacheKey::withSpace("video"), container_, 2);
            }
        });
    }
    std::size_t failures = 0;
    auto countFailures = [&] {
        std::size_t n = 0;
        for (const auto& call : delegate_->calls()) n += call == "spaceDidFailToReceiveAd(video,nil)";
        return n;
    };
    for (int round = 0; round < 200; ++round) manager_->assetPreCachingCancelledMainThread(assetFor(missing_));
    for (auto& worker : workers) worker.join();
    manager_->assetPreCachingCancelledMainThread(assetFor(missing_));
    failures = countFailures();
    EXPECT_EQ(failures, static_cast<std::size_t>(kWorkers * kEach)) << "each held-back take ends once";
    EXPECT_TRUE(manager_->pendingAssetRequests(missing_).empty());
}

// Once the asset cache has found too little free disk for the largest allowed asset, nothing
// must be cached first: a video unit is taken and shown without waiting, nothing is held back,
// passed over or downloaded, and the display check does not refuse it.
TEST_F(AssetTakeTest, WithTheDiskNotFreeNoUnitWaitsForItsAsset) {
    DeviceRoot::setFreeSpaceOverride(static_cast<std::uint64_t>(manager_->maxAssetSize()) - 1);
    auto cache = VuderuContentLoadingManager::sharedInstance();
    EXPECT_FALSE(cache->cachedAssetForPath(missing_, PlatformClock::now() + 3600, {}, {}));
    ASSERT_TRUE(cache->diskNotFree());

    auto video = videoUnit("video-1", missing_, 0, "g");
    VuderuAdCache::addAdUnits({video, servedUnit("video", 0, "same-group", 0, "g")});
    EXPECT_EQ(VuderuAdManager::getCacheableAssetFromAdUnitRestrictCacheOnly(video, true), std::nullopt);
    bool waiting = true;
    EXPECT_EQ(take(0, &waiting), video);
    EXPECT_FALSE(waiting);
    EXPECT_TRUE(manager_->pendingAssetRequests(missing_).empty());
    EXPECT_FALSE(loading(missing_));

    // The group's other unit stays cached, so the display's refill starts no take.
    auto ad = std::make_shared<TestAdSpaceView>(container_, "video");
    ad->addAdUnit(video);
    ad->setNotificationFlag(2);
    manager_->addPendingAd(ad);
    EXPECT_TRUE(manager_->displayAd(ad));
    EXPECT_EQ(manager_->adForSpace("video"), ad);
    EXPECT_EQ(delegate_->calls(), std::vector<std::string>{"spaceDidRender(video,NO)"});
    EXPECT_FALSE(loading(missing_));
    DeviceRoot::setFreeSpaceOverride(std::nullopt);
}
