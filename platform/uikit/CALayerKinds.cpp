// Drawing of the kinds of layer: shapes, text and gradients.

#include "platform/uikit/CAGradientLayer.h"
#include "platform/uikit/CAShapeLayer.h"
#include "platform/uikit/CATextLayer.h"

#include <cstring>

void CAShapeLayer::setPath(CGPathRef path) {
    if (path == path_) return;
    willChange("path", path_);
    path_ = path ? path->copy() : nullptr;
}

void CAShapeLayer::drawInContext(CGContext& c) {
    if (!path_) return;
    if (fillColor_ && fillColor_->alpha() > 0) {
        c.setFillColor(fillColor_->red(), fillColor_->green(), fillColor_->blue(), fillColor_->alpha());
        c.addPath(*path_);
        if (fillRule_ == kCAFillRuleEvenOdd) c.eoFillPath();
        else c.fillPath();
    }
    if (strokeColor_ && strokeColor_->alpha() > 0 && lineWidth_ > 0) {
        c.setStrokeColor(strokeColor_->red(), strokeColor_->green(), strokeColor_->blue(), strokeColor_->alpha());
        c.setLineWidth(lineWidth_);
        c.addPath(*path_);
        c.strokePath();
    }
}

void CATextLayer::drawInContext(CGContext& c) {
    if (string_.empty() || !foregroundColor_) return;
    CGTextStyle style;
    style.fontName = font_;
    style.pointSize = fontSize_;
    style.alignment = alignmentMode_ == kCAAlignmentCenter ? 1 : alignmentMode_ == kCAAlignmentRight ? 2 : 0;
    style.maximumLines = wrapped_ ? 0 : 1;
    c.setFillColor(foregroundColor_->red(), foregroundColor_->green(), foregroundColor_->blue(), foregroundColor_->alpha());
    c.drawText(string_, style, bounds());
}

void CAGradientLayer::drawInContext(CGContext& c) {
    if (colors_.empty()) return;
    std::vector<CGFloat> components;
    for (auto& color : colors_) {
        auto k = color ? color : UIColor::clearColor();
        components.insert(components.end(), {k->red(), k->green(), k->blue(), k->alpha()});
    }
    std::vector<CGFloat> locations;
    if (locations_.size() == colors_.size()) locations.assign(locations_.begin(), locations_.end());
    auto gradient = CGGradient::createWithColorComponents(components, locations, colors_.size());
    if (!gradient) return;
    auto b = bounds();
    CGPoint start{b.origin.x + startPoint_.x * b.size.width, b.origin.y + startPoint_.y * b.size.height};
    CGPoint end{b.origin.x + endPoint_.x * b.size.width, b.origin.y + endPoint_.y * b.size.height};
    c.saveGState();
    c.clipToRect(b);
    c.drawLinearGradient(*gradient, start, end, kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
    c.restoreGState();
}
