#include "sdk/adviews/testsupport/StandInCustomNetwork.h"
#include "sdk/adviews/tests/StandInFixture.h"

namespace {

using Kind = AdNetworkStandIns::Outcome::Kind;
using StandInCommandTest = StandInTest;

TEST_F(StandInCommandTest, TheDriversLinesSetOutcomesOrSayWhatIsWrong) {
    struct Case {
        const char* line;
        bool done;
        const char* network;
        Kind kind;
        double seconds;
        long code;
        const char* reply;
    };
    const Case cases[] = {
        {"admob ok", true, "admob", Kind::Ok, 0.5, 1, "admob ok"},
        {"admob ok 2", true, "admob", Kind::Ok, 2, 1, "admob ok"},
        {"inmobi fail 7", true, "inmobi", Kind::Fail, 0.5, 7, "inmobi fail"},
        {"millennial media never", true, "millennial", Kind::Never, 0.5, 1, "millennial never"},
        {"greystripe refuse", true, "greystripe", Kind::Refuse, 0.5, 1, "greystripe refuse"},
        {"nosuch ok", false, "", Kind::Ok, 0, 0, "no ad network \"nosuch\""},
        {"jumptap fail soon", false, "", Kind::Ok, 0, 0, "\"soon\" is not a number"},
        {"mobclix", false, "", Kind::Ok, 0, 0, "sdk mobclix needs ok, fail, never, refuse or a callback"},
        {"admob noSuchCallback:", false, "", Kind::Ok, 0, 0, "AdMob has no callback \"noSuchCallback:\""},
        {"iad bannerViewDidLoadAd:", false, "", Kind::Ok, 0, 0, "iAd has no object to call back from"},
        {"custom networkDidReceiveAd", false, "", Kind::Ok, 0, 0, "no custom network is loading an ad"},
        {"custom somethingElse", false, "", Kind::Ok, 0, 0, "no custom network report \"somethingElse\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string reply;
        EXPECT_EQ(AdNetworkStandIns::command(c.line, &reply), c.done);
        EXPECT_EQ(reply.rfind(c.reply, 0), 0u) << reply;
        if (!c.done) continue;
        auto outcome = AdNetworkStandIns::outcome(c.network);
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.seconds, c.seconds);
        EXPECT_EQ(outcome.code, c.code);
    }
}

TEST_F(StandInCommandTest, AHostNetworkRegisteredThroughTheFacadeShowsItsAdWhenItReports) {
    VuderuAdNetworkPluginManager::registerWithAdsFacade();
    StandInCustomNetwork::registerClass("HostInMobi", "InMobi");
    VuderuAds::addCustomAdNetworkWithProperties("HostInMobi", StandInCustomNetwork::makeProperties());
    auto plugin = request("inmobi");
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(journalHas("custom getAd:withFrame:loadInterstitial: \"space\" \"{{0, 0}, {320, 50}}\" NO"));
    std::string reply;
    EXPECT_TRUE(AdNetworkStandIns::command("custom networkDidReceiveAd", &reply)) << reply;
    EXPECT_EQ(calls_, std::vector<std::string>{"space: prepareView"});
    render(plugin);
    ASSERT_EQ(parent_->subviews().size(), 1u);
    EXPECT_EQ(parent_->subviews()[0]->accessibilityLabel(), "InMobi custom");
    plugin->cleanupAdView("space");
    EXPECT_TRUE(parent_->subviews().empty());
}

} // namespace
