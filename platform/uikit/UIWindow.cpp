#include "platform/uikit/UIWindow.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"

void UIWindow::setRootViewController(const std::shared_ptr<UIViewController>& controller) {
    if (controller == rootViewController_) return;
    auto old = rootViewController_;
    if (old && visible_) old->beginAppearanceTransition(false, false);
    if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
    rootViewController_ = controller;
    if (controller) {
        auto view = controller->view();
        auto displayed = UIApplication::sharedApplication()->displayedInterfaceOrientation();
        if (displayed != interfaceOrientation_ && controller->turnsToInterfaceOrientation(displayed))
            interfaceOrientation_ = displayed;
        fitControllerView(view);
        rootFittedSize_ = bounds().size;
        addSubview(view);
        setNeedsLayout();
    }
    if (old && visible_) old->endAppearanceTransition();
    if (controller && visible_) {
        controller->beginAppearanceTransition(true, false);
        controller->endAppearanceTransition();
    }
}

void UIWindow::makeKeyAndVisible() {
    makeKeyWindow();
    // A window hidden after it was first shown comes back.
    if (visible_) return setHidden(false);
    visible_ = true;
    setHidden(false);
    if (rootViewController_) {
        rootViewController_->beginAppearanceTransition(true, false);
        rootViewController_->endAppearanceTransition();
    }
}

void UIWindow::didUnhide() {
    if (visible_) return;
    visible_ = true;
    UIApplication::sharedApplication()->windowDidBecomeVisible(self<UIWindow>());
}

void UIWindow::makeKeyWindow() { UIApplication::sharedApplication()->setKeyWindow(self<UIWindow>()); }

bool UIWindow::isKeyWindow() const { return UIApplication::sharedApplication()->keyWindow().get() == this; }

// The root controller's view fills the window when it becomes the root and whenever the window
// changes size; between those, a frame the controller gives its view stays.
void UIWindow::layoutSubviews() {
    if (rootViewController_ && rootViewController_->isViewLoaded() && rootFittedSize_ != bounds().size) {
        fitControllerView(rootViewController_->view());
        rootFittedSize_ = bounds().size;
    }
    UIView::layoutSubviews();
}

namespace {
bool isSideways(UIInterfaceOrientation o) {
    return o == UIInterfaceOrientationLandscapeLeft || o == UIInterfaceOrientationLandscapeRight;
}
// Quarter and half turns, exactly: landscape right by π/2, landscape left by −π/2.
CGAffineTransform turnFor(UIInterfaceOrientation o) {
    switch (o) {
    case UIInterfaceOrientationLandscapeRight: return {0, 1, -1, 0, 0, 0};
    case UIInterfaceOrientationLandscapeLeft: return {0, -1, 1, 0, 0, 0};
    case UIInterfaceOrientationPortraitUpsideDown: return {-1, 0, 0, -1, 0, 0};
    default: return CGAffineTransformIdentity;
    }
}
} // namespace

CGRect UIWindow::interfaceBounds() const {
    auto b = bounds();
    if (isSideways(interfaceOrientation_)) return CGRectMake(0, 0, b.size.height, b.size.width);
    return CGRectMake(0, 0, b.size.width, b.size.height);
}

void UIWindow::fitControllerView(const UIViewPtr& view) const {
    if (interfaceOrientation_ == UIInterfaceOrientationPortrait || interfaceOrientation_ == UIInterfaceOrientationUnknown) {
        view->setTransform(CGAffineTransformIdentity);
        view->setFrame(bounds());
        return;
    }
    placeUpright(view, interfaceBounds());
}

void UIWindow::placeUpright(const UIViewPtr& view, const CGRect& interfaceFrame) const {
    auto b = bounds();
    auto turn = turnFor(interfaceOrientation_);
    auto upright = interfaceBounds();
    // The interface turns about the window's centre.
    CGPoint offset = CGPointApplyAffineTransform(
        CGPointMake(CGRectGetMidX(interfaceFrame) - CGRectGetMidX(upright), CGRectGetMidY(interfaceFrame) - CGRectGetMidY(upright)), turn);
    view->setTransform(turn);
    view->setBounds(CGRectMake(0, 0, interfaceFrame.size.width, interfaceFrame.size.height));
    view->setCenter(CGPointMake(CGRectGetMidX(b) + offset.x, CGRectGetMidY(b) + offset.y));
}

void UIWindow::addUprightSubview(const UIViewPtr& view, InterfaceFrame frameIn) {
    if (!view || !frameIn) return;
    std::erase_if(uprightViews_, [&](const auto& entry) { return entry.first.expired() || entry.first.lock() == view; });
    placeUpright(view, frameIn(interfaceBounds()));
    addSubview(view);
    uprightViews_.emplace_back(view, std::move(frameIn));
}

void UIWindow::turnToInterfaceOrientation(UIInterfaceOrientation orientation) {
    interfaceOrientation_ = orientation;
    // The root controller's view and those of its presentations: the window's controller views.
    for (auto& view : subviews())
        if (auto controller = view->viewController(); controller && (controller == rootViewController_ || controller->presentingViewController()))
            fitControllerView(view);
    rootFittedSize_ = bounds().size;
    // The window's own upright views (those still in it) turn with the interface.
    std::erase_if(uprightViews_, [](const auto& entry) { return entry.first.expired(); });
    auto upright = uprightViews_;
    for (auto& [weak, frameIn] : upright)
        if (auto view = weak.lock(); view && view->superview().get() == this) placeUpright(view, frameIn(interfaceBounds()));
}

std::shared_ptr<UIResponder> UIWindow::nextResponder() const { return UIApplication::sharedApplication(); }

CGRect UIWindow::convertRectFromWindow(const CGRect& rect, const std::shared_ptr<UIWindow>& window) const {
    auto onScreen = window ? CGRectOffset(rect, window->frame().origin.x, window->frame().origin.y) : rect;
    auto f = frame();
    return CGRectOffset(onScreen, -f.origin.x, -f.origin.y);
}
