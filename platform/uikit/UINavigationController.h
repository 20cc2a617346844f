#pragma once
// A stack of controllers under a navigation bar.

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIViewController.h"

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
class UINavigationController : public UIViewController, public NSKeyValueObserving {
public:
    // The bar's height and the status bar's above it, in points.
    static constexpr CGFloat kNavigationBarHeight = 44;
    static constexpr CGFloat kStatusBarHeight = 20;

    UINavigationController();
    static std::shared_ptr<UINavigationController> initWithRootViewController(const std::shared_ptr<UIViewController>& root);

    std::vector<std::shared_ptr<UIViewController>> viewControllers() const { return childViewControllers(); }
    void setViewControllersAnimated(const std::vector<std::shared_ptr<UIViewController>>& controllers, bool animated);
    void pushViewControllerAnimated(const std::shared_ptr<UIViewController>& controller, bool animated);
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
    // buttons, which a tap finds), the "back" command, then the top controller.
    void describeToScreen(UIScreenDescription& screen) override;

    std::shared_ptr<UIViewController> childForAppearance() const override { return topViewController(); }

private:
    void showTop(const std::shared_ptr<UIViewController>& old, bool animated);
    std::weak_ptr<UINavigationControllerDelegate> delegate_;
    std::shared_ptr<UINavigationBar> navigationBar_;
};
