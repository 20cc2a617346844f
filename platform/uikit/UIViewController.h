#pragma once
// View controllers: lazy views, appearance callbacks, containment and modal presentation.

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UIView.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UINavigationController;
class UIWindow;
class UITabBarController;

enum UIModalPresentationStyle : long {
    UIModalPresentationFullScreen = 0,
    UIModalPresentationPageSheet = 1,
    UIModalPresentationFormSheet = 2,
    UIModalPresentationCurrentContext = 3,
    UIModalPresentationCustom = 4,
    UIModalPresentationOverFullScreen = 5,
};

enum UIRectEdge : unsigned long {
    UIRectEdgeNone = 0,
    UIRectEdgeTop = 1 << 0,
    UIRectEdgeLeft = 1 << 1,
    UIRectEdgeBottom = 1 << 2,
    UIRectEdgeRight = 1 << 3,
    UIRectEdgeAll = UIRectEdgeTop | UIRectEdgeLeft | UIRectEdgeBottom | UIRectEdgeRight,
};

class UIViewController : public UIResponder, public NSKeyValueObserving {
public:
    using Completion = std::function<void()>;

    UIViewController() = default;
    ~UIViewController() override;

    // The view, loaded on first use (loadView, then viewDidLoad).
    UIViewPtr view();
    bool isViewLoaded() const { return static_cast<bool>(view_); }
    void setView(const UIViewPtr& view);
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool) {}
    virtual void viewDidAppear(bool) {}
    virtual void viewWillDisappear(bool) {}
    virtual void viewDidDisappear(bool) {}
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    virtual void didReceiveMemoryWarning() {}
    bool isViewVisible() const { return appearance_ == Appearance::Appeared; }

    // Sends the appearance callbacks to this controller and to the children it shows.
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();

    const std::string& title() const { return title_; }
    virtual void setTitle(const std::string& title);
    std::shared_ptr<UINavigationItem> navigationItem();
    std::shared_ptr<UITabBarItem> tabBarItem();
    // The items a navigation controller's toolbar shows while this controller is on top.
    const std::vector<std::shared_ptr<UIBarButtonItem>>& toolbarItems() const { return toolbarItems_; }
    void setToolbarItems(std::vector<std::shared_ptr<UIBarButtonItem>> items) { toolbarItems_ = std::move(items); }
    void setTabBarItem(std::shared_ptr<UITabBarItem> item) { tabBarItem_ = std::move(item); }

    // Containment.
    std::shared_ptr<UIViewController> parentViewController() const { return parent_.lock(); }
    const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const { return children_; }
    void addChildViewController(const std::shared_ptr<UIViewController>& child);
    void removeFromParentViewController();
    std::shared_ptr<UINavigationController> navigationController() const;
    std::shared_ptr<UITabBarController> tabBarController() const;

    // Modal presentation. The presented controller's view covers the window; the completion runs
    // on the main run loop once the presentation is done. A child controller (in a navigation or
    // tab bar controller) presents from its outermost container, which then is the presenting one.
    std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<UIViewController> presentingViewController() const { return presenting_.lock(); }
    void presentViewControllerAnimatedCompletion(const std::shared_ptr<UIViewController>& controller, bool animated,
                                                 Completion completion);
    void presentModalViewControllerAnimated(const std::shared_ptr<UIViewController>& controller, bool animated);
    // Dismisses what this controller presented, or this controller when it was presented.
    void dismissViewControllerAnimatedCompletion(bool animated, Completion completion);
    void dismissModalViewControllerAnimated(bool animated) { dismissViewControllerAnimatedCompletion(animated, nullptr); }
    UIModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(UIModalPresentationStyle style) { modalPresentationStyle_ = style; }
    // Whether the screen beneath stays in sight while this controller is presented (a sheet over
    // a dimmed screen); a full-screen presentation hides what it covers from the display.
    virtual bool showsPresenterWhenPresented() const { return modalPresentationStyle_ == UIModalPresentationOverFullScreen; }
    // The older names of the same presentation: what this controller presented.
    std::shared_ptr<UIViewController> modalViewController() const { return presented_; }

    // Rotation. When the interface turns (UIApplication::rotateDevice), each controller on screen
    // (a window's root controller and what it presents, in that order, each followed by the
    // children it shows) whose shouldAutorotate and shouldAutorotateToInterfaceOrientation both
    // answer YES hears willRotate, then willAnimateRotation (its window has turned its view by
    // then), then (after the status bar turned) didRotate, and takes the new interface
    // orientation; one that does not turn keeps the orientation it had.
    UIInterfaceOrientation interfaceOrientation() const;
    // The orientations (a UIInterfaceOrientationMask) the controller's view may take: every one
    // on a pad, all but upside down on a phone.
    virtual unsigned long supportedInterfaceOrientations() const;
    // Whether the controller turns to an orientation: shouldAutorotate, the orientation among
    // supportedInterfaceOrientations and shouldAutorotateToInterfaceOrientation.
    bool turnsToInterfaceOrientation(UIInterfaceOrientation orientation);
    // The controller that decides a window's orientation: the front of the window's root
    // controller's presentations, followed down through the children it shows.
    static std::shared_ptr<UIViewController> decidingOrientationOfWindow(const UIWindow& window);
    virtual bool shouldAutorotate() const { return true; }
    virtual bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation) { return true; }
    virtual void willRotateToInterfaceOrientationDuration(UIInterfaceOrientation, double) {}
    virtual void willAnimateRotationToInterfaceOrientationDuration(UIInterfaceOrientation, double) {}
    virtual void didRotateFromInterfaceOrientation(UIInterfaceOrientation) {}
    // The system asks the controller on screen whether the status bar shows; kept only.
    virtual bool prefersStatusBarHidden() const { return false; }
    // The device turned from one interface orientation to another (UIApplication::rotateDevice).
    static void deviceWillTurn(UIInterfaceOrientation from, UIInterfaceOrientation to);
    static void deviceDidTurn(UIInterfaceOrientation from, UIInterfaceOrientation to);

    // The view reaches under the status bar (the layout rule of systems before iOS 7); kept only.
    bool wantsFullScreenLayout() const { return wantsFullScreenLayout_; }
    void setWantsFullScreenLayout(bool wants) { wantsFullScreenLayout_ = wants; }

    // Sizes a container (a popover) gives the controller's view. Both are observable: their
    // setters announce "preferredContentSize" and "contentSizeForViewInPopover". Each setter runs
    // through the content-size hooks registered for the process (below).
    CGSize preferredContentSize() const { return preferredContentSize_; }
    void setPreferredContentSize(CGSize size);
    CGSize contentSizeForViewInPopover() const { return contentSizeForViewInPopover_; }
    void setContentSizeForViewInPopover(CGSize size);
    // A hook around one of the setters: it gets the controller and the size, and `original` sets
    // it as the platform would. Registered once at start-up; a later hook wraps the earlier one.
    using ContentSizeHook = std::function<void(UIViewController& controller, CGSize size, const std::function<void(CGSize)>& original)>;
    static void addPreferredContentSizeHook(ContentSizeHook hook);
    static void addContentSizeForViewInPopoverHook(ContentSizeHook hook);
    static void removeContentSizeHooks();
    bool isModalInPopover() const { return modalInPopover_; }
    void setModalInPopover(bool modal) { modalInPopover_ = modal; }
    unsigned long edgesForExtendedLayout() const { return edgesForExtendedLayout_; }
    void setEdgesForExtendedLayout(unsigned long edges) { edgesForExtendedLayout_ = edges; }

    bool isEditing() const { return editing_; }
    virtual void setEditingAnimated(bool editing, bool animated);
    // The system edit item, toggling editing ("Edit" / "Done").
    std::shared_ptr<UIBarButtonItem> editButtonItem();

    std::shared_ptr<UIResponder> nextResponder() const override;

    // The child that shows its view when this container appears (none for a plain controller);
    // the driver follows it to the screen's content.
    virtual std::shared_ptr<UIViewController> childForAppearance() const { return nullptr; }
    // The driver (UIScreenDescription): what this controller adds to the screen text and the
    // targets it names. The base describes the view, once loaded; a container describes its bars
    // and its children in the order the screen text lists them.
    virtual void describeToScreen(UIScreenDescription& screen);

protected:
    // Container bookkeeping.
    void setParent(const std::shared_ptr<UIViewController>& parent) { parent_ = parent; }

private:
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };
    void dismissPresented(bool animated, Completion completion);

    UIViewPtr view_;
    std::string title_;
    std::shared_ptr<UINavigationItem> navigationItem_;
    std::shared_ptr<UITabBarItem> tabBarItem_;
    std::weak_ptr<UIViewController> parent_;
    std::vector<std::shared_ptr<UIViewController>> children_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    UIModalPresentationStyle modalPresentationStyle_ = UIModalPresentationFullScreen;
    bool wantsFullScreenLayout_ = false;
    Appearance appearance_ = Appearance::Disappeared;
    // Unknown until the controller first stays behind a turn of the device: it follows the status bar till then.
    UIInterfaceOrientation interfaceOrientation_ = UIInterfaceOrientationUnknown;
    bool turning_ = false;
    bool editing_ = false;
    CGSize preferredContentSize_ = CGSizeZero;
    CGSize contentSizeForViewInPopover_ = CGSizeZero;
    bool modalInPopover_ = false;
    unsigned long edgesForExtendedLayout_ = UIRectEdgeAll;
    std::shared_ptr<UIBarButtonItem> editButtonItem_;
    std::vector<std::shared_ptr<UIBarButtonItem>> toolbarItems_;

    friend class UINavigationController;
    friend class UITabBarController;
};
