#include "platform/uikit/UITabBarController.h"

#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

UITabBarController::UITabBarController() : tabBar_(std::make_shared<UITabBar>()) {}

void UITabBarController::loadView() {
    auto container = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    container->addSubview(tabBar_);
    setView(container);
    if (auto selected = selectedViewController()) container->insertSubviewBelowSubview(selected->view(), tabBar_);
    container->setNeedsLayout();
}

void UITabBarController::viewWillLayoutSubviews() {
    auto b = view()->bounds();
    CGFloat contentHeight = std::max<CGFloat>(0, b.size.height - kTabBarHeight);
    tabBar_->setFrame(CGRectMake(0, contentHeight, b.size.width, kTabBarHeight));
    if (auto selected = selectedViewController()) selected->view()->setFrame(CGRectMake(0, 0, b.size.width, contentHeight));
}

std::shared_ptr<UIViewController> UITabBarController::selectedViewController() const {
    auto& children = childViewControllers();
    return selectedIndex_ < children.size() ? children[selectedIndex_] : nullptr;
}

void UITabBarController::show(const std::shared_ptr<UIViewController>& old) {
    auto selected = selectedViewController();
    if (selected) tabBar_->setSelectedItem(selected->tabBarItem());
    if (old == selected) return;
    bool visible = isViewVisible();
    if (visible && old) old->beginAppearanceTransition(false, false);
    if (visible && selected) selected->beginAppearanceTransition(true, false);
    if (isViewLoaded()) {
        if (old && old->isViewLoaded() && old->view()->superview() == view()) old->view()->removeFromSuperview();
        if (selected) view()->insertSubviewBelowSubview(selected->view(), tabBar_);
        view()->setNeedsLayout();
        view()->layoutIfNeeded();
    }
    if (visible && old) old->endAppearanceTransition();
    if (visible && selected) selected->endAppearanceTransition();
}

void UITabBarController::setViewControllersAnimated(const std::vector<std::shared_ptr<UIViewController>>& controllers, bool) {
    auto old = selectedViewController();
    auto keep = childViewControllers();
    for (auto& c : keep) c->removeFromParentViewController();
    std::vector<std::shared_ptr<UITabBarItem>> items;
    for (auto& c : controllers) {
        addChildViewController(c);
        items.push_back(c->tabBarItem());
    }
    tabBar_->setItems(items);
    if (selectedIndex_ >= controllers.size()) selectedIndex_ = 0;
    if (old && isViewLoaded() && old->isViewLoaded() && old != selectedViewController() &&
        old->view()->superview() == view())
        old->view()->removeFromSuperview();
    show(old && old->parentViewController().get() == this ? old : nullptr);
}

void UITabBarController::setSelectedIndex(std::size_t index) {
    if (index >= childViewControllers().size()) return;
    auto old = selectedViewController();
    selectedIndex_ = index;
    show(old);
}

void UITabBarController::tabBarDidSelectItemAtIndex(std::size_t index) {
    auto& children = childViewControllers();
    if (index >= children.size()) return;
    auto controller = children[index];
    if (!controller->tabBarItem()->isEnabled()) return;
    auto d = delegate();
    if (d && !d->tabBarControllerShouldSelectViewController(*this, controller)) return;
    if (index == selectedIndex_) {
        if (auto nav = std::dynamic_pointer_cast<UINavigationController>(controller)) nav->popToRootViewControllerAnimated(true);
    } else {
        setSelectedIndex(index);
    }
    if (d) d->tabBarControllerDidSelectViewController(*this, controller);
}

void UITabBarController::describeToScreen(UIScreenDescription& screen) {
    screen.describeViewController(selectedViewController());
    // Views the app laid over the tabs (a progress bar) speak too; the tab bar is described below.
    if (isViewLoaded()) {
        for (const auto& view : view()->subviews())
            if (view != tabBar_ && !view->viewController()) screen.describeView(view);
    }
    auto& items = tabBar_->items();
    std::string line = "tabs:";
    for (std::size_t i = 0; i < items.size(); ++i) {
        line += std::string(i ? " |" : "") + " " + (i == selectedIndex_ ? "*" : "") + UIScreenDescription::quoted(items[i]->title()) +
                (items[i]->isEnabled() ? "" : " (disabled)");
    }
    screen.addLine(line);
    auto me = self<UITabBarController>();
    auto select = [me](const std::string& titleOrIndex, UIScreenReply& reply) { return me->selectTab(titleOrIndex, reply); };
    // Each item is pressed where it shows (the options button stands over the middle one); a tab
    // named by number or title is the controller's own business.
    for (auto& item : items) {
        auto where = item->view() ? item->view() : std::shared_ptr<UIView>(tabBar_);
        screen.addTappable(item->title(), [select, title = item->title()](UIScreenReply& reply) { return select(title, reply); }, where);
    }
    screen.addCommand("tab", select, view());
}

// A number picks the item at that index; a title the first enabled item of that title, else the
// first of that title.
bool UITabBarController::selectTab(const std::string& titleOrIndex, UIScreenReply& reply) {
    auto& items = tabBar_->items();
    std::optional<std::size_t> index;
    if (auto n = UIScreenDescription::index(titleOrIndex)) {
        if (static_cast<std::size_t>(*n) < items.size()) index = static_cast<std::size_t>(*n);
    } else {
        for (std::size_t i = 0; i < items.size() && !index; ++i)
            if (items[i]->title() == titleOrIndex && items[i]->isEnabled()) index = i;
        for (std::size_t i = 0; i < items.size() && !index; ++i)
            if (items[i]->title() == titleOrIndex) index = i;
    }
    if (!index) return reply.refuse("no tab " + UIScreenDescription::quoted(titleOrIndex));
    if (!items[*index]->isEnabled()) return reply.refuse("tab " + std::to_string(*index) + " is disabled");
    tabBarDidSelectItemAtIndex(*index);
    return true;
}
