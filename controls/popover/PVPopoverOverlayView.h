#pragma once
// The full-window view behind the popover's bubble: it catches touches outside the bubble and lets
// touches through to the passthrough views (and their subviews) under it.

#include "platform/uikit/UIView.h"

#include <memory>
#include <vector>

class PVPopoverOverlayView;

class PVPopoverOverlayViewDelegate {
public:
    virtual ~PVPopoverOverlayViewDelegate() = default;
    virtual void popoverOverlayViewDidTouch(const std::shared_ptr<PVPopoverOverlayView>&) {}
};

class PVPopoverOverlayView : public UIView {
public:
    using UIView::UIView;

    std::shared_ptr<PVPopoverOverlayViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<PVPopoverOverlayViewDelegate>& delegate) { delegate_ = delegate; }
    // Not kept alive by the overlay: the controller holds its own copy.
    std::vector<UIViewPtr> passthroughViews() const;
    void setPassthroughViews(const std::vector<UIViewPtr>& views);
    bool isPassthroughView(const UIViewPtr& view) const;

    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    // The overlay catches the whole touch: none of it reaches the screen beneath.
    void touchesMovedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override {}
    void touchesEndedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override {}
    void touchesCancelledWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override {}
    UIViewPtr hitTestWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) override;
    void accessibilityElementDidBecomeFocused();

private:
    bool testHits_ = false;
    std::weak_ptr<PVPopoverOverlayViewDelegate> delegate_;
    std::vector<std::weak_ptr<UIView>> passthroughViews_;
};
