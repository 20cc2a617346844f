#pragma once
// Shows one content controller inside an arrow bubble floating over the window: a full-window
// overlay behind the bubble catches touches outside it, the bubble is placed beside its anchor
// within the window margins, follows the content's preferred size, the keyboard and rotation, and
// grows from and shrinks to its arrow tip. The look comes from a theme; a class-wide default
// theme is installed once at start-up (load), together with the navigation and view controller
// hooks that pass children's preferred sizes up to their navigation controller.

#include "controls/popover/PVPopoverBackgroundView.h"
#include "controls/popover/PVPopoverOverlayView.h"
#include "controls/popover/PVPopoverTheme.h"
#include "controls/popover/PVPopoverTypes.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PVPopoverController;

// Every method is optional: the defaults are what a delegate without the method means.
class PVPopoverControllerDelegate {
public:
    virtual ~PVPopoverControllerDelegate() = default;
    // Asked when the user touches outside the bubble; false keeps the popover.
    virtual std::optional<bool> popoverControllerShouldDismissPopover(PVPopoverController&) { return std::nullopt; }
    virtual void popoverControllerDidPresentPopover(PVPopoverController&) {}
    virtual void popoverControllerDidDismissPopover(PVPopoverController&) {}
    // On rotation: writes the new anchor (the rectangle starts as the current anchor, the view as
    // nil). Returns false when the delegate does not reposition.
    virtual bool popoverControllerWillRepositionPopoverToRectInView(PVPopoverController&, CGRect*, UIViewPtr*) { return false; }
    virtual std::optional<bool> popoverControllerShouldIgnoreKeyboardBounds(PVPopoverController&) { return std::nullopt; }
    // Before the bubble moves up out of the keyboard's way; may change the amount.
    virtual void popoverControllerWillTranslatePopoverWithYOffset(PVPopoverController&, float*) {}
};

class PVPopoverController : public NSObject, public PVPopoverOverlayViewDelegate, public PVPopoverBackgroundViewDelegate {
public:
    using Completion = std::function<void()>;

    static constexpr float kDefaultAnimationDuration = 0.25f;
    static constexpr CGFloat kDefaultLayoutMargin = 10;

    static std::shared_ptr<PVPopoverController> init();
    static std::shared_ptr<PVPopoverController> initWithContentViewController(const std::shared_ptr<UIViewController>& controller);
    ~PVPopoverController() override;

    // Start-up work, once per process: the default theme and the controller hooks.
    static void load();
    static void setDefaultTheme(const std::shared_ptr<PVPopoverTheme>& theme);
    static std::shared_ptr<PVPopoverTheme> defaultTheme();

    std::shared_ptr<UIViewController> contentViewController() const { return viewController_; }
    std::shared_ptr<PVPopoverControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<PVPopoverControllerDelegate>& delegate) { delegate_ = delegate; }
    const std::vector<UIViewPtr>& passthroughViews() const { return passthroughViews_; }
    void setPassthroughViews(std::vector<UIViewPtr> views) { passthroughViews_ = std::move(views); }
    bool wantsDefaultContentAppearance() const { return wantsDefaultContentAppearance_; }
    void setWantsDefaultContentAppearance(bool wants) { wantsDefaultContentAppearance_ = wants; }
    UIEdgeInsets popoverLayoutMargins() const { return popoverLayoutMargins_; }
    void setPopoverLayoutMargins(UIEdgeInsets margins) { popoverLayoutMargins_ = margins; }
    float animationDuration() const { return animationDuration_; }
    void setAnimationDuration(float duration) { animationDuration_ = duration; }
    bool isPopoverVisible() const { return overlayView_ != nullptr; }
    std::shared_ptr<PVPopoverTheme> theme() const { return theme_; }
    void setTheme(const std::shared_ptr<PVPopoverTheme>& theme);
    void beginThemeUpdates();
    void endThemeUpdates();
    // The explicit size, or (when zero) what the content controller asks for.
    CGSize popoverContentSize() const;
    void setPopoverContentSize(CGSize size);

    // The views while shown (nil otherwise).
    const std::shared_ptr<PVPopoverOverlayView>& overlayView() const { return overlayView_; }
    const std::shared_ptr<PVPopoverBackgroundView>& backgroundView() const { return backgroundView_; }

    void presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(const CGRect& rect, const UIViewPtr& view,
                                                                       unsigned long directions, bool animated);
    void presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedCompletion(const CGRect& rect, const UIViewPtr& view,
                                                                                 unsigned long directions, bool animated,
                                                                                 Completion completion);
    void presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptions(const CGRect& rect, const UIViewPtr& view,
                                                                              unsigned long directions, bool animated,
                                                                              unsigned long options);
    void presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptionsCompletion(
        const CGRect& rect, const UIViewPtr& view, unsigned long directions, bool animated, unsigned long options,
        Completion completion);
    void presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(const std::shared_ptr<UIBarButtonItem>& item,
                                                                         unsigned long directions, bool animated);
    void presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedCompletion(
        const std::shared_ptr<UIBarButtonItem>& item, unsigned long directions, bool animated, Completion completion);
    void presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedOptions(const std::shared_ptr<UIBarButtonItem>& item,
                                                                                unsigned long directions, bool animated,
                                                                                unsigned long options);
    // Always up or down, whatever the caller permits.
    void presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedOptionsCompletion(
        const std::shared_ptr<UIBarButtonItem>& item, unsigned long directions, bool animated, unsigned long options,
        Completion completion);
    void presentPopoverAsDialogAnimated(bool animated);
    void presentPopoverAsDialogAnimatedCompletion(bool animated, Completion completion);
    void presentPopoverAsDialogAnimatedOptions(bool animated, unsigned long options);
    // Centred without an arrow in the key window.
    void presentPopoverAsDialogAnimatedOptionsCompletion(bool animated, unsigned long options, Completion completion);

    void dismissPopoverAnimated(bool animated);
    void dismissPopoverAnimatedCompletion(bool animated, Completion completion);
    void dismissPopoverAnimatedOptions(bool animated, unsigned long options);
    void dismissPopoverAnimatedOptionsCompletion(bool animated, unsigned long options, Completion completion);
    void dismissPopoverAnimatedOptionsCompletionCallDelegate(bool animated, unsigned long options, Completion completion,
                                                             bool callDelegate);

    void popoverOverlayViewDidTouch(const std::shared_ptr<PVPopoverOverlayView>& overlay) override;
    void popoverBackgroundViewDidTouchOutside(const std::shared_ptr<PVPopoverBackgroundView>& bubble) override;

    // Placement (on presentation, theme changes, rotation, the keyboard and content-size changes).
    CGSize sizeForRectInViewArrowHeightArrowDirection(const CGRect& rect, const UIViewPtr& view, float arrowHeight,
                                                      unsigned long direction) const;
    unsigned long arrowDirectionForRectInViewContentSizeArrowHeightPermittedArrowDirections(
        const CGRect& rect, const UIViewPtr& view, CGSize contentSize, float arrowHeight, unsigned long directions) const;
    void positionPopover(bool animated);
    CGAffineTransform transformForArrowDirection(unsigned long direction) const;

    // Notification handlers.
    void didChangeStatusBarOrientation(const std::shared_ptr<NSNotification>& notification);
    void didChangeDeviceOrientation(const std::shared_ptr<NSNotification>& notification);
    void keyboardWillShow(const std::shared_ptr<NSNotification>& notification);
    void keyboardWillHide(const std::shared_ptr<NSNotification>& notification);

    PVPopoverController() = default;

private:
    struct FreeBounds {
        CGRect anchor; // the anchor in the upright frame of the interface
        CGFloat minX = 0, maxX = 0, minY = 0, maxY = 0;
        CGFloat keyboard = 0;
    };
    FreeBounds freeBounds(const CGRect& rect, const UIViewPtr& view) const;
    CGFloat keyboardHeight() const;
    bool ignoresKeyboard() const;
    CGRect placeBubble(unsigned long direction, CGSize contentSize, const FreeBounds& free);
    CGRect moveOutOfKeyboard(CGRect frame, const FreeBounds& free);
    CGRect rotateIntoInterface(const CGRect& frame);

    void finishInit();
    void registerTheme();
    void unregisterTheme();
    void updateThemeUI();
    void setPopoverNavigationBarBackgroundImage();
    CGSize topViewControllerContentSize() const;
    std::string contentSizeKeyPath() const;
    void startListening();
    void stopListening();
    void setTintAdjustmentMode(UIViewTintAdjustmentMode mode);
    void presentationDidFinish(Completion completion);
    void dismissalDidFinish(bool animated, Completion completion, bool callDelegate);
    std::shared_ptr<UIWindow> hostWindow() const;

    std::shared_ptr<UIViewController> viewController_;
    CGRect rect_;
    UIViewPtr inView_;
    std::shared_ptr<PVPopoverOverlayView> overlayView_;
    std::shared_ptr<PVPopoverBackgroundView> backgroundView_;
    unsigned long permittedArrowDirections_ = 0;
    bool animated_ = false;
    bool isListeningNotifications_ = false;
    bool isInterfaceOrientationChanging_ = false;
    std::weak_ptr<UIBarButtonItem> barButtonItem_;
    CGRect keyboardRect_;
    unsigned long options_ = 0;
    bool themeUpdatesEnabled_ = false;
    bool themeIsUpdating_ = false;
    bool wantsDefaultContentAppearance_ = false;
    float animationDuration_ = kDefaultAnimationDuration;
    std::weak_ptr<PVPopoverControllerDelegate> delegate_;
    std::vector<UIViewPtr> passthroughViews_;
    std::shared_ptr<PVPopoverTheme> theme_;
    CGSize popoverContentSize_;
    UIEdgeInsets popoverLayoutMargins_{kDefaultLayoutMargin, kDefaultLayoutMargin, kDefaultLayoutMargin, kDefaultLayoutMargin};

    std::vector<NSKeyValueObserving::ObserverToken> themeObservations_;
    std::optional<NSKeyValueObserving::ObserverToken> contentSizeObservation_;
    std::vector<std::shared_ptr<NSObject>> notificationObservers_;
};

// The status bar's thickness: its frame's width in landscape, its height otherwise.
float PVStatusBarHeight();
// A rectangle in window coordinates in the upright frame of the interface orientation.
CGRect PVRectInWindowBounds(const CGRect& rect, long orientation);
