#include "sdk/adviews/VuderuAdNetworkCustomBasePlugin.h"
#include "sdk/adviews/VuderuAdNetworkPluginManager.h"
#include "sdk/adviews/tests/PluginFixture.h"
#include "sdk/adviews/tests/TestCustomNetwork.h"
#include "sdk/ads/VuderuAdManager.h"

namespace {

class CustomPluginTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        TestCustomNetwork::registerClass("HostNetwork");
        properties_ = std::make_shared<TestProperties>();
        VuderuAdNetworkPluginManager::addCustomPluginWithProperties(NSClassFromString("HostNetwork"), properties_);
        testNetwork().journal.clear();
        parent_ = std::make_shared<UIView>(CGRectMake(0, 10, 320, 50));
    }
    // A plugin bound to a view of the space, through the manager as the ad-space view gets it.
    std::shared_ptr<VuderuAdNetworkCustomBasePlugin> request(const std::shared_ptr<RecordingConnector>& view, bool takeover = false) {
        auto plugin = std::dynamic_pointer_cast<VuderuAdNetworkCustomBasePlugin>(
            VuderuAdNetworkPluginManager::getPluginForSpace("InMobi", view->space()));
        if (plugin) {
            EXPECT_TRUE(plugin->getAdViewParentViewShowTakeoverAdContainer(view->space(), parent_, takeover, view));
        }
        return plugin;
    }

    std::shared_ptr<TestProperties> properties_;
    UIViewPtr parent_;
};

TEST_F(CustomPluginTest, TheWrapperFillsInWhatTheHostLeavesOut) {
    auto plugin = request(makeConnector("space"));
    ASSERT_TRUE(plugin);
    auto wrapper = testNetwork().properties;
    ASSERT_NE(wrapper, properties_);
    auto root = std::make_shared<UIViewController>();
    VuderuAdManager::instance()->setRvc(root);
    EXPECT_EQ(wrapper->publisherId(), "publisher");
    EXPECT_EQ(wrapper->publisherIdExtended(), "publisher-extended");
    EXPECT_EQ(wrapper->targetData(), Value("target"));

    EXPECT_EQ(wrapper->publisherViewController(), root);
    auto own = std::make_shared<UIViewController>();
    properties_->controller = own;
    EXPECT_EQ(wrapper->publisherViewController(), own);

    EXPECT_FALSE(wrapper->testAdsEnabled());
    VuderuAds::enableTestAds(true);
    EXPECT_TRUE(wrapper->testAdsEnabled());
    VuderuAds::enableTestAds(false);
    properties_->testAds = true;
    EXPECT_TRUE(wrapper->testAdsEnabled());
}

TEST_F(CustomPluginTest, EachAcceptedRequestMakesItsOwnNetworkInstance) {
    auto view = makeConnector("space");
    auto first = request(view);
    clock_->advance(3);
    auto second = request(view);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->adNetwork(), second->adNetwork());
    auto firstNetwork = std::dynamic_pointer_cast<TestCustomNetwork>(first->adNetwork());
    auto secondNetwork = std::dynamic_pointer_cast<TestCustomNetwork>(second->adNetwork());
    EXPECT_EQ(firstNetwork->delegate.lock().get(), static_cast<VuderuCustomAdNetworkDelegate*>(first.get()));
    EXPECT_EQ(secondNetwork->delegate.lock().get(), static_cast<VuderuCustomAdNetworkDelegate*>(second.get()));
    EXPECT_EQ(testNetwork().journal,
              (std::vector<std::string>{"getAd:withFrame:loadInterstitial: space {{0, 10}, {320, 50}} NO",
                                        "getAd:withFrame:loadInterstitial: space {{0, 10}, {320, 50}} NO"}));
    EXPECT_TRUE(logged("Retrieving an ad from InMobi, version 1.0"));
}

TEST_F(CustomPluginTest, TheNetworksAnswersDecideTheRequestAndTheRender) {
    testNetwork().startsRequests = false;
    auto plugin = std::dynamic_pointer_cast<VuderuAdNetworkCustomBasePlugin>(VuderuAdNetworkPluginManager::getPluginForSpace("inmobi", "s"));
    ASSERT_TRUE(plugin);
    auto view = makeConnector("s");
    EXPECT_FALSE(plugin->getAdViewParentViewShowTakeoverAdContainer("s", parent_, true, view));

    testNetwork().displays = false;
    plugin->renderAdViewParentViewShowTakeoverAdContainer("s", parent_, true, view);
    EXPECT_TRUE(calls_.empty());
    testNetwork().displays = true;
    plugin->renderAdViewParentViewShowTakeoverAdContainer("s", parent_, true, view);
    EXPECT_EQ(calls_, std::vector<std::string>{"s: processRendered"});
}

TEST_F(CustomPluginTest, ReportsReachTheViewAndTheHost) {
    auto view = makeConnector("space");
    auto plugin = request(view);
    ASSERT_TRUE(plugin);
    auto network = TestCustomNetwork::latest();
    auto delegate = network->delegate.lock();
    delegate->networkDidReceiveAdInterstitialAd(Value(), false);
    delegate->networkAdDidReceiveClick(true);
    delegate->networkWillPresentInterstitial();
    delegate->networkWillDismissInterstitial();
    delegate->networkDidDismissInterstitial();
    delegate->networkWillExpandAd();
    delegate->networkWillCollapseAd();
    delegate->networkDidCollapseAd();
    delegate->networkWillLeaveApplication(true);
    EXPECT_EQ(calls_, (std::vector<std::string>{
                          "space: prepareView",
                          "space: processClick",
                          "space: externalAdDidClose",
                          "delegate spaceWillExpand space",
                          "space: viewState expanded",
                          "delegate spaceWillCollapse space",
                          "space: viewState default",
                          "delegate spaceDidCollapse space",
                          "delegate spaceWillLeaveApplication space",
                          "space: externalAdDidClose",
                      }));
    EXPECT_TRUE(logged("Ad network will present interstitial InMobi"));
}

TEST_F(CustomPluginTest, EveryFailureIsARenderFailureWithReportEvenAfterRender) {
    auto view = makeConnector("space");
    auto plugin = request(view);
    ASSERT_TRUE(plugin);
    plugin->renderAdViewParentViewShowTakeoverAdContainer("space", parent_, false, view);
    // The view drops its plugin while the report runs; the plugin stays until the report is done.
    view->onFailure = [&] { plugin.reset(); };
    auto delegate = TestCustomNetwork::latest()->delegate.lock();
    delegate->networkDidFailAdInterstitialAd(NSError::errorWithDomain("Host", 3, {{NSLocalizedDescriptionKey, Value("no fill")}}), false);
    delegate.reset();
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: processRendered", "space: processRenderFailure no fill YES"}));
    EXPECT_FALSE(plugin);
}

TEST_F(CustomPluginTest, CleanupCompletesTheRequestOnlyForTheBoundSpace) {
    auto view = makeConnector("space");
    auto plugin = request(view, true);
    ASSERT_TRUE(plugin);
    testNetwork().journal.clear();
    plugin->cleanupAdView("other");
    EXPECT_TRUE(testNetwork().journal.empty());
    EXPECT_EQ(plugin->adContainer(), view);
    plugin->cleanupAdView("space");
    EXPECT_EQ(testNetwork().journal, std::vector<std::string>{"adRequestCompleteForSpace:isInterstitial: space YES"});
    EXPECT_EQ(plugin->adContainer(), nullptr);
}

} // namespace
