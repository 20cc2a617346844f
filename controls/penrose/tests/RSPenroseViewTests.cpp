#include "controls/penrose/RSPenroseView.h"

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"
#include "platform/uikit/UIGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

namespace {
using Pixel = CGImage::Pixel;
constexpr Pixel kWhite{255, 255, 255, 255};
constexpr Pixel kSelectGrey{231, 231, 231, 255};

// Points well inside each bar (and away from the outlines), in the triangle's own coordinates.
constexpr CGPoint kInTop{280, 18};
constexpr CGPoint kInLeft{30, 60};
constexpr CGPoint kInRight{290, 54};

// The triangle drawn by itself at scale 1, white bars on a clear ground.
Pixel drawnAt(RSPenroseView& view, CGPoint p) {
    auto bitmap = CGImage::createWithSize(320, 280);
    UIGraphicsPushContext(std::make_shared<CGContext>(bitmap, 1));
    view.drawRect(view.bounds());
    UIGraphicsPopContext();
    return bitmap->pixelAt(static_cast<int>(p.x), static_cast<int>(p.y));
}

void expectTurnDegrees(const CGAffineTransform& t, double degrees) {
    double radians = degrees * std::numbers::pi / 180;
    EXPECT_NEAR(t.a, std::cos(radians), 1e-6);
    EXPECT_NEAR(t.b, std::sin(radians), 1e-6);
    EXPECT_NEAR(t.c, -std::sin(radians), 1e-6);
    EXPECT_NEAR(t.d, std::cos(radians), 1e-6);
}
} // namespace

TEST(RSPenroseView, DefaultsTurnAboutAPointJustAboveTheMiddle) {
    auto view = RSPenroseView::initWithFrame(CGRectMake(0, -34, 320, 280));
    EXPECT_EQ(view->currentSide(), 0);
    EXPECT_FALSE(view->canRotate());
    EXPECT_FALSE(view->colorSelectedSide());
    EXPECT_EQ(view->layer()->anchorPoint(), CGPointMake(0.5, 0.38));
    // The anchor moved, the position stayed: the triangle starts 0.4 points higher.
    EXPECT_EQ(view->center(), CGPointMake(160, 106));
    EXPECT_NEAR(view->frame().origin.y, -0.4, 1e-9);
    double red = 0, green = 0, blue = 0, alpha = 0;
    ASSERT_TRUE(view->selectColor()->getRedGreenBlueAlpha(&red, &green, &blue, &alpha));
    EXPECT_EQ(red, static_cast<double>(0.905882f));
    EXPECT_EQ(alpha, 1);
}

TEST(RSPenroseView, TurnDependsOnTheTargetSideOnly) {
    auto view = RSPenroseView::initWithFrame(CGRectMake(0, 0, 320, 280));
    const float third = static_cast<float>(376.99111843077515 / 180);
    struct Row {
        int from, to;
        float angle;
    } rows[] = {{0, 1, third}, {2, 1, third}, {0, 2, -third}, {1, 2, -third}, {1, 0, 0}, {0, 7, 0}, {0, -1, 0}};
    for (auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.from) + " -> " + std::to_string(row.to));
        EXPECT_EQ(view->rotateFromSideToSide(row.from, row.to), row.angle);
    }
}

TEST(RSPenroseView, SelectingASideSnapsToItsAbsoluteAngleWhenItCanRotate) {
    struct Row {
        bool canRotate;
        int side;
        double degrees;
    } rows[] = {{true, 1, 120}, {true, 2, -120}, {true, 0, 0}, {false, 1, 0}, {false, 2, 0}};
    for (auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.side) + (row.canRotate ? " turning" : " fixed"));
        auto view = RSPenroseView::initWithFrame(CGRectMake(0, -34, 320, 280));
        view->setCanRotate(row.canRotate);
        // A turn already made is replaced, not added to.
        view->setTransform(CGAffineTransformMakeRotation(1));
        view->selectSide(row.side);
        EXPECT_EQ(view->currentSide(), row.side);
        expectTurnDegrees(view->transform(), row.degrees);
        EXPECT_EQ(view->layer()->anchorPoint().y, 0.38);
    }
}

TEST(RSPenroseView, ParkedAtTheTopOnlyTheTipTakesTouches) {
    auto container = std::make_shared<UIView>(CGRectMake(0, -215, 320, 280));
    auto view = RSPenroseView::initWithFrame(CGRectMake(0, -34, 320, 280));
    container->addSubview(view);
    // The view's own top lies 0.4 points up, which truncates to a box from y 0.
    struct Row {
        CGFloat containerY;
        CGPoint point;
        bool inside;
    } rows[] = {
        {-215, {130, 0}, true},   {-215, {189, 69}, true}, {-215, {129, 10}, false}, {-215, {190, 10}, false},
        {-215, {150, 70}, false}, {-215, {160, 250}, false}, {-1, {10, 10}, false},   {0, {10, 10}, true},
        {144, {160, 250}, true},  {524, {5, 5}, true},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.containerY) + ": " + NSStringFromCGPoint(row.point));
        container->setFrame(CGRectMake(0, row.containerY, 320, 280));
        EXPECT_EQ(view->pointInsideWithEvent(row.point, nullptr), row.inside);
    }
}

TEST(RSPenroseView, SelectedBarIsGreyAndTheOthersKeepTheirColours) {
    auto view = RSPenroseView::initWithFrame(CGRectMake(0, 0, 320, 280));
    struct Row {
        bool colorSelected;
        int side;
        Pixel top, left, right;
    } rows[] = {
        {false, 0, kWhite, kWhite, kWhite},
        {true, 0, kSelectGrey, kWhite, kWhite},
        {true, 1, kWhite, kSelectGrey, kWhite},
        {true, 2, kWhite, kWhite, kSelectGrey},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.side) + (row.colorSelected ? " coloured" : " plain"));
        view->setColorSelectedSide(row.colorSelected);
        view->selectSide(row.side);
        EXPECT_EQ(drawnAt(*view, kInTop), row.top);
        EXPECT_EQ(drawnAt(*view, kInLeft), row.left);
        EXPECT_EQ(drawnAt(*view, kInRight), row.right);
    }
    // The outline is half-transparent black on the bars' edges.
    view->setColorSelectedSide(false);
    auto edge = drawnAt(*view, CGPointMake(160, 36));
    EXPECT_LT(edge.red, 200);
}
