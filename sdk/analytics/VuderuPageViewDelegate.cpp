#include "sdk/analytics/VuderuPageViewDelegate.h"

#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <vector>

namespace {

// The live proxies of each class: the only long-lived references to them.
std::vector<std::shared_ptr<VuderuPageViewDelegate>>& proxies(bool old) {
    static auto* current = new std::vector<std::shared_ptr<VuderuPageViewDelegate>>;
    static auto* older = new std::vector<std::shared_ptr<VuderuPageViewDelegate>>;
    return old ? *older : *current;
}

bool isProxied(const std::shared_ptr<UIViewController>& target) {
    for (bool old : {false, true}) {
        for (const auto& proxy : proxies(old)) {
            if (proxy->target() == target) return true;
        }
    }
    return false;
}

void make(const std::shared_ptr<UIViewController>& target, bool old) {
    if (!std::dynamic_pointer_cast<UINavigationController>(target) && !std::dynamic_pointer_cast<UITabBarController>(target)) return;
    if (isProxied(target)) return;
    proxies(old).push_back(std::make_shared<VuderuPageViewDelegate>(target, old));
    proxies(old).back()->install();
}

void countPageView() { VuderuImpl::instance()->maybeIncrementPageView(); }

// The controllers of a customizing call, printed with %@ as the array they are.
Value controllersValue(const std::vector<std::shared_ptr<UIViewController>>& controllers) {
    return Value(Value::Array(controllers.begin(), controllers.end()));
}

} // namespace

void VuderuPageViewDelegate::createDelegateOnTarget(const std::shared_ptr<UIViewController>& target) { make(target, false); }

void VuderuPageViewDelegateOld::createDelegateOnTarget(const std::shared_ptr<UIViewController>& target) { make(target, true); }

void VuderuPageViewDelegate::destroyDelegateOnTarget(const std::shared_ptr<UIViewController>& target) {
    if (!target) return;
    auto& list = proxies(false);
    auto found = std::find_if(list.begin(), list.end(), [&](const auto& proxy) { return proxy->target() == target; });
    if (found == list.end()) return;
    auto proxy = *found;
    list.erase(found);
    proxy->restoreDelegate();
}

VuderuPageViewDelegate::VuderuPageViewDelegate(std::shared_ptr<UIViewController> target, bool old)
    : target_(std::move(target)), old_(old) {}

VuderuPageViewDelegate::~VuderuPageViewDelegate() {
    if (observation_) {
        if (auto* observed = dynamic_cast<NSKeyValueObserving*>(target_.get())) observed->removeObserver(observation_);
    }
}

std::shared_ptr<UINavigationControllerDelegate> VuderuPageViewDelegate::navigationDelegate() const { return navigationDelegate_.lock(); }
std::shared_ptr<UITabBarControllerDelegate> VuderuPageViewDelegate::tabBarDelegate() const { return tabBarDelegate_.lock(); }

std::shared_ptr<NSObject> VuderuPageViewDelegate::passedOnDelegate() const {
    if (std::dynamic_pointer_cast<UINavigationController>(target_)) return std::dynamic_pointer_cast<NSObject>(navigationDelegate());
    return std::dynamic_pointer_cast<NSObject>(tabBarDelegate());
}

void VuderuPageViewDelegate::install() {
    auto me = self<VuderuPageViewDelegate>();
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(target_)) {
        navigationDelegate_ = navigation->delegate();
        if (old_) retainedNavigationDelegate_ = navigation->delegate();
        navigation->setDelegate(me);
    } else if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(target_)) {
        tabBarDelegate_ = tabs->delegate();
        if (old_) retainedTabBarDelegate_ = tabs->delegate();
        tabs->setDelegate(me);
    }
    VuderuLog("%s: delegate[%@] created", prefix(), passedOnDelegate());
    if (old_) return;
    std::weak_ptr<VuderuPageViewDelegate> weak = me;
    if (auto* observed = dynamic_cast<NSKeyValueObserving*>(target_.get())) {
        observation_ = observed->addObserverForKeyPath("delegate", [weak](const std::string&, bool) {
            if (auto proxy = weak.lock()) proxy->adoptNewDelegate();
        });
    }
}

// The host's new delegate receives the calls from now on; the proxy takes the slot back, also
// when the host assigns the delegate it already holds (left there, it would stop the counting).
void VuderuPageViewDelegate::adoptNewDelegate() {
    auto me = self<VuderuPageViewDelegate>();
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(target_)) {
        auto current = navigation->delegate();
        if (current.get() == static_cast<UINavigationControllerDelegate*>(this)) return;
        navigationDelegate_ = current;
        navigation->setDelegate(me);
    } else if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(target_)) {
        auto current = tabs->delegate();
        if (current.get() == static_cast<UITabBarControllerDelegate*>(this)) return;
        tabBarDelegate_ = current;
        tabs->setDelegate(me);
    }
}

void VuderuPageViewDelegate::restoreDelegate() {
    VuderuLog("%s: delegate[%@] destroyed", prefix(), passedOnDelegate());
    if (observation_) {
        if (auto* observed = dynamic_cast<NSKeyValueObserving*>(target_.get())) observed->removeObserver(observation_);
        observation_ = 0;
    }
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(target_)) navigation->setDelegate(navigationDelegate());
    if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(target_)) tabs->setDelegate(tabBarDelegate());
}

void VuderuPageViewDelegate::navigationControllerWillShowViewControllerAnimated(UINavigationController& controller,
                                                                               const std::shared_ptr<UIViewController>& shown, bool animated) {
    VuderuUtil::guarded([&] {
        VuderuLog("%s: navigation controller [%@], view controller [%@], animated [%d]", prefix(), controller.description(),
                  shown ? shown->description() : std::string("nil"), static_cast<int>(animated));
        if (auto d = navigationDelegate()) d->navigationControllerWillShowViewControllerAnimated(controller, shown, animated);
    });
}

void VuderuPageViewDelegate::navigationControllerDidShowViewControllerAnimated(UINavigationController& controller,
                                                                              const std::shared_ptr<UIViewController>& shown, bool animated) {
    VuderuUtil::guarded([&] {
        if (auto d = navigationDelegate()) d->navigationControllerDidShowViewControllerAnimated(controller, shown, animated);
        VuderuLog("%s: Navigation View [%@], incremented pageViewCount", prefix(), controller.description());
        countPageView();
    });
}

bool VuderuPageViewDelegate::tabBarControllerShouldSelectViewController(UITabBarController& controller,
                                                                       const std::shared_ptr<UIViewController>& selected) {
    bool answer = true;
    VuderuUtil::guarded([&] {
        VuderuLog("%s: tabbar controller [%@] view controller [%@]", prefix(), controller.description(),
                  selected ? selected->description() : std::string("nil"));
        if (auto d = tabBarDelegate()) answer = d->tabBarControllerShouldSelectViewController(controller, selected);
    });
    return answer;
}

void VuderuPageViewDelegate::tabBarControllerDidSelectViewController(UITabBarController& controller,
                                                                    const std::shared_ptr<UIViewController>& selected) {
    VuderuUtil::guarded([&] {
        VuderuLog("%s:  tabBarController [%@], viewController [%@], incremented pageViewCount", prefix(), controller.description(),
                  selected ? selected->description() : std::string("nil"));
        if (auto d = tabBarDelegate()) d->tabBarControllerDidSelectViewController(controller, selected);
        countPageView();
    });
}

void VuderuPageViewDelegate::tabBarControllerWillBeginCustomizingViewControllers(
    UITabBarController& controller, const std::vector<std::shared_ptr<UIViewController>>& controllers) {
    VuderuUtil::guarded([&] {
        VuderuLog("%s: tabBarController [%@], viewController [%@]", prefix(), controller.description(), controllersValue(controllers));
        if (auto d = tabBarDelegate()) d->tabBarControllerWillBeginCustomizingViewControllers(controller, controllers);
    });
}

void VuderuPageViewDelegate::tabBarControllerWillEndCustomizingViewControllersChanged(
    UITabBarController& controller, const std::vector<std::shared_ptr<UIViewController>>& controllers, bool changed) {
    VuderuUtil::guarded([&] {
        VuderuLog("%s: tabBarController [%@], viewController [%@], changed [%d]", prefix(), controller.description(),
                  controllersValue(controllers), static_cast<int>(changed));
        if (auto d = tabBarDelegate()) d->tabBarControllerWillEndCustomizingViewControllersChanged(controller, controllers, changed);
    });
}

void VuderuPageViewDelegate::tabBarControllerDidEndCustomizingViewControllersChanged(
    UITabBarController& controller, const std::vector<std::shared_ptr<UIViewController>>& controllers, bool changed) {
    VuderuUtil::guarded([&] {
        VuderuLog("%s: tabBarController [%@], viewControllers [%@], changed [%d]", prefix(), controller.description(),
                  controllersValue(controllers), static_cast<int>(changed));
        if (auto d = tabBarDelegate()) d->tabBarControllerDidEndCustomizingViewControllersChanged(controller, controllers, changed);
    });
}
