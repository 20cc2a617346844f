// Takes against the loopback ad server: the real ad request, its reply decoded into units, the
// cache waking the waiting take, the manager showing the test view.

#include "platform/net/SCNetworkReachability.h"
#include "sdk/ads/tests/AdCacheTakeFixture.h"
#include "sdk/ads/tests/AdRequestFixture.h"
#include "sdk/ads/tests/AdResponseBytes.h"
#include "sdk/ads/tests/TestAdSpaceView.h"

#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuAdsImpl.h"

#include <atomic>
#include <thread>

namespace {

adresponse::FrameShape neverExpiring() {
    adresponse::FrameShape shape;
    shape.unitExpirationMillis = 0;
    return shape;
}

class ShowCounter : public VuderuAdDelegate {
public:
    std::atomic<int> rendered{0};
    void spaceDidRenderInterstitial(const std::string&, bool) override { ++rendered; }
};

class AdServingRoadTest : public AdRequestTest {
protected:
    void SetUp() override {
        AdRequestTest::SetUp();
        // A refill after a show waits 1 ms on the main thread: the real clock.
        PlatformClock::setAutomatic();
        VuderuAdCache::clearCache();
        TestAdSpaceView::registerWithManager();
        VuderuAds::setAdDelegate(counter_);
    }
    std::shared_ptr<ShowCounter> counter_ = std::make_shared<ShowCounter>();
    std::shared_ptr<UIView> container_ = std::make_shared<UIView>(CGRect{{0, 0}, {320, 50}});
};

} // namespace

TEST_F(AdServingRoadTest, AWorkerThreadsTakeWaitsForTheServersReplyAndTheAdIsShown) {
    collector_.script(AnalyticsCollector::kAdsPath, {CollectorAnswer::ad(adresponse::response(2, false, 20, 2024, neverExpiring(), 0))});
    std::atomic<bool> done{false};
    IVuderuAdPtr taken;
    std::thread worker([&] {
        taken = VuderuAdManager::instance()->showNewAdForSpaceViewContainerTimeout("space", container_, 3000);
        done = true;
    });
    // The reply arrives on the main run loop, and the wait ends with it.
    EXPECT_TRUE(runMainUntil([&] { return done.load(); }, 30));
    worker.join();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->adFrame()->adLogGUID(), "guid-1");
    EXPECT_TRUE(runMainUntil([&] { return counter_->rendered > 0; }, 30));
    EXPECT_NE(VuderuAdManager::instance()->adForSpace("space"), nullptr);
    EXPECT_GE(collector_.requestCount(), 1u);
}

TEST_F(AdServingRoadTest, AMainThreadTakeGetsTheReplyItWaitsFor) {
    collector_.script(AnalyticsCollector::kAdsPath, {CollectorAnswer::ad(adresponse::response(1, false, 20, 2024, neverExpiring(), 0))});
    VuderuAdsImpl::instance();
    ASSERT_TRUE(runMainUntil([] { return VuderuAdsImpl::instance()->isStateInitialized(); }));
    // The request's connection runs in the main run loop, which the take itself keeps turning.
    EXPECT_TRUE(VuderuAds::showAdForSpaceViewSizeTimeout("space", container_, 0, 3000));
    ASSERT_TRUE(runMainUntil([] { return VuderuAdManager::instance()->adForSpace("space") != nullptr; }, 30));
    auto shown = VuderuAdManager::instance()->adForSpace("space");
    EXPECT_EQ(shown->adFrame()->adLogGUID(), "guid-1");
    // The refill after the show may ask again; the take itself did not time out.
    EXPECT_GE(collector_.requestCount(), 1u);
}

// The host's delegate throws from every report: the facade's queries still answer, and nothing
// reaches the host's call.
class ThrowingDelegate : public RecordingHostDelegate {
public:
    void spaceDidFailToReceiveAdError(const std::string& space, const NSErrorPtr& error) override {
        RecordingHostDelegate::spaceDidFailToReceiveAdError(space, error);
        throw std::runtime_error("host delegate failed");
    }
};

TEST_F(AdServingRoadTest, FailedFetchesReachTheHostAsTheirErrors) {
    struct Row {
        const char* name;
        std::optional<CollectorAnswer> answer;  // none: nothing listens at the server's address
        SCDeviceNetwork network;
        std::string call;
        std::string text;
    };
    const Row rows[] = {
        {"500 reply", CollectorAnswer::ad("server error", 500), SCDeviceNetwork::WiFi, "spaceDidFailToReceiveAd(space,117)",
         "VuderuAds: Ad request to server failed."},
        {"refused while reachable", std::nullopt, SCDeviceNetwork::WiFi, "spaceDidFailToReceiveAd(space,117)",
         "VuderuAds: Ad request to server failed."},
        {"refused while unreachable", std::nullopt, SCDeviceNetwork::None, "spaceDidFailToReceiveAd(space,102)",
         "VuderuAds: Network not reachable"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SCNetworkReachabilitySetDeviceNetwork(row.network);
        VuderuNetworkUtil::initNetworkReachability();
        ASSERT_TRUE(runMainUntil([&] { return VuderuNetworkUtil::isNetworkReachable() == (row.network != SCDeviceNetwork::None); }));
        if (row.answer) {
            VuderuNetworkUtil::setAdServerUrl(collector_.urlFor(AnalyticsCollector::kAdsPath));
            collector_.script(AnalyticsCollector::kAdsPath, {*row.answer});
        } else {
            VuderuNetworkUtil::setAdServerUrl("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kAdsPath);
        }
        auto delegate = std::make_shared<RecordingHostDelegate>();
        VuderuAds::setAdDelegate(delegate);
        VuderuAdManager::instance()->showNewAdForSpaceViewContainerTimeout("space", container_, 0);
        ASSERT_TRUE(runMainUntil([&] { return !delegate->calls().empty(); }, 30));
        EXPECT_EQ(delegate->calls().front(), row.call);
        EXPECT_EQ(delegate->texts().front(), row.text);
    }
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Measured);
}

TEST_F(AdServingRoadTest, ADelegateThatThrowsNeverReachesTheHostsCall) {
    auto delegate = std::make_shared<ThrowingDelegate>();
    VuderuAds::setAdDelegate(delegate);
    VuderuUtil::setLogLevel(2);
    VuderuUtil::setShowErrorInLogEnabled(true);
    EXPECT_FALSE(VuderuAds::isAdAvailableForSpaceViewSizeTimeout("space", nullptr, 0, 0));
    EXPECT_FALSE(VuderuAds::showAdForSpaceViewSizeTimeout("", container_, 0, 0));
    EXPECT_NO_THROW(VuderuAds::fetchAndDisplayAdForSpaceViewSize("", container_, 0));
    EXPECT_TRUE(runMainUntil([&] { return delegate->calls().size() >= 3; }, 30));
    VuderuUtil::setShowErrorInLogEnabled(false);
    EXPECT_TRUE(logged("Vuderu: Caught Error in Vuderu Analytics Code"));
}

// Replies that would start requests without bound, or that carry more than their one value, are
// refused whole: the host hears 117 and no unit is kept.
TEST_F(AdServingRoadTest, HostileRepliesAreRefusedWith117) {
    adresponse::FrameShape trackers = neverExpiring();
    trackers.renderedTrackers = 20000;
    struct Row {
        const char* name;
        std::string body;
    };
    const Row rows[] = {
        {"twenty thousand sendUrlAsync actions", adresponse::response(1, false, 20, 2024, trackers, 0)},
        {"a mebibyte of noise after the reply", adresponse::response(1, false, 20, 2024, neverExpiring(), 0) + std::string(1 << 20, '\x7f')},
    };
    VuderuNetworkUtil::setAdServerUrl(collector_.urlFor(AnalyticsCollector::kAdsPath));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        VuderuAdCache::clearCache();
        collector_.script(AnalyticsCollector::kAdsPath, {CollectorAnswer::ad(row.body)});
        auto delegate = std::make_shared<RecordingHostDelegate>();
        VuderuAds::setAdDelegate(delegate);
        VuderuAdManager::instance()->showNewAdForSpaceViewContainerTimeout("space", container_, 0);
        ASSERT_TRUE(runMainUntil([&] { return !delegate->calls().empty(); }, 30));
        EXPECT_EQ(delegate->calls().front(), "spaceDidFailToReceiveAd(space,117)");
        EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(VuderuCacheKey::withSpace("space")), 0u);
        EXPECT_EQ(VuderuAdManager::instance()->adForSpace("space"), nullptr);
    }
}
