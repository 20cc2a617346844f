#include "platform/foundation/NSObjCRuntime.h"
#include "sdk/ads/tests/AdCacheTakeFixture.h"
#include "sdk/ads/tests/TestAdSpaceView.h"

#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuAdsImpl.h"

namespace {

class AdsFacadeTest : public AdCacheTakeTest {
protected:
    void SetUp() override {
        AdCacheTakeTest::SetUp();
        clock_.reset();
        TestAdSpaceView::registerWithManager();
    }
    void finishSetUp() { ASSERT_TRUE(runMainUntil([] { return VuderuAdsImpl::instance()->isStateInitialized(); })); }
    std::shared_ptr<UIView> view_ = std::make_shared<UIView>(CGRect{{0, 0}, {320, 50}});
};

// Asks for another display from inside a failure report, which the facade hears while it replays.
class ReentrantDelegate : public RecordingHostDelegate {
public:
    std::shared_ptr<UIView> view;
    void spaceDidFailToReceiveAdError(const std::string& space, const NSErrorPtr& error) override {
        RecordingHostDelegate::spaceDidFailToReceiveAdError(space, error);
        VuderuAds::displayAdForSpaceOnView("late", view);
    }
};

} // namespace

TEST_F(AdsFacadeTest, CallsBeforeSetUpRunAfterItInOrderWithTheirArguments) {
    VuderuAdCache::addAdUnits({servedUnit("a", 0, "g1"), servedUnit("a", 0, "g2")});
    VuderuAds::fetchAdForSpaceFrameSize("a", CGRect{{0, 0}, {320, 50}}, 7);
    VuderuAds::displayAdForSpaceOnView("a", view_);
    VuderuAds::removeAdFromSpace("a");
    EXPECT_FALSE(VuderuAdsImpl::instance()->isStateInitialized());
    EXPECT_TRUE(delegate_->calls().empty());
    EXPECT_EQ(VuderuAdManager::adSizeForTestAdSpace("a"), 0);

    finishSetUp();
    drainMain();
    // The fetch prepared the ad, the display showed it in the view, the removal took it away;
    // the ready report of the fetch came last, from the main queue.
    EXPECT_EQ(delegate_->calls(), (std::vector<std::string>{"spaceDidRender(a,NO)", "spaceDidReceiveAd(a)"}));
    EXPECT_EQ(VuderuAdManager::adSizeForTestAdSpace("a"), 7);
    EXPECT_EQ(VuderuAdManager::instance()->adForSpace("a"), nullptr);
    ASSERT_EQ(view_->subviews().size(), 1u);
}

TEST_F(AdsFacadeTest, ACallMadeDuringTheReplayRunsAfterTheCallsMadeBeforeIt) {
    auto delegate = std::make_shared<ReentrantDelegate>();
    delegate->view = view_;
    VuderuAds::setAdDelegate(delegate);
    VuderuAds::displayAdForSpaceOnView("first", view_);
    VuderuAds::fetchAdForSpaceFrameSize("", CGRect{}, 0);
    VuderuAds::displayAdForSpaceOnView("second", view_);
    finishSetUp();
    EXPECT_EQ(delegate->calls(), (std::vector<std::string>{"spaceDidFailToRender(first,115)", "spaceDidFailToReceiveAd(,101)",
                                                           "spaceDidFailToRender(second,115)", "spaceDidFailToRender(late,115)"}));
}

TEST_F(AdsFacadeTest, QueriesBeforeSetUpFailWith103ToReceiveThenRender) {
    EXPECT_FALSE(VuderuAds::showAdForSpaceViewSizeTimeout("s", view_, 0, 0));
    EXPECT_FALSE(VuderuAds::isAdAvailableForSpaceViewSizeTimeout("s", view_, 0, 0));
    EXPECT_EQ(delegate_->calls(), (std::vector<std::string>{"spaceDidFailToReceiveAd(s,103)", "spaceDidFailToRender(s,103)",
                                                            "spaceDidFailToReceiveAd(s,103)", "spaceDidFailToRender(s,103)"}));
    EXPECT_EQ(delegate_->texts().front(), "VuderuAds: Init in progress");
    EXPECT_EQ(fetchCount(), 0u);
}

TEST_F(AdsFacadeTest, ShowNormalisesItsTimeOut) {
    finishSetUp();
    const std::vector<std::pair<std::int64_t, std::int64_t>> cases = {{-5, 0}, {1, 1000}, {999, 1000}, {1000, 1000}, {30000, 30000}};
    std::size_t fetches = 0;
    for (const auto& [given, passed] : cases) {
        std::thread show([this, timeout = given] { VuderuAds::showAdForSpaceViewSizeTimeout("s", view_, 3, timeout); });
        Value params = fetch(++fetches);
        EXPECT_EQ(params["timeout"].integerValue(), passed) << given;
        VuderuAdCache::instance()->requestSuccessfulWithParams({servedUnit("elsewhere", 0, "e")}, params);
        show.join();
        drainMain();
    }
    EXPECT_EQ(VuderuAdManager::adSizeForTestAdSpace("s"), 3);
}

TEST_F(AdsFacadeTest, InvalidSpacesAndViewsGet101) {
    finishSetUp();
    VuderuAds::fetchAndDisplayAdForSpaceViewSize("", view_, 0);
    VuderuAds::fetchAndDisplayAdForSpaceViewSize(std::nullopt, view_, 0);
    VuderuAds::fetchAndDisplayAdForSpaceViewSize("s", nullptr, 0);
    EXPECT_FALSE(VuderuAds::isAdAvailableForSpaceViewSizeTimeout("s", nullptr, 0, 0));
    EXPECT_FALSE(VuderuAds::adReadyForSpace(""));
    EXPECT_EQ(delegate_->calls(),
              (std::vector<std::string>{"spaceDidFailToReceiveAd(,101)", "spaceDidFailToRender(,101)", "spaceDidFailToReceiveAd((null),101)",
                                        "spaceDidFailToRender((null),101)", "spaceDidFailToReceiveAd(s,101)", "spaceDidFailToRender(s,101)",
                                        "spaceDidFailToReceiveAd(s,101)"}));
    EXPECT_EQ(delegate_->texts().at(4), "VuderuAds: invalid space [s] or view [(null)] passed in");
    EXPECT_EQ(fetchCount(), 0u);
    // A delegate that implements nothing hears nothing and nothing fails.
    auto silent = std::make_shared<VuderuAdDelegate>();
    VuderuAds::setAdDelegate(silent);
    VuderuAds::fetchAndDisplayAdForSpaceViewSize("s", nullptr, 0);
    VuderuAds::displayAdForSpaceOnView("s", view_);
}

TEST_F(AdsFacadeTest, OnlyOtherKeywordsEmptyTheCache) {
    const VuderuCacheKey key("k", 0);
    struct Step {
        std::optional<VuderuAds::Dictionary> keywords;  // nil: clearKeywords
        bool kept;
    };
    VuderuAds::setKeywordsForTargeting(VuderuAds::Dictionary{{"a", "b"}});
    for (const Step& step : std::vector<Step>{{VuderuAds::Dictionary{{"a", "b"}}, true}, {VuderuAds::Dictionary{{"a", "c"}}, false},
                                              {std::nullopt, false}}) {
        VuderuAdCache::addAdUnits({servedUnit("k", 0, "g")});
        if (step.keywords) VuderuAds::setKeywordsForTargeting(step.keywords);
        else VuderuAds::clearKeywords();
        EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(key) > 0, step.kept);
        VuderuAdCache::clearCache();
    }
    // nil keywords are refused and change nothing.
    VuderuAds::setKeywordsForTargeting(VuderuAds::Dictionary{{"x", "y"}});
    VuderuAds::setKeywordsForTargeting(std::nullopt);
    EXPECT_EQ(VuderuAdProperties::keywords(), (VuderuAds::Dictionary{{"x", "y"}}));
}

TEST_F(AdsFacadeTest, LogLinesFollowTheirLevels) {
    VuderuUtil::setLogLevel(1);
    VuderuAds::enableTestAds(true);
    VuderuAds::initialize(nullptr);
    EXPECT_TRUE(logged("Test ads are set. This call MUST be removed prior submitting to App Store."));
    EXPECT_FALSE(logged("rvc can not be nil"));
    VuderuUtil::setLogLevel(2);
    VuderuAds::addCustomAdNetworkWithProperties(std::nullopt, nullptr);
    EXPECT_TRUE(logged("Custom ad network is nil. Network will not be added."));
    NSRegisterClass("Net", std::make_shared<NSObject>());
    VuderuAds::addCustomAdNetworkWithProperties("Net", nullptr);
    NSUnregisterClass("Net");
    EXPECT_TRUE(logged("Custom ad network properties is nil. Ad Network can not be instantiated without properties. Network will not be added."));
    VuderuAds::enableTestAds(false);
}
