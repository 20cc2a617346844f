#include "platform/uikit/UIActivityIndicatorView.h"

#include "platform/uikit/UIGraphics.h"

#include <cmath>
#include <numbers>

namespace {
constexpr CGFloat kLargeSize = 37;
constexpr CGFloat kSmallSize = 20;
constexpr int kSpokes = 12;
// Each spoke fades behind the leading one, so the still picture reads as a wheel.
constexpr CGFloat kTrailingAlpha = 0.25;
} // namespace

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style) : style_(style) {
    CGFloat side = style == UIActivityIndicatorViewStyleWhiteLarge ? kLargeSize : kSmallSize;
    setFrame(CGRectMake(0, 0, side, side));
    setUserInteractionEnabled(false);
    setHidden(true);
}

UIColorPtr UIActivityIndicatorView::styleColor(UIActivityIndicatorViewStyle style) {
    return style == UIActivityIndicatorViewStyleGray ? UIColor::grayColor() : UIColor::whiteColor();
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style) {
    style_ = style;
    setNeedsDisplay();
}

void UIActivityIndicatorView::setColor(UIColorPtr color) {
    color_ = std::move(color);
    setNeedsDisplay();
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

void UIActivityIndicatorView::startAnimating() {
    animating_ = true;
    setHidden(false);
}

void UIActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

CGSize UIActivityIndicatorView::sizeThatFits(CGSize) const {
    CGFloat side = style_ == UIActivityIndicatorViewStyleWhiteLarge ? kLargeSize : kSmallSize;
    return CGSizeMake(side, side);
}

void UIActivityIndicatorView::drawRect(const CGRect&) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    auto colour = color_ ? color_ : styleColor(style_);
    auto b = bounds();
    CGFloat radius = std::min(b.size.width, b.size.height) / 2;
    CGPoint centre{CGRectGetMidX(b), CGRectGetMidY(b)};
    context->setLineWidth(std::max<CGFloat>(2, radius / 5));
    for (int i = 0; i < kSpokes; ++i) {
        CGFloat angle = 2 * std::numbers::pi_v<CGFloat> * i / kSpokes;
        CGFloat fade = kTrailingAlpha + (1 - kTrailingAlpha) * i / (kSpokes - 1);
        context->setStrokeColor(colour->red(), colour->green(), colour->blue(), colour->alpha() * fade);
        context->beginPath();
        context->moveToPoint({centre.x + radius * 0.45 * std::cos(angle), centre.y + radius * 0.45 * std::sin(angle)});
        context->addLineToPoint({centre.x + radius * 0.9 * std::cos(angle), centre.y + radius * 0.9 * std::sin(angle)});
        context->strokePath();
    }
}

std::optional<UIScreenMention> UIActivityIndicatorView::screenMention() const {
    return UIScreenMention{animating_ ? "spinning" : "spinner", false};
}
