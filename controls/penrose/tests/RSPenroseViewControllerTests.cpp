#include "RSPenroseTestSupport.h"

namespace {
using RSPenroseViewControllerCalls = std::vector<std::string>;
} // namespace

TEST_F(PenroseTest, BuildsTheMenuParkedOverThePanel) {
    show(0, false);
    EXPECT_EQ(menu_->penroseViewContainer()->frame(), CGRectMake(0, kParkedTop, 320, 280));
    EXPECT_EQ(menu_->centerPanelContainer()->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(menu_->view()->subviews(), (std::vector<UIViewPtr>{menu_->centerPanelContainer(), menu_->penroseViewContainer()}));
    EXPECT_EQ(menu_->penroseView()->superview(), menu_->penroseViewContainer());
    EXPECT_NEAR(menu_->penroseView()->frame().origin.y, -0.4, 1e-9);
    EXPECT_FALSE(menu_->penroseRevealed());
    EXPECT_FALSE(overlayShown());
    EXPECT_EQ(menu_->overlayBackground()->alpha(), 0.4);
    EXPECT_EQ(menu_->penroseViewContainer()->gestureRecognizers().size(), 3u);
}

TEST_F(PenroseTest, ParkingSideFollowsSideAppear) {
    struct Row {
        int side;
        CGFloat parkedY;
        int sideAfter;
    } rows[] = {{0, kParkedTop, 0}, {1, kParkedBottom, 1}, {2, kParkedTop, 0}, {-1, kParkedTop, 0}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.side);
        SetUp();
        show(row.side, false);
        EXPECT_EQ(containerY(), row.parkedY);
        EXPECT_EQ(menu_->sideAppear(), row.sideAfter);
    }
}

TEST_F(PenroseTest, TapOnTheTipDropsAndTapOnTheOverlayParks) {
    show();
    UIFingers(window_).tap({160, 40});
    EXPECT_TRUE(menu_->penroseRevealed());
    EXPECT_EQ(containerY(), kDropped);
    EXPECT_TRUE(statusBarHidden());
    EXPECT_EQ(UIApplication::sharedApplication()->lastStatusBarAnimation(), UIStatusBarAnimationSlide);
    settle();
    ASSERT_TRUE(overlayShown());
    EXPECT_EQ(menu_->overlayBackground()->alpha(), 0.4);

    UIFingers(window_).tap({160, 60}); // the overlay, above the triangle
    EXPECT_FALSE(menu_->penroseRevealed());
    EXPECT_EQ(containerY(), kParkedTop);
    EXPECT_FALSE(statusBarHidden());
    settle();
    EXPECT_FALSE(overlayShown());
    EXPECT_EQ(menu_->calls, (RSPenroseViewControllerCalls{"show", "hide"}));
}

TEST_F(PenroseTest, PanRulesMirrorForTheBottomSide) {
    // Only a push of 50 points or more back towards the parking edge parks; anything else drops.
    struct Row {
        int side;
        bool fromDropped;
        CGFloat dy;
        bool revealed;
    } rows[] = {
        {0, false, -50, false}, {0, false, -49, true}, {0, false, 0, true},    {0, false, 80, true},
        {0, true, -50, false},  {0, true, -49, true},  {0, true, 60, true},    {1, false, 50, false},
        {1, false, 49, true},   {1, false, -80, true}, {1, true, 50, false},   {1, true, -50, true},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.side) + (row.fromDropped ? " dropped " : " parked ") + std::to_string(row.dy));
        SetUp();
        show(row.side);
        if (row.fromDropped) {
            menu_->showPenroseView();
            settle();
            menu_->calls.clear();
        }
        // The tip while parked at the top, the top bar's edge at the bottom, the lower tip when down.
        CGPoint start = row.fromDropped ? CGPoint{160, 400} : row.side == 0 ? CGPoint{160, 40} : CGPoint{280, 545};
        panFrom(start, row.dy);
        EXPECT_EQ(menu_->penroseRevealed(), row.revealed);
        EXPECT_EQ(containerY(), row.revealed ? kDropped : row.side == 0 ? kParkedTop : kParkedBottom);
        EXPECT_EQ(statusBarHidden(), row.revealed);
        // The bars can turn, so every pan ends with the side it leaves selected.
        EXPECT_EQ(menu_->calls, (RSPenroseViewControllerCalls{row.revealed ? "show" : "hide", "select 0"}));
        settle();
        EXPECT_EQ(overlayShown(), row.revealed);
    }
}

TEST_F(PenroseTest, ContainerFollowsTheFingerAndTheOverlayFadesNearTheTop) {
    show();
    UIFingers fingers(window_);
    fingers.down({{160, 40}});
    fingers.move({{160, 52}});
    EXPECT_TRUE(statusBarHidden()); // as soon as the pan begins
    EXPECT_TRUE(overlayShown());
    struct Row {
        CGFloat y;
        CGFloat centreY;
        CGFloat alpha;
    } rows[] = {{52 + 75, 0, 0}, {52 + 150, 75, 0.2}, {52 + 225, 150, 0.4}, {52 + 400, 325, 0.4}, {52 + 25, -50, 0}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.y);
        fingers.move({{160, row.y}});
        EXPECT_EQ(menu_->penroseViewContainer()->center(), CGPointMake(160, row.centreY));
        EXPECT_NEAR(menu_->overlayBackground()->alpha(), row.alpha, 1e-9);
    }
    fingers.up();
}

TEST_F(PenroseTest, CancelledPanSettlesAsAnEndedOne) {
    struct Row {
        CGFloat dy;
        bool revealed;
    } rows[] = {{30, true}, {-60, false}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.dy);
        SetUp();
        show();
        menu_->showPenroseView();
        settle();
        panFrom({160, 400}, row.dy, {}, true);
        EXPECT_EQ(menu_->penroseRevealed(), row.revealed);
        EXPECT_EQ(containerY(), row.revealed ? kDropped : kParkedTop);
        // Parked again, the status bar is back.
        EXPECT_EQ(statusBarHidden(), row.revealed);
        settle();
        EXPECT_EQ(overlayShown(), row.revealed);
    }
}

TEST_F(PenroseTest, DisabledOverlayNeverEntersTheViewTree) {
    show();
    menu_->setDisableOverlay(true);
    UIFingers(window_).tap({160, 40});
    EXPECT_FALSE(overlayShown());
    settle();
    EXPECT_FALSE(overlayShown());
    panFrom({160, 400}, 20);
    EXPECT_FALSE(overlayShown());
    menu_->hidePenroseView();
    settle();
    EXPECT_FALSE(overlayShown());
}

TEST_F(PenroseTest, WithoutBarButtonsAPanSelectsNothing) {
    show(0, false);
    panFrom({160, 40}, 100);
    EXPECT_EQ(menu_->calls, (RSPenroseViewControllerCalls{"show"}));
    EXPECT_EQ(menu_->penroseView()->currentSide(), 0);
}

TEST_F(PenroseTest, CallsBeforeTheViewLoadsBuildItFirst) {
    menu_->addButtonsToPenroseViewWithTitles({"One", "Two"});
    EXPECT_TRUE(menu_->isViewLoaded());
    EXPECT_EQ(menu_->menuButtons().size(), 2u);
    auto other = std::make_shared<RecordingPenrose>();
    other->toggleOverlayBackground();
    other->showPenroseView();
    EXPECT_TRUE(other->penroseRevealed());
    EXPECT_EQ(other->penroseViewContainer()->frame().origin.y, kDropped);
}
