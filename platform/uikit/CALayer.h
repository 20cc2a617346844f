#pragma once
// A layer: its geometry (bounds, position and anchor point, 3D transform), its look (opacity,
// background, contents, border, corners, shadow, mask), its sublayers and the image its drawing
// left, kept until it is marked as needing display. A view's centre is its layer's position, its
// alpha the layer's opacity, and its subviews' layers are among its layer's sublayers, in the
// subviews' order; renderInContext paints the layer with all its sublayers.
//
// Changing an animatable property (position, bounds, anchor point, opacity, hidden, background,
// contents, transforms, corner radius, a shape's path) of a layer that sits in a layer tree and
// backs no view adds an implicit animation under the property's name, unless the current
// transaction disables actions (CATransaction). As on the device, a layer just put into a tree
// takes its first values without them until the main run loop's next pass. Animations are
// recorded (CAAnimation.h); model values never move.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGPath.h"
#include "platform/uikit/CAAnimation.h"
#include "platform/uikit/CATransform3D.h"
#include "platform/uikit/UIColor.h"

#include <memory>
#include <string>
#include <vector>

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
    static std::shared_ptr<CALayer> layer() { return std::make_shared<CALayer>(); }
    ~CALayer() override;

    CGRect bounds() const { return bounds_; }
    void setBounds(const CGRect& bounds);
    CGPoint position() const { return position_; }
    void setPosition(CGPoint position);
    CGPoint anchorPoint() const { return anchorPoint_; }
    // Keeps the position: the frame moves.
    void setAnchorPoint(CGPoint anchorPoint);
    CGFloat zPosition() const { return zPosition_; }
    void setZPosition(CGFloat z) { zPosition_ = z; }
    const CATransform3D& transform() const { return transform_; }
    void setTransform(const CATransform3D& transform);
    // The transform's 2D part; setting it replaces the whole transform.
    CGAffineTransform affineTransform() const { return CATransform3DGetAffineTransform(transform_); }
    void setAffineTransform(const CGAffineTransform& transform) { setTransform(CATransform3DMakeAffineTransform(transform)); }
    // Applied to the sublayers about the anchor point (perspective lives in its m34).
    const CATransform3D& sublayerTransform() const { return sublayerTransform_; }
    void setSublayerTransform(const CATransform3D& transform);
    // The bounds as the superlayer sees them (a box about them under the transform's 2D part).
    CGRect frame() const;
    void setFrame(const CGRect& frame);

    // Look.
    float opacity() const { return opacity_; }
    void setOpacity(float opacity);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    UIColorPtr backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(UIColorPtr color);
    // A layer whose opacity (shape layers: whose path) clips this layer and its sublayers; it is
    // not a sublayer and is drawn nowhere itself.
    std::shared_ptr<CALayer> mask() const { return mask_; }
    void setMask(std::shared_ptr<CALayer> mask) { mask_ = std::move(mask); }

    // The tree. Sublayers are painted in order, later ones in front.
    std::shared_ptr<CALayer> superlayer() const { return superlayer_.lock(); }
    const std::vector<std::shared_ptr<CALayer>>& sublayers() const { return sublayers_; }
    void addSublayer(const std::shared_ptr<CALayer>& layer);
    void insertSublayerAtIndex(const std::shared_ptr<CALayer>& layer, std::size_t index);
    // Beside a sublayer; a sibling that is not a sublayer appends (above) or puts first (below).
    void insertSublayerAbove(const std::shared_ptr<CALayer>& layer, const std::shared_ptr<CALayer>& sibling);
    void insertSublayerBelow(const std::shared_ptr<CALayer>& layer, const std::shared_ptr<CALayer>& sibling);
    void removeFromSuperlayer();
    // Converts between this layer's coordinates and another's in the same tree (nil: the root),
    // through the transforms' 2D parts.
    CGPoint convertPointToLayer(CGPoint point, const std::shared_ptr<CALayer>& layer) const;
    CGPoint convertPointFromLayer(CGPoint point, const std::shared_ptr<CALayer>& layer) const;

    // Animations. The layer attaches a copy, filling in a zero duration and a missing timing
    // function from the current transaction; a keyed one replaces the animation of that key
    // (which stops unfinished). It stays until its time has run, and after that too when it is not
    // removed on completion.
    void addAnimation(const CAAnimationPtr& animation, const std::string& key);
    CAAnimationPtr animationForKey(const std::string& key) const;
    // Keys of the keyed animations, in the order added.
    std::vector<std::string> animationKeys() const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    // Every attached animation, keyed or not, in the order added (tests read them).
    std::vector<CAAnimationPtr> animations() const;

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
    void setContents(CGImageRef contents);

    CGFloat borderWidth() const { return borderWidth_; }
    void setBorderWidth(CGFloat width) { borderWidth_ = width; }
    UIColorPtr borderColor() const { return borderColor_; }
    void setBorderColor(UIColorPtr color) { borderColor_ = std::move(color); }
    CGFloat cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(CGFloat radius);
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
    // Paints the layer and its sublayers into the context, in the context's current coordinates
    // (the layer's bounds origin at the context's origin).
    void renderInContext(CGContext& context);
    // The same, leaving out the sublayers behind `first` (one of its sublayers): what a screen
    // covered by a presentation no longer shows.
    void renderInContextFromSublayer(CGContext& context, const CALayer* first);
    // Draws the layer's own content in its coordinates when it has no contents image and backs no
    // view; the kinds of layer (shape, text, gradient) override it.
    virtual void drawInContext(CGContext&) {}
    // False for a layer that only carries sublayers (background, contents, border and shadow unused).
    virtual bool paintsOwnLook() const { return true; }
    // How the screen text names the layer (its name, or a text layer's string); empty for nothing.
    virtual std::string screenName() const { return name_; }

    // The view this layer backs (set by the view; nil once it is gone).
    UIView* view() const { return view_; }
    void setView(UIView* view) { view_ = view; }
    // What drawing left, and at what size in points; nil before drawing or when nothing drew.
    const CGImageRef& backingImage() const { return backing_; }
    // Draws the backing image again when it is marked, has none yet or was drawn at another scale
    // (the contents scale, or the given one when larger); false when nothing draws.
    bool display(CGFloat minimumScale = 1);

protected:
    // An animatable property is about to change from the value: the implicit action, if any.
    void willChange(const char* key, CAAnimationValue from);

private:
    struct Attached {
        std::string key;
        CAAnimationPtr animation;
        bool ran = false;
    };
    void stopAnimation(const CAAnimationPtr& animation, bool finished);
    void animationTimeRan(const CAAnimation* animation);

    CGRect bounds_;
    CGPoint position_;
    CGPoint anchorPoint_{0.5, 0.5};
    CGFloat zPosition_ = 0;
    CATransform3D transform_;
    CATransform3D sublayerTransform_;
    float opacity_ = 1;
    bool hidden_ = false;
    UIColorPtr backgroundColor_;
    std::shared_ptr<CALayer> mask_;
    std::weak_ptr<CALayer> superlayer_;
    std::vector<std::shared_ptr<CALayer>> sublayers_;
    std::vector<Attached> animations_;
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
    // Put into a tree during the current pass of the main run loop: no implicit actions yet.
    bool fresh_ = false;
    bool drewNothing_ = false;
    CGImageRef backing_;
    CGSize backingSize_;
    CGFloat backingScale_ = 0;
};
