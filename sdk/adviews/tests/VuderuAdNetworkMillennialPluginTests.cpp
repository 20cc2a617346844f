#include "platform/foundation/NSNotificationCenter.h"
#include "sdk/adviews/VuderuAdNetworkMillennialPlugin.h"
#include "sdk/adviews/tests/StandInFixture.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"

namespace {

using MillennialPluginTest = StandInTest;

TEST_F(MillennialPluginTest, TheKeyFollowsTheKindOfRequest) {
    delegate_->keys["zidUvovMillennialInterstitalAppKey"] = "apid-1";
    EXPECT_FALSE(request("Millennial Media"));
    EXPECT_TRUE(logged("VuderuZidUvov: must supply zidUvovMillennialAppKey in delegate for Millennial ads"));
    clock_->advance(3);
    auto plugin = request("millennial media", true);
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(journalHas("MMInterstitial fetchWithRequest:apid:onCompletion: <MMRequest> \"apid-1\" <block>"));
    clock_->advance(3);
    ASSERT_TRUE(request("millennial media", true, "other"));
    EXPECT_EQ(journal("MMSDK"), std::vector<std::string>{"MMSDK initialize"});
}

TEST_F(MillennialPluginTest, RequestsCarryLocationGenderAndAge) {
    struct Case {
        const char* gender;
        int age;
        bool located;
        std::vector<std::string> request;
    };
    const Case cases[] = {
        {"m", 0, false, {"MMRequest request", "MMRequest setGender: 1"}},
        {"F", 30, false, {"MMRequest request", "MMRequest setGender: 2", "MMRequest setAge: 30"}},
        {"x", -1, true, {"MMRequest requestWithLocation: <NSObject>"}},
    };
    auto settings = VuderuGlobalVariableStorage::sharedInstance();
    auto plugin = VuderuAdNetworkMillennialPlugin::create();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gender);
        AdNetworkStandIns::clearJournal();
        settings->setGender(std::string(c.gender));
        settings->setAge(c.age);
        settings->setLocation(c.located ? std::make_shared<NSObject>() : nullptr);
        EXPECT_TRUE(plugin->millennialAdRequest());
        EXPECT_EQ(journal("MMRequest"), c.request);
    }
}

TEST_F(MillennialPluginTest, AnInterstitialCountsAsRenderedOnlyByItsOwnNotice) {
    delegate_->keys["zidUvovMillennialInterstitalAppKey"] = "apid-1";
    auto plugin = request("millennial media", true);
    ASSERT_TRUE(plugin);
    clock_->advance(0.5);
    EXPECT_EQ(calls_, std::vector<std::string>{"space: prepareView"});
    calls_.clear();
    NSNotificationCenter::defaultCenter()->postNotificationName("MillennialMediaAdModalDidAppear", Value(),
                                                                {{"MillennialMediaAPID", Value("apid-2")}});
    EXPECT_TRUE(calls_.empty());
    render(plugin, true);
    EXPECT_TRUE(journalHas("MMInterstitial displayForApid:fromViewController:withOrientation:onCompletion: \"apid-1\" <UIViewController> 1 <block>"));
    EXPECT_EQ(calls_, std::vector<std::string>{"space: processRendered"});
    EXPECT_TRUE(std::static_pointer_cast<VuderuAdNetworkMillennialPlugin>(plugin)->isAdRendered());
    EXPECT_TRUE(closeInterstitial());
    EXPECT_EQ(calls_.back(), "space: externalAdDidClose");
    EXPECT_FALSE(root_->presentedViewController());
}

TEST_F(MillennialPluginTest, BannersLoadThroughTheirCompletionAndTapsAreClicks) {
    delegate_->keys["zidUvovMillennialAppKey"] = "apid-b";
    auto plugin = request("millennial media");
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(journalHas("MMAdView initWithFrame:apid:rootViewController: \"{{0, 0}, {320, 50}}\" \"apid-b\" <UIViewController>"));
    clock_->advance(0.5);
    render(plugin);
    UIScreenReply reply;
    plugin->currentBanner()->tapWithEvent(nullptr, reply);
    fire("millennial", "applicationWillTerminateFromAd:");
    EXPECT_EQ(calls_, (std::vector<std::string>{"space: prepareView", "space: processRendered", "space: processClick",
                                                "delegate spaceWillLeaveApplication space"}));
    EXPECT_TRUE(logged("VuderuZidUvov: Millennial adRequestSucceeded"));
}

TEST_F(MillennialPluginTest, AFailedLoadIsARenderFailure) {
    delegate_->keys["zidUvovMillennialAppKey"] = "apid-b";
    AdNetworkStandIns::setOutcome("millennial", {.kind = AdNetworkStandIns::Outcome::Kind::Fail, .code = 4});
    auto plugin = request("millennial media");
    ASSERT_TRUE(plugin);
    view_->onFailure = [&] { plugin.reset(); };
    clock_->advance(0.5);
    EXPECT_EQ(calls_, std::vector<std::string>{"space: processRenderFailure Millennial error 4 YES"});
}

} // namespace
