#include "sdk/adviews/tests/TakeoverAdFixture.h"

#include "platform/system/DeviceProfile.h"
#include "sdk/adviews/VuderuAdContentGeometry.h"
#include "sdk/adviews/VuderuAdMraidViewController.h"
#include "sdk/adviews/VuderuAdViewController.h"
#include "sdk/adviews/VuderuModalBannerViewController.h"

#include <numbers>

namespace {
constexpr CGFloat kPi = std::numbers::pi_v<CGFloat>;

void expectFrame(const UIView& view, const CGRect& want) {
    auto f = view.frame();
    EXPECT_NEAR(f.origin.x, want.origin.x, 1e-9);
    EXPECT_NEAR(f.origin.y, want.origin.y, 1e-9);
    EXPECT_NEAR(f.size.width, want.size.width, 1e-9);
    EXPECT_NEAR(f.size.height, want.size.height, 1e-9);
}

class AdViewControllerTest : public TakeoverTest {
protected:
    void turnDevice(long orientation) {
        DeviceProfile::update([&](DeviceProfile& p) { p.orientation = static_cast<UIDeviceOrientation>(orientation); });
    }
    std::shared_ptr<RecordingTakeoverAd> takeover(std::int32_t binding = 2, std::int32_t adType = 1) {
        return RecordingTakeoverAd::make("takeover", UIScreen::mainScreen()->bounds().size, binding, adType);
    }
};
} // namespace

// The status bar is hidden while a modal ad controller lives, and comes back to what it was only
// when the controller goes, not when it is dismissed.
TEST_F(AdViewControllerTest, TheStatusBarReturnsToItsStateWhenTheControllerIsReleased) {
    struct Case {
        const char* format;
        bool mraid;
        bool hiddenBefore;
    } cases[] = {
        {"takeover", false, false}, {"takeover", false, true}, {"takeover", true, false},
        {"takeover", true, true},   {"banner", false, false},  {"banner", false, true},
    };
    auto application = UIApplication::sharedApplication();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + (c.mraid ? " mraid" : "") + (c.hiddenBefore ? " hidden before" : " shown before"));
        application->setStatusBarHidden(c.hiddenBefore);
        auto ad = RecordingTakeoverAd::make(c.format, CGSizeMake(320, 50));
        ad->parent = host;
        ad->mraid = c.mraid;
        auto fullscreen = VuderuAdFullscreenController::instance();
        ASSERT_TRUE(fullscreen->showFullscreenViewForAd(ad));
        auto held = std::dynamic_pointer_cast<UIViewController>(fullscreen->adViewController());
        EXPECT_TRUE(application->isStatusBarHidden());
        EXPECT_TRUE(held->prefersStatusBarHidden());
        EXPECT_FALSE(held->wantsFullScreenLayout()) << "asked for below 7.0 only";
        fullscreen->removeWindow();
        EXPECT_EQ(host->presentedViewController(), nullptr);
        EXPECT_TRUE(application->isStatusBarHidden()) << "still held here: not yet";
        held.reset();
        EXPECT_EQ(application->isStatusBarHidden(), c.hiddenBefore);
    }
}

// Every pair of status-bar orientation s and requested orientation i, with the three pairs that
// follow the geometry of the others.
TEST_F(AdViewControllerTest, TheContentTurnsByTheStatusBarAndTheRequestedOrientation) {
    const CGFloat offset = (568 - 320) / 2;
    struct Turn {
        CGFloat angle;
        int sign;
        bool none;
    };
    const Turn none{0, 0, true}, half{kPi, 0, false}, plus{kPi / 2, 1, false}, minus{-kPi / 2, -1, false};
    // Rows s = 1..4, columns i = 1..4.
    const Turn table[4][4] = {
        {none, half, plus, minus},
        {half, none, minus, plus},
        {minus, plus, none, half},
        {plus, minus, half, none},
    };
    for (int s = 1; s <= 4; ++s)
        for (int i = 1; i <= 4; ++i) {
            SCOPED_TRACE("s " + std::to_string(s) + ", i " + std::to_string(i));
            turnDevice(s);
            auto ad = takeover();
            ad->orientation = i;
            auto controller = VuderuAdViewController::initWithAd(ad);
            const Turn& t = table[s - 1][i - 1];
            EXPECT_EQ(ad->webView()->transform(), t.none ? CGAffineTransformIdentity : VuderuAdContentGeometry::turn(t.angle, t.sign * offset));
            expectFrame(*ad->webView(), controller->view()->bounds());
        }
}

TEST_F(AdViewControllerTest, APhoneVideoInPortraitIsTurnedAndFillsTheView) {
    auto ad = takeover(3);
    ad->orientation = 3;
    auto controller = VuderuAdViewController::initWithAd(ad);
    EXPECT_EQ(ad->webView()->transform(), VuderuAdContentGeometry::turn(-kPi / 2, -124));
    expectFrame(*ad->webView(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(ad->webView()->bounds().size, CGSizeMake(568, 320));
    EXPECT_EQ(controller->spinner()->frame(), CGRectMake(149, 273, 45, 45));

    // A unit of the video ad type counts as a video whatever the binding.
    auto byType = takeover(2, 0);
    VuderuAdViewController::initWithAd(byType);
    EXPECT_EQ(byType->webView()->transform(), VuderuAdContentGeometry::turn(-kPi / 2, -124));
}

TEST_F(AdViewControllerTest, AnIPadVideoFollowsThePairTable) {
    DeviceProfile::update([](DeviceProfile& p) {
        p.model = "iPad";
        p.screenWidth = 768;
        p.screenHeight = 1024;
    });
    auto ad = takeover(3);
    ad->orientation = 3;
    auto controller = VuderuAdViewController::initWithAd(ad);
    EXPECT_EQ(ad->webView()->transform(), VuderuAdContentGeometry::turn(kPi / 2, 128));
    expectFrame(*ad->webView(), CGRectMake(0, 0, 768, 1024));
    EXPECT_EQ(controller->spinner()->frame(), CGRectMake(373, 501, 45, 45));
}

// Banner-sized content is centred on whole points; larger content is pinned to 0 and cut to the
// view on that axis; a takeover frame fills the view.
TEST_F(AdViewControllerTest, CentringKeepsWholePointsAndPinsOversizedContent) {
    struct Case {
        CGSize content;
        CGRect frame;
    } cases[] = {
        {{320, 50}, {{0, 259}, {320, 50}}},
        {{301, 51}, {{9, 258}, {301, 51}}},
        {{400, 50}, {{0, 259}, {320, 50}}},
        {{300, 600}, {{10, 0}, {300, 568}}},
        {{400, 600}, {{0, 0}, {320, 568}}},
    };
    auto banner = RecordingTakeoverAd::make("banner", CGSizeMake(320, 50));
    auto controller = VuderuAdViewController::initWithAd(banner);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.content.width) + "x" + std::to_string(c.content.height));
        banner->webView()->setFrame(CGRectMake(3, 3, c.content.width, c.content.height));
        controller->centerAdView();
        EXPECT_EQ(banner->webView()->frame(), c.frame);
        EXPECT_EQ(controller->view()->subviews().back(), banner->webView()) << "brought to the front";
    }
    auto ad = takeover();
    controller->loadAd(ad);
    ad->webView()->setFrame(CGRectMake(0, 0, 320, 50));
    controller->centerAdView();
    EXPECT_EQ(ad->webView()->frame(), controller->view()->bounds());
    EXPECT_EQ(banner->webView()->superview(), nullptr) << "the earlier page left on load";
}

// An MRAID takeover's page places itself: the controller only lets it fill its view.
TEST_F(AdViewControllerTest, AnMraidTakeoverHostsThePageAsItIs) {
    auto ad = takeover();
    ad->orientation = 3;
    auto controller = VuderuAdMraidViewController::initWithAd(ad);
    EXPECT_EQ(controller->ad(), nullptr) << "it keeps the page, not the ad";
    EXPECT_EQ(ad->webView()->transform(), CGAffineTransformIdentity);
    EXPECT_EQ(ad->webView()->superview(), controller->view());
    EXPECT_TRUE(controller->shouldAutorotateToInterfaceOrientation(UIInterfaceOrientationPortrait));
    EXPECT_FALSE(controller->shouldAutorotateToInterfaceOrientation(UIInterfaceOrientationLandscapeLeft));
}

// Before 6.0 the content follows the orientation the ad was requested in alone, and the
// controllers ask for a full-screen layout.
namespace {
class BeforeSixTest : public AdViewControllerTest {
protected:
    void SetUp() override {
        AdViewControllerTest::SetUp();
        // Read once per process: set before anything asks.
        DeviceProfile::update([](DeviceProfile& p) { p.systemVersion = "5.1"; });
    }
};
} // namespace

TEST_F(BeforeSixTest, TheRequestedOrientationAloneTurnsTheContent) {
    const CGFloat offset = 124;
    struct Case {
        std::int64_t i;
        CGAffineTransform transform;
    } cases[] = {
        {1, CGAffineTransformIdentity},
        {2, VuderuAdContentGeometry::turn(kPi)},
        {3, VuderuAdContentGeometry::turn(kPi / 2, offset)},
        {4, VuderuAdContentGeometry::turn(-kPi / 2, -offset)},
        {0, CGAffineTransformIdentity},
    };
    for (long s : {1, 3}) {
        turnDevice(s);
        for (const auto& c : cases) {
            SCOPED_TRACE("s " + std::to_string(s) + ", i " + std::to_string(c.i));
            auto ad = takeover();
            ad->orientation = c.i;
            auto controller = VuderuAdViewController::initWithAd(ad);
            EXPECT_EQ(ad->webView()->transform(), c.transform);
            expectFrame(*ad->webView(), CGRectMake(0, 0, 320, 568));
            EXPECT_TRUE(controller->wantsFullScreenLayout());
        }
    }
}
