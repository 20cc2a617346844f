#include "platform/uikit/UINavigationController.h"

#include <algorithm>
#include <mutex>

namespace {
struct Hooks {
    std::mutex lock;
    std::vector<UINavigationController::PushHook> push;
    std::vector<UINavigationController::SetViewControllersHook> set;
};
Hooks& hooks() {
    static Hooks h;
    return h;
}
} // namespace

void UINavigationController::addPushHook(PushHook hook) {
    std::lock_guard<std::mutex> guard(hooks().lock);
    if (hook) hooks().push.push_back(std::move(hook));
}

void UINavigationController::addSetViewControllersHook(SetViewControllersHook hook) {
    std::lock_guard<std::mutex> guard(hooks().lock);
    if (hook) hooks().set.push_back(std::move(hook));
}

void UINavigationController::removeHooks() {
    std::lock_guard<std::mutex> guard(hooks().lock);
    hooks().push.clear();
    hooks().set.clear();
}

void UINavigationController::pushViewControllerAnimated(const std::shared_ptr<UIViewController>& controller, bool animated) {
    std::vector<PushHook> chain;
    {
        std::lock_guard<std::mutex> guard(hooks().lock);
        chain = hooks().push;
    }
    auto keep = self<UINavigationController>();
    std::function<void()> call = [this, controller, animated] { push(controller, animated); };
    for (auto& hook : chain)
        call = [this, hook, inner = call, controller, animated] { hook(*this, controller, animated, inner); };
    call();
}

void UINavigationController::setViewControllersAnimated(const std::vector<std::shared_ptr<UIViewController>>& controllers,
                                                        bool animated) {
    std::vector<SetViewControllersHook> chain;
    {
        std::lock_guard<std::mutex> guard(hooks().lock);
        chain = hooks().set;
    }
    auto keep = self<UINavigationController>();
    std::function<void()> call = [this, controllers, animated] { replaceStack(controllers, animated); };
    for (auto& hook : chain)
        call = [this, hook, inner = call, &controllers, animated] { hook(*this, controllers, animated, inner); };
    call();
}

void UINavigationController::setNavigationBarHiddenAnimated(bool hidden, bool) {
    if (hidden == navigationBarHidden_) return;
    navigationBarHidden_ = hidden;
    navigationBar_->setHidden(hidden);
    if (isViewLoaded()) {
        view()->setNeedsLayout();
        view()->layoutIfNeeded();
    }
}

void UINavigationController::layoutBarItems() {
    constexpr CGFloat kInset = 8;
    auto bar = navigationBar_;
    auto top = topViewController();
    std::vector<UIViewPtr> shown;
    if (top) {
        auto item = top->navigationItem();
        auto width = bar->bounds().size.width;
        if (auto left = item->leftBarButtonItem()) {
            auto v = left->viewForBar(bar);
            v->setCenter({kInset + v->bounds().size.width / 2, kNavigationBarHeight / 2});
            shown.push_back(v);
        }
        if (auto right = item->rightBarButtonItem()) {
            auto v = right->viewForBar(bar);
            v->setCenter({width - kInset - v->bounds().size.width / 2, kNavigationBarHeight / 2});
            shown.push_back(v);
        }
    }
    // Views of items no longer shown leave the bar.
    for (auto& v : barItemViews_)
        if (std::find(shown.begin(), shown.end(), v) == shown.end() && v->superview() == bar) v->removeFromSuperview();
    for (auto& v : shown) bar->addSubview(v);
    barItemViews_ = shown;
}
