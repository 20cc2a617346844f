// Takes against the loopback ad server: the real ad request, its reply decoded into units, the
// cache waking the waiting take, the manager showing the test view.

#include "sdk/ads/tests/AdRequestFixture.h"
#include "sdk/ads/tests/AdResponseBytes.h"
#include "sdk/ads/tests/TestAdSpaceView.h"

#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAds.h"

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
