// The display: a layer and the layers of its view's subviews painted into a context.

#include "platform/uikit/CALayer.h"

#include "platform/uikit/UIView.h"

#include <algorithm>

namespace {
void setFill(CGContext& c, const UIColor& color) { c.setFillColor(color.red(), color.green(), color.blue(), color.alpha()); }

CGPathRef roundedBounds(const CGRect& bounds, CGFloat radius) {
    auto path = CGPath::create();
    path->addRoundedRect(bounds, UIRectCornerAllCorners, {radius, radius});
    return path;
}

void paintLayer(CALayer& layer, CGContext& c);

// A subview's layer, the context in its superview's coordinates.
void paintSublayer(CALayer& layer, CGContext& c) {
    auto b = layer.bounds();
    auto anchor = layer.anchorPoint();
    c.saveGState();
    c.translateCTM(layer.position().x, layer.position().y);
    c.concatCTM(layer.affineTransform());
    c.translateCTM(-b.origin.x - b.size.width * anchor.x, -b.origin.y - b.size.height * anchor.y);
    paintLayer(layer, c);
    c.restoreGState();
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
    if (!layer.display(c.scale())) return;
    auto image = layer.backingImage();
    CGFloat scale = std::max(layer.contentsScale(), c.scale());
    CGSize drawn{image->width() / scale, image->height() / scale};
    c.drawImage(UIViewContentModeRect(view ? view->contentMode() : UIViewContentModeScaleToFill, drawn, b), *image);
}

// The layer in its own coordinates: background, clipping, shadow, drawing, border, subviews.
void paintLayer(CALayer& layer, CGContext& c) {
    UIView* view = layer.view();
    CGFloat alpha = view ? view->alpha() : 1;
    if ((view && view->isHidden()) || alpha <= 0) return;
    auto b = layer.bounds();
    CGFloat radius = std::max(0.0, layer.cornerRadius());
    c.saveGState();
    if (alpha < 1) {
        c.setAlpha(alpha);
        c.beginTransparencyLayer();
    }
    if (layer.masksToBounds() || (view && view->clipsToBounds())) {
        c.addPath(*roundedBounds(b, radius));
        c.clip();
    }
    bool shadow = layer.shadowOpacity() > 0 && layer.shadowColor();
    if (shadow) paintShadowSource(layer, c);
    if (auto background = view ? view->backgroundColor() : nullptr; background && background->alpha() > 0) {
        setFill(c, *background);
        c.addPath(*roundedBounds(b, radius));
        c.fillPath();
    }
    paintContent(layer, c, view);
    if (layer.borderWidth() > 0 && layer.borderColor()) {
        const auto& color = *layer.borderColor();
        CGFloat w = layer.borderWidth();
        c.setStrokeColor(color.red(), color.green(), color.blue(), color.alpha());
        c.setLineWidth(w);
        c.addPath(*roundedBounds(CGRectInset(b, w / 2, w / 2), std::max(0.0, radius - w / 2)));
        c.strokePath();
    }
    if (view) {
        auto children = view->subviews();
        for (auto& child : children) paintSublayer(*child->layer(), c);
    }
    if (shadow && !layer.shadowPath()) c.endTransparencyLayer();
    if (alpha < 1) c.endTransparencyLayer();
    c.restoreGState();
}
} // namespace

void CALayer::renderInContext(CGContext& context) { paintLayer(*this, context); }
