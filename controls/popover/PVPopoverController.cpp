#include "controls/popover/PVPopoverController.h"

#include "controls/popover/UIImage+PVPopover.h"
#include "controls/popover/UINavigationController+PVPopover.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

#include <mutex>

namespace {
constexpr CGFloat kFallbackContentWidth = 320;

struct DefaultTheme {
    std::mutex lock;
    std::shared_ptr<PVPopoverTheme> theme;
};
DefaultTheme& defaults() {
    static DefaultTheme d;
    return d;
}

bool isZero(CGSize size) { return size.width == 0 && size.height == 0; }

// Start-up: installed as soon as this class is part of the program.
const bool kLoaded = (PVPopoverController::load(), true);
} // namespace

void PVPopoverController::load() {
    static std::once_flag once;
    std::call_once(once, [] {
        setDefaultTheme(PVPopoverTheme::theme());
        UINavigationController_PVPopover::load();
        UIViewController_PVPopover::load();
    });
}

void PVPopoverController::setDefaultTheme(const std::shared_ptr<PVPopoverTheme>& theme) {
    {
        std::lock_guard<std::mutex> guard(defaults().lock);
        defaults().theme = theme;
    }
    PVPopoverBackgroundView::appearance() = theme ? theme->values() : PVPopoverThemeValues{};
}

std::shared_ptr<PVPopoverTheme> PVPopoverController::defaultTheme() {
    load();
    std::lock_guard<std::mutex> guard(defaults().lock);
    return defaults().theme;
}

std::shared_ptr<PVPopoverController> PVPopoverController::init() {
    (void)kLoaded;
    auto controller = std::make_shared<PVPopoverController>();
    controller->finishInit();
    return controller;
}

std::shared_ptr<PVPopoverController> PVPopoverController::initWithContentViewController(
    const std::shared_ptr<UIViewController>& content) {
    auto controller = init();
    controller->viewController_ = content;
    return controller;
}

void PVPopoverController::finishInit() {
    keyboardRect_ = CGRectZero;
    themeUpdatesEnabled_ = false;
    setTheme(defaultTheme());
    themeIsUpdating_ = true;
    if (theme_) theme_->setValues(PVPopoverBackgroundView::appearance());
    themeIsUpdating_ = false;
    themeUpdatesEnabled_ = true;
    popoverContentSize_ = CGSizeZero;
}

PVPopoverController::~PVPopoverController() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    for (auto& observer : notificationObservers_) NSNotificationCenter::defaultCenter()->removeObserver(observer);
    if (isListeningNotifications_) UIDevice::currentDevice()->endGeneratingDeviceOrientationNotifications();
    if (contentSizeObservation_ && viewController_) viewController_->removeObserver(*contentSizeObservation_);
    if (backgroundView_) {
        backgroundView_->setDelegate(nullptr);
        backgroundView_->removeFromSuperview();
    }
    if (overlayView_) {
        overlayView_->setDelegate(nullptr);
        overlayView_->removeFromSuperview();
    }
    unregisterTheme();
}

void PVPopoverController::setTheme(const std::shared_ptr<PVPopoverTheme>& theme) {
    unregisterTheme();
    theme_ = theme;
    registerTheme();
    updateThemeUI();
    themeIsUpdating_ = false;
}

void PVPopoverController::registerTheme() {
    if (!theme_) return;
    std::weak_ptr<PVPopoverController> weak = self<PVPopoverController>();
    for (const auto& key : PVPopoverTheme::observableKeypaths())
        themeObservations_.push_back(theme_->addObserverForKeyPath(key, [weak](const std::string&, bool prior) {
            if (auto self = weak.lock(); self && !prior) self->updateThemeUI();
        }));
}

void PVPopoverController::unregisterTheme() {
    if (theme_)
        for (auto token : themeObservations_) theme_->removeObserver(token);
    themeObservations_.clear();
}

void PVPopoverController::beginThemeUpdates() { themeIsUpdating_ = true; }

void PVPopoverController::endThemeUpdates() {
    themeIsUpdating_ = false;
    updateThemeUI();
}

void PVPopoverController::updateThemeUI() {
    if (!theme_ || !themeUpdatesEnabled_ || themeIsUpdating_) return;
    if (backgroundView_) {
        PVPopoverThemeValues values = theme_->values();
        values.overlayColor = backgroundView_->overlayColor();
        backgroundView_->setThemeValues(values);
        backgroundView_->setNeedsDisplay();
    }
    if (overlayView_) overlayView_->setBackgroundColor(theme_->overlayColor());
    positionPopover(false);
    setPopoverNavigationBarBackgroundImage();
}

void PVPopoverController::setPopoverNavigationBarBackgroundImage() {
    if (!viewController_) return;
    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(viewController_)) {
        UINavigationController_PVPopover::setEmbedInPopover(*nav, true);
        if (auto top = nav->topViewController()) top->setEdgesForExtendedLayout(UIRectEdgeNone);
        if (!wantsDefaultContentAppearance_)
            nav->navigationBar()->setBackgroundImageForBarMetrics(UIImage_PVPopover::imageWithColor(UIColor::clearColor()),
                                                                  UIBarMetricsDefault);
    }
    auto view = viewController_->view();
    view->setClipsToBounds(true);
    if (backgroundView_ && backgroundView_->borderWidth() == 0)
        view->layer()->setCornerRadius(static_cast<CGFloat>(backgroundView_->outerCornerRadius()));
}

CGSize PVPopoverController::popoverContentSize() const {
    return isZero(popoverContentSize_) ? topViewControllerContentSize() : popoverContentSize_;
}

void PVPopoverController::setPopoverContentSize(CGSize size) {
    popoverContentSize_ = size;
    positionPopover(true);
}

CGSize PVPopoverController::topViewControllerContentSize() const {
    std::shared_ptr<UIViewController> top = viewController_;
    if (auto nav = std::dynamic_pointer_cast<UINavigationController>(top)) top = nav->topViewController();
    CGSize size = top ? top->preferredContentSize() : CGSizeZero;
    if (isZero(size) && top) size = top->contentSizeForViewInPopover();
    if (!isZero(size)) return size;
    auto window = UIApplication::sharedApplication()->keyWindow();
    CGSize windowSize = window ? window->bounds().size : CGSizeZero;
    long orientation = UIApplication::sharedApplication()->statusBarOrientation();
    bool landscape = orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
    return {kFallbackContentWidth, landscape ? windowSize.width : windowSize.height};
}

std::string PVPopoverController::contentSizeKeyPath() const {
    // Every controller here answers preferredContentSize.
    return "preferredContentSize";
}

std::shared_ptr<UIWindow> PVPopoverController::hostWindow() const {
    if (inView_) return inView_->window();
    return UIApplication::sharedApplication()->keyWindow();
}

void PVPopoverController::setTintAdjustmentMode(UIViewTintAdjustmentMode mode) {
    auto window = hostWindow();
    if (!window) return;
    for (const auto& view : window->subviews())
        if (view != backgroundView_) view->setTintAdjustmentMode(mode);
}

void PVPopoverController::popoverOverlayViewDidTouch(const std::shared_ptr<PVPopoverOverlayView>&) {
    if (viewController_ && viewController_->isModalInPopover()) return;
    if (auto d = delegate(); d && !d->popoverControllerShouldDismissPopover(*this).value_or(true)) return;
    dismissPopoverAnimatedOptionsCompletionCallDelegate(animated_, options_, nullptr, true);
}

void PVPopoverController::popoverBackgroundViewDidTouchOutside(const std::shared_ptr<PVPopoverBackgroundView>&) {
    popoverOverlayViewDidTouch(nullptr);
}
