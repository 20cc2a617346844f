#pragma once
// The layer behind a view: its geometry (bounds, position and anchor point, transform), its look
// (contents, border, corners, shadow) and the image its drawing left, kept until it is marked as
// needing display. A view's centre is its layer's position; renderInContext paints the layer
// with the layers of the view's subviews.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGPath.h"
#include "platform/uikit/UIColor.h"

#include <memory>
#include <string>

class CALayer;
class UIView;

// Draws a layer's content; a view is its own layer's delegate unless another is set.
class CALayerDelegate {
public:
    virtual ~CALayerDelegate() = default;
    virtual void drawLayerInContext(CALayer& layer, CGContext& context) = 0;
};

class CALayer : public NSObject {
public:
    // Geometry. The position is where the anchor point (a fraction of the bounds) lies in the
    // superlayer; the transform turns and scales about it.
    CGRect bounds() const { return bounds_; }
    void setBounds(const CGRect& bounds) { bounds_ = bounds; }
    CGPoint position() const { return position_; }
    void setPosition(CGPoint position) { position_ = position; }
    CGPoint anchorPoint() const { return anchorPoint_; }
    // Keeps the position: the frame moves.
    void setAnchorPoint(CGPoint anchorPoint) { anchorPoint_ = anchorPoint; }
    CGAffineTransform affineTransform() const { return transform_; }
    void setAffineTransform(const CGAffineTransform& transform) { transform_ = transform; }
    // The bounds as the superlayer sees them (a box about them under a transform).
    CGRect frame() const;
    void setFrame(const CGRect& frame);

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // The delegate, if set; otherwise the view the layer backs draws it.
    std::shared_ptr<CALayerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<CALayerDelegate>& delegate) { delegate_ = delegate; }
    CGFloat contentsScale() const { return contentsScale_; }
    void setContentsScale(CGFloat scale) { contentsScale_ = scale > 0 ? scale : 1; }
    bool drawsAsynchronously() const { return drawsAsynchronously_; }
    void setDrawsAsynchronously(bool asynchronously) { drawsAsynchronously_ = asynchronously; }
    // An image shown stretched over the bounds in place of drawing.
    CGImageRef contents() const { return contents_; }
    void setContents(CGImageRef contents) { contents_ = std::move(contents); }

    CGFloat borderWidth() const { return borderWidth_; }
    void setBorderWidth(CGFloat width) { borderWidth_ = width; }
    UIColorPtr borderColor() const { return borderColor_; }
    void setBorderColor(UIColorPtr color) { borderColor_ = std::move(color); }
    CGFloat cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(CGFloat radius) { cornerRadius_ = radius; }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }
    UIColorPtr shadowColor() const { return shadowColor_; }
    void setShadowColor(UIColorPtr color) { shadowColor_ = std::move(color); }
    float shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(float opacity) { shadowOpacity_ = opacity; }
    // Positive height falls down the screen.
    CGSize shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(CGSize offset) { shadowOffset_ = offset; }
    CGFloat shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(CGFloat radius) { shadowRadius_ = radius; }
    // The shape casting the shadow, in the layer's coordinates; nil: the layer's own drawing.
    CGPathRef shadowPath() const { return shadowPath_; }
    void setShadowPath(CGPathRef path) { shadowPath_ = path ? path->copy() : nullptr; }

    // The backing image is drawn again before the layer is next painted.
    void setNeedsDisplay() { needsDisplay_ = true; }
    bool needsDisplay() const { return needsDisplay_; }
    // Paints the layer and those of its view's subviews into the context, in the context's
    // current coordinates (the layer's bounds origin at the context's origin).
    void renderInContext(CGContext& context);

    // The view this layer backs (set by the view; nil once it is gone).
    UIView* view() const { return view_; }
    void setView(UIView* view) { view_ = view; }
    // What drawing left, and at what size in points; nil before drawing or when nothing drew.
    const CGImageRef& backingImage() const { return backing_; }
    // Draws the backing image again when it is marked, has none yet or was drawn at another scale
    // (the contents scale, or the given one when larger); false when nothing draws.
    bool display(CGFloat minimumScale = 1);

private:
    CGRect bounds_;
    CGPoint position_;
    CGPoint anchorPoint_{0.5, 0.5};
    CGAffineTransform transform_ = CGAffineTransformIdentity;
    std::string name_;
    std::weak_ptr<CALayerDelegate> delegate_;
    CGFloat contentsScale_ = 1;
    bool drawsAsynchronously_ = false;
    CGImageRef contents_;
    CGFloat borderWidth_ = 0;
    UIColorPtr borderColor_ = UIColor::blackColor();
    CGFloat cornerRadius_ = 0;
    bool masksToBounds_ = false;
    UIColorPtr shadowColor_ = UIColor::blackColor();
    float shadowOpacity_ = 0;
    CGSize shadowOffset_{0, -3};
    CGFloat shadowRadius_ = 3;
    CGPathRef shadowPath_;
    UIView* view_ = nullptr;
    bool needsDisplay_ = true;
    bool drewNothing_ = false;
    CGImageRef backing_;
    CGSize backingSize_;
    CGFloat backingScale_ = 0;
};
