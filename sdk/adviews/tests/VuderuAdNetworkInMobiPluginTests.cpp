#include "sdk/adviews/VuderuAdNetworkInMobiPlugin.h"
#include "sdk/adviews/tests/StandInFixture.h"

namespace {

class InMobiPluginTest : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        delegate_->keys["zidUvovInMobiAppKey"] = "app-1";
    }
};

TEST_F(InMobiPluginTest, BannersCarryTheNetworksSizeIdAndEveryRequestStartsTheSDK) {
    struct Case {
        CGSize parent;
        const char* created;
    };
    const Case cases[] = {
        {{320, 50}, "IMBanner initWithFrame:appId:adSize: \"{{0, 0}, {320, 50}}\" \"app-1\" 15"},
        {{300, 250}, "IMBanner initWithFrame:appId:adSize: \"{{0, 0}, {300, 250}}\" \"app-1\" 10"},
        {{130, 700}, "IMBanner initWithFrame:appId:adSize: \"{{0, 0}, {120, 600}}\" \"app-1\" 13"},
        {{768, 90}, "IMBanner initWithFrame:appId:adSize: \"{{0, 0}, {728, 90}}\" \"app-1\" 11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.created);
        AdNetworkStandIns::clearJournal();
        clock_->advance(3);
        parent_->setFrame(CGRect{CGPointZero, c.parent});
        ASSERT_TRUE(request("inmobi"));
        EXPECT_EQ(journal("InMobi"), (std::vector<std::string>{"InMobi setLogLevel: 0", "InMobi initialize: \"app-1\""}));
        EXPECT_TRUE(journalHas(c.created));
        EXPECT_TRUE(journalHas("IMBanner loadBanner"));
    }
    EXPECT_EQ(VuderuAdNetworkInMobiPlugin::sizeId(CGSizeMake(216, 36)), 15);
}

TEST_F(InMobiPluginTest, MissingKeyOrClassAnswersNo) {
    // Classes found once stay found: the class is missed first.
    NSUnregisterClass("InMobi");
    EXPECT_FALSE(request("inmobi"));
    EXPECT_TRUE(journal().empty());
    AdNetworkStandIns::registerAll();
    delegate_->keys.clear();
    clock_->advance(3);
    EXPECT_FALSE(request("inmobi"));
    EXPECT_TRUE(logged("VuderuZidUvov: must supply zidUvovInMobiAppKey in delegate for InMobi ads"));
    EXPECT_TRUE(journalHas("InMobi initialize: nil"));
}

TEST_F(InMobiPluginTest, AnInterstitialIsPresentedWhenReadyAndReportsItsClose) {
    auto plugin = request("inmobi", true);
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(journalHas("IMInterstitial initWithAppId: \"app-1\""));
    EXPECT_TRUE(journalHas("IMInterstitial setAppId: \"app-1\""));
    clock_->advance(0.5);
    render(plugin, true);
    EXPECT_TRUE(journalHas("IMInterstitial presentInterstitialAnimated: YES"));
    EXPECT_TRUE(closeInterstitial());
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: prepareView", "space: processRendered", "delegate spaceWillDismiss space YES",
                                                "space: externalAdDidClose", "delegate spaceDidDismiss space YES"}));
    // A failure to present is a render failure even after the interstitial showed.
    calls_.clear();
    fire("inmobi", "interstitial:didFailToPresentScreenWithError:");
    EXPECT_EQ(calls_, std::vector<std::string>{"space: processRenderFailure InMobi error 1 YES"});
}

TEST_F(InMobiPluginTest, AnInterstitialNotReadyAtRenderIsARenderFailure) {
    AdNetworkStandIns::setOutcome("inmobi", {.kind = AdNetworkStandIns::Outcome::Kind::Never});
    auto plugin = request("inmobi", true);
    ASSERT_TRUE(plugin);
    render(plugin, true);
    EXPECT_EQ(calls_, std::vector<std::string>{"space: processRenderFailure YES"});
    EXPECT_FALSE(root_->presentedViewController());
}

TEST_F(InMobiPluginTest, BannerCallbacksReachTheViewAndTheHost) {
    struct Case {
        const char* callback;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"bannerDidReceiveAd:", {}},  // loaded already: once is enough
        {"bannerDidInteract:withParams:", {"space: processClick"}},
        {"adViewWillPresentScreen:", {"space: processClick", "delegate spaceWillExpand space"}},
        {"adViewWillDismissScreen:", {"delegate spaceWillCollapse space"}},
        {"adViewDidDismissScreen:", {"delegate spaceDidCollapse space"}},
        {"bannerWillLeaveApplication:", {"delegate spaceWillLeaveApplication space"}},
        {"banner:didFailToReceiveAdWithError:", {"space: processAdNetworkErrorAfterAdRendered"}},
    };
    auto plugin = request("inmobi");
    ASSERT_TRUE(plugin);
    clock_->advance(0.5);
    render(plugin);
    for (const Case& c : cases) {
        calls_.clear();
        fire("inmobi", c.callback);
        EXPECT_EQ(calls_, c.calls) << c.callback;
    }
    EXPECT_EQ(journal("IMBanner loadBanner").size(), 2u);
}

} // namespace
