// How the bubble and its inner frame view paint themselves.
#include "controls/popover/PVPopoverBackgroundInnerView.h"
#include "controls/popover/PVPopoverBackgroundView.h"
#include "controls/popover/UIColor+PVPopover.h"
#include "platform/uikit/UIGraphics.h"

#include <algorithm>
#include <cmath>

namespace {

struct Corner {
    CGPoint at;
    bool shortened; // takes the radius left beside the arrow
};

CGColorComponents components(const UIColorPtr& color) {
    if (!color) return {0, 0, 0, 0};
    double r, g, b, a;
    UIColor_PVPopover::getValueOfRedGreenBlueAlpha(*color, &r, &g, &b, &a);
    return {r, g, b, a};
}

CGGradientRef verticalGradient(const UIColorPtr& top, const UIColorPtr& bottom) {
    CGColorComponents t = components(top), b = components(bottom);
    return CGGradient::createWithColorComponents({t.red, t.green, t.blue, t.alpha, b.red, b.green, b.blue, b.alpha}, {0, 1}, 2);
}

CGRect unionRect(const CGRect& a, const CGRect& b) {
    CGFloat x0 = std::min(CGRectGetMinX(a), CGRectGetMinX(b)), y0 = std::min(CGRectGetMinY(a), CGRectGetMinY(b));
    CGFloat x1 = std::max(CGRectGetMaxX(a), CGRectGetMaxX(b)), y1 = std::max(CGRectGetMaxY(a), CGRectGetMaxY(b));
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

void addPathOf(CGContext& c, const UIBezierPath& path) { c.addPath(*path.CGPath()); }

} // namespace

UIBezierPathPtr PVPopoverBubblePath(const CGRect& r, unsigned long direction, float arrowOffset, unsigned long arrowBase,
                                    unsigned long arrowHeight, unsigned long cornerRadius) {
    const CGFloat minX = CGRectGetMinX(r), maxX = CGRectGetMaxX(r), minY = CGRectGetMinY(r), maxY = CGRectGetMaxY(r);
    const CGFloat midX = CGRectGetMidX(r), midY = CGRectGetMidY(r);
    const CGFloat a = arrowOffset, k = static_cast<CGFloat>(arrowBase / 2), h = static_cast<CGFloat>(arrowHeight);
    const auto c = static_cast<CGFloat>(cornerRadius);
    const bool forward = a >= 0;
    const CGPoint topLeft{minX, minY}, topRight{maxX, minY}, bottomLeft{minX, maxY}, bottomRight{maxX, maxY};

    CGPoint start, tip, baseEnd;
    CGFloat straight = 0;
    std::vector<Corner> corners;
    switch (direction) {
    case PVPopoverArrowDirectionUp:
        start = {midX + a - k, minY}, tip = {midX + a, minY - h}, baseEnd = {midX + a + k, minY};
        straight = forward ? maxX - (midX + a + k) : (midX + a - k) - minX;
        corners = {{topRight, forward}, {bottomRight, false}, {bottomLeft, false}, {topLeft, !forward}};
        break;
    case PVPopoverArrowDirectionDown:
        start = {midX + a + k, maxY}, tip = {midX + a, maxY + h}, baseEnd = {midX + a - k, maxY};
        straight = forward ? maxX - (midX + a + k) : (midX + a - k) - minX;
        corners = {{bottomLeft, !forward}, {topLeft, false}, {topRight, false}, {bottomRight, forward}};
        break;
    case PVPopoverArrowDirectionLeft:
        start = {minX, midY + a + k}, tip = {minX - h, midY + a}, baseEnd = {minX, midY + a - k};
        straight = forward ? maxY - (midY + a + k) : (midY + a - k) - minY;
        corners = {{topLeft, !forward}, {topRight, false}, {bottomRight, false}, {bottomLeft, forward}};
        break;
    case PVPopoverArrowDirectionRight:
        start = {maxX, midY + a - k}, tip = {maxX + h, midY + a}, baseEnd = {maxX, midY + a + k};
        straight = forward ? maxY - (midY + a + k) : (midY + a - k) - minY;
        corners = {{bottomRight, forward}, {bottomLeft, false}, {topLeft, false}, {topRight, !forward}};
        break;
    default:
        start = tip = baseEnd = {maxX, midY};
        corners = {{bottomRight, false}, {bottomLeft, false}, {topLeft, false}, {topRight, false}};
        break;
    }
    // The corners beside the arrow may only round what is left of the straight edge.
    const CGFloat shortRadius = std::max<CGFloat>(0, std::min(straight, c));

    auto path = CGPath::create();
    path->moveToPoint(start);
    path->addLineToPoint(tip);
    path->addLineToPoint(baseEnd);
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const CGPoint next = corners[(i + 1) % corners.size()].at;
        path->addArcToPoint(corners[i].at, next, corners[i].shortened ? shortRadius : c);
    }
    path->addLineToPoint(start);
    path->closeSubpath();
    return UIBezierPath::bezierPathWithCGPath(path);
}

void PVPopoverBackgroundView::drawLayerInContext(CALayer& layer, CGContext& c) {
    if (layer.name() != "parent") return;
    UIGraphicsPushContext(c.self<CGContext>());
    const PVPopoverThemeValues& v = look_;
    auto bubble = PVPopoverBubblePath(CGRectInset(outerRect(), 0.5, 0.5), arrowDirection_, arrowOffset_, v.arrowBase,
                                      v.arrowHeight, v.outerCornerRadius);
    const CGRect box = bubble->bounds();
    auto gradient = verticalGradient(v.fillTopColor, v.fillBottomColor);

    // The filled shape casts the outer shadow once, as one transparency layer.
    c.saveGState();
    c.setShadow(v.outerShadowOffset, static_cast<CGFloat>(v.outerShadowBlurRadius), components(v.outerShadowColor));
    c.beginTransparencyLayer();
    addPathOf(c, *bubble);
    c.clip();
    if (gradient)
        c.drawLinearGradient(*gradient, {CGRectGetMidX(box), CGRectGetMinY(box)}, {CGRectGetMidX(box), CGRectGetMaxY(box)}, 0);
    c.endTransparencyLayer();
    c.restoreGState();

    // The gloss: the shadow of everything outside the bubble, thrown inwards along its edge. The
    // negative shape is drawn a full width to the left so that only its shadow lands in the clip.
    const auto gloss = static_cast<CGFloat>(v.glossShadowBlurRadius);
    CGRect outside = CGRectOffset(CGRectInset(box, -gloss, -gloss), -v.glossShadowOffset.width, -v.glossShadowOffset.height);
    outside = CGRectInset(unionRect(outside, box), -1, -1);
    auto negative = UIBezierPath::bezierPathWithRect(outside);
    negative->appendPath(*bubble);
    negative->setUsesEvenOddFillRule(true);
    c.saveGState();
    const CGFloat w = std::round(outside.size.width);
    const CGFloat x = v.glossShadowOffset.width + w, y = v.glossShadowOffset.height;
    c.setShadow({x + std::copysign(0.1, x), y + std::copysign(0.1, y)}, gloss, components(v.glossShadowColor));
    addPathOf(c, *bubble);
    c.clip();
    negative->applyTransform(CGAffineTransformMakeTranslation(-w, 0));
    UIColor::grayColor()->setFill();
    negative->fill();
    c.restoreGState();

    if (v.outerStrokeColor) v.outerStrokeColor->setStroke();
    bubble->setLineWidth(1);
    bubble->stroke();
    UIGraphicsPopContext();
}

PVPopoverBackgroundInnerView::PVPopoverBackgroundInnerView(const CGRect& frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setUserInteractionEnabled(false);
}

void PVPopoverBackgroundInnerView::drawRect(const CGRect& q) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    CGContext& c = *context;
    auto gradient = verticalGradient(gradientTopColor_, gradientBottomColor_);
    const CGFloat barHeight = wantsDefaultContentAppearance_ ? 0 : navigationBarHeight_;
    const CGFloat radius = wantsDefaultContentAppearance_ ? 0 : innerCornerRadius_;
    const CGRect p = CGRectMake(q.origin.x, q.origin.y + barHeight, q.size.width, q.size.height - barHeight);
    auto rounded = UIBezierPath::bezierPathWithRoundedRect(p, radius + 1);
    const bool framed = !wantsDefaultContentAppearance_ && borderWidth_ > 0;

    if (framed) {
        // The bubble's gradient continued into the four slivers between square and rounded corners.
        auto slivers = UIBezierPath::bezierPathWithRect(p);
        slivers->appendPath(*rounded);
        c.saveGState();
        addPathOf(c, *slivers);
        c.eoClip();
        if (gradient) c.drawLinearGradient(*gradient, {0, -gradientTopPosition_}, {0, gradientHeight_ - gradientTopPosition_}, 0);
        c.restoreGState();
    }

    c.saveGState();
    if (framed) {
        addPathOf(c, *rounded);
        c.clip();
        c.setShadow(innerShadowOffset_, innerShadowBlurRadius_, components(innerShadowColor_));
    }
    const CGRect line = CGRectInset(p, 0.5, 0.5);
    auto outline = borderWidth_ == 0
                       ? UIBezierPath::bezierPathWithRoundedRect(line, UIRectCornerBottomLeft | UIRectCornerBottomRight,
                                                                 CGSizeMake(radius, radius))
                       : UIBezierPath::bezierPathWithRoundedRect(line, radius);
    if (innerStrokeColor_) innerStrokeColor_->setStroke();
    outline->setLineWidth(1);
    outline->stroke();
    c.restoreGState();
}
