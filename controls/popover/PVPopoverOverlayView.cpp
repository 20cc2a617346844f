#include "controls/popover/PVPopoverOverlayView.h"

#include "platform/foundation/NSBundle.h"

std::vector<UIViewPtr> PVPopoverOverlayView::passthroughViews() const {
    std::vector<UIViewPtr> views;
    for (const auto& weak : passthroughViews_)
        if (auto view = weak.lock()) views.push_back(view);
    return views;
}

void PVPopoverOverlayView::setPassthroughViews(const std::vector<UIViewPtr>& views) {
    passthroughViews_.assign(views.begin(), views.end());
}

bool PVPopoverOverlayView::isPassthroughView(const UIViewPtr& view) const {
    if (!view) return false;
    for (const auto& weak : passthroughViews_) {
        auto passthrough = weak.lock();
        if (passthrough && (view == passthrough || view->isDescendantOfView(passthrough.get()))) return true;
    }
    return false;
}

void PVPopoverOverlayView::touchesBeganWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    if (auto delegate = delegate_.lock())
        delegate->popoverOverlayViewDidTouch(std::static_pointer_cast<PVPopoverOverlayView>(shared_from_this()));
}

UIViewPtr PVPopoverOverlayView::hitTestWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) {
    if (testHits_) return nullptr;
    UIViewPtr hit = UIView::hitTestWithEvent(point, event);
    if (hit.get() != this) return hit;
    auto parent = superview();
    if (!parent) return hit;
    // Ask the window again with the overlay out of the way: a passthrough view under it takes the touch.
    testHits_ = true;
    UIViewPtr below = parent->hitTestWithEvent(convertPointToView(point, parent), event);
    testHits_ = false;
    return isPassthroughView(below) ? below : hit;
}

void PVPopoverOverlayView::accessibilityElementDidBecomeFocused() {
    setAccessibilityLabel(NSBundle::mainBundle()->localizedStringForKey("Double-tap to dismiss pop-up window.", "", ""));
}
