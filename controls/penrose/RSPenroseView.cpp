#include "controls/penrose/RSPenroseView.h"

#include "platform/uikit/UIBezierPath.h"

#include <array>
#include <string>

namespace {
// The selection grey, a single-precision constant.
constexpr float kSelectWhite = 0.905882f;
constexpr double kBorderAlpha = 0.5;
// +-120 degrees in radians, as the turn is computed: 120 x pi over 180.
constexpr double kThirdTurnTimes180 = 376.99111843077515;
constexpr double kDegrees = 180;

// The parked menu answers touches only in this box about its tip.
constexpr CGFloat kTipX = 130;
constexpr CGFloat kTipWidth = 60;
constexpr CGFloat kTipHeight = 70;

struct Bar {
    int side;
    CGFloat outlineWidth;
    std::array<CGPoint, 6> points;
};

// Drawn in this order, each closed back to its first point.
const std::array<Bar, 3> kBars{{
    {.side = 2, .outlineWidth = 2,
     .points = {{{180.55, 279.97}, {139.45, 279.97}, {258.1, 72.34}, {103, 72.34}, {82.45, 36.37}, {319.75, 36.37}}}},
    {.side = 0, .outlineWidth = 2,
     .points = {{{299.24, 0.41}, {20.8, 0.41}, {139.45, 208.05}, {160, 172.08}, {82.45, 36.37}, {319.75, 36.37}}}},
    {.side = 1, .outlineWidth = 1,
     .points = {{{0.25, 36.37}, {20.8, 0.41}, {139.45, 208.05}, {217, 72.34}, {258.1, 72.34}, {139.45, 279.97}}}},
}};
} // namespace

RSPenroseView::RSPenroseView(const CGRect& frame) : UIView(frame) {}

std::shared_ptr<RSPenroseView> RSPenroseView::initWithFrame(const CGRect& frame) {
    auto view = std::make_shared<RSPenroseView>(frame);
    view->customize();
    return view;
}

void RSPenroseView::customize() {
    setBackgroundColor(UIColor::clearColor());
    leftColor_ = UIColor::whiteColor();
    rightColor_ = UIColor::whiteColor();
    topColor_ = UIColor::whiteColor();
    borderColor_ = UIColor::colorWithWhite(0, kBorderAlpha);
    selectColor_ = UIColor::colorWithRed(kSelectWhite, kSelectWhite, kSelectWhite, 1);
    currentSide_ = 0;
    selectSide(0);
    canRotate_ = false;
    colorSelectedSide_ = false;
}

float RSPenroseView::rotateFromSideToSide(int, int to) const {
    if (to == 2) return static_cast<float>(-kThirdTurnTimes180 / kDegrees);
    if (to == 1) return static_cast<float>(kThirdTurnTimes180 / kDegrees);
    return 0;
}

void RSPenroseView::selectSide(int side) {
    float angle = canRotate_ ? rotateFromSideToSide(currentSide_, side) : 0;
    layer()->setAnchorPoint(CGPointMake(layer()->anchorPoint().x, kAnchorY));
    UIView::animateWithDuration(kSelectDuration, [this, angle] {
        // Absolute: the turn replaces the previous one rather than adding to it.
        setTransform(CGAffineTransformMakeRotation(angle));
        setNeedsDisplay();
    });
    currentSide_ = side;
}

bool RSPenroseView::pointInsideWithEvent(CGPoint point, const std::shared_ptr<UIEvent>&) const {
    auto parent = superview();
    if (!parent || parent->frame().origin.y >= 0) return true;
    auto top = static_cast<CGFloat>(static_cast<int>(-frame().origin.y));
    return CGRectContainsPoint(CGRectMake(kTipX, top, kTipWidth, kTipHeight), point);
}

void RSPenroseView::drawRect(const CGRect&) {
    for (auto& bar : kBars) {
        UIColorPtr fill = bar.side == 0 ? topColor_ : bar.side == 1 ? leftColor_ : rightColor_;
        if (colorSelectedSide_ && bar.side == currentSide_) fill = selectColor_;
        auto path = UIBezierPath::bezierPath();
        path->moveToPoint(bar.points[0]);
        for (std::size_t i = 1; i < bar.points.size(); ++i) path->addLineToPoint(bar.points[i]);
        path->closePath();
        if (fill) {
            fill->setFill();
            path->fill();
        }
        if (borderColor_) {
            borderColor_->setStroke();
            path->setLineWidth(bar.outlineWidth);
            path->stroke();
        }
    }
}

void RSPenroseView::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    screen.addLine("triangle: side " + std::to_string(currentSide_) + (canRotate_ ? ", turns" : ""));
}
