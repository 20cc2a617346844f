#include "platform/system/DeviceProfile.h"
#include "sdk/adviews/IAdLink.h"
#include "sdk/adviews/VuderuAdNetworkIAdPlugin.h"
#include "sdk/adviews/tests/StandInFixture.h"

namespace {

class IAdPluginTest : public StandInTest {
protected:
    void TearDown() override {
        IAdLink::instance()->setAdViewDelegate(nullptr);
        DeviceProfile::reset();
        StandInTest::TearDown();
    }
    // A plugin bound to its own view and parent, as each ad space has.
    struct Space {
        VuderuAdNetworkBasePluginPtr plugin;
        std::shared_ptr<RecordingConnector> view;
        UIViewPtr parent;
    };
    Space requestIn(const std::string& space, bool takeover = false) {
        clock_->advance(3);
        Space made;
        made.parent = std::make_shared<UIView>(CGRectMake(0, 0, 320, 50));
        made.view = makeConnector(space);
        made.view->addSubview(made.parent);
        made.plugin = VuderuAdNetworkPluginManager::getPluginForSpace("iad", space);
        if (!made.plugin || !made.plugin->adIsAvailableParentViewOrientation(space, made.parent, 1) ||
            !made.plugin->getAdViewParentViewShowTakeoverAdContainer(space, made.parent, takeover, made.view))
            made.plugin = nullptr;
        return made;
    }
    void renderIn(const Space& space, bool takeover = false) {
        space.plugin->renderAdViewParentViewShowTakeoverAdContainer(space.view->space(), space.parent, takeover, space.view);
    }
    void useIPad(const char* system) {
        DeviceProfile::update([system](DeviceProfile& profile) {
            profile.model = "iPad";
            profile.systemVersion = system;
        });
    }
};

TEST_F(IAdPluginTest, TwoSpacesShareOneBanner) {
    auto first = requestIn("first");
    ASSERT_TRUE(first.plugin);
    clock_->advance(0.5);
    renderIn(first);
    auto banner = first.plugin->currentBanner();
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->superview(), first.parent);

    // The banner is loaded already: the second space prepares during its request.
    auto second = requestIn("second");
    ASSERT_TRUE(second.plugin);
    EXPECT_EQ(calls_.back(), "second: prepareView");
    renderIn(second);
    EXPECT_EQ(second.plugin->currentBanner(), banner);
    EXPECT_EQ(banner->superview(), second.parent);

    first.plugin->cleanupAdView("first");
    EXPECT_EQ(banner->superview(), second.parent);
    calls_.clear();
    UIScreenReply reply;
    banner->tapWithEvent(nullptr, reply);
    EXPECT_EQ(calls_, (std::vector<std::string>{"second: processClick", "delegate spaceWillExpand second"}));
    EXPECT_EQ(journal("ADBannerView alloc").size(), 1u);

    second.plugin->cleanupAdView("second");
    EXPECT_FALSE(banner->superview());
    EXPECT_FALSE(IAdLink::instance()->existingBannerView());
}

TEST_F(IAdPluginTest, ABannerFailureDropsALoadedInterstitial) {
    useIPad("7.0");
    auto takeover = requestIn("takeover", true);
    ASSERT_TRUE(takeover.plugin);
    clock_->advance(0.5);
    AdNetworkStandIns::setOutcome("iad", {.kind = AdNetworkStandIns::Outcome::Kind::Fail, .code = 3});
    auto banner = requestIn("banner");
    ASSERT_TRUE(banner.plugin);
    // The view drops its plugin while it hears the failure; the link drops the banner first.
    banner.view->onFailure = [&] { banner.plugin.reset(); };
    calls_.clear();
    clock_->advance(0.5);
    EXPECT_EQ(calls_, std::vector<std::string>{"banner: processRenderFailure iAd error 3 YES"});
    EXPECT_FALSE(IAdLink::instance()->existingInterstitial());
    EXPECT_FALSE(IAdLink::instance()->existingBannerView());
    EXPECT_TRUE(journalHas("ADInterstitialAd setDelegate: nil"));
}

TEST_F(IAdPluginTest, APhoneHasNoInterstitials) {
    IAdLink::instance()->setDebugLogEnabled(true);
    EXPECT_FALSE(requestIn("space", true).plugin);
    EXPECT_TRUE(logged("Device is not an iPad. Can not server interstitial."));
    IAdLink::instance()->setDebugLogEnabled(false);
}

TEST_F(IAdPluginTest, OnSevenTheControllerRequestsThePresentation) {
    useIPad("7.0");
    auto takeover = requestIn("space", true);
    ASSERT_TRUE(takeover.plugin);
    clock_->advance(0.5);
    renderIn(takeover, true);
    EXPECT_TRUE(journalHas("ADInterstitialAd requestInterstitialAdPresentation: <UIViewController>"));
    EXPECT_FALSE(journalHas("ADInterstitialAd presentFromViewController: <UIViewController>"));
    EXPECT_TRUE(root_->presentedViewController());
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: prepareView", "space: processRendered"}));
    EXPECT_TRUE(closeInterstitial());
    EXPECT_EQ(calls_.back(), "space: externalAdDidClose");
}

TEST_F(IAdPluginTest, OnSixTheInterstitialPresentsItself) {
    useIPad("6.1");
    auto takeover = requestIn("space", true);
    ASSERT_TRUE(takeover.plugin);
    clock_->advance(0.5);
    renderIn(takeover, true);
    EXPECT_TRUE(journalHas("ADInterstitialAd presentFromViewController: <UIViewController>"));
    EXPECT_TRUE(root_->presentedViewController());
}

TEST_F(IAdPluginTest, OldSystemsSizeTheBannerByTheStatusBar) {
    DeviceProfile::update([](DeviceProfile& profile) {
        profile.systemVersion = "5.1";
        profile.orientation = UIDeviceOrientationLandscapeLeft;
    });
    ASSERT_TRUE(requestIn("space").plugin);
    EXPECT_TRUE(journalHas("ADBannerView setCurrentContentSizeIdentifier: \"ADBannerContentSizeLandscape\""));
}

TEST_F(IAdPluginTest, WithoutTheFrameworkNoAdIsAvailable) {
    AdNetworkStandIns::unregisterAll();
    EXPECT_FALSE(requestIn("space").plugin);
}

} // namespace
