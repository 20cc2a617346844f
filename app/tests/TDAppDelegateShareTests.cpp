#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIAlertView.h"

namespace {
class ShareTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        delegate_ = std::make_shared<TDAppDelegate>();
    }
    void TearDown() override {
        TDSites::setReachabilityProbeURL("");
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    std::shared_ptr<TDAppDelegate> delegate_;
};

TEST_F(ShareTest, TheProbeAsksThePageAfreshAndAnyAnswerMeansOnline) {
    LoopbackHTTPServer server;
    server.route("/", LoopbackHTTPServer::fixed(404, {}, "gone"));
    ASSERT_TRUE(TDSites::setReachabilityProbeURL(server.url("/")));
    EXPECT_TRUE(delegate_->twitterIsReachable());
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].method, "GET");

    // Nothing listening: no data, so not online.
    ASSERT_TRUE(TDSites::setReachabilityProbeURL("http://" + AnalyticsCollector::refusedHostAndPort() + "/"));
    EXPECT_FALSE(delegate_->twitterIsReachable());
}

TEST_F(ShareTest, ARefusedSheetIsReplacedHalfASecondLaterByItsError) {
    struct Case {
        void (TDAppDelegate::*show)();
        const char* message;
    };
    const Case cases[] = {
        {&TDAppDelegate::showSMSErr, "Your device can not send text messages"},
        {&TDAppDelegate::showMailErr, "Please sign-in to your Email account from Settings"},
        {&TDAppDelegate::showTwitterErr, "Please sign-in to your Twitter account from Settings"},
        {&TDAppDelegate::showFacebookErr, "Please sign-in to your Facebook account from Settings"},
    };
    ManualClock clock;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        UIApplication::sharedApplication()->reset();
        delegate_->showErrorLater(c.show);
        clock.advance(0.49);
        EXPECT_TRUE(UIApplication::sharedApplication()->visibleAlerts().empty());
        clock.advance(0.01);
        const auto& alerts = UIApplication::sharedApplication()->visibleAlerts();
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0]->title(), "Error");
        EXPECT_EQ(alerts[0]->message(), c.message);
        EXPECT_EQ(alerts[0]->delegate(), delegate_);
        ASSERT_EQ(alerts[0]->numberOfButtons(), 1);
        EXPECT_EQ(alerts[0]->buttonTitleAtIndex(0), "OK");
        // OK reaches the shared handler, which has nothing to do for it.
        alerts[0]->clickButtonAtIndex(0);
        EXPECT_EQ(delegate_->alertBtnTitle(), "OK");
        EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
    }
}
} // namespace
