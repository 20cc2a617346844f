#include "sdk/adviews/VuderuCircleCounterView.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIGraphics.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace {
struct Look {
    double fontSize, borderWidth, cornerRadius, layerBorderWidth;
};
constexpr Look kPadLook{14.0, 6.0, 25.0, 2.0};
constexpr Look kPhoneLook{10.0, 3.0, 15.0, 1.0};
constexpr double kBackgroundAlpha = 0.3;
// The ring's ends, as the angles were kept in single precision.
constexpr float kQuarterTurn = static_cast<float>(std::numbers::pi / 2);
constexpr double kThreeQuarterTurns = 4.7123889366733;
constexpr CGFloat kUnbounded = std::numeric_limits<CGFloat>::max();
} // namespace

VuderuCircleCounterView::VuderuCircleCounterView(const CGRect& frame) : UIView(frame) { setup(); }

void VuderuCircleCounterView::setup() {
    const Look& look = VuderuUtil::isIPad() ? kPadLook : kPhoneLook;
    circleTimeInterval_ = 1.0f;
    numberColor_ = UIColor::whiteColor();
    numberFont_ = UIFont::fontWithNameSize("Helvetica", look.fontSize);
    circleColor_ = UIColor::whiteColor();
    circleBorderWidth_ = look.borderWidth;
    timeFormatString_ = "%.0f";
    circleTotalSegs_ = 0;
    circleSegs_ = 0;
    circleIncre_ = false;
    setBackgroundColor(UIColor::colorWithRed(0, 0, 0, kBackgroundAlpha));
    layer()->setCornerRadius(look.cornerRadius);
    layer()->setBorderWidth(look.layerBorderWidth);
    layer()->setBorderColor(UIColor::blackColor());
    layer()->setMasksToBounds(true);
}

void VuderuCircleCounterView::upgradeGraphics(std::int32_t totalSeconds, float secondsLeft) {
    if (totalSeconds <= 0) return;
    if (circleTotalSegs_ == 0) {
        circleTotalSegs_ = totalSeconds;
        mTimeInSeconds_ = secondsLeft;
        update(true, false);
    } else if (secondsLeft > 0) {
        // A truncating remainder: the first value can be -1 (a whole ring).
        circleSegs_ = (totalSeconds - static_cast<std::int32_t>(std::trunc(secondsLeft)) - 1) % circleTotalSegs_;
        mTimeInSeconds_ = secondsLeft;
        update(false, false);
    } else {
        mTimeInSeconds_ = secondsLeft;
        update(false, true);
    }
}

void VuderuCircleCounterView::update(bool first, bool end) {
    if (first) circleSegs_ = circleTotalSegs_;
    else if (end) circleSegs_ = 0;
    setNeedsDisplay();
}

std::string VuderuCircleCounterView::numberText() const {
    std::string text = NSString::stringWithFormat(timeFormatString_, static_cast<double>(mTimeInSeconds_));
    return text == "0" ? std::string() : text;
}

void VuderuCircleCounterView::drawRect(const CGRect& r) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    context->saveGState();
    // Without a total there is no ring to divide.
    if (circleTotalSegs_ != 0) {
        context->setLineWidth(circleBorderWidth_);
        const float ratio = static_cast<float>(circleSegs_ + 1) / static_cast<float>(circleTotalSegs_);
        const double angle = ratio * 2 * std::numbers::pi - kQuarterTurn;
        const CGPoint centre = CGPointMake(CGRectGetMidX(r), CGRectGetMidY(r));
        const float radius = static_cast<float>(r.size.width / 2 - circleBorderWidth_ / 2);
        context->beginPath();
        if (circleIncre_) context->addArc(centre, radius, -kQuarterTurn, angle, false);
        else context->addArc(centre, radius, angle, kThreeQuarterTurns, false);
        if (circleColor_) circleColor_->setStroke();
        context->strokePath();
    }
    context->setLineWidth(1);
    const std::string text = numberText();
    if (!text.empty()) {
        NSStringAttributes attributes{numberFont_, UIColor::whiteColor(), NSTextAlignmentLeft};
        const CGSize size = NSStringBoundingRectWithSize(text, CGSizeMake(kUnbounded, kUnbounded), 0, attributes).size;
        NSStringDrawInRect(text, CGRectMake(CGRectGetMidX(r) - size.width / 2, CGRectGetMidY(r) - size.height / 2, size.width, size.height),
                           attributes);
    }
    context->restoreGState();
}

void VuderuCircleCounterView::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    const std::string text = numberText();
    if (!text.empty() && circleTotalSegs_ != 0) screen.addLine("countdown: " + text);
}
