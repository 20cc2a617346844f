#include "sdk/adviews/VuderuAdNetworkAdMobPlugin.h"
#include "sdk/adviews/tests/StandInFixture.h"

namespace {

class AdMobPluginTest : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        delegate_->keys["zidUvovAdMobPublisherID"] = "pub-1";
    }
};

TEST_F(AdMobPluginTest, ABannerLoadsRendersAndIsTapped) {
    auto plugin = request("admob");
    ASSERT_TRUE(plugin);
    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "GADBannerView alloc",
                             "GADBannerView init",
                             "GADBannerView setFrame: \"{{0, 0}, {320, 50}}\"",
                             "GADBannerView setAdUnitID: \"pub-1\"",
                             "GADBannerView setDelegate: <VuderuAdNetworkAdMobPlugin>",
                             "GADBannerView setRootViewController: <UIViewController>",
                             "GADRequest request",
                             "GADBannerView loadRequest: <GADRequest>",
                         }));
    EXPECT_TRUE(logged("Determined Admob AdSize as BANNER"));
    EXPECT_TRUE(calls_.empty());
    clock_->advance(0.5);
    EXPECT_EQ(calls_, std::vector<std::string>{"space: prepareView"});

    render(plugin);
    auto banner = plugin->currentBanner();
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->superview(), parent_);
    EXPECT_EQ(banner->frame(), CGRectMake(0, 0, 320, 50));
    EXPECT_TRUE(std::static_pointer_cast<VuderuAdNetworkAdMobPlugin>(plugin)->isAdRendered());

    UIScreenReply reply;
    EXPECT_EQ(banner->tapWithEvent(nullptr, reply), UIView::TapOutcome::Taken);
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: prepareView", "space: processRendered", "delegate spaceWillExpand space",
                                                "space: processClick"}));
}

TEST_F(AdMobPluginTest, RequestsThatCannotBeMetAnswerNo) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        bool takeover;
        const char* line;
    };
    const Case cases[] = {
        {"no key", [this] { delegate_->keys.clear(); }, false,
         "VuderuZidUvov: must supply zidUvovAdMobPublisherID in delegate for AdMob ads"},
        {"no controller", [] { VuderuAdManager::instance()->setRvc(nullptr); }, false,
         "VuderuZidUvov: must supply viewController for Admob ads"},
        // Classes found once stay found: the request class is missed first.
        {"no request class", [] { NSUnregisterClass("GADRequest"); }, false,
         "GADRequest not found. Please ensure adMob framework is referenced and enabled."},
        {"no banner class", [] { NSUnregisterClass("GADBannerView"); }, false,
         "GADBannerView not found. Please ensure adMob framework is referenced and enabled."},
        {"no interstitial class", [] { NSUnregisterClass("GADInterstitial"); }, true,
         "GADInterstitial not found. Please ensure adMob framework is referenced and enabled."},
        // The size is chosen before the kind of request matters.
        {"a takeover too narrow for any banner", [this] { parent_->setFrame(CGRectMake(0, 0, 200, 50)); }, true,
         "Could not find Admob AdSize that matches size [0.000000, 0.000000]"},
        {"objects that cannot be made",
         [] { AdNetworkStandIns::setOutcome("admob", {.kind = AdNetworkStandIns::Outcome::Kind::Refuse}); }, false,
         "VuderuZidUvov AdMob size: 320.000000 x 50.000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log_->clear();
        c.arrange();
        clock_->advance(3);
        EXPECT_FALSE(request("admob", c.takeover));
        EXPECT_TRUE(logged(c.line));
        AdNetworkStandIns::registerAll();
        AdNetworkStandIns::setOutcome("admob", {});
        VuderuAdManager::instance()->setRvc(root_);
        delegate_->keys["zidUvovAdMobPublisherID"] = "pub-1";
        parent_->setFrame(CGRectMake(0, 0, 320, 50));
    }
}

TEST_F(AdMobPluginTest, FailuresBeforeRenderAreRenderFailuresAndAfterItNetworkErrors) {
    AdNetworkStandIns::setOutcome("admob", {.kind = AdNetworkStandIns::Outcome::Kind::Fail, .code = 2});
    auto failing = request("admob");
    ASSERT_TRUE(failing);
    // The view drops its plugin while it handles the failure.
    view_->onFailure = [&] { failing.reset(); };
    clock_->advance(0.5);
    EXPECT_EQ(calls_, std::vector<std::string>{"space: processRenderFailure AdMob error 2 YES"});
    EXPECT_FALSE(failing);

    calls_.clear();
    AdNetworkStandIns::setOutcome("admob", {});
    clock_->advance(3);
    auto plugin = request("admob");
    ASSERT_TRUE(plugin);
    clock_->advance(0.5);
    render(plugin);
    fire("admob", "adView:didFailToReceiveAdWithError:");
    EXPECT_EQ(calls_.back(), "space: processAdNetworkErrorAfterAdRendered");
}

TEST_F(AdMobPluginTest, AnInterstitialIsPresentedFromTheControllerAndClosed) {
    auto plugin = request("admob", true);
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(journalHas("GADInterstitial setAdUnitID: \"pub-1\""));
    EXPECT_TRUE(journalHas("GADInterstitial loadRequest: <GADRequest>"));
    clock_->advance(0.5);
    render(plugin, true);
    EXPECT_TRUE(journalHas("GADInterstitial presentFromRootViewController: <UIViewController>"));
    ASSERT_TRUE(root_->presentedViewController());
    EXPECT_TRUE(closeInterstitial());
    EXPECT_FALSE(root_->presentedViewController());
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: prepareView", "space: processRendered", "delegate spaceWillDismiss space YES",
                                                "space: externalAdDidClose"}));
    EXPECT_TRUE(logged("showing AdMob interstitial"));
}

TEST_F(AdMobPluginTest, EachCallbackReachesTheViewAndTheHost) {
    struct Case {
        const char* callback;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"adViewDidDismissScreen:", {"delegate spaceDidCollapse space"}},
        {"adViewWillLeaveApplication:", {"space: processClick", "delegate spaceWillLeaveApplication space", "space: externalAdDidClose"}},
        {"interstitialWillLeaveApplication:",
         {"space: processClick", "delegate spaceWillLeaveApplication space", "space: externalAdDidClose"}},
    };
    auto plugin = request("admob");
    ASSERT_TRUE(plugin);
    for (const Case& c : cases) {
        calls_.clear();
        fire("admob", c.callback);
        EXPECT_EQ(calls_, c.calls) << c.callback;
    }
}

TEST_F(AdMobPluginTest, CleanupLeavesTheBannerDeafOnlyForItsOwnSpace) {
    auto plugin = request("admob");
    ASSERT_TRUE(plugin);
    AdNetworkStandIns::clearJournal();
    plugin->cleanupAdView("other");
    EXPECT_TRUE(journal().empty());
    plugin->cleanupAdView("space");
    EXPECT_EQ(journal(), std::vector<std::string>{"GADBannerView setDelegate: nil"});
    clock_->advance(0.5);
    EXPECT_TRUE(calls_.empty());
}

} // namespace
