#pragma once
// The share circle: a disc that slides in from the top in a window of its own, carrying up to six
// share targets on a ring. A finger on the disc drags a ring marker onto an icon (the marker keeps
// within the ring and snaps onto icons); lifting it there slides the disc out at the bottom and
// hands the sharer to the delegate. A touch outside the disc dismisses the circle silently.

#include "controls/sharecircle/CSSharer.h"

#include "platform/uikit/CAShapeLayer.h"
#include "platform/uikit/CATextLayer.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <vector>

class CSShareCircleView;
class UIWindow;

class CSShareCircleViewDelegate {
public:
    virtual ~CSShareCircleViewDelegate() = default;
    // The user lifted the finger on the sharer's icon; sent once the disc has slid out.
    virtual void shareCircleViewDidSelectSharer(CSShareCircleView& view, const std::shared_ptr<CSSharer>& sharer) = 0;
};

class CSShareCircleView : public UIView {
public:
    static constexpr CGFloat kDiscSide = 275;
    static constexpr CGFloat kDiscRadius = kDiscSide / 2;
    static constexpr CGFloat kIconSide = 45;
    static constexpr CGFloat kRingRadius = 100;
    static constexpr CGFloat kMarkerSide = 70;
    static constexpr CGFloat kDragRadius = 102.5;
    static constexpr CGFloat kSnapDistance = 30;
    static constexpr CGFloat kMarkerJump = 20;
    static constexpr std::size_t kMaxVisibleSharers = 6;
    static constexpr CGFloat kWindowLevel = 1999.0;
    static constexpr CGFloat kWindowDimming = 0.45;
    static constexpr unsigned long kFlexibleSize = 18;
    static constexpr CGFloat kIdleMarkerOpacity = 0.2f;
    static constexpr CGFloat kOtherIconOpacity = 0.6f;

    // The default sharers: Dropbox, Mail, Camera Roll, Twitter, Evernote, AirPrint.
    CSShareCircleView();
    explicit CSShareCircleView(std::vector<std::shared_ptr<CSSharer>> sharers);

    void showAnimated(bool animated);
    void dismissAnimatedWithSharer(bool animated, const std::shared_ptr<CSSharer>& sharer);
    void dismissAnimated(bool animated) { dismissAnimatedWithSharer(animated, nullptr); }
    std::size_t numberOfVisibleSharers() const;

    void setup();
    void teardown();
    void invalidateLayout();
    void layoutSubviews() override;
    void validateLayout();
    std::shared_ptr<CALayer> touchedSharerLayer() const;
    // In the disc's coordinates.
    bool circleEnclosesPoint(CGPoint point) const;
    CGPoint touchLocationAtPoint(CGPoint point) const;

    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;

    std::shared_ptr<CSShareCircleViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<CSShareCircleViewDelegate>& delegate) { delegate_ = delegate; }
    CGPoint currentPosition() const { return currentPosition_; }
    void setCurrentPosition(CGPoint position) { currentPosition_ = position; }
    bool isDragging() const { return dragging_; }
    void setDragging(bool dragging) { dragging_ = dragging; }
    bool isLayoutDirty() const { return layoutDirty_; }
    const std::shared_ptr<CALayer>& closeButtonLayer() const { return closeButtonLayer_; }
    const std::shared_ptr<CAShapeLayer>& touchLayer() const { return touchLayer_; }
    const std::shared_ptr<CATextLayer>& introTextLayer() const { return introTextLayer_; }
    const std::shared_ptr<CATextLayer>& shareTitleLayer() const { return shareTitleLayer_; }
    const std::vector<std::shared_ptr<CSSharer>>& sharers() const { return sharers_; }
    const std::vector<std::shared_ptr<CALayer>>& sharerLayers() const { return sharerLayers_; }
    const std::shared_ptr<UIView>& shareCircleContainerView() const { return shareCircleContainerView_; }
    std::shared_ptr<UIWindow> oldKeyWindow() const { return oldKeyWindow_; }
    const std::shared_ptr<UIWindow>& shareCircleWindow() const { return shareCircleWindow_; }
    bool isAnimating() const { return animating_; }

private:
    void setupShareCircleContainerView();
    void setupSharers();
    // The centre of the disc's bounds.
    CGPoint discCentre() const;
    // The first touch of the set in the disc's coordinates.
    CGPoint locationInDisc(const UITouchSet& touches) const;

    std::weak_ptr<CSShareCircleViewDelegate> delegate_;
    CGPoint currentPosition_;
    bool dragging_ = false;
    bool layoutDirty_ = false;
    std::shared_ptr<CALayer> closeButtonLayer_;
    std::shared_ptr<CAShapeLayer> touchLayer_;
    std::shared_ptr<CATextLayer> introTextLayer_;
    std::shared_ptr<CATextLayer> shareTitleLayer_;
    std::vector<std::shared_ptr<CSSharer>> sharers_;
    std::vector<std::shared_ptr<CALayer>> sharerLayers_;
    std::shared_ptr<UIView> shareCircleContainerView_;
    std::shared_ptr<UIWindow> oldKeyWindow_;
    std::shared_ptr<UIWindow> shareCircleWindow_;
    bool animating_ = false;
};
