// Showing and hiding the popover, and following rotation and the keyboard while it is shown.
#include "controls/popover/PVPopoverController.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"

#include <cstdio>

namespace {
constexpr unsigned long kDefaultOptions = PVPopoverAnimationOptionFade;
constexpr unsigned long kBarButtonDirections = PVPopoverArrowDirectionUp | PVPopoverArrowDirectionDown;

bool isNavigation(const std::shared_ptr<UIViewController>& controller) {
    return std::dynamic_pointer_cast<UINavigationController>(controller) != nullptr;
}
// The keyboard's frame as the notification carries it: "{{x, y}, {w, h}}".
CGRect keyboardFrame(const std::shared_ptr<NSNotification>& notification) {
    auto it = notification->userInfo().find(UIKeyboardFrameEndUserInfoKey);
    if (it == notification->userInfo().end() || !it->second.isString()) return CGRectZero;
    double x, y, w, h;
    if (std::sscanf(it->second.string().c_str(), "{{%lf, %lf}, {%lf, %lf}}", &x, &y, &w, &h) != 4) return CGRectZero;
    return CGRectMake(x, y, w, h);
}

} // namespace

void PVPopoverController::presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(const CGRect& rect, const UIViewPtr& view,
                                                                                       unsigned long directions, bool animated) {
    presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedCompletion(rect, view, directions, animated, nullptr);
}

void PVPopoverController::presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedCompletion(
    const CGRect& rect, const UIViewPtr& view, unsigned long directions, bool animated, Completion completion) {
    presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptionsCompletion(rect, view, directions, animated,
                                                                                  kDefaultOptions, std::move(completion));
}

void PVPopoverController::presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptions(
    const CGRect& rect, const UIViewPtr& view, unsigned long directions, bool animated, unsigned long options) {
    presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptionsCompletion(rect, view, directions, animated, options,
                                                                                  nullptr);
}

void PVPopoverController::presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(
    const std::shared_ptr<UIBarButtonItem>& item, unsigned long directions, bool animated) {
    presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedCompletion(item, directions, animated, nullptr);
}

void PVPopoverController::presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedCompletion(
    const std::shared_ptr<UIBarButtonItem>& item, unsigned long directions, bool animated, Completion completion) {
    presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedOptionsCompletion(item, directions, animated,
                                                                                     kDefaultOptions, std::move(completion));
}

void PVPopoverController::presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedOptions(
    const std::shared_ptr<UIBarButtonItem>& item, unsigned long directions, bool animated, unsigned long options) {
    presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedOptionsCompletion(item, directions, animated, options,
                                                                                     nullptr);
}

void PVPopoverController::presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimatedOptionsCompletion(
    const std::shared_ptr<UIBarButtonItem>& item, unsigned long, bool animated, unsigned long options, Completion completion) {
    barButtonItem_ = item;
    UIViewPtr view = item ? item->view() : nullptr;
    presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptionsCompletion(
        view ? view->bounds() : CGRectZero, view, kBarButtonDirections, animated, options, std::move(completion));
}

void PVPopoverController::presentPopoverAsDialogAnimated(bool animated) {
    presentPopoverAsDialogAnimatedCompletion(animated, nullptr);
}

void PVPopoverController::presentPopoverAsDialogAnimatedCompletion(bool animated, Completion completion) {
    presentPopoverAsDialogAnimatedOptionsCompletion(animated, kDefaultOptions, std::move(completion));
}

void PVPopoverController::presentPopoverAsDialogAnimatedOptions(bool animated, unsigned long options) {
    presentPopoverAsDialogAnimatedOptionsCompletion(animated, options, nullptr);
}

void PVPopoverController::presentPopoverAsDialogAnimatedOptionsCompletion(bool animated, unsigned long options,
                                                                          Completion completion) {
    presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptionsCompletion(CGRectZero, nullptr, PVPopoverNoArrow,
                                                                                  animated, options, std::move(completion));
}

void PVPopoverController::presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptionsCompletion(
    const CGRect& rect, const UIViewPtr& view, unsigned long directions, bool animated, unsigned long options,
    Completion completion) {
    rect_ = rect;
    inView_ = view;
    permittedArrowDirections_ = directions;
    animated_ = animated;
    options_ = options;
    // A dialog has no anchor view: it appears in the key window.
    auto window = hostWindow();
    if (!window) return;
    const CGSize contentSize = popoverContentSize();

    if (!overlayView_) {
        auto self = this->self<PVPopoverController>();
        overlayView_ = std::make_shared<PVPopoverOverlayView>(window->bounds());
        overlayView_->setDelegate(self);
        overlayView_->setPassthroughViews(passthroughViews_);
        backgroundView_ = std::make_shared<PVPopoverBackgroundView>(contentSize);
        backgroundView_->setDelegate(self);
        backgroundView_->setHidden(true);
        window->addSubview(backgroundView_);
        window->insertSubviewBelowSubview(overlayView_, backgroundView_);
    }
    updateThemeUI();
    setTintAdjustmentMode(UIViewTintAdjustmentModeDimmed);
    backgroundView_->setHidden(false);

    auto keep = self<PVPopoverController>();
    if (!animated) {
        if (viewController_) viewController_->viewWillAppear(false);
        presentationDidFinish(std::move(completion));
    } else {
        if (options & PVPopoverAnimationOptionFade) {
            overlayView_->setAlpha(0);
            backgroundView_->setAlpha(0);
        }
        if (viewController_) viewController_->viewWillAppear(true);
        const CGAffineTransform shown = backgroundView_->transform();
        if (options & PVPopoverAnimationOptionScale)
            backgroundView_->setTransform(transformForArrowDirection(backgroundView_->arrowDirection()));
        std::weak_ptr<PVPopoverController> weak = keep;
        UIView::animateWithDuration(
            animationDuration_,
            [weak, shown] {
                auto self = weak.lock();
                if (!self || !self->overlayView_) return;
                self->overlayView_->setAlpha(1);
                self->backgroundView_->setAlpha(1);
                self->backgroundView_->setTransform(shown);
            },
            [keep, completion = std::move(completion)](bool) { keep->presentationDidFinish(completion); });
    }
    startListening();
}

void PVPopoverController::presentationDidFinish(Completion completion) {
    if (viewController_) {
        if (!isNavigation(viewController_)) viewController_->viewDidAppear(true);
        if (!contentSizeObservation_) {
            std::weak_ptr<PVPopoverController> weak = self<PVPopoverController>();
            contentSizeObservation_ = viewController_->addObserverForKeyPath(
                contentSizeKeyPath(), [weak](const std::string&, bool prior) {
                    if (auto self = weak.lock(); self && !prior) self->setPopoverContentSize(self->topViewControllerContentSize());
                });
        }
    }
    if (completion)
        completion();
    else if (auto d = delegate())
        d->popoverControllerDidPresentPopover(*this);
}

void PVPopoverController::startListening() {
    if (isListeningNotifications_) return;
    auto center = NSNotificationCenter::defaultCenter();
    std::weak_ptr<NSObject> me = weak_from_this();
    auto on = [this](void (PVPopoverController::*handler)(const std::shared_ptr<NSNotification>&)) {
        return [this, handler](const std::shared_ptr<NSNotification>& n) { (this->*handler)(n); };
    };
    center->addObserver(me, UIApplicationDidChangeStatusBarOrientationNotification, nullptr,
                        on(&PVPopoverController::didChangeStatusBarOrientation));
    UIDevice::currentDevice()->beginGeneratingDeviceOrientationNotifications();
    center->addObserver(me, UIDeviceOrientationDidChangeNotification, nullptr, on(&PVPopoverController::didChangeDeviceOrientation));
    center->addObserver(me, UIKeyboardWillShowNotification, nullptr, on(&PVPopoverController::keyboardWillShow));
    center->addObserver(me, UIKeyboardWillHideNotification, nullptr, on(&PVPopoverController::keyboardWillHide));
    isListeningNotifications_ = true;
}

void PVPopoverController::stopListening() {
    if (!isListeningNotifications_) return;
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    UIDevice::currentDevice()->endGeneratingDeviceOrientationNotifications();
    isListeningNotifications_ = false;
}

void PVPopoverController::dismissPopoverAnimated(bool animated) { dismissPopoverAnimatedOptionsCompletion(animated, options_, nullptr); }

void PVPopoverController::dismissPopoverAnimatedCompletion(bool animated, Completion completion) {
    dismissPopoverAnimatedOptionsCompletion(animated, options_, std::move(completion));
}

void PVPopoverController::dismissPopoverAnimatedOptions(bool animated, unsigned long options) {
    dismissPopoverAnimatedOptionsCompletion(animated, options, nullptr);
}

void PVPopoverController::dismissPopoverAnimatedOptionsCompletion(bool animated, unsigned long options, Completion completion) {
    dismissPopoverAnimatedOptionsCompletionCallDelegate(animated, options, std::move(completion), false);
}

void PVPopoverController::dismissPopoverAnimatedOptionsCompletionCallDelegate(bool animated, unsigned long options,
                                                                              Completion completion, bool callDelegate) {
    stopListening();
    if (viewController_ && !isNavigation(viewController_)) viewController_->viewWillDisappear(animated);
    if (contentSizeObservation_ && viewController_) viewController_->removeObserver(*contentSizeObservation_);
    contentSizeObservation_.reset();

    auto keep = self<PVPopoverController>();
    if (!animated || !backgroundView_) {
        if (backgroundView_) backgroundView_->removeFromSuperview();
        return dismissalDidFinish(animated, std::move(completion), callDelegate);
    }
    auto bubble = backgroundView_;
    const CGAffineTransform shrunk = transformForArrowDirection(bubble->arrowDirection());
    const double duration = animationDuration_;
    UIView::animateWithDuration(
        duration,
        [bubble, options, shrunk] {
            if (options & PVPopoverAnimationOptionFade) bubble->setAlpha(0);
            if (options & PVPopoverAnimationOptionScale) bubble->setTransform(shrunk);
        },
        [keep, bubble, duration, animated, callDelegate, completion = std::move(completion)](bool) {
            bubble->removeFromSuperview();
            auto overlay = keep->overlayView_;
            UIView::animateWithDuration(
                duration, [overlay] { if (overlay) overlay->setAlpha(0); },
                [keep, animated, callDelegate, completion](bool) { keep->dismissalDidFinish(animated, completion, callDelegate); });
        });
}

void PVPopoverController::dismissalDidFinish(bool animated, Completion completion, bool callDelegate) {
    setTintAdjustmentMode(UIViewTintAdjustmentModeAutomatic);
    if (backgroundView_) backgroundView_->setDelegate(nullptr);
    backgroundView_.reset();
    if (overlayView_) {
        overlayView_->setDelegate(nullptr);
        overlayView_->removeFromSuperview();
    }
    overlayView_.reset();
    if (viewController_ && !isNavigation(viewController_)) viewController_->viewDidDisappear(animated);
    if (completion)
        completion();
    else if (callDelegate)
        if (auto d = delegate()) d->popoverControllerDidDismissPopover(*this);
}

void PVPopoverController::didChangeStatusBarOrientation(const std::shared_ptr<NSNotification>&) {
    isInterfaceOrientationChanging_ = true;
}

void PVPopoverController::didChangeDeviceOrientation(const std::shared_ptr<NSNotification>&) {
    if (!isInterfaceOrientationChanging_) return;
    isInterfaceOrientationChanging_ = false;
    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(viewController_); nav && !nav->isNavigationBarHidden()) {
        nav->setNavigationBarHiddenAnimated(true, false);
        nav->setNavigationBarHiddenAnimated(false, false);
    }
    if (auto item = barButtonItem_.lock()) {
        inView_ = item->view();
        rect_ = inView_ ? inView_->bounds() : CGRectZero;
    } else if (auto d = delegate()) {
        CGRect rect = rect_;
        UIViewPtr view;
        // A delegate that names no view keeps the popover on its current anchor view.
        if (d->popoverControllerWillRepositionPopoverToRectInView(*this, &rect, &view)) {
            rect_ = rect;
            if (view) inView_ = view;
        }
    }
    positionPopover(false);
}

void PVPopoverController::keyboardWillShow(const std::shared_ptr<NSNotification>& notification) {
    keyboardRect_ = keyboardFrame(notification);
    if (!ignoresKeyboard()) positionPopover(true);
}

void PVPopoverController::keyboardWillHide(const std::shared_ptr<NSNotification>&) {
    keyboardRect_ = CGRectZero;
    if (!ignoresKeyboard()) positionPopover(true);
}
