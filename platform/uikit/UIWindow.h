#pragma once
// The application's window: the root of the view tree and of the controller hierarchy.

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"

class UIViewController;

// Windows stand in front of those of a lower level.
inline constexpr CGFloat UIWindowLevelNormal = 0;
inline constexpr CGFloat UIWindowLevelStatusBar = 1000;
inline constexpr CGFloat UIWindowLevelAlert = 2000;

class UIWindow : public UIView {
public:
    using UIView::UIView;
    CGFloat windowLevel() const { return windowLevel_; }
    void setWindowLevel(CGFloat level) { windowLevel_ = level; }

    std::shared_ptr<UIViewController> rootViewController() const { return rootViewController_; }
    // The root controller's view fills the window; it appears at once when the window is visible.
    void setRootViewController(const std::shared_ptr<UIViewController>& controller);

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    // Shown: made key and visible, or unhidden after being made (several windows show at once).
    bool isVisible() const { return visible_; }
    // Key status passes from one window to another: the one losing it is told first.
    virtual void becomeKeyWindow() {}
    virtual void resignKeyWindow() {}
    // Unhiding a window shows it (UIView::setHidden calls this).
    void didUnhide();

    // Touches: each lands on the view hit-tested where it began and goes to the recognizers of
    // that view and its superviews first, then (unless a recognizer took it) up the view's
    // responder chain. When every touch of the event has ended, the recognizers start afresh.
    // A subclass overriding it delivers through the base first, as the system's windows do.
    virtual void sendEvent(const std::shared_ptr<UIEvent>& event);

    // A rect of another window (nil: the screen) in this window's coordinates.
    CGRect convertRectFromWindow(const CGRect& rect, const std::shared_ptr<UIWindow>& window) const;

    // The interface orientation the window shows its controllers' views in: the root
    // controller's view and the views of what it presents stand turned by the orientation's
    // angle about the window's centre, with bounds of the interface's size (568 by 320 in
    // landscape on a 320 by 568 screen); the window itself keeps the screen's coordinates. A
    // window takes the displayed orientation when it gets a root controller that allows it.
    UIInterfaceOrientation interfaceOrientation() const { return interfaceOrientation_; }
    void turnToInterfaceOrientation(UIInterfaceOrientation orientation);
    // Places a controller's view over the whole window as the window's orientation stands.
    void fitControllerView(const UIViewPtr& view) const;
    // The window's bounds as the interface stands upright in it (568 by 320 in landscape).
    CGRect interfaceBounds() const;
    // Places a view at a frame given upright in the interface (in interfaceBounds), turned as the
    // controllers' views are.
    void placeUpright(const UIViewPtr& view, const CGRect& interfaceFrame) const;
    // Adds a view of the window's own (a system menu, a panel) that stands upright in the
    // interface: `frameIn` gives its frame for the interface's bounds, now and at every turn.
    using InterfaceFrame = std::function<CGRect(const CGRect& interfaceBounds)>;
    void addUprightSubview(const UIViewPtr& view, InterfaceFrame frameIn);

    void layoutSubviews() override;
    std::shared_ptr<UIResponder> nextResponder() const override;

private:
    std::shared_ptr<UIViewController> rootViewController_;
    // The window size the root controller's view was last fitted to.
    CGSize rootFittedSize_{};
    bool visible_ = false;
    UIInterfaceOrientation interfaceOrientation_ = UIInterfaceOrientationPortrait;
    std::vector<std::pair<std::weak_ptr<UIView>, InterfaceFrame>> uprightViews_;
    CGFloat windowLevel_ = UIWindowLevelNormal;
};
