// The display: a layer and its sublayers painted into a context. A 3D transform is drawn by its
// 2D part, so a page turned to 90 degrees about y shows as a line, as it would face-on.

#include "platform/uikit/CALayer.h"

#include "platform/uikit/CAShapeLayer.h"
#include "platform/uikit/UIView.h"

#include <algorithm>

namespace {
void setFill(CGContext& c, const UIColor& color) { c.setFillColor(color.red(), color.green(), color.blue(), color.alpha()); }

CGPathRef roundedBounds(const CGRect& bounds, CGFloat radius) {
    auto path = CGPath::create();
    path->addRoundedRect(bounds, UIRectCornerAllCorners, {radius, radius});
    return path;
}

// From a sublayer's coordinates into its superlayer's (the superlayer's sublayer transform included).
void enterSublayer(const CALayer& parent, const CALayer& layer, CGContext& c) {
    if (!CATransform3DIsIdentity(parent.sublayerTransform())) {
        auto pb = parent.bounds();
        auto pa = parent.anchorPoint();
        CGFloat cx = pb.origin.x + pb.size.width * pa.x, cy = pb.origin.y + pb.size.height * pa.y;
        c.translateCTM(cx, cy);
        c.concatCTM(CATransform3DGetAffineTransform(parent.sublayerTransform()));
        c.translateCTM(-cx, -cy);
    }
    auto b = layer.bounds();
    auto anchor = layer.anchorPoint();
    c.translateCTM(layer.position().x, layer.position().y);
    c.concatCTM(layer.affineTransform());
    c.translateCTM(-b.origin.x - b.size.width * anchor.x, -b.origin.y - b.size.height * anchor.y);
}

void paintLayer(CALayer& layer, CGContext& c, const CALayer* first = nullptr);

void paintSublayer(const CALayer& parent, CALayer& layer, CGContext& c) {
    c.saveGState();
    enterSublayer(parent, layer, c);
    paintLayer(layer, c);
    c.restoreGState();
}

// A mask clips by its shape's path, or else by its frame.
void clipToMask(const CALayer& layer, CALayer& mask, CGContext& c) {
    c.saveGState();
    enterSublayer(layer, mask, c);
    auto shape = dynamic_cast<CAShapeLayer*>(&mask);
    auto path = shape && shape->path() ? shape->path() : roundedBounds(mask.bounds(), 0);
    auto ctm = c.getCTM();
    c.restoreGState();
    auto inLayer = path->copy();
    inLayer->applyTransform(CGAffineTransformConcat(ctm, CGAffineTransformInvert(c.getCTM())));
    c.addPath(*inLayer);
    c.clip();
}

void paintShadowSource(CALayer& layer, CGContext& c) {
    const auto& color = *layer.shadowColor();
    CGFloat opacity = std::clamp(static_cast<CGFloat>(layer.shadowOpacity()), 0.0, 1.0);
    c.setShadow(layer.shadowOffset(), layer.shadowRadius(), {color.red(), color.green(), color.blue(), color.alpha() * opacity});
    if (layer.shadowPath()) {
        c.addPath(*layer.shadowPath());
        c.fillShadowOfPath();
        c.setShadow({0, 0}, 0, {0, 0, 0, 0});
    } else {
        // Without a path the shadow follows everything the layer paints.
        c.beginTransparencyLayer();
    }
}

void paintContent(CALayer& layer, CGContext& c, const UIView* view) {
    auto b = layer.bounds();
    if (layer.contents()) return c.drawImage(b, *layer.contents());
    if (!view) return layer.drawInContext(c);
    if (!layer.display(c.scale())) return;
    auto image = layer.backingImage();
    CGFloat scale = std::max(layer.contentsScale(), c.scale());
    CGSize drawn{image->width() / scale, image->height() / scale};
    c.drawImage(UIViewContentModeRect(view->contentMode(), drawn, b), *image);
}

void paintLook(CALayer& layer, CGContext& c, CGFloat radius) {
    auto b = layer.bounds();
    if (auto background = layer.backgroundColor(); background && background->alpha() > 0) {
        setFill(c, *background);
        c.addPath(*roundedBounds(b, radius));
        c.fillPath();
    }
    paintContent(layer, c, layer.view());
    if (layer.borderWidth() > 0 && layer.borderColor()) {
        const auto& color = *layer.borderColor();
        CGFloat w = layer.borderWidth();
        c.setStrokeColor(color.red(), color.green(), color.blue(), color.alpha());
        c.setLineWidth(w);
        c.addPath(*roundedBounds(CGRectInset(b, w / 2, w / 2), std::max(0.0, radius - w / 2)));
        c.strokePath();
    }
}

// The layer in its own coordinates: clipping, shadow, background, content, border, sublayers (from
// `first` on, when given).
void paintLayer(CALayer& layer, CGContext& c, const CALayer* first) {
    UIView* view = layer.view();
    CGFloat alpha = layer.opacity();
    if (layer.isHidden() || alpha <= 0) return;
    auto b = layer.bounds();
    CGFloat radius = std::max(0.0, layer.cornerRadius());
    c.saveGState();
    if (alpha < 1) {
        c.setAlpha(alpha);
        c.beginTransparencyLayer();
    }
    if (auto mask = layer.mask()) clipToMask(layer, *mask, c);
    if (layer.masksToBounds() || (view && view->clipsToBounds())) {
        c.addPath(*roundedBounds(b, radius));
        c.clip();
    }
    bool own = layer.paintsOwnLook();
    bool shadow = own && layer.shadowOpacity() > 0 && layer.shadowColor();
    if (shadow) paintShadowSource(layer, c);
    if (own) paintLook(layer, c, radius);
    auto children = layer.sublayers();
    auto from = std::find_if(children.begin(), children.end(), [first](auto& child) { return child.get() == first; });
    if (from == children.end()) from = children.begin();
    for (auto it = from; it != children.end(); ++it) paintSublayer(layer, **it, c);
    if (shadow && !layer.shadowPath()) c.endTransparencyLayer();
    if (alpha < 1) c.endTransparencyLayer();
    c.restoreGState();
}
} // namespace

void CALayer::renderInContext(CGContext& context) { paintLayer(*this, context); }

void CALayer::renderInContextFromSublayer(CGContext& context, const CALayer* first) { paintLayer(*this, context, first); }
