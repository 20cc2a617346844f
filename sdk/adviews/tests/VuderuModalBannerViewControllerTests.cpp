#include "sdk/adviews/tests/TakeoverAdFixture.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "sdk/adviews/VuderuModalBannerViewController.h"
#include "sdk/ads/VuderuAdManager.h"

namespace {
class ModalBannerTest : public TakeoverTest {
protected:
    // The device's screen (and the app's window with it).
    void useScreen(CGFloat width, CGFloat height, const char* model) {
        DeviceProfile::update([&](DeviceProfile& p) {
            p.screenWidth = width;
            p.screenHeight = height;
            p.model = model;
        });
        app->setFrame(CGRectMake(0, 0, width, height));
        app->layoutIfNeeded();
    }
    // A banner of the size shown modally over the host; its controller.
    std::shared_ptr<VuderuModalBannerViewController> show(const std::shared_ptr<RecordingTakeoverAd>& ad) {
        ad->parent = host;
        EXPECT_TRUE(VuderuAdFullscreenController::instance()->showFullscreenViewForAd(ad));
        return std::dynamic_pointer_cast<VuderuModalBannerViewController>(VuderuAdFullscreenController::instance()->adViewController());
    }
    std::shared_ptr<RecordingTakeoverAd> banner() { return RecordingTakeoverAd::make("banner", CGSizeMake(320, 50)); }
};
} // namespace

TEST_F(ModalBannerTest, TheBannerIsCentredOnEachScreen) {
    struct Case {
        CGFloat width, height;
        const char* model;
        CGPoint origin;
    } cases[] = {{320, 480, "iPhone", {0, 215}}, {768, 1024, "iPad", {224, 487}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        useScreen(c.width, c.height, c.model);
        auto ad = banner();
        auto controller = show(ad);
        ASSERT_TRUE(controller);
        EXPECT_EQ(host->presentedViewController(), controller);
        EXPECT_EQ(controller->view()->bounds().size, CGSizeMake(c.width, c.height));
        EXPECT_EQ(ad->webView()->frame(), (CGRect{c.origin, {320, 50}}));
        EXPECT_EQ(ad->webView()->autoresizingMask(), UIViewAutoresizingNone);
        EXPECT_EQ(controller->closeButton()->frame(), CGRectMake(c.width - 36, 10, 26, 26));
        EXPECT_FALSE(controller->closeButton()->isHidden());
        EXPECT_EQ(controller->view()->subviews().back(), ad->webView()) << "the banner lies above the close button";
        VuderuAdFullscreenController::instance()->removeWindow();
    }
}

// On a phone the banner hides while the interface turns and is centred again after; the close
// button keeps to its corner through every turn.
TEST_F(ModalBannerTest, ItTurnsWithTheInterface) {
    auto ad = banner();
    auto controller = show(ad);
    ASSERT_TRUE(controller);
    std::vector<bool> hiddenMidTurn;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        UIApplicationWillChangeStatusBarOrientationNotification, nullptr, nullptr,
        [&](auto&) { hiddenMidTurn.push_back(ad->webView()->isHidden()); });
    // In landscape the banner is centred in 568 by 320; a phone refuses upside down, and the banner
    // keeps the frame it had.
    struct Turn {
        const char* command;
        CGRect banner;
        CGRect close;
    };
    const Turn turns[] = {
        {"rotate left", CGRectMake(124, 135, 320, 50), CGRectMake(568 - 36, 10, 26, 26)},
        {"rotate upside-down", CGRectMake(5, 7, 320, 50), CGRectMake(568 - 36, 10, 26, 26)},
        {"rotate right", CGRectMake(124, 135, 320, 50), CGRectMake(568 - 36, 10, 26, 26)},
        {"rotate portrait", CGRectMake(0, 259, 320, 50), CGRectMake(320 - 36, 10, 26, 26)},
    };
    for (const Turn& turn : turns) {
        SCOPED_TRACE(turn.command);
        ad->webView()->setFrame(CGRectMake(5, 7, 320, 50));
        ASSERT_EQ(driver.execute(turn.command), "");
        EXPECT_EQ(controller->interfaceOrientation(), UIApplication::sharedApplication()->statusBarOrientation());
        EXPECT_FALSE(ad->webView()->isHidden());
        EXPECT_EQ(ad->webView()->frame(), turn.banner) << "centred again";
        EXPECT_EQ(controller->closeButton()->frame(), turn.close);
    }
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_EQ(hiddenMidTurn, std::vector<bool>(3, true));
}

TEST_F(ModalBannerTest, ATakeoverFrameFillsTheViewWithoutCloseButton) {
    auto ad = RecordingTakeoverAd::make("takeover", CGSizeMake(300, 250));
    auto controller = VuderuModalBannerViewController::initWithAd(ad);
    host->presentViewControllerAnimatedCompletion(controller, false, nullptr);
    EXPECT_EQ(ad->webView()->frame(), controller->view()->bounds());
    EXPECT_TRUE(controller->closeButton()->isHidden());
    // The same controller given a banner shows the button again.
    auto next = banner();
    controller->loadAd(next);
    EXPECT_FALSE(controller->closeButton()->isHidden());
    EXPECT_EQ(next->webView()->frame(), CGRectMake(0, 259, 320, 50));
    controller->removeWindow();
    EXPECT_EQ(host->presentedViewController(), nullptr);
}

// The close button removes the ad registered for the space through the ads facade.
TEST_F(ModalBannerTest, TheCloseButtonRemovesTheSpacesAdThroughTheFacade) {
    auto ad = banner();
    ad->spaceName = "modal space";
    auto controller = show(ad);
    ASSERT_TRUE(controller);
    ASSERT_TRUE(VuderuAdManager::instance()->registerAdAdSpaceName(ad, "modal space"));
    EXPECT_EQ(driver.execute("touch 297,23"), "");
    EXPECT_TRUE(runMainUntil([&] { return !ad->calls.empty(); }));
    EXPECT_EQ(ad->calls, std::vector<std::string>{"removeAd"});
    EXPECT_EQ(VuderuAdManager::instance()->adForSpace("modal space"), nullptr);
}

TEST_F(ModalBannerTest, PixelsDarkGreyAroundTheBannerAndTheCloseImageAtTopRight) {
    auto ad = banner();
    ASSERT_TRUE(show(ad));
    EXPECT_EQ(pixel(10, 100), "85 85 85 255");
    EXPECT_EQ(pixel(300, 500), "85 85 85 255");
    EXPECT_EQ(pixel(297, 15), "255 255 255 255") << "the close image's disc";
    EXPECT_EQ(pixel(297, 23), "85 85 85 255") << "the cross cut out of it";
    EXPECT_EQ(pixel(282, 23), "85 85 85 255") << "left of the button";
    EXPECT_EQ(pixel(160, 280), "77 77 77 255") << "the banner's page: black at 0.1 over the grey";
}
