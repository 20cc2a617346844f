#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "app/support/VTVersionTracker.h"
#include "app/tests/LaunchedApp.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/SLComposeViewController.h"

namespace {
// The app launched on a device that has seen the welcome.
class LaunchedAppTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        delegate_ = launchAppPastTheWelcome();
        ASSERT_FALSE(HasFailure());
        drainMain();
    }
    void TearDown() override {
        if (auto tracker = VTVersionTracker::tracker()) tracker->stopTracking();
        TDSites::setReachabilityProbeURL("");
        TDSites::setMakerSiteOrigin("");
        DeviceProfile::reset();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    std::shared_ptr<OPOptionsButton> optionsButton() const {
        for (const auto& view : delegate_->tabBarController()->view()->subviews()) {
            if (auto button = std::dynamic_pointer_cast<OPOptionsButton>(view)) return button;
        }
        return nullptr;
    }
    void choose(const std::string& name) {
        delegate_->shareCircleViewDidSelectSharer(*delegate_->shareCircleView(), CSSharer::initWithNameImageName(name, ""));
    }
    std::shared_ptr<UIViewController> presented() const { return delegate_->tabBarController()->presentedViewController(); }

    std::shared_ptr<TDAppDelegate> delegate_;
};

TEST_F(LaunchedAppTest, TheOptionsButtonCoversTheMiddleTabWithFiveBlueItems) {
    auto button = optionsButton();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->delegate(), delegate_);
    EXPECT_EQ(button->locationIndexInTabBar(), 1);
    EXPECT_FALSE(delegate_->tabBarController()->tabBar()->items()[1]->isEnabled());
    EXPECT_EQ(delegate_->opOptionsButtonNumberOfItems(*button), 5);
    struct Case {
        const char* image;
        CGFloat width, height;
    };
    const Case cases[] = {{"trash", 30, 30}, {"globe", 30, 30}, {"exclamation", 30, 30}, {"twitterBR", 28, 23}, {"share", 30, 30}};
    for (std::int64_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(cases[i].image);
        auto image = delegate_->opOptionsButtonImageForItemAtIndex(*button, i);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->name(), cases[i].image);
        EXPECT_EQ(image->size().width, cases[i].width);
        EXPECT_EQ(image->size().height, cases[i].height);
    }
    EXPECT_FALSE(delegate_->opOptionsButtonImageForItemAtIndex(*button, 5));

    button->buttonPressed();
    ManualClock clock;
    clock.advance(1);
    ASSERT_EQ(button->items().size(), 5u);
    auto colour = button->items()[0]->backgroundColor();
    ASSERT_TRUE(colour);
    EXPECT_NEAR(colour->red() * 255, 91, 0.01);
    EXPECT_NEAR(colour->green() * 255, 165, 0.01);
    EXPECT_NEAR(colour->blue() * 255, 255, 0.01);
    // The last item is the share circle.
    button->buttonItemPressed(button->items()[4]);
    EXPECT_TRUE(log_->contains("share"));
    EXPECT_TRUE(delegate_->shareCircleView()->superview());
}

TEST_F(LaunchedAppTest, TheShareCircleHoldsTheFourSharersInOrder) {
    auto circle = delegate_->shareCircleView();
    ASSERT_TRUE(circle);
    EXPECT_EQ(circle->delegate(), delegate_);
    std::vector<std::string> names;
    for (const auto& sharer : circle->sharers()) names.push_back(sharer->name());
    EXPECT_EQ(names, (std::vector<std::string>{"Facebook", "Twitter", "Mail", "SMS"}));
    EXPECT_TRUE(circle->sharers()[3]->image());
}

TEST_F(LaunchedAppTest, FacebookGetsItsTextAndThePackagePage) {
    choose("Facebook");
    auto sheet = std::dynamic_pointer_cast<SLComposeViewController>(presented());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->serviceType(), SLServiceTypeFacebook);
    EXPECT_EQ(sheet->initialText(), "I love using Tandrel by Zorik Orvenhal for sharing files & media using AirDrop!");
    ASSERT_EQ(sheet->urls().size(), 1u);
    EXPECT_EQ(sheet->urls()[0]->absoluteString(), TDSites::kPackagePage);
    EXPECT_TRUE(log_->contains("Selected sharer: Facebook"));
}

TEST_F(LaunchedAppTest, TheMessageSheetComesFromTheRootAndGoesWhenFinished) {
    for (bool send : {true, false}) {
        SCOPED_TRACE(send);
        choose("SMS");
        auto sheet = std::dynamic_pointer_cast<MFMessageComposeViewController>(presented());
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->body(), "I love using Tandrel by Zorik Orvenhal (@quorrelhub) for sharing files & media using AirDrop. "
                                 "Search for \"Tandrel\" on Cydia");
        EXPECT_EQ(sheet->messageComposeDelegate(), delegate_);
        ASSERT_TRUE(sheet->finish(send));
        EXPECT_FALSE(presented());
    }
}

TEST_F(LaunchedAppTest, TwitterOnlyWhenTheProbeAnswersAndOtherNamesDoNothing) {
    ASSERT_TRUE(TDSites::setReachabilityProbeURL("http://" + AnalyticsCollector::refusedHostAndPort() + "/"));
    choose("Twitter");
    EXPECT_FALSE(presented());
    EXPECT_EQ(delegate_->initialTweetText(), "");
    choose("Dropbox");
    EXPECT_FALSE(presented());

    LoopbackHTTPServer server;
    server.route("/", LoopbackHTTPServer::fixed(200, {}, "hello"));
    ASSERT_TRUE(TDSites::setReachabilityProbeURL(server.url("/")));
    DeviceProfile::update([](DeviceProfile& p) { p.accounts.twitter = false; });
    ManualClock clock;
    choose("Twitter");
    // Online without an account: the text is kept, and the error replaces the sheet.
    EXPECT_EQ(delegate_->initialTweetText(), "I love using Tandrel by @quorrelhub for sharing files & media using AirDrop!");
    EXPECT_FALSE(presented());
    clock.advance(0.5);
    ASSERT_EQ(UIApplication::sharedApplication()->visibleAlerts().size(), 1u);
    EXPECT_EQ(UIApplication::sharedApplication()->visibleAlerts()[0]->message(), "Please sign-in to your Twitter account from Settings");
}
} // namespace
