#include "platform/uikit/CALayer.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/CATransaction.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {
// Counts the times the base drawRect ran: a view that does not override it drew nothing.
thread_local int baseDrawRectRuns = 0;
} // namespace

CALayer::~CALayer() {
    for (auto& child : sublayers_) child->superlayer_.reset();
}

CGRect CALayer::frame() const {
    CGFloat w = bounds_.size.width, h = bounds_.size.height;
    CGRect local = CGRectMake(-w * anchorPoint_.x, -h * anchorPoint_.y, w, h);
    return CGRectOffset(CGRectApplyAffineTransform(local, affineTransform()), position_.x, position_.y);
}

void CALayer::setFrame(const CGRect& frame) {
    auto f = CGRectStandardize(frame);
    // As on the platform, a frame set under a transform other than the identity only moves the layer.
    if (CATransform3DIsIdentity(transform_)) {
        CGRect b = bounds_;
        b.size = f.size;
        setBounds(b);
    }
    setPosition({f.origin.x + f.size.width * anchorPoint_.x, f.origin.y + f.size.height * anchorPoint_.y});
}

void CALayer::willChange(const char* key, CAAnimationValue from) {
    if (view_ || fresh_ || CATransaction::disableActions() || superlayer_.expired()) return;
    auto action = CABasicAnimation::animationWithKeyPath(key);
    action->setFromValue(std::move(from));
    addAnimation(action, key);
}

void CALayer::setBounds(const CGRect& bounds) {
    if (bounds == bounds_) return;
    willChange("bounds", bounds_);
    bounds_ = bounds;
}

void CALayer::setPosition(CGPoint position) {
    if (position == position_) return;
    willChange("position", position_);
    position_ = position;
}

void CALayer::setAnchorPoint(CGPoint anchorPoint) {
    if (anchorPoint == anchorPoint_) return;
    willChange("anchorPoint", anchorPoint_);
    anchorPoint_ = anchorPoint;
}

void CALayer::setTransform(const CATransform3D& transform) {
    if (transform == transform_) return;
    willChange("transform", transform_);
    transform_ = transform;
}

void CALayer::setSublayerTransform(const CATransform3D& transform) {
    if (transform == sublayerTransform_) return;
    willChange("sublayerTransform", sublayerTransform_);
    sublayerTransform_ = transform;
}

void CALayer::setOpacity(float opacity) {
    if (opacity == opacity_) return;
    willChange("opacity", static_cast<double>(opacity_));
    opacity_ = opacity;
}

void CALayer::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    willChange("hidden", hidden_ ? 1.0 : 0.0);
    hidden_ = hidden;
}

void CALayer::setBackgroundColor(UIColorPtr color) {
    if (color == backgroundColor_) return;
    willChange("backgroundColor", backgroundColor_);
    backgroundColor_ = std::move(color);
}

void CALayer::setContents(CGImageRef contents) {
    if (contents == contents_) return;
    willChange("contents", std::monostate{});
    contents_ = std::move(contents);
}

void CALayer::setCornerRadius(CGFloat radius) {
    if (radius == cornerRadius_) return;
    willChange("cornerRadius", cornerRadius_);
    cornerRadius_ = radius;
}

void CALayer::addSublayer(const std::shared_ptr<CALayer>& layer) { insertSublayerAtIndex(layer, sublayers_.size()); }

void CALayer::insertSublayerAtIndex(const std::shared_ptr<CALayer>& layer, std::size_t index) {
    if (!layer || layer.get() == this) return;
    auto keep = layer;
    if (layer->superlayer().get() == this) {
        auto at = std::find(sublayers_.begin(), sublayers_.end(), layer);
        if (static_cast<std::size_t>(at - sublayers_.begin()) < index) --index;
        sublayers_.erase(at);
    } else {
        layer->removeFromSuperlayer();
    }
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + static_cast<std::ptrdiff_t>(index), layer);
    bool joins = layer->superlayer_.expired();
    layer->superlayer_ = self<CALayer>();
    if (joins && !layer->view_ && !layer->fresh_) {
        layer->fresh_ = true;
        std::weak_ptr<CALayer> weak = layer;
        NSRunLoop::mainRunLoop()->performAfterDelay(0, [weak] {
            if (auto l = weak.lock()) l->fresh_ = false;
        });
    }
}

void CALayer::insertSublayerAbove(const std::shared_ptr<CALayer>& layer, const std::shared_ptr<CALayer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    if (it == sublayers_.end()) return addSublayer(layer);
    insertSublayerAtIndex(layer, static_cast<std::size_t>(it - sublayers_.begin()) + 1);
}

void CALayer::insertSublayerBelow(const std::shared_ptr<CALayer>& layer, const std::shared_ptr<CALayer>& sibling) {
    auto it = std::find(sublayers_.begin(), sublayers_.end(), sibling);
    insertSublayerAtIndex(layer, it == sublayers_.end() ? 0 : static_cast<std::size_t>(it - sublayers_.begin()));
}

void CALayer::removeFromSuperlayer() {
    auto parent = superlayer_.lock();
    if (!parent) return;
    auto keep = self<CALayer>();
    auto& siblings = parent->sublayers_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    superlayer_.reset();
}

namespace {
// The affine map from a layer's coordinates into its superlayer's.
CGAffineTransform toSuperlayer(const CALayer& layer) {
    auto b = layer.bounds();
    auto a = layer.anchorPoint();
    auto t = CGAffineTransformMakeTranslation(-b.origin.x - b.size.width * a.x, -b.origin.y - b.size.height * a.y);
    t = CGAffineTransformConcat(t, layer.affineTransform());
    t = CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(layer.position().x, layer.position().y));
    if (auto parent = layer.superlayer()) {
        auto pb = parent->bounds();
        auto pa = parent->anchorPoint();
        CGFloat cx = pb.origin.x + pb.size.width * pa.x, cy = pb.origin.y + pb.size.height * pa.y;
        auto s = CGAffineTransformMakeTranslation(-cx, -cy);
        s = CGAffineTransformConcat(s, CATransform3DGetAffineTransform(parent->sublayerTransform()));
        s = CGAffineTransformConcat(s, CGAffineTransformMakeTranslation(cx, cy));
        t = CGAffineTransformConcat(t, s);
    }
    return t;
}

// From the layer's coordinates to those of the root of its tree.
CGAffineTransform toRoot(const CALayer* layer) {
    auto t = CGAffineTransformIdentity;
    for (auto l = layer; l;) {
        auto parent = l->superlayer();
        if (!parent) break;
        t = CGAffineTransformConcat(t, toSuperlayer(*l));
        l = parent.get();
    }
    return t;
}
} // namespace

CGPoint CALayer::convertPointToLayer(CGPoint point, const std::shared_ptr<CALayer>& layer) const {
    auto p = CGPointApplyAffineTransform(point, toRoot(this));
    return layer ? CGPointApplyAffineTransform(p, CGAffineTransformInvert(toRoot(layer.get()))) : p;
}

CGPoint CALayer::convertPointFromLayer(CGPoint point, const std::shared_ptr<CALayer>& layer) const {
    auto p = layer ? CGPointApplyAffineTransform(point, toRoot(layer.get())) : point;
    return CGPointApplyAffineTransform(p, CGAffineTransformInvert(toRoot(this)));
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
    int runsBefore = baseDrawRectRuns;
    try {
        auto context = std::make_shared<CGContext>(image, scale);
        context->translateCTM(-bounds_.origin.x, -bounds_.origin.y);
        drawer->drawLayerInContext(*this, *context);
    } catch (const std::bad_alloc&) {
        // Memory ran out while drawing: the layer shows nothing rather than a piece, until it is
        // next marked for display.
        return false;
    }
    // The base's drawRect ran: a view that does not draw, unless an override called it and then
    // drew its own content after it.
    if (baseDrawRectRuns != runsBefore && image->isTransparent()) return false;
    drewNothing_ = false;
    backing_ = image;
    backingSize_ = bounds_.size;
    return true;
}

void UIView::drawRect(const CGRect&) { ++baseDrawRectRuns; }

void UIView::drawLayerInContext(CALayer&, CGContext& context) {
    UIGraphicsPushContext(context.self<CGContext>());
    try {
        drawRect(bounds());
    } catch (...) {
        UIGraphicsPopContext();
        throw;
    }
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
