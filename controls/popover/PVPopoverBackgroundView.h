#pragma once
// The popover's bubble: it holds the content view and knows its own body (outer), content (inner)
// and arrow rectangles for its arrow direction. Its theme values are plain stored values (the
// theme's derivations were applied before they were copied in); a new bubble starts from the
// class-wide appearance store, which the popover controller's default theme fills.

#include "controls/popover/PVPopoverBackgroundInnerView.h"
#include "controls/popover/PVPopoverTypes.h"
#include "platform/uikit/UIBezierPath.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"

#include <memory>

class PVPopoverBackgroundView;

class PVPopoverBackgroundViewDelegate {
public:
    virtual ~PVPopoverBackgroundViewDelegate() = default;
    virtual void popoverBackgroundViewDidTouchOutside(const std::shared_ptr<PVPopoverBackgroundView>&) {}
};

class PVPopoverBackgroundView : public UIView {
public:
    // A bubble of frame (0, 0, size), arrow down and centred; its layer is named "parent".
    explicit PVPopoverBackgroundView(CGSize contentSize);

    // The appearance store of the class: the values every new bubble starts with.
    static PVPopoverThemeValues& appearance();

    CGSize contentSize() const { return contentSize_; }
    bool wantsDefaultContentAppearance() const { return wantsDefaultContentAppearance_; }
    void setWantsDefaultContentAppearance(bool wants) { wantsDefaultContentAppearance_ = wants; }
    float arrowOffset() const { return arrowOffset_; }
    // Stores the offset corrected for the shadow and kept off the rounded corners.
    void setArrowOffset(float offset);
    float navigationBarHeight() const { return navigationBarHeight_; }
    unsigned long arrowDirection() const { return arrowDirection_; }
    void setArrowDirection(unsigned long direction) { arrowDirection_ = direction; }
    UIViewPtr contentView() const { return contentView_; }
    const std::shared_ptr<PVPopoverBackgroundInnerView>& innerView() const { return innerView_; }
    std::shared_ptr<PVPopoverBackgroundViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<PVPopoverBackgroundViewDelegate>& delegate) { delegate_ = delegate; }

    // The 22 theme values (the overlay colour among them); each is also readable on its own.
    const PVPopoverThemeValues& themeValues() const { return look_; }
    void setThemeValues(const PVPopoverThemeValues& values) { look_ = values; }
    UIColorPtr overlayColor() const { return look_.overlayColor; }
    unsigned long arrowBase() const { return look_.arrowBase; }
    unsigned long arrowHeight() const { return look_.arrowHeight; }
    unsigned long borderWidth() const { return look_.borderWidth; }
    unsigned long outerCornerRadius() const { return look_.outerCornerRadius; }
    unsigned long outerShadowBlurRadius() const { return look_.outerShadowBlurRadius; }
    CGSize outerShadowOffset() const { return look_.outerShadowOffset; }

    // The room the outer shadow takes around the body.
    UIEdgeInsets outerShadowInsets() const;
    CGRect outerRect() const { return outerRectArrowDirection(bounds(), arrowDirection_); }
    CGRect innerRect() const { return innerRectArrowDirection(bounds(), arrowDirection_); }
    CGRect arrowRect() const { return arrowRectArrowDirection(bounds(), arrowDirection_); }
    CGRect outerRectArrowDirection(const CGRect& rect, unsigned long direction) const;
    CGRect innerRectArrowDirection(const CGRect& rect, unsigned long direction) const;
    CGRect arrowRectArrowDirection(const CGRect& rect, unsigned long direction) const;
    bool isTouchedAtPoint(CGPoint point) const;

    // The bubble size holding content of the size with its arrow.
    CGSize sizeThatFits(CGSize contentSize) const override;
    void sizeToFit();

    // Installs the controller's view as the content, with the inner frame view over it.
    void setViewController(const std::shared_ptr<UIViewController>& controller);
    // Marks the bubble for drawing and hands the current values to the inner view.
    void setNeedsDisplay();

    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    // A touch that began outside the bubble (and closed it) is the bubble's to its end.
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    // Paints the bubble for the layer named "parent" only.
    void drawLayerInContext(CALayer& layer, CGContext& context) override;

private:
    void passStyleToInnerView();
    void passLayoutToInnerView();

    std::shared_ptr<PVPopoverBackgroundInnerView> innerView_;
    CGSize contentSize_;
    bool wantsDefaultContentAppearance_ = false;
    float arrowOffset_ = 0;
    float navigationBarHeight_ = 0;
    PVPopoverThemeValues look_;
    unsigned long arrowDirection_ = PVPopoverArrowDirectionDown;
    UIViewPtr contentView_;
    std::weak_ptr<PVPopoverBackgroundViewDelegate> delegate_;
    bool touchedOutside_ = false;
};

// The closed path of the bubble's body and arrow in rectangle r (the outer rectangle inset by
// half a point), its corners drawn as tangent arcs.
UIBezierPathPtr PVPopoverBubblePath(const CGRect& r, unsigned long direction, float arrowOffset, unsigned long arrowBase,
                                    unsigned long arrowHeight, unsigned long cornerRadius);
