#include "sdk/adviews/tests/TakeoverAdFixture.h"

#include "sdk/adviews/VuderuAdContentGeometry.h"
#include "sdk/adviews/VuderuAdWindowBasedMraidViewController.h"
#include "sdk/adviews/VuderuAdWindowBasedViewController.h"
#include "sdk/analytics/VuderuUtil.h"

#include <numbers>

namespace {
constexpr CGFloat kWindowBasedTakeoverPi = std::numbers::pi_v<CGFloat>;

// Counts the layout passes of the app's window.
class LayoutCountingWindow : public UIWindow {
public:
    using UIWindow::UIWindow;
    int layouts = 0;
    void layoutSubviews() override {
        ++layouts;
        UIWindow::layoutSubviews();
    }
};

class WindowBasedTest : public TakeoverTest {
protected:
    void SetUp() override {
        TakeoverTest::SetUp();
        counting = std::make_shared<LayoutCountingWindow>(UIScreen::mainScreen()->bounds());
        counting->setBackgroundColor(UIColor::colorWithRed(0, 0.5, 1, 1));
        counting->makeKeyAndVisible();
        app = counting;
    }
    std::shared_ptr<RecordingTakeoverAd> takeover(bool mraid, std::int32_t binding = 2, const std::string& body = "<p>ad</p>") {
        auto ad = RecordingTakeoverAd::make("takeover", CGSizeMake(320, 568), binding, 1, body);
        ad->mraid = mraid;
        return ad;
    }
    static std::vector<std::string> windowsInFront(const std::shared_ptr<UIWindow>& of) {
        std::vector<std::string> out;
        for (auto& w : UIApplication::sharedApplication()->windowsInFrontOf(of))
            out.push_back(w == VuderuAdWindowBasedMraidViewController::takeoverWindow() ? "mraid"
                          : w == VuderuAdWindowBasedViewController::takeoverWindow()    ? "ordinary"
                                                                                          : "other");
        return out;
    }

    ManualClock clock;
    std::shared_ptr<LayoutCountingWindow> counting;
};
} // namespace

// A touch on the MRAID close square closes at once; a touch beside it is no close, now or later.
TEST_F(WindowBasedTest, ATouchInTheMraidCloseCornerClosesTheAdAndGivesTheScreenBack) {
    const std::string appColour = pixel(160, 300);
    auto ad = takeover(true);
    ASSERT_TRUE(VuderuAdFullscreenController::instance()->showFullscreenViewForAd(ad));
    ASSERT_TRUE(VuderuAdWindowBasedMraidViewController::takeoverWindow());
    EXPECT_FALSE(app->isKeyWindow());
    ASSERT_EQ(driver.execute("touch 250,35"), "");
    clock.advance(1);
    EXPECT_TRUE(ad->calls.empty()) << "(W − 70, 35) lies outside the close square";

    int layoutsBefore = counting->layouts;
    ASSERT_EQ(driver.execute("touch 285,35"), "");
    EXPECT_EQ(ad->calls, (std::vector<std::string>{"processMRAIDCloseEvent", "removeTakeoverWindows"}));
    EXPECT_EQ(VuderuAdWindowBasedMraidViewController::takeoverWindow(), nullptr);
    EXPECT_EQ(VuderuAdFullscreenController::instance()->adViewController(), nullptr);
    EXPECT_TRUE(app->isKeyWindow());
    EXPECT_GT(counting->layouts, layoutsBefore) << "the app's window is laid out again";
    EXPECT_EQ(UIApplication::sharedApplication()->windows().size(), 1u) << "the takeover window is gone";
    EXPECT_EQ(pixel(160, 300), appColour);
}

TEST_F(WindowBasedTest, TheCloseSquareSitsTenPointsFromTheTopAndRightEdges) {
    auto ad = takeover(true);
    auto controller = VuderuAdWindowBasedMraidViewController::initWithAd(ad);
    struct Case {
        CGFloat x, y;
        bool closes;
    } cases[] = {{260, 10, true}, {310, 60, true}, {259, 35, false}, {311, 35, false}, {285, 9, false}, {285, 61, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(controller->userDidTapView(CGPointMake(c.x, c.y)), c.closes);
    }
    controller->removeWindow();
}

TEST_F(WindowBasedTest, TheMraidWindowStandsAboveTheOrdinaryOneAndBothAboveTheStatusBar) {
    auto ordinaryAd = takeover(false);
    auto ordinary = VuderuAdWindowBasedViewController::initWithAd(ordinaryAd);
    auto mraidAd = takeover(true);
    auto mraid = VuderuAdWindowBasedMraidViewController::initWithAd(mraidAd);
    EXPECT_EQ(VuderuAdWindowBasedViewController::takeoverWindow()->windowLevel(), UIWindowLevelStatusBar + 1);
    EXPECT_EQ(VuderuAdWindowBasedMraidViewController::takeoverWindow()->windowLevel(), UIWindowLevelStatusBar + 2);
    EXPECT_EQ(windowsInFront(app), (std::vector<std::string>{"mraid", "ordinary"}));
    auto screen = driver.screen();
    EXPECT_LT(screen.find("window: VuderuAdWindowBasedMraidViewController"), screen.find("window: VuderuAdWindowBasedViewController"))
        << "front first: " << screen;
    EXPECT_EQ(VuderuAdWindowBasedMraidViewController::takeoverWindow()->rootViewController().get(), static_cast<UIViewController*>(mraid.get()));
    EXPECT_EQ(VuderuAdWindowBasedViewController::userWindow(), app);
    EXPECT_EQ(VuderuAdWindowBasedMraidViewController::userWindow(), VuderuAdWindowBasedViewController::takeoverWindow())
        << "each class saves the key window it covers";
    // The MRAID page's black at 0.8 over the ordinary takeover's.
    EXPECT_EQ(pixel(40, 100), "10 10 10 255");
    mraid->removeWindow();
    EXPECT_TRUE(VuderuAdWindowBasedViewController::takeoverWindow()->isKeyWindow());
    EXPECT_EQ(pixel(40, 100), "51 51 51 255");
    ordinary->removeWindow();
    EXPECT_TRUE(app->isKeyWindow());
    EXPECT_EQ(windowsInFront(app), std::vector<std::string>{});
}

// An ordinary takeover: the page observes itself, so taps forward nowhere.
TEST_F(WindowBasedTest, AnOrdinaryTakeoverLaysItsPageOverAWhiteWindowWithASpinner) {
    auto ad = takeover(false);
    ASSERT_TRUE(VuderuAdFullscreenController::instance()->showFullscreenViewForAd(ad));
    auto controller = std::dynamic_pointer_cast<VuderuAdWindowBasedViewController>(VuderuAdFullscreenController::instance()->adViewController());
    ASSERT_TRUE(controller);
    auto window = VuderuAdWindowBasedViewController::takeoverWindow();
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(window->viewToObserve(), ad->webView());
    EXPECT_EQ(window->controllerThatObserves(), ad->webView());
    EXPECT_EQ(ad->webView()->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(controller->spinner()->frame(), CGRectMake(149, 273, 45, 45));
    EXPECT_TRUE(controller->spinner()->isAnimating());
    EXPECT_EQ(controller->previousOrientation(), "portrait");
    ASSERT_EQ(driver.execute("touch 285,35"), "");
    clock.advance(1);
    EXPECT_TRUE(ad->calls.empty());
}

// A phone holds a video in landscape whatever the interface: turned by the canvas, following a
// later landscape turn, never a portrait one.
TEST_F(WindowBasedTest, APhoneVideoTurnsToLandscapeAndIgnoresPortraitTurns) {
    auto ad = takeover(false, 3);
    ASSERT_TRUE(VuderuAdFullscreenController::instance()->showFullscreenViewForVideoAd(ad));
    auto page = ad->webView();
    const CGFloat offset = (568 - 320) / 2;
    auto expectTurn = [&](CGFloat angle, CGFloat by) {
        EXPECT_EQ(page->transform(), VuderuAdContentGeometry::turn(angle, by));
        auto f = page->frame();
        for (auto [got, want] : {std::pair{f.origin.x, 0.0}, {f.origin.y, 0.0}, {f.size.width, 320.0}, {f.size.height, 568.0}})
            EXPECT_NEAR(got, want, 1e-9) << "the turned page fills the screen";
        EXPECT_EQ(page->bounds().size, CGSizeMake(568, 320));
    };
    expectTurn(-kWindowBasedTakeoverPi / 2, -offset);
    ASSERT_EQ(driver.execute("rotate left"), "");
    expectTurn(kWindowBasedTakeoverPi / 2, offset);
    ASSERT_EQ(driver.execute("rotate portrait"), "");
    expectTurn(kWindowBasedTakeoverPi / 2, offset);
    ASSERT_EQ(driver.execute("rotate upside-down"), "");
    expectTurn(kWindowBasedTakeoverPi / 2, offset);
    ASSERT_EQ(driver.execute("rotate right"), "");
    expectTurn(-kWindowBasedTakeoverPi / 2, -offset);

    // Not a video: left alone whatever the turn.
    VuderuAdFullscreenController::instance()->removeWindow();
    ASSERT_EQ(driver.execute("rotate portrait"), "");
    auto still = takeover(false);
    ASSERT_TRUE(VuderuAdFullscreenController::instance()->showFullscreenViewForAd(still));
    ASSERT_EQ(driver.execute("rotate left"), "");
    EXPECT_EQ(still->webView()->transform(), CGAffineTransformIdentity);
}

// Reused, the MRAID controller shows the new page: it becomes the controller's view and the window's.
TEST_F(WindowBasedTest, AReusedMraidControllerShowsTheSecondPage) {
    auto first = takeover(true, 2, "<p>first page</p>");
    auto second = takeover(true, 2, "<p>second page</p>");
    auto fullscreen = VuderuAdFullscreenController::instance();
    ASSERT_TRUE(fullscreen->showFullscreenViewForAd(first));
    auto controller = std::dynamic_pointer_cast<VuderuAdWindowBasedMraidViewController>(fullscreen->adViewController());
    ASSERT_TRUE(controller);
    ASSERT_TRUE(fullscreen->showFullscreenViewForAd(second));
    EXPECT_EQ(fullscreen->adViewController(), controller);
    auto window = VuderuAdWindowBasedMraidViewController::takeoverWindow();
    EXPECT_EQ(controller->view(), second->webView());
    EXPECT_EQ(second->webView()->superview(), window);
    EXPECT_EQ(first->webView()->superview(), nullptr);
    EXPECT_EQ(window->viewToObserve(), second->webView());
    EXPECT_TRUE(window->isKeyWindow());
    auto screen = driver.screen();
    EXPECT_NE(screen.find("window: VuderuAdWindowBasedMraidViewController"), std::string::npos) << screen;
    EXPECT_LT(screen.find("window: VuderuAdWindowBasedMraidViewController"), screen.find("second page")) << screen;
    EXPECT_NE(screen.find("second page"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("first page"), std::string::npos) << screen;
    // The close corner now closes the second ad.
    ASSERT_EQ(driver.execute("touch 285,35"), "");
    EXPECT_TRUE(first->calls.empty());
    EXPECT_EQ(second->calls.size(), 2u);
}
