// The bar buttons, the triangle's turns, the centre panel and the menu on the display.

#include "RSPenroseTestSupport.h"

#include "platform/foundation/NSLog.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIScreen.h"

#include <cmath>
#include <numbers>

namespace {
using Calls = std::vector<std::string>;
const float kThird = static_cast<float>(376.99111843077515 / 180);

void expectTurn(const CGAffineTransform& t, double radians) {
    EXPECT_NEAR(t.a, std::cos(radians), 1e-6);
    EXPECT_NEAR(t.b, std::sin(radians), 1e-6);
}
} // namespace

TEST_F(PenroseTest, BarButtonsLieAlongTheirBars) {
    struct Row {
        std::string model;
        CGFloat topCentreX;
    } rows[] = {{"iPhone", 160}, {"iPad", 320.0 / 4 - 30}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.model);
        DeviceProfile::update([&](DeviceProfile& p) { p.model = row.model; });
        SetUp();
        show();
        DeviceProfile::reset();
        auto& buttons = menu_->menuButtons();
        ASSERT_EQ(buttons.size(), 3u);
        EXPECT_EQ(buttons[0]->currentTitle(), "Music");
        EXPECT_EQ(buttons[0]->center(), CGPointMake(row.topCentreX, 19.5));
        EXPECT_EQ(buttons[0]->bounds().size, CGSizeMake(180, 35));
        EXPECT_EQ(buttons[1]->center(), CGPointMake(85, 147.5));
        expectTurn(buttons[1]->transform(), 4.1887902047863905);
        expectTurn(buttons[2]->transform(), 2.0943951023931957);
        EXPECT_EQ(buttons[2]->center(), CGPointMake(235, 147.5));
        EXPECT_EQ(buttons[1]->buttonType(), UIButtonTypeSystem);
        EXPECT_TRUE(menu_->penroseView()->canRotate());
        EXPECT_TRUE(menu_->penroseView()->colorSelectedSide());
        for (auto& b : buttons) EXPECT_EQ(b->superview(), menu_->penroseView());
    }
}

TEST_F(PenroseTest, ButtonsInARowShareTheWidth) {
    show(0, false);
    menu_->addButtonsToPenroseViewWithTitles({"A", "B", "C"});
    const float w = (320.0f - 50) / 3;
    auto& buttons = menu_->menuButtons();
    ASSERT_EQ(buttons.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(buttons[k]->frame(), CGRectMake(35 + static_cast<CGFloat>(k) * w, 0, w, 40)) << k;
    EXPECT_FALSE(menu_->penroseView()->canRotate());
}

TEST_F(PenroseTest, TappedBarReportsItsIndexThenParks) {
    // Each button's centre on the dropped menu: the container at y 144, the triangle 0.4 above it.
    struct Row {
        CGPoint point;
        int index;
    } rows[] = {{{160, 144 - 0.4 + 19.5}, 0}, {{85, 144 - 0.4 + 147.5}, 1}, {{235, 144 - 0.4 + 147.5}, 2}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.index);
        SetUp();
        show();
        menu_->showPenroseView();
        settle();
        menu_->calls.clear();
        UIFingers(window_).tap(row.point);
        EXPECT_EQ(menu_->calls, (Calls{"select " + std::to_string(row.index), "hide"}));
        EXPECT_FALSE(menu_->penroseRevealed());
    }
}

// In a view shorter than the triangle (a phone's Media tab held sideways, between its bars) the
// dropped menu lies from the view's top, inside it, and each bar's button answers there (the
// container keeps to the middle of the view's width, 124 points in).
TEST_F(PenroseTest, InAShortViewTheDroppedMenuLiesInsideAndEveryBarAnswers) {
    constexpr CGFloat x = 568 / 2 - 160;
    struct Row {
        CGPoint point;
        int index;
    } rows[] = {{{x + 284, 0 - 0.4 + 19.5}, 0}, {{x + 85, 0 - 0.4 + 147.5}, 1}, {{x + 235, 0 - 0.4 + 147.5}, 2}};
    for (auto& row : rows) {
        SCOPED_TRACE(row.index);
        SetUp();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 568, 207));
        show();
        menu_->showPenroseView();
        settle();
        EXPECT_EQ(containerY(), 0);
        menu_->calls.clear();
        UIFingers(window_).tap(row.point);
        EXPECT_EQ(menu_->calls, (Calls{"select " + std::to_string(row.index), "hide"}));
        EXPECT_FALSE(menu_->penroseRevealed());
        EXPECT_EQ(containerY(), kParkedTop);
    }
}

TEST_F(PenroseTest, ParkedAtTheBottomTheTopBarAnswers) {
    show();
    menu_->setSide(1); // parks at the bottom from the next parking on
    menu_->showPenroseView();
    menu_->hidePenroseView();
    settle();
    EXPECT_EQ(containerY(), kParkedBottom);
    // Parked at the bottom the top bar shows, and with the container below the top its button answers.
    menu_->calls.clear();
    UIFingers(window_).tap({160, kParkedBottom - 0.4 + 19.5});
    EXPECT_EQ(menu_->calls, (Calls{"select 0", "hide"}));
}

TEST_F(PenroseTest, DraggingSidewaysTurnsAndSnapsToASide) {
    // 100 points per radian, leftward clockwise; every step adds its whole turn to the sum, and
    // a sum of 5 radians either way moves the selection one side.
    struct Row {
        int from;
        std::vector<CGFloat> xs;
        int to;
    } rows[] = {
        {0, {48, 48, 48, 48}, 1}, {0, {48, 48, 48}, 0},     {0, {248, 248, 248, 248}, 2},
        {1, {48, 48, 48, 48}, 2}, {2, {48, 48, 48, 48}, 0}, {1, {248, 248, 248, 248}, 0},
        {0, {48.5, 48.5, 48.5, 48.5}, 0},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.from) + " -> " + std::to_string(row.to));
        SetUp();
        show();
        menu_->penroseView()->selectSide(row.from);
        menu_->calls.clear();
        turnFrom({148, 40}, row.xs);
        EXPECT_EQ(menu_->penroseView()->currentSide(), row.to);
        double snapped = row.to == 1 ? kThird : row.to == 2 ? -kThird : 0;
        expectTurn(menu_->penroseView()->transform(), snapped);
        EXPECT_EQ(menu_->calls, (Calls{"show", "select " + std::to_string(row.to)}));
    }
}

TEST_F(PenroseTest, TriangleTurnsWithTheFingerDuringAPan) {
    show();
    menu_->penroseView()->selectSide(1);
    UIFingers fingers(window_);
    fingers.down({{160, 40}});
    fingers.move({{148, 40}});
    fingers.move({{98, 40}}); // 50 points left: half a radian clockwise from side 1's turn
    expectTurn(menu_->penroseView()->transform(), kThird + 0.5);
    fingers.move({{198, 40}});
    expectTurn(menu_->penroseView()->transform(), kThird - 0.5);
    fingers.up();
}

TEST_F(PenroseTest, TwoFingerTurnOnlyWhileDown) {
    show();
    // Parked: the turn changes nothing.
    menu_->calls.clear();
    UIFingers(window_).twist({160, 30}, 20, 90, 10);
    EXPECT_EQ(menu_->penroseView()->currentSide(), 0);
    EXPECT_EQ(std::count(menu_->calls.begin(), menu_->calls.end(), "select 1"), 0);

    menu_->showPenroseView();
    settle();
    menu_->calls.clear();
    // The sum of every step's rotation passes 5 radians well before a quarter turn ends.
    UIFingers(window_).twist({160, 300}, 60, 90, 10);
    EXPECT_EQ(menu_->penroseView()->currentSide(), 1);
    expectTurn(menu_->penroseView()->transform(), kThird);
    EXPECT_EQ(menu_->calls.back(), "select 1");
    EXPECT_TRUE(menu_->penroseRevealed());
}

TEST_F(PenroseTest, SwappingThePanelFadesTheOldOneOut) {
    show();
    auto first = std::make_shared<UIViewController>();
    auto second = std::make_shared<UIViewController>();
    menu_->setMainController(first);
    settle();
    EXPECT_EQ(first->view()->superview(), menu_->centerPanelContainer());
    EXPECT_EQ(first->parentViewController(), menu_);

    UIView::clearRecordedAnimations();
    menu_->setMainController(second);
    EXPECT_EQ(menu_->centerPanel(), second);
    EXPECT_EQ(first->parentViewController(), nullptr);
    EXPECT_EQ(second->parentViewController(), menu_);
    EXPECT_EQ(first->view()->alpha(), 0);
    EXPECT_EQ(second->view()->alpha(), 1);
    ASSERT_EQ(UIView::recordedAnimations().size(), 1u);
    EXPECT_EQ(UIView::recordedAnimations()[0].duration, 0.5);
    EXPECT_EQ(first->view()->superview(), menu_->centerPanelContainer()); // until the fade ends
    clock_.advance(0.5);
    EXPECT_EQ(first->view()->superview(), nullptr);
    EXPECT_EQ(second->view()->superview(), menu_->centerPanelContainer());

    // The same panel again stays on screen; a storyboard identifier changes nothing.
    menu_->setMainController(second);
    menu_->setMainControllerWithStoryboardID("Music");
    clock_.advance(0.5);
    EXPECT_EQ(second->view()->superview(), menu_->centerPanelContainer());
    EXPECT_EQ(menu_->centerPanel(), second);
    EXPECT_EQ(menu_->childViewControllers().size(), 1u);
}

// No storyboard holds a panel here: an identifier is logged and whatever panel is shown stays.
TEST_F(PenroseTest, AStoryboardIdentifierIsLoggedAndLeavesThePanelAsItIs) {
    const struct {
        const char* name;
        bool panel;
    } cases[] = {{"no panel yet", false}, {"a panel shown", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        menu_ = std::make_shared<RecordingPenrose>();
        show();
        auto panel = c.panel ? std::make_shared<UIViewController>() : nullptr;
        if (panel) menu_->setMainController(panel);
        settle();
        const auto shown = menu_->centerPanelContainer()->subviews();
        NSLogCapture log;
        menu_->setMainControllerWithStoryboardID("Music");
        settle();
        EXPECT_EQ(log.lines(),
                  std::vector<std::string>{"RSPenroseViewController: there are no storyboards; no panel is made for the identifier Music"});
        EXPECT_EQ(menu_->centerPanel(), panel);
        EXPECT_EQ(menu_->centerPanelContainer()->subviews(), shown);
        EXPECT_EQ(menu_->childViewControllers().size(), c.panel ? 1u : 0u);
    }
}

TEST_F(PenroseTest, PanelSetBeforeTheViewLoadsIsShownWhenItDoes) {
    auto panel = std::make_shared<UIViewController>();
    menu_->setMainController(panel);
    show();
    EXPECT_EQ(panel->view()->superview(), menu_->centerPanelContainer());
    EXPECT_EQ(UIViewController_RSPenrose::rootPenroseController(*panel), menu_);
}

TEST_F(PenroseTest, RootPenroseControllerIsTheNearestMenuAbove) {
    auto outer = std::make_shared<RSPenroseViewController>();
    auto middle = std::make_shared<UIViewController>();
    auto inner = std::make_shared<UIViewController>();
    outer->addChildViewController(middle);
    middle->addChildViewController(inner);
    EXPECT_EQ(UIViewController_RSPenrose::rootPenroseController(*inner), outer);
    EXPECT_EQ(UIViewController_RSPenrose::rootPenroseController(*outer), nullptr);
    EXPECT_EQ(UIViewController_RSPenrose::rootPenroseController(UIViewController()), nullptr);
}

TEST_F(PenroseTest, DroppedTriangleShowsTheSelectedBarGrey) {
    show();
    menu_->penroseView()->selectSide(0);
    menu_->showPenroseView();
    settle();
    auto screen = UIDisplaySnapshot();
    ASSERT_EQ(screen->width(), 640);
    auto scale = UIScreen::mainScreen()->scale();
    auto at = [&](CGFloat x, CGFloat y) { return screen->pixelAt(int(x * scale), int((144 - 0.4 + y) * scale)); };
    EXPECT_EQ(at(280, 18), (CGImage::Pixel{231, 231, 231, 255}));   // the top bar, selected
    EXPECT_EQ(at(30, 60), (CGImage::Pixel{255, 255, 255, 255}));    // the left bar
    EXPECT_EQ(at(290, 54), (CGImage::Pixel{255, 255, 255, 255}));   // the right bar
}

TEST_F(PenroseTest, ScreenTextSaysWhereTheMenuIs) {
    show();
    UIScreenDescription parked;
    parked.describeWindow(window_);
    EXPECT_NE(parked.text().find("menu: parked, \"Music\""), std::string::npos) << parked.text();
    menu_->showPenroseView();
    menu_->penroseView()->selectSide(2);
    UIScreenDescription down;
    down.describeWindow(window_);
    EXPECT_NE(down.text().find("menu: down, \"Videos\""), std::string::npos) << down.text();
    UIScreenReply reply;
    EXPECT_TRUE(down.tap("Photos", reply)) << reply.error;
    EXPECT_EQ(menu_->calls.back(), "hide");
    EXPECT_EQ(menu_->calls[menu_->calls.size() - 2], "select 1");
}
