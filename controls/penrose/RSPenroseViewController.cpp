#include "controls/penrose/RSPenroseViewController.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIRotationGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <string>

namespace {
// Where the menu parks: the container's y at the top, or this far above the bottom edge.
constexpr float kParkedTopY = -215;
constexpr float kParkedBottomInset = 44;
// How far above the lower edge of the parked container a tap on the triangle lands.
constexpr CGFloat kParkedTipInset = 10;
// The triangle sits in its container this high, so that its top edge is 0.4 points above it.
constexpr CGRect kPenroseFrame{{0, -34}, {RSPenroseView::kWidth, RSPenroseView::kHeight}};
constexpr double kPanelFadeDuration = 0.5;

// The bar buttons: index 0 top, 1 left, 2 right, turned to lie along their bars.
constexpr CGRect kTopButtonFrame{{15, 2}, {180, 35}};
constexpr CGRect kLeftButtonFrame{{-5, 130}, {180, 35}};
constexpr CGRect kRightButtonFrame{{145, 130}, {180, 35}};
constexpr double kLeftButtonTurn = 4.1887902047863905;  // 240 degrees
constexpr double kRightButtonTurn = 2.0943951023931957; // 120 degrees
constexpr CGFloat kPadTopButtonOffset = 30;
// A row of buttons made from titles.
constexpr float kRowInset = 50;
constexpr CGFloat kRowLeft = 35;
constexpr CGFloat kRowHeight = 40;


std::shared_ptr<UIButton> titledButton(const std::string& title) {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitleForState(title, UIControlStateNormal);
    button->setTitleColorForState(UIColor::blackColor(), UIControlStateNormal);
    return button;
}
} // namespace

void RSPenroseViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    setSide(sideAppear_);
    penroseRevealed_ = false;
    menuButtons_.clear();

    auto root = view();
    centerPanelContainer_ = std::make_shared<UIView>(root->bounds());
    root->addSubview(centerPanelContainer_);
    if (centerPanel_) centerPanelContainer_->addSubview(centerPanel_->view());

    overlayBackground_ = std::make_shared<UIView>(root->bounds());
    overlayBackground_->setBackgroundColor(UIColor::colorWithWhite(0, 1));
    overlayBackground_->setAlpha(kOverlayAlpha);
    overlayBackground_->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>(self<RSPenroseViewController>(), &RSPenroseViewController::tapOverlayGesture));

    buildPenroseContainer();
}

void RSPenroseViewController::buildPenroseContainer() {
    auto root = view();
    penroseView_ = RSPenroseView::initWithFrame(kPenroseFrame);
    penroseViewContainer_ = std::make_shared<UIView>(
        CGRectMake(root->bounds().size.width / 2 - kContainerWidth / 2, originYOut_, kContainerWidth, kContainerHeight));
    basePenroseRect_ = penroseViewContainer_->frame();
    root->addSubview(penroseViewContainer_);
    penroseViewContainer_->addSubview(penroseView_);
    penroseViewContainer_->addGestureRecognizer(
        std::make_shared<UIPanGestureRecognizer>(self<RSPenroseViewController>(), &RSPenroseViewController::panPenroseGesture));
    penroseViewContainer_->addGestureRecognizer(
        std::make_shared<UITapGestureRecognizer>(self<RSPenroseViewController>(), &RSPenroseViewController::tapPenroseGesture));
    penroseViewContainer_->addGestureRecognizer(
        std::make_shared<UIRotationGestureRecognizer>(self<RSPenroseViewController>(), &RSPenroseViewController::rotatePenroseGesture));
}

void RSPenroseViewController::setSide(int side) {
    sideAppear_ = side == 1 ? 1 : 0;
    if (sideAppear_ == 1 && isViewLoaded())
        originYOut_ = static_cast<float>(view()->frame().size.height - kParkedBottomInset);
    else
        originYOut_ = kParkedTopY;
}

void RSPenroseViewController::setMainController(const std::shared_ptr<UIViewController>& controller) {
    auto old = centerPanel_;
    centerPanel_ = controller;
    auto shown = controller ? controller->view() : nullptr;
    if (shown) {
        shown->setFrame(centerPanelFrame());
        shown->setAlpha(0);
        if (centerPanelContainer_) centerPanelContainer_->addSubview(shown);
    }
    if (old && old != controller) old->removeFromParentViewController();
    if (controller) addChildViewController(controller);
    // The same controller again only fades back in: its view must stay.
    auto leaving = old && old != controller ? old->view() : nullptr;
    UIView::animateWithDuration(
        kPanelFadeDuration,
        [leaving, shown] {
            if (leaving) leaving->setAlpha(0);
            if (shown) shown->setAlpha(1);
        },
        [leaving](bool) {
            if (leaving) leaving->removeFromSuperview();
        });
}

CGRect RSPenroseViewController::centerPanelFrame() const {
    if (!centerPanelContainer_) return UIScreen::mainScreen()->interfaceBounds();
    auto window = centerPanelContainer_->window();
    if (!window) return centerPanelContainer_->bounds();
    return centerPanelContainer_->convertRectFromView(window->bounds(), window);
}

void RSPenroseViewController::viewWillLayoutSubviews() {
    UIViewController::viewWillLayoutSubviews();
    if (!centerPanelContainer_) return;
    const CGRect bounds = view()->bounds();
    centerPanelContainer_->setFrame(bounds);
    if (overlayBackground_) overlayBackground_->setFrame(bounds);
    if (centerPanel_ && centerPanel_->isViewLoaded()) centerPanel_->view()->setFrame(centerPanelFrame());
    if (!penroseViewContainer_) return;
    // The triangle keeps to the middle of the width; across a turn it keeps its state, parked or
    // dropped (a pan under way keeps its finger's place).
    basePenroseRect_.origin.x = bounds.size.width / 2 - kContainerWidth / 2;
    CGRect frame = penroseViewContainer_->frame();
    frame.origin.x = basePenroseRect_.origin.x;
    if (penroseRevealed_) frame.origin.y = revealedY();
    penroseViewContainer_->setFrame(frame);
}

void RSPenroseViewController::setMainControllerWithStoryboardID(const std::string& identifier) {
    NSLog("RSPenroseViewController: there are no storyboards; no panel is made for the identifier %@", identifier);
}

void RSPenroseViewController::addButtonsToTopLeftRight(const std::string& top, const std::string& left,
                                                       const std::string& right) {
    auto topButton = titledButton(top);
    topButton->setFrame(kTopButtonFrame);
    CGFloat centreX = NSString::hasPrefix(UIDevice::currentDevice()->model(), "iPad")
                          ? UIScreen::mainScreen()->bounds().size.width / 4 - kPadTopButtonOffset
                          : view()->center().x;
    topButton->setCenter(CGPointMake(centreX, topButton->center().y));
    auto leftButton = titledButton(left);
    leftButton->setFrame(kLeftButtonFrame);
    leftButton->setTransform(CGAffineTransformMakeRotation(kLeftButtonTurn));
    auto rightButton = titledButton(right);
    rightButton->setFrame(kRightButtonFrame);
    rightButton->setTransform(CGAffineTransformMakeRotation(kRightButtonTurn));
    addButtonsToPenroseView({topButton, leftButton, rightButton});
    penroseView_->setCanRotate(true);
    penroseView_->setColorSelectedSide(true);
}

void RSPenroseViewController::addButtonsToPenroseViewWithTitles(const std::vector<std::string>& titles) {
    if (titles.empty()) return;
    view(); // the triangle is built with the view
    float width = (static_cast<float>(penroseView_->frame().size.width) - kRowInset) / static_cast<float>(titles.size());
    std::vector<std::shared_ptr<UIButton>> buttons;
    for (std::size_t k = 0; k < titles.size(); ++k) {
        auto button = titledButton(titles[k]);
        button->setFrame(CGRectMake(kRowLeft + static_cast<CGFloat>(k) * width, 0, width, kRowHeight));
        buttons.push_back(button);
    }
    addButtonsToPenroseView(buttons);
}

void RSPenroseViewController::addButtonsToPenroseView(const std::vector<std::shared_ptr<UIButton>>& buttons) {
    view();
    for (auto& button : buttons) {
        button->addTargetActionForControlEvents(
            self<RSPenroseViewController>(), [](RSPenroseViewController& menu, UIControl& sender) {
                menu.buttonClicked(static_cast<UIButton&>(sender));
            },
            UIControlEventTouchUpInside);
        penroseView_->addSubview(button);
        menuButtons_.push_back(button);
    }
}

void RSPenroseViewController::buttonClicked(UIButton& sender) {
    auto it = std::find_if(menuButtons_.begin(), menuButtons_.end(), [&](auto& b) { return b.get() == &sender; });
    if (it == menuButtons_.end()) return;
    didSelectPenroseButtonAtIndex(static_cast<int>(it - menuButtons_.begin()));
    hidePenroseView();
}

void RSPenroseViewController::togglePenroseView() {
    if (penroseRevealed_)
        hidePenroseView();
    else
        showPenroseView();
}

void RSPenroseViewController::insertOverlayBelowContainer() {
    if (disableOverlay_) return;
    view()->insertSubviewBelowSubview(overlayBackground_, penroseViewContainer_);
}

void RSPenroseViewController::repositionPenroseViewToOrigin(bool origin) {
    view();
    insertOverlayBelowContainer();
    auto app = UIApplication::sharedApplication();
    CGFloat targetY;
    if (origin) {
        targetY = originYOut_;
        penroseRevealed_ = false;
        app->setStatusBarHiddenWithAnimation(false, UIStatusBarAnimationSlide);
        didHidePenrose();
    } else {
        // Centred; in a view shorter than the triangle (a phone held sideways, between its bars)
        // from the view's top, so that its top bar is not lost under the navigation bar and the
        // dropped triangle stays inside the view, where its bars take touches.
        targetY = revealedY();
        penroseRevealed_ = true;
        app->setStatusBarHiddenWithAnimation(true, UIStatusBarAnimationSlide);
        didShowPenrose();
    }
    auto container = penroseViewContainer_;
    auto overlay = overlayBackground_;
    CGRect target = CGRectMake(basePenroseRect_.origin.x, targetY, basePenroseRect_.size.width, basePenroseRect_.size.height);
    CGFloat overlayAlpha = penroseRevealed_ ? kOverlayAlpha : 0;
    UIView::animateWithDuration(
        kMoveDuration,
        [container, overlay, target, overlayAlpha] {
            container->setFrame(target);
            overlay->setAlpha(overlayAlpha);
        },
        [weak = weakSelf<RSPenroseViewController>()](bool) {
            if (auto self = weak.lock()) self->toggleOverlayBackground();
        });
}

CGFloat RSPenroseViewController::revealedY() {
    return std::max<CGFloat>(0, view()->frame().size.height / 2 - penroseViewContainer_->frame().size.height / 2);
}

void RSPenroseViewController::toggleOverlayBackground() {
    view();
    overlayBackground_->removeFromSuperview();
    if (!disableOverlay_ && penroseRevealed_) view()->insertSubviewBelowSubview(overlayBackground_, penroseViewContainer_);
}

void RSPenroseViewController::describeToScreen(UIScreenDescription& screen) {
    if (penroseView_) {
        std::string line = penroseRevealed_ ? "menu: down" : "menu: parked";
        int side = penroseView_->currentSide();
        if (side >= 0 && static_cast<std::size_t>(side) < menuButtons_.size())
            line += ", " + UIScreenDescription::quoted(menuButtons_[static_cast<std::size_t>(side)]->currentTitle());
        screen.addLine(line);
        // Parked, the bars lie above the screen and only the lower end of the triangle's container
        // peeks out below the top edge, as the triangle's line says: a tap there drops the menu.
        if (!penroseRevealed_ && penroseViewContainer_) {
            screen.addTappable("triangle", [weak = std::weak_ptr<UIView>(penroseViewContainer_)](UIScreenReply& reply) {
                auto container = weak.lock();
                auto window = container ? container->window() : nullptr;
                if (!window) return reply.refuse("the triangle is not on screen");
                auto b = container->bounds();
                CGPoint tip = CGPointMake(CGRectGetMidX(b), CGRectGetMaxY(b) - kParkedTipInset);
                return UIScreenDescription::touchAt(window, container->convertPointToView(tip, std::static_pointer_cast<UIView>(window)), reply);
            }, penroseViewContainer_);
        }
    }
    UIViewController::describeToScreen(screen);
}

std::shared_ptr<RSPenroseViewController> UIViewController_RSPenrose::rootPenroseController(const UIViewController& controller) {
    const UIViewController* current = &controller;
    for (auto parent = controller.parentViewController(); parent; parent = parent->parentViewController()) {
        if (parent.get() == current) return nullptr;
        if (auto penrose = std::dynamic_pointer_cast<RSPenroseViewController>(parent)) return penrose;
        current = parent.get();
    }
    return nullptr;
}
