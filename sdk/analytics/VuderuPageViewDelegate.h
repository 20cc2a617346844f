#pragma once
// Page views counted automatically: a proxy takes a navigation or tab-bar controller's delegate
// slot, passes every call on to the delegate that was there, and counts a page view for every
// shown (navigation) or selected (tab bar) controller.
//
// VuderuPageViewDelegate keeps its place when the host assigns another delegate (which it adopts)
// and can be removed; VuderuPageViewDelegateOld keeps the delegate it found and stays for the
// process's life. A controller already proxied by either class is not proxied again, so two
// proxies never pass calls to each other.

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"

#include <memory>
#include <string>

class VuderuPageViewDelegate : public NSObject, public UINavigationControllerDelegate, public UITabBarControllerDelegate {
public:
    // Nothing unless the controller is a navigation or tab-bar controller not proxied yet.
    static void createDelegateOnTarget(const std::shared_ptr<UIViewController>& target);
    // Gives the controller its delegate back and ends the proxy; nothing without one.
    static void destroyDelegateOnTarget(const std::shared_ptr<UIViewController>& target);

    explicit VuderuPageViewDelegate(std::shared_ptr<UIViewController> target, bool old = false);
    ~VuderuPageViewDelegate() override;

    const std::shared_ptr<UIViewController>& target() const { return target_; }

    void navigationControllerWillShowViewControllerAnimated(UINavigationController& controller, const std::shared_ptr<UIViewController>& shown,
                                                            bool animated) override;
    void navigationControllerDidShowViewControllerAnimated(UINavigationController& controller, const std::shared_ptr<UIViewController>& shown,
                                                           bool animated) override;
    bool tabBarControllerShouldSelectViewController(UITabBarController& controller, const std::shared_ptr<UIViewController>& selected) override;
    void tabBarControllerDidSelectViewController(UITabBarController& controller, const std::shared_ptr<UIViewController>& selected) override;
    void tabBarControllerWillBeginCustomizingViewControllers(UITabBarController& controller,
                                                             const std::vector<std::shared_ptr<UIViewController>>& controllers) override;
    void tabBarControllerWillEndCustomizingViewControllersChanged(UITabBarController& controller,
                                                                  const std::vector<std::shared_ptr<UIViewController>>& controllers,
                                                                  bool changed) override;
    void tabBarControllerDidEndCustomizingViewControllersChanged(UITabBarController& controller,
                                                                 const std::vector<std::shared_ptr<UIViewController>>& controllers,
                                                                 bool changed) override;

    // Takes the controller's slot (after construction, once owned).
    void install();

private:
    void adoptNewDelegate();
    void restoreDelegate();
    std::shared_ptr<UINavigationControllerDelegate> navigationDelegate() const;
    std::shared_ptr<UITabBarControllerDelegate> tabBarDelegate() const;
    // The delegate calls are passed on to, for the log; nil when there is none.
    std::shared_ptr<NSObject> passedOnDelegate() const;
    const char* prefix() const { return old_ ? "VuderuPageViewDelegateOld" : "VuderuPageViewDelegate"; }

    std::shared_ptr<UIViewController> target_;
    bool old_;
    // The delegate calls pass on to: not kept alive, except by the old proxy, which retains it.
    std::weak_ptr<UINavigationControllerDelegate> navigationDelegate_;
    std::weak_ptr<UITabBarControllerDelegate> tabBarDelegate_;
    std::shared_ptr<UINavigationControllerDelegate> retainedNavigationDelegate_;
    std::shared_ptr<UITabBarControllerDelegate> retainedTabBarDelegate_;
    std::uint64_t observation_ = 0;
};

class VuderuPageViewDelegateOld {
public:
    static void createDelegateOnTarget(const std::shared_ptr<UIViewController>& target);
};
