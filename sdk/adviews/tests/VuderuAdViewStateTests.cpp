#include "sdk/adviews/tests/AdViewStateFixture.h"

#include "sdk/adviews/VuderuAdWindowBasedMraidViewController.h"

#include <cmath>

namespace {
bool inTree(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& root) {
    return view && root && view->isDescendantOfView(root.get());
}
} // namespace

TEST_F(AdViewStateTest, OrientationTablesTurnRectanglesBetweenPortraitAndTheStatusBar) {
    struct Case {
        long orientation;
        CGRect rect, converted, web;
        CGSize statusBar;
        double angle;
    };
    // W = 320, H = 568; the rectangle is (10, 20, 100, 50).
    const Case cases[] = {
        {.orientation = 1, .rect = CGRectMake(10, 20, 100, 50), .converted = CGRectMake(10, 20, 100, 50),
         .web = CGRectMake(10, 20, 100, 50), .statusBar = CGSizeMake(320, 20), .angle = 0},
        {.orientation = 2, .rect = CGRectMake(210, 498, 100, 50), .converted = CGRectMake(210, 498, 100, 50),
         .web = CGRectMake(10, 20, 100, 50), .statusBar = CGSizeMake(320, 20), .angle = M_PI},
        {.orientation = 3, .rect = CGRectMake(20, 210, 50, 100), .converted = CGRectMake(250, 10, 50, 100),
         .web = CGRectMake(20, 10, 50, 100), .statusBar = CGSizeMake(20, 320), .angle = M_PI_2},
        {.orientation = 4, .rect = CGRectMake(498, 10, 50, 100), .converted = CGRectMake(20, 458, 50, 100),
         .web = CGRectMake(20, 10, 50, 100), .statusBar = CGSizeMake(20, 320), .angle = -M_PI_2},
    };
    const CGRect r = CGRectMake(10, 20, 100, 50);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        setOrientation(c.orientation);
        EXPECT_EQ(VuderuAdViewState::rectAccordingToOrientation(r), c.rect);
        EXPECT_EQ(VuderuAdViewState::convertedRectAccordingToOrientation(r), c.converted);
        EXPECT_EQ(VuderuAdViewState::webFrameAccordingToOrientation(r), c.web);
        // Turning a rectangle and converting it back gives it again.
        EXPECT_EQ(VuderuAdViewState::convertedRectAccordingToOrientation(VuderuAdViewState::rectAccordingToOrientation(r)), r);
        EXPECT_EQ(VuderuAdViewState::statusBarSizeAccordingToOrientation(CGSizeMake(320, 20),
                                                                         static_cast<UIInterfaceOrientation>(c.orientation)),
                  c.statusBar);
        auto rotation = c.angle == 0 ? CGAffineTransformIdentity : CGAffineTransformMakeRotation(c.angle);
        VuderuAdViewState::rotateExpandedWindowsToOrientationForAd(static_cast<UIInterfaceOrientation>(c.orientation), ad);
        EXPECT_EQ(ad->web->transform(), rotation);
        EXPECT_EQ(VuderuAdViewState::expandedWindowsToOrientation(), rotation);
    }
}

TEST_F(AdViewStateTest, NumbersFromTheActionAreSinglePrecisionOrTheDefault) {
    const VuderuAdViewState::Params params{{"w", "300.1"}, {"h", "abc"}};
    EXPECT_EQ(VuderuAdViewState::floatFromDictionaryForKeyWithDefault(params, "w", 1), static_cast<double>(300.1f));
    EXPECT_EQ(VuderuAdViewState::floatFromDictionaryForKeyWithDefault(params, "h", 1), 0);
    EXPECT_EQ(VuderuAdViewState::floatFromDictionaryForKeyWithDefault(params, "x", 12.5), 12.5);
}

TEST_F(AdViewStateTest, ExpandWithoutSizeFillsTheKeyWindowOverADimmedApplication) {
    UIView::clearRecordedAnimations();
    state->processExpandAction({});
    EXPECT_EQ(calls, CallLog{"spaceWillExpand banner"});
    EXPECT_TRUE(state->isExpandAnimationInProgress());
    EXPECT_EQ(state->currentViewState(), VuderuAdViewStateDefault);
    clock->advance(0.5);
    EXPECT_EQ(calls, (CallLog{"spaceWillExpand banner", "report 2"}));
    EXPECT_EQ(state->currentViewState(), VuderuAdViewStateExpanded);
    EXPECT_FALSE(state->isExpandAnimationInProgress());

    auto records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].animationID, "vuderuExpand");
    EXPECT_EQ(records[0].duration, 0.5);

    // The page fills the MRAID window, which is key now; the application's window is dimmed.
    auto mraidWindow = VuderuAdWindowBasedMraidViewController::takeoverWindow();
    ASSERT_TRUE(mraidWindow);
    EXPECT_EQ(UIApplication::sharedApplication()->keyWindow(), mraidWindow);
    EXPECT_EQ(ad->web->superview(), mraidWindow);
    EXPECT_EQ(ad->web->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(ad->web->bounds(), CGRectMake(0, 0, 320, 568));
    auto blocking = state->blockingView();
    ASSERT_TRUE(blocking);
    EXPECT_EQ(blocking->superview(), window);
    EXPECT_EQ(blocking->frame(), window->frame());
    EXPECT_DOUBLE_EQ(blocking->alpha(), 0.2);
    EXPECT_TRUE(blocking->backgroundColor()->isEqual(UIColor::blackColor().get()));

    // Where the page was, in the window, and the parent's own tag kept aside.
    EXPECT_EQ(state->translatedFrame(), kAdFrame);
    EXPECT_EQ(state->translatedCenter(), CGPointMake(160, 525));
    EXPECT_EQ(state->originalTag(), kParentTag);
    EXPECT_EQ(ad->view->tag(), state->parentTag());
}

TEST_F(AdViewStateTest, ExpandToARequestedSizeCentresIt) {
    expand({{"w", "300"}, {"h", "250"}});
    EXPECT_EQ(ad->web->bounds(), CGRectMake(0, 0, 300, 250));
    EXPECT_EQ(ad->web->frame(), CGRectMake(10, 159, 300, 250));
}

TEST_F(AdViewStateTest, RequestsOutsideTheirStateChangeNothing) {
    struct Case {
        const char* name;
        std::function<void(AdViewStateTest&)> before;
        std::function<void(AdViewStateTest&)> request;
        CallLog expected;
    };
    const Case cases[] = {
        {"collapse in the default state", nullptr, [](AdViewStateTest& t) { t.collapse(); }, {}},
        {"expand while hidden", [](AdViewStateTest& t) { t.state->setCurrentViewState(VuderuAdViewStateHidden); },
         [](AdViewStateTest& t) { t.expand(); }, {}},
        {"expand while expanded", [](AdViewStateTest& t) { t.expand(); },
         [](AdViewStateTest& t) { t.expand({{"w", "100"}, {"h", "100"}}); }, {"spaceWillExpand banner", "report 2"}},
        {"expand during the expand animation",
         [](AdViewStateTest& t) {
             t.state->processExpandAction({});
             t.clock->advance(0.2);
         },
         [](AdViewStateTest& t) { t.expand({{"w", "100"}, {"h", "100"}}); }, {"spaceWillExpand banner", "report 2"}},
        {"collapse during the collapse animation",
         [](AdViewStateTest& t) {
             t.expand();
             t.state->processCollapseAction();
             t.clock->advance(0.2);
         },
         [](AdViewStateTest& t) { t.collapse(); },
         {"spaceWillExpand banner", "report 2", "spaceWillCollapse banner", "report 0", "spaceDidCollapse banner",
          "alwaysSetFrame"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.before) c.before(*this);
        auto web = ad->web->frame();
        auto superview = ad->web->superview();
        c.request(*this);
        EXPECT_EQ(calls, c.expected);
        if (c.expected.empty()) {
            EXPECT_EQ(state->currentViewState(), c.before ? VuderuAdViewStateHidden : VuderuAdViewStateDefault);
        }
        if (!c.before) {
            EXPECT_EQ(ad->web->frame(), web);
            EXPECT_EQ(ad->web->superview(), superview);
        }
    }
}

TEST_F(AdViewStateTest, CollapseGivesTheWebViewBackToItsParentWithItsOwnFrameAndTag) {
    expand({{"w", "300"}, {"h", "250"}});
    auto blocking = state->blockingView();
    UIView::clearRecordedAnimations();
    state->processCollapseAction();
    // The dimming clears and moves over the expanded page while it shrinks back.
    EXPECT_TRUE(blocking->backgroundColor()->isEqual(UIColor::clearColor().get()));
    EXPECT_EQ(blocking->superview(), VuderuAdWindowBasedMraidViewController::takeoverWindow());
    EXPECT_TRUE(state->isCollapseAnimationInProgress());
    EXPECT_EQ(state->currentViewState(), VuderuAdViewStateExpanded);
    clock->advance(0.5);

    EXPECT_EQ(calls, (CallLog{"spaceWillExpand banner", "report 2", "spaceWillCollapse banner", "report 0",
                              "spaceDidCollapse banner", "alwaysSetFrame"}));
    auto records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].animationID, "vuderuCloseExpanded");
    EXPECT_EQ(state->currentViewState(), VuderuAdViewStateDefault);
    EXPECT_FALSE(state->isCollapseAnimationInProgress());
    EXPECT_FALSE(state->blockingView());
    EXPECT_FALSE(blocking->superview());
    EXPECT_FALSE(state->mraidAdViewController());
    EXPECT_EQ(UIApplication::sharedApplication()->keyWindow(), window);

    // Back in the ad view, which carries its own tag again; the ad keeps its place in the host
    // and the page fills the ad from its top left.
    EXPECT_EQ(ad->web->superview(), ad->view);
    EXPECT_EQ(ad->view->tag(), kParentTag);
    EXPECT_EQ(ad->view->frame(), kAdFrame);
    EXPECT_EQ(ad->web->frame(), kWebFrame);
    EXPECT_EQ(ad->web->transform(), CGAffineTransformIdentity);
    EXPECT_EQ(ad->web->convertRectToView(ad->web->bounds(), nullptr), kAdFrame);
}

TEST_F(AdViewStateTest, ATemporaryParentTagNeverCollidesWithATagInTheKeyWindow) {
    auto tagged = std::make_shared<UIView>();
    tagged->setTag(5);
    host->addSubview(tagged);
    // 0 is the window's own tag, 25005 draws 5 again; 42 is free.
    std::vector<std::uint32_t> draws{0, 5, 25005, 42};
    std::size_t next = 0;
    PlatformRandom::setSource([&] { return next < draws.size() ? draws[next++] : 1u; });
    expand();
    EXPECT_EQ(state->parentTag(), 42);
    EXPECT_EQ(ad->view->tag(), 42);
    EXPECT_EQ(tagged->tag(), 5);
    EXPECT_EQ(next, draws.size());
    collapse();
    EXPECT_EQ(ad->view->tag(), kParentTag);
}

TEST_F(AdViewStateTest, AnExpandedStateSetFromOutsideCollapsesWithoutMovingTheViews) {
    state->setCurrentViewState(VuderuAdViewStateExpanded);
    collapse();
    EXPECT_EQ(calls, (CallLog{"spaceWillCollapse banner", "report 0", "spaceDidCollapse banner"}));
    EXPECT_EQ(ad->web->superview(), ad->view);
    EXPECT_EQ(ad->view->frame(), kAdFrame);
    EXPECT_EQ(ad->view->superview(), host);
    EXPECT_EQ(ad->web->frame(), kWebFrame);
}

TEST_F(AdViewStateTest, AWebViewOutsideAnyParentIsNotExpanded) {
    ad->web->removeFromSuperview();
    expand();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(state->currentViewState(), VuderuAdViewStateDefault);
    EXPECT_FALSE(state->blockingView());
    EXPECT_FALSE(state->mraidAdViewController());
}

TEST_F(AdViewStateTest, AStateGoneWhileExpandedTakesItsWindowsAndDimmingAway) {
    expand();
    auto blocking = state->blockingView();
    ASSERT_TRUE(inTree(blocking, window));
    state.reset();
    EXPECT_FALSE(blocking->superview());
    EXPECT_FALSE(VuderuAdWindowBasedMraidViewController::takeoverWindow());
    EXPECT_EQ(UIApplication::sharedApplication()->keyWindow(), window);
    // The ended animation of a gone state calls nobody.
    clock->advance(1);
    EXPECT_EQ(calls, (CallLog{"spaceWillExpand banner", "report 2"}));
}
