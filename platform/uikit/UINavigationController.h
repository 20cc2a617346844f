#pragma once
// A stack of controllers under a navigation bar.

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIViewController.h"

#include <functional>
#include <memory>
#include <vector>

class UINavigationController;

class UINavigationControllerDelegate {
public:
    virtual ~UINavigationControllerDelegate() = default;
    // Around every change of the top controller.
    virtual void navigationControllerWillShowViewControllerAnimated(UINavigationController&, const std::shared_ptr<UIViewController>&,
                                                                    bool) {}
    virtual void navigationControllerDidShowViewControllerAnimated(UINavigationController&, const std::shared_ptr<UIViewController>&,
                                                                   bool) {}
};

// The "delegate" slot is key-value observable; the controller does not keep its delegate alive.
class UINavigationController : public UIViewController {
public:
    // The bar's height and the status bar's above it, in points.
    static constexpr CGFloat kNavigationBarHeight = 44;
    static constexpr CGFloat kStatusBarHeight = 20;

    UINavigationController();
    static std::shared_ptr<UINavigationController> initWithRootViewController(const std::shared_ptr<UIViewController>& root);

    std::vector<std::shared_ptr<UIViewController>> viewControllers() const { return childViewControllers(); }
    // Both run through the hooks registered for the process (below).
    void setViewControllersAnimated(const std::vector<std::shared_ptr<UIViewController>>& controllers, bool animated);
    void pushViewControllerAnimated(const std::shared_ptr<UIViewController>& controller, bool animated);

    // Hooks around push and set-view-controllers for every navigation controller of the process:
    // a hook gets the controller, the arguments, and `original`, which does what the platform
    // does. Registered once at start-up; a later hook wraps the earlier one.
    using PushHook = std::function<void(UINavigationController& nav, const std::shared_ptr<UIViewController>& pushed,
                                        bool animated, const std::function<void()>& original)>;
    using SetViewControllersHook =
        std::function<void(UINavigationController& nav, const std::vector<std::shared_ptr<UIViewController>>& controllers,
                           bool animated, const std::function<void()>& original)>;
    static void addPushHook(PushHook hook);
    static void addSetViewControllersHook(SetViewControllersHook hook);
    static void removeHooks();

    // The bar can be hidden (it then takes no room and is not on screen).
    bool isNavigationBarHidden() const { return navigationBarHidden_; }
    void setNavigationBarHidden(bool hidden) { setNavigationBarHiddenAnimated(hidden, false); }
    void setNavigationBarHiddenAnimated(bool hidden, bool animated);
    // The toolbar at the bottom shows the top controller's toolbar items; hidden until shown.
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden) { setToolbarHiddenAnimated(hidden, false); }
    void setToolbarHiddenAnimated(bool hidden, bool animated);
    // The controller popped, or nil when only the root is left.
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
    void popToRootViewControllerAnimated(bool animated);
    std::shared_ptr<UIViewController> topViewController() const;
    // The top controller, or what it presents.
    std::shared_ptr<UIViewController> visibleViewController() const;
    const std::shared_ptr<UINavigationBar>& navigationBar() const { return navigationBar_; }
    std::shared_ptr<UINavigationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UINavigationControllerDelegate>& delegate) {
        willChangeValueForKey("delegate");
        delegate_ = delegate;
        didChangeValueForKey("delegate");
    }

    void loadView() override;
    void viewWillLayoutSubviews() override;

    // The driver: the bar of the top controller as one line ("nav:", title, back, left and right
    // buttons, which a tap finds), the "back" command, then the top controller, then the toolbar
    // while it shows ("toolbar:" and the titles of its items).
    void describeToScreen(UIScreenDescription& screen) override;

    std::shared_ptr<UIViewController> childForAppearance() const override { return topViewController(); }

private:
    void showTop(const std::shared_ptr<UIViewController>& old, bool animated);
    void replaceStack(const std::vector<std::shared_ptr<UIViewController>>& controllers, bool animated);
    void push(const std::shared_ptr<UIViewController>& controller, bool animated);
    // The top controller's left and right items get their views in the bar, 8 points in from its ends.
    void layoutBarItems();
    void describeToolbar(UIScreenDescription& screen);
    bool navigationBarHidden_ = false;
    bool toolbarHidden_ = true;
    std::vector<UIViewPtr> barItemViews_;
    std::weak_ptr<UINavigationControllerDelegate> delegate_;
    std::shared_ptr<UINavigationBar> navigationBar_;
};
