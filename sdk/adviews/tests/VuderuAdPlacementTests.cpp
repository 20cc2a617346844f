// Where the ad-space view sits, which touches it takes, what each heartbeat does and the loading
// overlay.

#include "sdk/adviews/tests/AdSpaceViewFixture.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "sdk/ads/VuderuAdAlignment.h"
#include "sdk/ads/VuderuAdUtil.h"

namespace {

void heartBeat() { NSNotificationCenter::defaultCenter()->postNotificationName("VuderuHeartBeatNotification"); }

const char* const kStateRecorder =
    "<html><head><script>window.states='';window.mraid={stateChange:function(s){window.states+=s+';';}};"
    "</script></head><body>ad</body></html>";

} // namespace

class AdSpaceViewPlacementTest : public AdSpaceViewTest {
protected:
    // A banner frame with the layout given, loaded into a new view in the host.
    VuderuAdPtr placedAd(const std::string& fix, const std::string& alignment, std::int32_t width = 320, std::int32_t height = 50,
                         const std::string& format = "banner") {
        unit = makeUnit({{.guid = "g", .binding = VuderuAdFrame::kNothing, .format = format}});
        auto layout = unit->curAdFrame()->adSpaceLayout();
        layout->setFix(fix);
        layout->setAlignment(alignment);
        layout->setAdWidth(width);
        layout->setAdHeight(height);
        auto ad = makeAd({unit});
        EXPECT_TRUE(ad->loadAdFrameError(unit->curAdFrame(), nullptr));
        return ad;
    }
    VuderuAdUnitPtr unit;
};

TEST_F(AdSpaceViewPlacementTest, MasksFollowTheLayoutsFix) {
    struct Case {
        const char* fix;
        unsigned long webView;
        unsigned long ad;
    };
    const Case cases[] = {{"both", 0, 0}, {"height", 5, 5}, {"width", 40, 40}, {"none", 58, 40}, {"diagonal", 63, 63}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fix);
        auto ad = placedAd("width", "b-c");
        ad->webView()->setAutoresizingMask(63);
        ad->setAutoresizingMask(63);
        unit->curAdFrame()->adSpaceLayout()->setFix(c.fix);
        ad->adjustAdFrame();
        EXPECT_EQ(ad->webView()->autoresizingMask(), c.webView);
        EXPECT_EQ(ad->autoresizingMask(), c.ad);
    }
}

TEST_F(AdSpaceViewPlacementTest, BannersAlignInTheHostAndTakeoversKeepTheirLargerSize) {
    EXPECT_EQ(placedAd("width", "b-c")->frame(), CGRectMake(0, 430, 320, 50));
    EXPECT_EQ(placedAd("width", "t-l", 100)->frame(), CGRectMake(0, 0, 100, 50));
    // Without "-" the banner has no vertical and no horizontal part.
    const CGRect unaligned = VuderuAdAlignment::getBoundsForAdVerticalHorizontalAdFrameViewContainerFrame(
        std::nullopt, std::nullopt, CGRectMake(0, 0, 100, 50), host->bounds());
    EXPECT_EQ(placedAd("width", "bc", 100)->frame(), unaligned);
    // Without a fixed width the banner is as wide as the host.
    EXPECT_EQ(placedAd("height", "b-c", 100)->frame().size.width, 320);
    auto ad = placedAd("both", "b-c", 2000, 3000, "takeover");
    const CGRect screen = VuderuUtil::screenBounds();
    EXPECT_EQ(ad->frame(), CGRectMake(screen.origin.x, screen.origin.y, 2000, 3000));
    EXPECT_EQ(ad->webView()->frame(), CGRectMake(0, 0, 2000, 3000));
    EXPECT_EQ(placedAd("both", "b-c", 10, 10, "takeover")->frame(), screen);
}

TEST_F(AdSpaceViewPlacementTest, TouchesOutsideTheAdsContentReachTheHost) {
    auto beneath = std::make_shared<UIView>(CGRectMake(0, 430, 320, 50));
    host->addSubview(beneath);
    auto ad = placedAd("width", "b-c");
    host->addSubview(ad);
    auto content = std::make_shared<UIView>(CGRectMake(0, 0, 100, 50));
    ad->addSubview(content);
    EXPECT_EQ(window->hitTestWithEvent(CGPointMake(50, 450), nullptr), content);
    EXPECT_EQ(window->hitTestWithEvent(CGPointMake(200, 450), nullptr), beneath);
}

TEST_F(AdSpaceViewPlacementTest, CoveredBannerReportsHiddenOnceAndSwitchesAtOnceWhenSeenAgain) {
    unit = makeUnit({{.guid = "g1", .display = kStateRecorder}, {.guid = "g2", .binding = VuderuAdFrame::kNothing}});
    auto ad = makeAd({unit});
    prepareUntilReady(ad);
    ad->renderView();
    host->addSubview(ad);
    auto page = ad->webView();
    auto states = [&] { return page->stringByEvaluatingJavaScriptFromString("window.states"); };
    const std::string before = states();
    ManualClock clock;
    std::string next = "next";
    ad->loadAdFrameWithDelayFrameOffset(5, next);
    auto cover = std::make_shared<UIViewController>();
    root->presentViewControllerAnimatedCompletion(cover, false, nullptr);
    heartBeat();
    heartBeat();
    EXPECT_EQ(states(), before + "hidden;");
    EXPECT_TRUE(ad->refreshTimerPaused());
    clock.advance(10);
    EXPECT_EQ(ad->adFrame()->adLogGUID(), "g1");
    cover->dismissViewControllerAnimatedCompletion(false, nullptr);
    drainMain();
    heartBeat();
    EXPECT_EQ(states(), before + "hidden;default;");
    EXPECT_EQ(ad->adFrame()->adLogGUID(), "g2");
    heartBeat();
    EXPECT_EQ(states(), before + "hidden;default;");
}

TEST_F(AdSpaceViewPlacementTest, ExpandedAdIsNeitherLaidOutAgainNorRefreshed) {
    auto ad = placedAd("width", "b-c");
    host->addSubview(ad);
    ad->setCurrentViewState(VuderuAd::kViewStateExpanded);
    ad->setFrame(CGRectMake(1, 2, 3, 4));
    // The host's view turns with the interface; without a resizing mask only the ad's own layout
    // could move it.
    ad->setAutoresizingMask(UIViewAutoresizingNone);
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationLandscapeLeft);
    EXPECT_EQ(ad->frame(), CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(ad->currentOrientation(), "portrait");
    ad->setCurrentViewState(VuderuAd::kViewStateDefault);
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationLandscapeRight);
    EXPECT_NE(ad->frame(), CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(ad->currentOrientation(), VuderuUtil::getCanvasOrientation());
    EXPECT_NE(ad->currentOrientation(), "portrait");
}

TEST_F(AdSpaceViewPlacementTest, RefreshIsRefusedWhileExpandedOnceReady) {
    unit = makeUnit({{.guid = "g"}});
    auto ad = makeAd({unit});
    EXPECT_TRUE(ad->canBeRefreshed());
    prepareUntilReady(ad);
    ad->renderView();
    host->addSubview(ad);
    EXPECT_TRUE(ad->canBeRefreshed());
    ad->setCurrentViewState(VuderuAd::kViewStateExpanded);
    EXPECT_FALSE(ad->canBeRefreshed());
}

TEST_F(AdSpaceViewPlacementTest, LoadingOverlayCoversTheScreenWithTheSpinnerInItsMiddle) {
    auto ad = placedAd("width", "b-c");
    ad->showLoadingView();
    auto overlay = ad->loadingView();
    ASSERT_TRUE(overlay);
    EXPECT_EQ(overlay->superview(), ad->webView());
    EXPECT_EQ(overlay->frame(), VuderuUtil::screenBounds());
    ASSERT_TRUE(ad->spinner());
    EXPECT_EQ(ad->spinner()->superview(), overlay);
    EXPECT_EQ(ad->spinner()->frame().size, CGSizeMake(25, 25));
    EXPECT_EQ(ad->spinner()->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleWhite);
    EXPECT_TRUE(ad->spinner()->isAnimating());
    auto spinner = ad->spinner();
    EXPECT_EQ(ad->spinner()->center(), CGPointMake(overlay->bounds().size.width / 2, overlay->bounds().size.height / 2));
    ad->showLoadingView();
    EXPECT_EQ(ad->loadingView(), overlay);
    ad->removeLoadingView();
    EXPECT_FALSE(ad->loadingView());
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_FALSE(overlay->superview());
}
