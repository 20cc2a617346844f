#include "sdk/adviews/tests/TakeoverAdFixture.h"

#include "sdk/adviews/VuderuAdWindowBasedMraidViewController.h"
#include "sdk/adviews/VuderuAdWindowBasedViewController.h"
#include "sdk/ads/VuderuAdUtil.h"

namespace {
class FullscreenControllerTest : public TakeoverTest {
protected:
    std::shared_ptr<RecordingTakeoverAd> ad(const std::string& format, bool modal, bool mraid, std::int32_t binding = 2) {
        auto made = RecordingTakeoverAd::make(format, format == "takeover" ? CGSizeMake(320, 568) : CGSizeMake(320, 50), binding);
        if (modal) made->parent = host;
        made->mraid = mraid;
        return made;
    }
    static std::string kept() {
        auto controller = std::dynamic_pointer_cast<UIViewController>(VuderuAdFullscreenController::instance()->adViewController());
        return controller ? controller->className() : "none";
    }
    std::string presented() const {
        auto controller = host->presentedViewController();
        return controller ? controller->className() : "none";
    }
};
} // namespace

TEST_F(FullscreenControllerTest, EachLayoutModalityAndScriptGetsItsController) {
    struct Case {
        const char* format;
        bool modal, mraid, video;
        bool shown;
        const char* controller;
        bool presented;
    } cases[] = {
        {"takeover", false, true, false, true, "VuderuAdWindowBasedMraidViewController", false},
        {"takeover", false, false, false, true, "VuderuAdWindowBasedViewController", false},
        {"takeover", true, true, false, true, "VuderuAdMraidViewController", true},
        {"takeover", true, false, false, true, "VuderuAdViewController", true},
        {"banner", true, false, false, true, "VuderuModalBannerViewController", true},
        {"banner", true, true, false, true, "VuderuModalBannerViewController", true},
        {"banner", false, true, false, false, "none", false},
        {"banner", false, false, false, false, "none", false},
        // Videos: MRAID or not makes no difference.
        {"takeover", true, true, true, true, "VuderuAdViewController", true},
        {"takeover", false, true, true, true, "VuderuAdWindowBasedViewController", false},
        {"banner", true, false, true, false, "none", false},
        {"banner", false, false, true, false, "none", false},
    };
    auto fullscreen = VuderuAdFullscreenController::instance();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + (c.modal ? " modal" : " in place") + (c.mraid ? " mraid" : "") + (c.video ? " video" : ""));
        auto shown = ad(c.format, c.modal, c.mraid);
        EXPECT_EQ(c.video ? fullscreen->showFullscreenViewForVideoAd(shown) : fullscreen->showFullscreenViewForAd(shown), c.shown);
        EXPECT_EQ(kept(), c.controller);
        EXPECT_EQ(presented(), c.presented ? c.controller : "none");
        if (c.shown) {
            EXPECT_EQ(fullscreen->adViewController()->adView(), shown->webView());
        }
        fullscreen->removeWindows();
        EXPECT_EQ(kept(), "none");
        EXPECT_EQ(presented(), "none") << "dismissed on removal";
        EXPECT_TRUE(app->isKeyWindow());
    }
}

// While a controller is held, every later ad goes into it, whatever it would have needed.
TEST_F(FullscreenControllerTest, AHeldControllerShowsTheNextAdOfAnyKind) {
    auto fullscreen = VuderuAdFullscreenController::instance();
    auto first = ad("takeover", true, false);
    ASSERT_TRUE(fullscreen->showFullscreenViewForAd(first));
    auto held = fullscreen->adViewController();

    auto mraidTakeover = ad("takeover", false, true);
    EXPECT_TRUE(fullscreen->showFullscreenViewForAd(mraidTakeover));
    EXPECT_EQ(fullscreen->adViewController(), held);
    EXPECT_EQ(held->adView(), mraidTakeover->webView());
    EXPECT_EQ(mraidTakeover->webView()->superview(), std::dynamic_pointer_cast<UIViewController>(held)->view());
    EXPECT_EQ(first->webView()->superview(), nullptr) << "the first page leaves";

    auto otherBanner = ad("banner", false, false);
    otherBanner->spaceName = "other";
    EXPECT_TRUE(fullscreen->showFullscreenViewForAd(otherBanner)) << "a banner shown in place is taken too while one is held";
    EXPECT_TRUE(fullscreen->showFullscreenViewForVideoAd(ad("banner", false, false)));
    EXPECT_EQ(fullscreen->adViewController(), held);
    EXPECT_EQ(kept(), "VuderuAdViewController");
}

TEST_F(FullscreenControllerTest, ABannerShownInPlaceLeavesBothSlotsAndRemovingEmptySlotsIsHarmless) {
    auto fullscreen = VuderuAdFullscreenController::instance();
    fullscreen->removeWindow();
    fullscreen->removeExtAdWindow();
    fullscreen->removeWindows();
    EXPECT_FALSE(fullscreen->showFullscreenViewForAd(ad("banner", false, false)));
    EXPECT_EQ(fullscreen->adViewController(), nullptr);
    EXPECT_EQ(fullscreen->extAdViewController(), nullptr);
    EXPECT_TRUE(app->isKeyWindow());
    EXPECT_EQ(UIApplication::sharedApplication()->windows().size(), 1u);
}

// What the ad controllers present answers to the presentation check of the ad system.
TEST_F(FullscreenControllerTest, AModalTakeoverCountsAsAPresentedModalView) {
    EXPECT_FALSE(VuderuAdUtil::isModalViewPresent());
    ASSERT_TRUE(VuderuAdFullscreenController::instance()->showFullscreenViewForAd(ad("takeover", true, false)));
    EXPECT_TRUE(VuderuAdUtil::isModalViewPresent());
    VuderuAdFullscreenController::instance()->removeWindow();
    EXPECT_FALSE(VuderuAdUtil::isModalViewPresent());
}

// Pixels: the web view's black at 0.8 over white, whether in its own window or presented; the
// app's own colours once it is gone.
TEST_F(FullscreenControllerTest, TakeoversCoverTheScreenAndLeaveTheAppsColoursBehind) {
    const std::string appColour = pixel(40, 100);
    for (bool modal : {false, true}) {
        SCOPED_TRACE(modal ? "modal" : "own window");
        // The ad lives on while shown, as the ad manager keeps it.
        auto shown = ad("takeover", modal, false);
        ASSERT_TRUE(VuderuAdFullscreenController::instance()->showFullscreenViewForAd(shown));
        for (auto [x, y] : {std::pair{5, 30}, {315, 560}, {40, 100}, {300, 400}}) EXPECT_EQ(pixel(x, y), "51 51 51 255") << x << "," << y;
        VuderuAdFullscreenController::instance()->removeWindow();
        EXPECT_EQ(pixel(40, 100), appColour);
        EXPECT_EQ(pixel(315, 560), appColour);
    }
}
