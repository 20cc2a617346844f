#include "platform/system/DeviceProfile.h"
#include "sdk/adviews/VuderuAdNetworkGreystripePlugin.h"
#include "sdk/adviews/VuderuAdNetworkJumptapPlugin.h"
#include "sdk/adviews/VuderuAdNetworkMobclixPlugin.h"
#include "sdk/adviews/tests/StandInFixture.h"

namespace {

class MoreSDKPluginTest : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        delegate_->keys = {{"zidUvovMobclixApplicationID", "m-1"},
                           {"zidUvovJumptapPublisherID", "j-pub"},
                           {"zidUvovJumptapBannerAdSpotID", "b-spot"},
                           {"zidUvovJumptapLeaderboardAdSpotID", "l-spot"},
                           {"zidUvovJumptapMediumRectangleAdSpotID", "m-spot"},
                           {"zidUvovGreystripeApplicationID", "g-1"}};
    }
    void TearDown() override {
        DeviceProfile::reset();
        StandInTest::TearDown();
    }
    VuderuAdNetworkBasePluginPtr requestIn(const std::string& network, CGSize parent, const std::string& space, bool takeover = false) {
        clock_->advance(3);
        parent_->setFrame(CGRect{CGPointZero, parent});
        return request(network, takeover, space);
    }
};

TEST_F(MoreSDKPluginTest, MobclixStartsOnceAndPicksItsClassByDevice) {
    ASSERT_TRUE(requestIn("mobclix", {300, 250}, "phone"));
    delegate_->keys["zidUvovMobclixApplicationID"] = "m-2";
    DeviceProfile::update([](DeviceProfile& profile) { profile.model = "iPad"; });
    ASSERT_TRUE(requestIn("mobclix", {300, 250}, "pad"));
    EXPECT_EQ(journal("Mobclix "), std::vector<std::string>{"Mobclix startWithApplicationId: \"m-1\""});
    EXPECT_TRUE(journalHas("MobclixAdViewiPhone_300x250 initWithFrame: \"{{0, 0}, {300, 250}}\""));
    EXPECT_TRUE(journalHas("MobclixAdViewiPad_300x250 initWithFrame: \"{{0, 0}, {300, 250}}\""));
}

TEST_F(MoreSDKPluginTest, AMobclixBannerShowsOnceForEachLoad) {
    auto plugin = requestIn("mobclix", {320, 50}, "space");
    ASSERT_TRUE(plugin);
    clock_->advance(0.5);
    EXPECT_TRUE(journalHas("MobclixAdViewiPhone_320x50 pauseAdAutoRefresh"));
    render(plugin);
    render(plugin);
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: prepareView", "space: processRendered", "space: processRenderFailure YES"}));
}

TEST_F(MoreSDKPluginTest, AMobclixInterstitialCountsAsRenderedBeforeItShows) {
    auto plugin = requestIn("mobclix", {320, 50}, "space", true);
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(journalHas("MobclixFullScreenAdViewController requestAd"));
    clock_->advance(0.5);
    render(plugin, true);
    EXPECT_TRUE(closeInterstitial());
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: prepareView", "space: processRendered", "space: externalAdDidClose"}));
}

TEST_F(MoreSDKPluginTest, TheJumptapWidgetGetsTheAdSpotOfTheLatestSizeClass) {
    struct Case {
        CGSize parent;
        const char* answer;
    };
    const Case cases[] = {{{320, 50}, "\"b-spot\""}, {{300, 250}, "\"m-spot\""}, {{728, 90}, "\"l-spot\""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        AdNetworkStandIns::clearJournal();
        auto plugin = requestIn("jumptap", c.parent, "space");
        ASSERT_TRUE(plugin);
        clock_->advance(0.5);
        EXPECT_TRUE(journalHas(std::string("JTAdWidget asks adSpot: -> ") + c.answer));
        EXPECT_TRUE(journalHas("JTAdWidget asks publisherId: -> \"j-pub\""));
        EXPECT_TRUE(journalHas("JTAdWidget asks isInterstitial: -> NO"));
    }
    EXPECT_EQ(journal("JTAdWidget initializeAdService:").size(), 0u);  // cleared after the first
    EXPECT_TRUE(logged("VuderuZidUvov: optional JumpTap parameter zidUvovJumptapSiteID is not supplied."));
}

TEST_F(MoreSDKPluginTest, AJumptapInterstitialIsPreparedBeforeItLoadsAndLoadsWhenShown) {
    auto plugin = requestIn("jumptap", {320, 50}, "space", true);
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(journalHas("JTAdWidget initializeAdService: NO"));
    EXPECT_TRUE(journalHas("JTAdWidget initWithDelegate:shouldStartLoading: <VuderuAdNetworkJumptapPlugin> NO"));
    EXPECT_EQ(calls_, std::vector<std::string>{"space: prepareView"});
    render(plugin, true);
    clock_->advance(0.5);
    EXPECT_TRUE(journalHas("JTAdWidget asks isInterstitial: -> YES"));
    EXPECT_TRUE(root_->presentedViewController());
    EXPECT_TRUE(closeInterstitial());
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: prepareView", "space: processRendered", "space: externalAdDidClose"}));
}

TEST_F(MoreSDKPluginTest, JumptapRefusesWithoutPublisherOrController) {
    delegate_->keys.erase("zidUvovJumptapPublisherID");
    EXPECT_FALSE(requestIn("jumptap", {320, 50}, "space"));
    EXPECT_TRUE(logged("VuderuZidUvov: must supply zidUvovJumptapPublisherID in delegate for Jumptap ads"));
    delegate_->keys["zidUvovJumptapPublisherID"] = "j-pub";
    VuderuAdManager::instance()->setRvc(nullptr);
    EXPECT_FALSE(requestIn("jumptap", {320, 50}, "space"));
    EXPECT_TRUE(logged("VuderuZidUvov: must supply viewController for Jumptap ads"));
}

TEST_F(MoreSDKPluginTest, GreystripeFailuresCarryTheTextOfTheirCode) {
    const char* messages[] = {
        "Error: No network connection available.",     "Error: No ad available from server.",
        "Error: Fetch request timed out.",             "Error: Greystripe returned a server error.",
        "Error: Invalid or missing application identifier.", "Error: Previously fetched ad expired.",
        "Error: Too many requests too quickly.",        "Error: An unknown error has occurred.",
        "An invalid error code was returned. Thats really bad!",
    };
    AdNetworkStandIns::setOutcome("greystripe", {.kind = AdNetworkStandIns::Outcome::Kind::Never});
    for (long code = 1; code <= 9; ++code) {
        SCOPED_TRACE(code);
        auto plugin = requestIn("greystripe", {320, 50}, "space" + std::to_string(code));
        ASSERT_TRUE(plugin);
        calls_.clear();
        AdNetworkStandIns::setOutcome("greystripe", {.kind = AdNetworkStandIns::Outcome::Kind::Never, .code = code});
        fire("greystripe", "greystripeAdFetchFailed:withError:");
        ASSERT_EQ(calls_.size(), 1u);
        EXPECT_EQ(calls_[0], "space" + std::to_string(code) + ": processRenderFailure VuderuAds: Greystripe -  " + messages[code - 1] + " YES");
    }
}

TEST_F(MoreSDKPluginTest, GreystripeIgnoresAnotherAdsReports) {
    AdNetworkStandIns::setOutcome("greystripe", {.kind = AdNetworkStandIns::Outcome::Kind::Never});
    auto first = requestIn("greystripe", {320, 50}, "first");
    auto second = requestIn("greystripe", {320, 50}, "second");
    ASSERT_TRUE(first && second);
    auto secondBanner = std::static_pointer_cast<VuderuAdNetworkGreystripePlugin>(second)->currentBanner();
    NSObjectSendMessage(first, "greystripeAdFetchFailed:withError:", {Value(secondBanner), Value(3)});
    NSObjectSendMessage(first, "greystripeAdFetchSucceeded:", {Value(secondBanner)});
    EXPECT_TRUE(calls_.empty());
    EXPECT_TRUE(logged("Failed to load greystripe banner with error 3"));
}

TEST_F(MoreSDKPluginTest, AGreystripeBannerOnAPhoneIsNeverWiderThan300) {
    for (CGSize parent : {CGSizeMake(320, 50), CGSizeMake(728, 90)}) {
        AdNetworkStandIns::clearJournal();
        auto plugin = requestIn("greystripe", parent, "space");
        ASSERT_TRUE(plugin);
        EXPECT_TRUE(journalHas("GSMobileBannerAdView init"));
        EXPECT_TRUE(journalHas("GSMobileBannerAdView asks greystripeGUID -> \"g-1\""));
        clock_->advance(0.5);
        render(plugin);
        EXPECT_EQ(plugin->currentBanner()->frame().size, CGSizeMake(300, 50));
    }
}

} // namespace
