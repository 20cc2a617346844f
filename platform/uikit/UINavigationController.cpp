#include "platform/uikit/UINavigationController.h"

#include "platform/uikit/UIScreen.h"

UINavigationController::UINavigationController() : navigationBar_(std::make_shared<UINavigationBar>()) {}

std::shared_ptr<UINavigationController> UINavigationController::initWithRootViewController(
    const std::shared_ptr<UIViewController>& root) {
    auto nav = std::make_shared<UINavigationController>();
    if (root) nav->setViewControllersAnimated({root}, false);
    return nav;
}

void UINavigationController::loadView() {
    auto container = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    container->addSubview(navigationBar_);
    setView(container);
    if (auto top = topViewController()) container->addSubview(top->view());
    container->setNeedsLayout();
}

void UINavigationController::viewWillLayoutSubviews() {
    auto b = view()->bounds();
    navigationBar_->setFrame(CGRectMake(0, kStatusBarHeight, b.size.width, kNavigationBarHeight));
    CGFloat top = kStatusBarHeight + kNavigationBarHeight;
    if (auto controller = topViewController())
        controller->view()->setFrame(CGRectMake(0, top, b.size.width, std::max<CGFloat>(0, b.size.height - top)));
}

std::shared_ptr<UIViewController> UINavigationController::topViewController() const {
    auto& stack = childViewControllers();
    return stack.empty() ? nullptr : stack.back();
}

std::shared_ptr<UIViewController> UINavigationController::visibleViewController() const {
    auto top = topViewController();
    if (auto presented = presentedViewController()) return presented;
    return top;
}

void UINavigationController::showTop(const std::shared_ptr<UIViewController>& old, bool animated) {
    auto top = topViewController();
    if (old == top) return;
    bool visible = isViewVisible();
    if (visible && old) old->beginAppearanceTransition(false, animated);
    if (visible && top) top->beginAppearanceTransition(true, animated);
    if (isViewLoaded()) {
        if (old && old->isViewLoaded() && old->view()->superview() == view()) old->view()->removeFromSuperview();
        if (top) view()->insertSubviewBelowSubview(top->view(), navigationBar_);
        view()->setNeedsLayout();
        view()->layoutIfNeeded();
    }
    if (visible && old) old->endAppearanceTransition();
    if (visible && top) top->endAppearanceTransition();
}

void UINavigationController::setViewControllersAnimated(const std::vector<std::shared_ptr<UIViewController>>& controllers,
                                                        bool animated) {
    auto old = topViewController();
    auto keep = childViewControllers();
    for (auto& c : keep) c->removeFromParentViewController();
    for (auto& c : controllers) addChildViewController(c);
    showTop(old, animated);
}

void UINavigationController::pushViewControllerAnimated(const std::shared_ptr<UIViewController>& controller, bool animated) {
    if (!controller) return;
    auto old = topViewController();
    addChildViewController(controller);
    showTop(old, animated);
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated) {
    if (childViewControllers().size() < 2) return nullptr;
    auto old = topViewController();
    old->removeFromParentViewController();
    showTop(old, animated);
    return old;
}

void UINavigationController::popToRootViewControllerAnimated(bool animated) {
    auto stack = childViewControllers();
    if (stack.size() < 2) return;
    setViewControllersAnimated({stack.front()}, animated);
}
