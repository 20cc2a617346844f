#include "platform/uikit/CALayer.h"

#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>

namespace {
// Counts the times the base drawRect ran: a view that does not override it drew nothing.
thread_local int baseDrawRectRuns = 0;
} // namespace

CGRect CALayer::frame() const {
    CGFloat w = bounds_.size.width, h = bounds_.size.height;
    CGRect local = CGRectMake(-w * anchorPoint_.x, -h * anchorPoint_.y, w, h);
    return CGRectOffset(CGRectApplyAffineTransform(local, transform_), position_.x, position_.y);
}

void CALayer::setFrame(const CGRect& frame) {
    auto f = CGRectStandardize(frame);
    // As on the platform, a frame set under a transform other than the identity only moves the layer.
    if (CGAffineTransformIsIdentity(transform_)) bounds_.size = f.size;
    position_ = {f.origin.x + f.size.width * anchorPoint_.x, f.origin.y + f.size.height * anchorPoint_.y};
}

bool CALayer::display(CGFloat minimumScale) {
    CGFloat scale = std::max(contentsScale_, minimumScale);
    bool keeps = !view_ || view_->keepsDrawing();
    bool redrawOnResize = view_ && view_->contentMode() == UIViewContentModeRedraw && backingSize_ != bounds_.size;
    if (keeps && !needsDisplay_ && !redrawOnResize && scale == backingScale_ && (backing_ || drewNothing_))
        return backing_ != nullptr;
    backingScale_ = scale;
    needsDisplay_ = false;
    drewNothing_ = true;
    backing_ = nullptr;
    auto delegate = delegate_.lock();
    CALayerDelegate* drawer = delegate ? delegate.get() : view_;
    if (!drawer || CGRectIsEmpty(bounds_)) return false;
    auto image = CGImage::createWithSize(static_cast<int>(std::ceil(bounds_.size.width * scale)),
                                         static_cast<int>(std::ceil(bounds_.size.height * scale)));
    if (!image) return false;
    auto context = std::make_shared<CGContext>(image, scale);
    context->translateCTM(-bounds_.origin.x, -bounds_.origin.y);
    int runsBefore = baseDrawRectRuns;
    drawer->drawLayerInContext(*this, *context);
    context.reset();
    if (baseDrawRectRuns != runsBefore) return false;
    drewNothing_ = false;
    backing_ = image;
    backingSize_ = bounds_.size;
    return true;
}

void UIView::drawRect(const CGRect&) { ++baseDrawRectRuns; }

void UIView::drawLayerInContext(CALayer&, CGContext& context) {
    UIGraphicsPushContext(context.self<CGContext>());
    drawRect(bounds());
    UIGraphicsPopContext();
}

CGRect UIViewContentModeRect(UIViewContentMode mode, CGSize content, const CGRect& bounds) {
    if (mode == UIViewContentModeScaleToFill || mode == UIViewContentModeRedraw || content.width <= 0 || content.height <= 0)
        return bounds;
    CGSize size = content;
    if (mode == UIViewContentModeScaleAspectFit || mode == UIViewContentModeScaleAspectFill) {
        CGFloat sx = bounds.size.width / content.width, sy = bounds.size.height / content.height;
        CGFloat s = mode == UIViewContentModeScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
        size = {content.width * s, content.height * s};
    }
    CGFloat left = bounds.origin.x, right = bounds.origin.x + bounds.size.width - size.width;
    CGFloat top = bounds.origin.y, bottom = bounds.origin.y + bounds.size.height - size.height;
    CGFloat x = (left + right) / 2, y = (top + bottom) / 2;
    if (mode == UIViewContentModeLeft || mode == UIViewContentModeTopLeft || mode == UIViewContentModeBottomLeft) x = left;
    if (mode == UIViewContentModeRight || mode == UIViewContentModeTopRight || mode == UIViewContentModeBottomRight) x = right;
    if (mode == UIViewContentModeTop || mode == UIViewContentModeTopLeft || mode == UIViewContentModeTopRight) y = top;
    if (mode == UIViewContentModeBottom || mode == UIViewContentModeBottomLeft || mode == UIViewContentModeBottomRight) y = bottom;
    return CGRectMake(x, y, size.width, size.height);
}
