#include "controls/optionsbutton/OPOptionsButton.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"

std::shared_ptr<OPOptionsButton> OPOptionsButton::initForTabBarForItemIndexDelegate(
    const std::shared_ptr<UITabBar>& tabBar, std::int64_t index, const std::shared_ptr<OPOptionButtonDelegate>& delegate) {
    std::shared_ptr<OPOptionsButton> button(new OPOptionsButton());
    button->delegate_ = delegate;
    button->tabBar_ = tabBar;
    button->locationIndexInTabBar_ = index;
    button->installTheButton();
    // It keeps its share of the place over the item when the bar's screen turns.
    button->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                                UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    return button;
}

OPOptionsButton::~OPOptionsButton() {
    if (auto bar = tabBar_.lock(); bar && selectedItemObservation_) bar->removeObserver(selectedItemObservation_);
    if (observingOrientation_) NSNotificationCenter::defaultCenter()->removeObserver(this);
}

std::shared_ptr<UIView> OPOptionsButton::host() const {
    auto bar = tabBar_.lock();
    return bar ? bar->superview() : nullptr;
}

void OPOptionsButton::installTheButton() {
    auto bar = tabBar_.lock();
    auto superview = host();
    // A bar not yet in a view tree has nowhere to put the button: it stays uninstalled, as for an
    // index past the items.
    if (!bar || !superview || locationIndexInTabBar_ < 0 ||
        static_cast<std::size_t>(locationIndexInTabBar_) >= bar->items().size())
        return;
    CGRect itemFrame = bar->frameForItemAtIndex(static_cast<std::size_t>(locationIndexInTabBar_));
    CGPoint middle = bar->convertPointToView(CGPointMake(CGRectGetMidX(itemFrame), CGRectGetMidY(itemFrame)), superview);
    setFrame(CGRectMake(middle.x, middle.y, kSide, kSide));
    setBackgroundColor(UIColor::blackColor());
    // The square moves so that its middle lies on the item's centre.
    layer()->setAnchorPoint(CGPointMake(1.0, 1.0));
    layer()->setCornerRadius(kCornerRadius);
    setClipsToBounds(true);
    superview->addSubview(self<UIView>());
    addTargetActionForControlEvents(
        self<OPOptionsButton>(), &OPOptionsButton::buttonPressed,
        UIControlEventTouchUpInside);

    dynamicsAnimator_ = std::make_shared<UIDynamicAnimator>(superview);
    dynamicItem_ = std::make_shared<UIDynamicItemBehavior>();
    dynamicItem_->setAllowsRotation(false);

    std::weak_ptr<OPOptionsButton> weak = self<OPOptionsButton>();
    selectedItemObservation_ = bar->addObserverForKeyPath("selectedItem", [weak](const std::string&, bool) {
        if (auto button = weak.lock()) button->closeFromOutside();
    });
    NSNotificationCenter::defaultCenter()->addObserver(
        weak, UIDeviceOrientationDidChangeNotification, nullptr,
        [weak](const std::shared_ptr<NSNotification>&) {
            if (auto button = weak.lock()) button->orientationChanged();
        });
    observingOrientation_ = true;
}

void OPOptionsButton::setImageForOPOptionsButtonState(const UIImagePtr& image, int state) {
    CGSize size = frame().size;
    auto face = std::make_shared<UIImageView>(CGRectMake(0, 0, size.width, size.height - 20));
    face->setImage(image);
    face->setContentMode(UIViewContentModeScaleAspectFit);
    face->setCenter(CGPointMake(size.width / 2, size.height / 2));
    if (state == OPOptionsButtonStateClosed || state == OPOptionsButtonStateNormal) {
        openedStateImage_ = face;
    } else {
        closedStateImage_ = face;
        face->setCenter(CGPointMake(face->center().x, size.height + face->frame().size.height / 2));
    }
    addSubview(face);
}

void OPOptionsButton::buttonPressed() {
    std::weak_ptr<OPOptionsButton> weak = self<OPOptionsButton>();
    auto loop = NSRunLoop::mainRunLoop();
    // Each delayed step checks that no press came between, so a quick second press cannot throw
    // the options out of a closed menu or close the faces of an open one.
    if (currentState_ != OPOptionsButtonStateOpen) {
        currentState_ = OPOptionsButtonStateOpen;
        changeTheButtonStateAnimatedToOpen(true);
        loop->performAfterDelay(kStepDelay, this, "showOptions", [weak] {
            if (auto button = weak.lock(); button && button->currentState_ == OPOptionsButtonStateOpen)
                button->showOptions();
        });
    } else {
        currentState_ = OPOptionsButtonStateClosed;
        hideButtons();
        loop->performAfterDelay(kStepDelay, this, "changeTheButtonStateAnimatedToOpen:", [weak] {
            if (auto button = weak.lock(); button && button->currentState_ != OPOptionsButtonStateOpen)
                button->changeTheButtonStateAnimatedToOpen(false);
        });
    }
}

void OPOptionsButton::changeTheButtonStateAnimatedToOpen(bool open) {
    CGSize size = frame().size;
    auto& resting = openedStateImage_;
    auto& openFace = closedStateImage_;
    CGFloat restingX = resting ? resting->center().x : size.width / 2;
    CGFloat openX = openFace ? openFace->center().x : size.width / 2;
    CGPoint restingTarget, openTarget;
    if (open) {
        addBlackView();
        restingTarget = CGPointMake(restingX, resting ? -resting->frame().size.height / 2 : 0);
        openTarget = CGPointMake(size.width / 2, size.height / 2);
    } else {
        removeBlackView();
        restingTarget = CGPointMake(restingX, size.height / 2);
        openTarget = CGPointMake(openX, size.height + (openFace ? openFace->frame().size.height / 2 : 0));
    }
    for (auto* face : {&resting, &openFace})
        if (*face) (*face)->setCenter(CGPointMake(size.width / 2, (*face)->center().y));
    dynamicsAnimator2_ = std::make_shared<UIDynamicAnimator>(self<UIView>());
    for (auto [face, target] : {std::pair{openFace, openTarget}, std::pair{resting, restingTarget}}) {
        if (!face) continue;
        auto snap = std::make_shared<UISnapBehavior>(face, target);
        snap->setDamping(kFaceDamping);
        dynamicsAnimator2_->addBehavior(snap);
    }
}

void OPOptionsButton::addBlackView() {
    auto superview = host();
    auto bar = tabBar_.lock();
    if (!superview || !bar) return;
    setEnabled(false);
    auto overlay = std::make_shared<UIView>(superview->bounds());
    overlay->setBackgroundColor(UIColor::blackColor());
    overlay->setAlpha(0);
    std::weak_ptr<OPOptionsButton> weak = self<OPOptionsButton>();
    overlay->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>(
        self<OPOptionsButton>(), &OPOptionsButton::blackViewPressed));
    blackView_ = overlay;
    superview->insertSubviewBelowSubview(overlay, bar);
    UIView::animateWithDuration(kFadeDuration, [overlay] { overlay->setAlpha(kOverlayAlpha); },
                                [weak](bool finished) {
                                    if (auto button = weak.lock(); button && finished) button->setEnabled(true);
                                });
}

void OPOptionsButton::removeBlackView() {
    setEnabled(false);
    auto overlay = blackView_;
    if (!overlay) return;
    std::weak_ptr<OPOptionsButton> weak = self<OPOptionsButton>();
    UIView::animateWithDuration(kFadeDuration, [overlay] { overlay->setAlpha(0); }, [weak, overlay](bool) {
        overlay->removeFromSuperview();
        auto button = weak.lock();
        if (!button) return;
        if (button->blackView_ == overlay) button->blackView_.reset();
        button->setEnabled(true);
    });
}

void OPOptionsButton::blackViewPressed() {
    // While the overlay fades the button is disabled, and a tap on the overlay waits with it.
    if (isEnabled()) buttonPressed();
}

void OPOptionsButton::closeFromOutside() {
    if (currentState_ == OPOptionsButtonStateOpen) buttonPressed();
}

void OPOptionsButton::orientationChanged() { closeFromOutside(); }

CGSize OPOptionsButton::screenSize() const {
    auto app = UIApplication::sharedApplication();
    auto key = app->keyWindow();
    CGSize size = key ? key->bounds().size : CGSizeZero;
    auto orientation = app->statusBarOrientation();
    if (orientation == UIInterfaceOrientationLandscapeRight || orientation == UIInterfaceOrientationLandscapeLeft)
        std::swap(size.width, size.height);
    return size;
}
