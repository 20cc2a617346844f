// The Clipvane screen a shake of the Files tab brings up, the egg shown over it, and its two
// buttons: Setup opens the installer page a second after the screen closed, Done opens nothing.

#include "app/TDAppDelegate.h"
#include "app/TDBrowser.h"
#include "app/TDYouTube.h"
#include "platform/foundation/NSUserDefaults.h"
#include "app/support/TDSites.h"
#include "app/support/VTVersionTracker.h"
#include "app/tests/LaunchedApp.h"
#include "controls/flatbutton/FlatButton.h"
#include "platform/device/Driver.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"

#include <gtest/gtest.h>

#include <optional>

namespace {
class ClipvaneScreenTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        clock_.emplace();
        delegate_ = launchAppPastTheWelcome();
        ASSERT_FALSE(HasFailure());
        driver_.drain();
    }
    void TearDown() override {
        if (auto tracker = VTVersionTracker::tracker()) tracker->stopTracking();
        clock_.reset();
        UIApplication::sharedApplication()->reset();
        TDSites::setMakerSiteOrigin("");
        DeviceTest::TearDown();
    }

    std::shared_ptr<UIViewController> root() const { return delegate_->window()->rootViewController(); }
    std::shared_ptr<TDYouTube> clipvane() const {
        auto nav = std::dynamic_pointer_cast<UINavigationController>(root()->presentedViewController());
        return nav ? std::dynamic_pointer_cast<TDYouTube>(nav->topViewController()) : nullptr;
    }
    // Shakes on the Files tab and lets the fold finish: the screen is presented at its end.
    void shake() {
        ASSERT_TRUE(driver_.execute("shake").empty());
        EXPECT_FALSE(clipvane()) << "not before the fold";
        for (int i = 0; i < 20 && !clipvane(); ++i) clock_->advance(0.05);
        ASSERT_TRUE(clipvane());
    }
    std::shared_ptr<UIAlertView> eggAlert() const {
        for (const auto& alert : UIApplication::sharedApplication()->visibleAlerts())
            if (alert->title().empty() && alert->numberOfButtons() == 0) return alert;
        return nullptr;
    }
    // Past the egg's two seconds.
    void waitOutTheEgg() {
        for (int i = 0; i < 25; ++i) clock_->advance(0.1);
    }

    std::optional<ManualClock> clock_;
    std::shared_ptr<TDAppDelegate> delegate_;
    Driver driver_;
};

TEST_F(ClipvaneScreenTest, AShakeOnTheFilesTabShowsTheScreenFromTheRootAndTheEggForTwoSeconds) {
    shake();
    EXPECT_TRUE(log_->contains("Finished showing easter egg's view xD"));
    auto screen = driver_.execute("screen");
    EXPECT_NE(screen.find("screen: TDYouTube"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Clipvane"), std::string::npos) << screen;

    auto alert = eggAlert();
    ASSERT_TRUE(alert);
    auto egg = std::dynamic_pointer_cast<UIImageView>(alert->accessoryView());
    ASSERT_TRUE(egg);
    EXPECT_TRUE(egg->frame() == CGRectMake(0, 0, 50, 69));
    EXPECT_TRUE(egg->image());

    clock_->advance(1.8);
    EXPECT_TRUE(eggAlert()) << "still up before two seconds";
    clock_->advance(0.25);
    EXPECT_FALSE(eggAlert());
    EXPECT_TRUE(UIApplication::sharedApplication()->visibleAlerts().empty());
}

TEST_F(ClipvaneScreenTest, AnotherMotionBringsNothing) {
    auto browser = std::dynamic_pointer_cast<TDBrowser>(driver_.contentViewController());
    ASSERT_TRUE(browser);
    browser->motionEndedWithEvent(UIEventSubtypeNone, std::make_shared<UIEvent>(UIEventTypeMotion, UIEventSubtypeNone));
    clock_->advance(1);
    EXPECT_FALSE(root()->presentedViewController());
    EXPECT_FALSE(log_->contains("Finished showing easter egg's view xD"));
}

TEST_F(ClipvaneScreenTest, TheScreenIsLaidOutAsDesigned) {
    shake();
    auto screen = clipvane();
    auto view = screen->view();
    const CGFloat W = view->bounds().size.width, H = view->bounds().size.height;
    EXPECT_EQ(screen->title(), "Clipvane");
    ASSERT_EQ(view->subviews().size(), 3u);
    auto label = std::dynamic_pointer_cast<UILabel>(view->subviews()[0]);
    auto setup = std::dynamic_pointer_cast<FlatButton>(view->subviews()[1]);
    auto logo = std::dynamic_pointer_cast<UIImageView>(view->subviews()[2]);
    ASSERT_TRUE(label && setup && logo);
    EXPECT_TRUE(label->frame() == CGRectMake(0, H / 2, 300, 100));
    EXPECT_EQ(label->numberOfLines(), 0);
    EXPECT_EQ(label->text(),
              "Congratulations, you unlocked Clipvane!\nDownload YouTube videos using Safari on your iOS device with simple steps.\n"
              "You can even share downloaded videos using Tandrel afterward!");
    EXPECT_TRUE(setup->frame() == CGRectMake(W / 2 - 75, H - 150, 150, 42));
    EXPECT_EQ(setup->titleForState(UIControlStateNormal), "Setup");
    EXPECT_TRUE(logo->frame() == CGRectMake(0, 0, W, 220));
    EXPECT_TRUE(logo->image()) << "the bundle has the logo";
    auto done = screen->navigationItem()->rightBarButtonItem();
    ASSERT_TRUE(done);
    EXPECT_EQ(done->title(), "Done");
}

TEST_F(ClipvaneScreenTest, SetupClosesTheScreenAndOpensTheInstallerASecondLaterWhileDoneOpensNothing) {
    const std::string installer = TDSites::bookmarkletInstallerURL();
    // Done first: nothing may be opened before Setup's page.
    for (const bool setup : {false, true}) {
        SCOPED_TRACE(setup ? "Setup" : "Done");
        shake();
        waitOutTheEgg();
        ASSERT_TRUE(driver_.execute(setup ? "tap Setup" : "tap Done").empty());
        EXPECT_FALSE(root()->presentedViewController()) << "closed at once";
        clock_->advance(0.9);
        EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
        clock_->advance(0.1 + 1e-6);
        auto& opened = UIApplication::sharedApplication()->openedURLs();
        if (!setup) {
            for (int i = 0; i < 20; ++i) clock_->advance(0.5);
            EXPECT_TRUE(opened.empty());
            continue;
        }
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0]->absoluteString(), installer);
    }
}
} // namespace
