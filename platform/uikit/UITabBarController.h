#pragma once
// Controllers side by side, one tab bar item each.

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <vector>

class UITabBarController;

class UITabBarControllerDelegate {
public:
    virtual ~UITabBarControllerDelegate() = default;
    virtual bool tabBarControllerShouldSelectViewController(UITabBarController&, const std::shared_ptr<UIViewController>&) {
        return true;
    }
    virtual void tabBarControllerDidSelectViewController(UITabBarController&, const std::shared_ptr<UIViewController>&) {}
    // Rearranging the tabs (the "More" editor).
    virtual void tabBarControllerWillBeginCustomizingViewControllers(UITabBarController&,
                                                                     const std::vector<std::shared_ptr<UIViewController>>&) {}
    virtual void tabBarControllerWillEndCustomizingViewControllersChanged(UITabBarController&,
                                                                          const std::vector<std::shared_ptr<UIViewController>>&, bool) {}
    virtual void tabBarControllerDidEndCustomizingViewControllersChanged(UITabBarController&,
                                                                         const std::vector<std::shared_ptr<UIViewController>>&, bool) {}
};

// The "delegate" slot is key-value observable; the controller does not keep its delegate alive.
class UITabBarController : public UIViewController {
public:
    static constexpr CGFloat kTabBarHeight = 49;

    UITabBarController();

    std::vector<std::shared_ptr<UIViewController>> viewControllers() const { return childViewControllers(); }
    void setViewControllersAnimated(const std::vector<std::shared_ptr<UIViewController>>& controllers, bool animated);
    void setViewControllers(const std::vector<std::shared_ptr<UIViewController>>& controllers) {
        setViewControllersAnimated(controllers, false);
    }
    std::size_t selectedIndex() const { return selectedIndex_; }
    void setSelectedIndex(std::size_t index);
    std::shared_ptr<UIViewController> selectedViewController() const;
    const std::shared_ptr<UITabBar>& tabBar() const { return tabBar_; }
    std::shared_ptr<UITabBarControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UITabBarControllerDelegate>& delegate) {
        willChangeValueForKey("delegate");
        delegate_ = delegate;
        didChangeValueForKey("delegate");
    }

    // What a tap on the item at the index does: nothing for a disabled item; asks the delegate,
    // selects, and tells the delegate. A tap on the selected navigation tab pops it to its root.
    void tabBarDidSelectItemAtIndex(std::size_t index);

    void loadView() override;
    void viewWillLayoutSubviews() override;

    // The driver: the selected controller, then the bar as one line ("tabs:", the selected one
    // starred), its titles as things to tap and the "tab N|TITLE" command.
    void describeToScreen(UIScreenDescription& screen) override;

    std::shared_ptr<UIViewController> childForAppearance() const override { return selectedViewController(); }

private:
    bool selectTab(const std::string& titleOrIndex, UIScreenReply& reply);
    void show(const std::shared_ptr<UIViewController>& old);

    std::shared_ptr<UITabBar> tabBar_;
    std::size_t selectedIndex_ = 0;
    std::weak_ptr<UITabBarControllerDelegate> delegate_;
};
