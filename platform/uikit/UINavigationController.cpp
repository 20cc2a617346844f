#include "platform/uikit/UINavigationController.h"

#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

UINavigationController::UINavigationController() : navigationBar_(std::make_shared<UINavigationBar>()) {}

std::shared_ptr<UINavigationController> UINavigationController::initWithRootViewController(
    const std::shared_ptr<UIViewController>& root) {
    auto nav = std::make_shared<UINavigationController>();
    if (root) nav->replaceStack({root}, false);
    return nav;
}

namespace {
// The navigation controller's view: where its bar stands below the status bar, the bar's colour
// reaches up behind the status bar, as the device draws it.
class UINavigationContainerView : public UIView {
public:
    UINavigationContainerView(const CGRect& frame, const std::shared_ptr<UINavigationBar>& bar) : UIView(frame), bar_(bar) {}
    bool keepsDrawing() const override { return false; }
    void drawRect(const CGRect&) override {
        auto bar = bar_.lock();
        auto c = UIGraphicsGetCurrentContext();
        if (!bar || !c || bar->isHidden() || bar->superview().get() != this) return;
        auto top = bar->frame().origin.y;
        if (top <= 0) return;
        auto tint = bar->barTintColor() ? bar->barTintColor() : UIColor::colorWithRed(247 / 255.0, 247 / 255.0, 247 / 255.0, 1);
        tint->setFill();
        c->fillRect(CGRectMake(0, 0, bounds().size.width, top));
    }

private:
    std::weak_ptr<UINavigationBar> bar_;
};
} // namespace

void UINavigationController::loadView() {
    auto container = std::make_shared<UINavigationContainerView>(UIScreen::mainScreen()->bounds(), navigationBar_);
    container->addSubview(navigationBar_);
    setView(container);
    // The bar stands in front of the controller's view, as after every push.
    if (auto top = topViewController()) container->insertSubviewBelowSubview(top->view(), navigationBar_);
    container->setNeedsLayout();
}

void UINavigationController::viewWillLayoutSubviews() {
    auto b = view()->bounds();
    // The bar stands below the status bar only where the view reaches under it: inside a popover
    // or a sheet lower on the screen it starts at the view's top.
    // Measured upright in the interface: in landscape the window keeps the screen's coordinates,
    // where the view's top left lies at a side, not at the top.
    CGFloat statusBar = kStatusBarHeight;
    if (auto window = view()->window()) {
        auto f = window->frame();
        auto corner = view()->convertPointToView({0, 0}, nullptr);
        auto upright = UIScreen::mainScreen()->pointToInterface({corner.x + f.origin.x, corner.y + f.origin.y});
        if (upright.y >= kStatusBarHeight) statusBar = 0;
    }
    navigationBar_->setFrame(CGRectMake(0, statusBar, b.size.width, kNavigationBarHeight));
    CGFloat top = navigationBarHidden_ ? 0 : statusBar + kNavigationBarHeight;
    layoutBarItems();
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
    auto d = delegate();
    if (d && top) d->navigationControllerWillShowViewControllerAnimated(*this, top, animated);
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
    if (d && top) d->navigationControllerDidShowViewControllerAnimated(*this, top, animated);
}

void UINavigationController::replaceStack(const std::vector<std::shared_ptr<UIViewController>>& controllers, bool animated) {
    auto old = topViewController();
    auto keep = childViewControllers();
    for (auto& c : keep) c->removeFromParentViewController();
    for (auto& c : controllers) addChildViewController(c);
    showTop(old, animated);
}

void UINavigationController::push(const std::shared_ptr<UIViewController>& controller, bool animated) {
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
    replaceStack({stack.front()}, animated);
}

namespace {
std::string barItemText(const UIBarButtonItem& item) {
    std::string text = !item.title().empty() ? item.title() : UIScreenDescription::imageName(item.image());
    if (!item.isEnabled()) text += " (disabled)";
    return "[" + text + "]";
}
} // namespace

void UINavigationController::describeToScreen(UIScreenDescription& screen) {
    auto top = topViewController();
    if (!top) return;
    if (navigationBarHidden_) {
        screen.describeViewController(top);
        return describeToolbar(screen);
    }
    auto item = top->navigationItem();
    auto stack = viewControllers();
    std::string previous = stack.size() > 1 ? stack[stack.size() - 2]->navigationItem()->title() : "";
    std::string line = "nav: " + UIScreenDescription::quoted(item->title());
    if (stack.size() > 1 && !item->hidesBackButton()) line += " | back: [< " + (previous.empty() ? std::string("Back") : previous) + "]";
    if (auto left = item->leftBarButtonItem()) line += " | left: " + barItemText(*left);
    if (auto right = item->rightBarButtonItem()) line += " | right: " + barItemText(*right);
    screen.addLine(line);

    // The right button before the left, then the back button, all before the screen under the bar.
    for (auto& barItem : {item->rightBarButtonItem(), item->leftBarButtonItem()}) {
        if (!barItem) continue;
        auto press = [barItem](UIScreenReply& reply) {
            if (!barItem->isEnabled()) return reply.refuse("that button is disabled");
            barItem->performAction();
            return true;
        };
        for (auto& name : {barItem->title(), barItem->accessibilityLabel(), UIScreenDescription::imageName(barItem->image())})
            screen.addTappable(name, press, navigationBar());
    }
    if (stack.size() > 1) {
        auto back = [me = self<UINavigationController>()](UIScreenReply&) {
            me->popViewControllerAnimated(true);
            return true;
        };
        screen.addCommand("back", [back](const std::string&, UIScreenReply& reply) { return back(reply); }, navigationBar());
        screen.addTappable(previous, back, navigationBar());
        // The bar shows "< Back" for a name too long to fit: one button, found by either name.
        screen.addAlias("Back", back, navigationBar());
    }
    screen.describeViewController(top);
    describeToolbar(screen);
}

void UINavigationController::setToolbarHiddenAnimated(bool hidden, bool) {
    willChangeValueForKey("toolbarHidden");
    toolbarHidden_ = hidden;
    didChangeValueForKey("toolbarHidden");
}

void UINavigationController::describeToolbar(UIScreenDescription& screen) {
    auto top = topViewController();
    if (toolbarHidden_ || !top) return;
    std::string line = "toolbar:";
    for (auto& item : top->toolbarItems()) {
        if (item->title().empty()) continue;
        // An item without a target is a caption: its text alone.
        line += " " + (item->target() ? barItemText(*item) : item->title());
        if (!item->isEnabled() || !item->target()) continue;
        screen.addTappable(item->title(), [item](UIScreenReply&) {
            item->performAction();
            return true;
        });
    }
    screen.addLine(line);
}
