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
        view->setFrame(bounds());
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
        rootViewController_->view()->setFrame(bounds());
        rootFittedSize_ = bounds().size;
    }
    UIView::layoutSubviews();
}

std::shared_ptr<UIResponder> UIWindow::nextResponder() const { return UIApplication::sharedApplication(); }

CGRect UIWindow::convertRectFromWindow(const CGRect& rect, const std::shared_ptr<UIWindow>& window) const {
    auto onScreen = window ? CGRectOffset(rect, window->frame().origin.x, window->frame().origin.y) : rect;
    auto f = frame();
    return CGRectOffset(onScreen, -f.origin.x, -f.origin.y);
}
