#pragma once
// Views: geometry, look and order of a headless view tree. The tree records what the screen
// shows, the driver reads it, and the view's layer paints it (renderInContext).

#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIScreenDescription.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSLayoutConstraint;
class UIGestureRecognizer;
class UIView;
class UIViewController;
class UIWindow;
using UIViewPtr = std::shared_ptr<UIView>;

enum UIViewAnimationOptions : unsigned long {
    UIViewAnimationOptionLayoutSubviews = 1 << 0,
    UIViewAnimationOptionAllowUserInteraction = 1 << 1,
    UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
    UIViewAnimationOptionCurveEaseInOut = 0 << 16,
    UIViewAnimationOptionCurveEaseIn = 1 << 16,
    UIViewAnimationOptionCurveEaseOut = 2 << 16,
    UIViewAnimationOptionCurveLinear = 3 << 16,
};

// One block animation as the view system received it; a spring animation has its damping ratio
// and initial velocity.
struct UIViewAnimationRecord {
    // The id given to beginAnimations (empty for block animations).
    std::string animationID;
    double duration = 0;
    double delay = 0;
    unsigned long options = 0;
    bool hasCompletion = false;
    bool spring = false;
    double springDamping = 0;
    double initialSpringVelocity = 0;
};

// Which of a view's margins and sizes follow its superview's size changes.
enum UIViewAutoresizing : unsigned long {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
    UIViewAutoresizingFlexibleWidth = 1 << 1,
    UIViewAutoresizingFlexibleRightMargin = 1 << 2,
    UIViewAutoresizingFlexibleTopMargin = 1 << 3,
    UIViewAutoresizingFlexibleHeight = 1 << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum UIViewContentMode : long {
    UIViewContentModeScaleToFill = 0,
    UIViewContentModeScaleAspectFit = 1,
    UIViewContentModeScaleAspectFill = 2,
    UIViewContentModeRedraw = 3,
    UIViewContentModeCenter = 4,
    UIViewContentModeTop = 5,
    UIViewContentModeBottom = 6,
    UIViewContentModeLeft = 7,
    UIViewContentModeRight = 8,
    UIViewContentModeTopLeft = 9,
    UIViewContentModeTopRight = 10,
    UIViewContentModeBottomLeft = 11,
    UIViewContentModeBottomRight = 12,
};
// Where content of the size goes inside the bounds under the mode (Redraw stretches, as ScaleToFill).
CGRect UIViewContentModeRect(UIViewContentMode mode, CGSize content, const CGRect& bounds);

enum UIViewTintAdjustmentMode : long {
    UIViewTintAdjustmentModeAutomatic = 0,
    UIViewTintAdjustmentModeNormal = 1,
    UIViewTintAdjustmentModeDimmed = 2,
};

class UIView : public UIResponder, public CALayerDelegate {
public:
    UIView();
    explicit UIView(const CGRect& frame);
    ~UIView() override;

    // Geometry, kept by the layer. The frame is derived from center (the layer's position), bounds,
    // transform and the layer's anchor point, as on the platform.
    CGRect frame() const;
    void setFrame(const CGRect& frame);
    CGRect bounds() const { return layer_->bounds(); }
    void setBounds(const CGRect& bounds);
    CGPoint center() const { return layer_->position(); }
    void setCenter(CGPoint center);
    CGAffineTransform transform() const { return layer_->affineTransform(); }
    void setTransform(const CGAffineTransform& transform);
    // A size change of the bounds moves and resizes the subviews by their masks when set (the default).
    unsigned long autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned long mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool autoresizes) { autoresizesSubviews_ = autoresizes; }

    // Look; alpha, hidden and background are the layer's opacity, hidden and background too.
    CGFloat alpha() const { return alpha_; }
    void setAlpha(CGFloat alpha);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    UIColorPtr backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(UIColorPtr color);
    bool clipsToBounds() const { return clipsToBounds_; }
    void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    const std::shared_ptr<CALayer>& layer() const { return layer_; }
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }

    // Drawing. drawRect draws the content into the current context (UIGraphicsGetCurrentContext)
    // in the view's coordinates; the layer keeps what it drew until setNeedsDisplay. A view that
    // does not override it draws nothing and keeps no image. A view whose content follows many
    // properties answers false to keepsDrawing and draws afresh every time it is painted.
    virtual void drawRect(const CGRect& rect);
    void drawLayerInContext(CALayer& layer, CGContext& context) override;
    void setNeedsDisplay() { layer_->setNeedsDisplay(); }
    virtual bool keepsDrawing() const { return true; }
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode mode) { contentMode_ = mode; }
    UIViewTintAdjustmentMode tintAdjustmentMode() const { return tintAdjustmentMode_; }
    void setTintAdjustmentMode(UIViewTintAdjustmentMode mode) { tintAdjustmentMode_ = mode; }

    // The tree.
    std::shared_ptr<UIView> superview() const { return superview_.lock(); }
    const std::vector<UIViewPtr>& subviews() const { return subviews_; }
    std::shared_ptr<UIWindow> window() const;
    void addSubview(const UIViewPtr& view);
    void insertSubviewAtIndex(const UIViewPtr& view, std::size_t index);
    void insertSubviewBelowSubview(const UIViewPtr& view, const UIViewPtr& sibling);
    void insertSubviewAboveSubview(const UIViewPtr& view, const UIViewPtr& sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const UIViewPtr& view);
    void sendSubviewToBack(const UIViewPtr& view);
    bool isDescendantOfView(const UIView* view) const;
    // This view or the first descendant (depth first) with the tag.
    UIViewPtr viewWithTag(long tag);

    // Hit testing, in this view's coordinates: the deepest visible, interactive descendant.
    virtual UIViewPtr hitTestWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event);
    virtual bool pointInsideWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) const;

    // Touches: the recognizers that watch this view's touches and its subviews', in the order
    // added; whether a recognizer touching this view (its own, or a superview's over it) may begin.
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return gestureRecognizers_; }
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer&) { return true; }

    // Coordinate conversion; a nil view stands for the window (the view's topmost ancestor).
    CGPoint convertPointToView(CGPoint point, const UIViewPtr& view) const;
    CGPoint convertPointFromView(CGPoint point, const UIViewPtr& view) const;
    CGRect convertRectToView(const CGRect& rect, const UIViewPtr& view) const;
    CGRect convertRectFromView(const CGRect& rect, const UIViewPtr& view) const;

    // Layout: layoutSubviews runs on layoutIfNeeded after setNeedsLayout or a size change.
    void setNeedsLayout() { needsLayout_ = true; }
    void layoutIfNeeded();
    virtual void layoutSubviews();
    virtual CGSize sizeThatFits(CGSize size) const;
    void sizeToFit();
    // Constraints (see NSLayoutConstraint): the ones this view holds place its subviews at its
    // layout. A view laid out by its superview's constraints answers false here.
    void addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint);
    void addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints() const { return constraints_; }
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { translatesAutoresizingMask_ = translates; }

    // Hooks of the tree.
    virtual void willMoveToSuperview(const UIViewPtr&) {}
    virtual void didMoveToSuperview() {}
    virtual void didMoveToWindow() {}

    // The controller whose root view this is, if any.
    std::shared_ptr<UIViewController> viewController() const { return controller_.lock(); }
    void setViewController(const std::shared_ptr<UIViewController>& controller) { controller_ = controller; }
    std::shared_ptr<UIResponder> nextResponder() const override;

    // The driver (UIScreenDescription): the lines this view adds to the screen text and the
    // targets it names. The base names the accessibility label as something to tap; a subclass
    // calls it and adds its own. Subviews are described after it by the walk.
    virtual void describeToScreen(UIScreenDescription& screen);
    // How another view's line names this one (a cell's accessory, an alert's picture); nullopt
    // when it shows nothing to name.
    virtual std::optional<UIScreenMention> screenMention() const { return std::nullopt; }
    // A tap that landed on this view or a subview, offered to each view up the superviews: Taken
    // when this view acted on it, Refused (with the reason in reply.error) when it would but
    // cannot, Passed to let the superview have it.
    enum class TapOutcome { Passed, Taken, Refused };
    virtual TapOutcome tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply);

    // Block animations: the model values change at once; the completion runs on the main run
    // loop once delay plus duration have passed on the platform clock. Inside the block,
    // setAnimationDelay sets the block's delay. A block whose changes of a view's frame, bounds,
    // centre, transform, alpha or background are all overtaken by a later block's changes of the
    // same properties completes at the next pass with finished false; one only partly overtaken
    // completes on time with finished false.
    using Animations = std::function<void()>;
    using Completion = std::function<void(bool finished)>;
    static void animateWithDuration(double duration, const Animations& animations);
    static void animateWithDuration(double duration, const Animations& animations, Completion completion);
    static void animateWithDuration(double duration, double delay, unsigned long options, const Animations& animations,
                                    Completion completion);
    // A spring animation: recorded with its damping ratio and initial velocity; values change at once.
    static void animateWithDuration(double duration, double delay, double springDamping, double initialSpringVelocity,
                                    unsigned long options, const Animations& animations, Completion completion);
    // Inside a block or between beginAnimations and commitAnimations: the animation's delay.
    static void setAnimationDelay(double delay);

    // The older calls: beginAnimations opens an animation under an id (and a context passed back
    // untouched), the set calls describe it, and changes made until commitAnimations change the
    // model values at once. After delay plus duration on the platform clock the did-stop action
    // runs with the delegate (when it still lives; the delegate is not kept alive), the id, whether
    // the animation finished (false when later animations took over all or part of its changes)
    // and the context. Animations may nest; each commit ends the innermost. Set calls outside an
    // animation do nothing.
    using AnimationDidStop =
        std::function<void(NSObject& delegate, const std::string& animationID, bool finished, void* context)>;
    static void beginAnimationsContext(const std::string& animationID, void* context);
    static void setAnimationDuration(double duration);
    static void setAnimationDelegate(const std::shared_ptr<NSObject>& delegate);
    static void setAnimationDidStopSelector(AnimationDidStop didStop);
    static void commitAnimations();

    // Every animation since the last clear, for tests.
    static std::vector<UIViewAnimationRecord> recordedAnimations();
    static void clearRecordedAnimations();

private:
    void childrenMovedToWindow();
    // Takes the view out of its superview without telling it; false when it had none.
    bool detachFromSuperview();
    // The subview's layer goes where its place among the subviews puts it among the sublayers.
    void placeLayerOf(const UIViewPtr& view);
    void boundsSizeChanged(CGSize before);
    void autoresize(CGSize superBefore, CGSize superAfter);

    CGFloat alpha_ = 1;
    bool hidden_ = false;
    UIColorPtr backgroundColor_;
    bool clipsToBounds_ = false;
    bool userInteractionEnabled_ = true;
    std::shared_ptr<CALayer> layer_;
    long tag_ = 0;
    std::string accessibilityLabel_;
    std::weak_ptr<UIView> superview_;
    std::vector<UIViewPtr> subviews_;
    std::weak_ptr<UIViewController> controller_;
    bool needsLayout_ = true;
    unsigned long autoresizingMask_ = UIViewAutoresizingNone;
    bool autoresizesSubviews_ = true;
    UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
    UIViewTintAdjustmentMode tintAdjustmentMode_ = UIViewTintAdjustmentModeAutomatic;
    std::vector<std::shared_ptr<UIGestureRecognizer>> gestureRecognizers_;
    std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
    bool translatesAutoresizingMask_ = true;
};
