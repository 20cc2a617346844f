#pragma once
// A container that shows one child controller (the centre panel) full screen under a triangle
// menu parked mostly off the top (or bottom) edge. Pulling or tapping the tip drops the triangle
// into the middle over a dimming overlay; a bar's title, a tap on the overlay or a push back
// towards the edge parks it again. With rotation on, a horizontal drag or a two-finger turn
// brings another bar to the top. Choices arrive through the delegate methods, which the
// controller sends to itself: a subclass overrides them. Main thread only.

#include "controls/penrose/RSPenroseView.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>
#include <vector>

// All optional: the defaults do nothing.
class RSPenroseViewControllerDelegate {
public:
    virtual ~RSPenroseViewControllerDelegate() = default;
    // A bar button was tapped (its index in menuButtons), before the menu parks; and the side a
    // pan or a turn ended on, whenever the triangle can rotate.
    virtual void didSelectPenroseButtonAtIndex(int) {}
    virtual void didShowPenrose() {}
    virtual void didHidePenrose() {}
};

class RSPenroseViewController : public UIViewController, public RSPenroseViewControllerDelegate {
public:
    static constexpr CGFloat kContainerWidth = 320;
    static constexpr CGFloat kContainerHeight = 280;
    static constexpr double kMoveDuration = 0.5;
    static constexpr CGFloat kOverlayAlpha = 0.4;

    RSPenroseViewController() = default;

    void viewDidLoad() override;
    // The panel and the overlay follow the view's bounds, the parked or dropped triangle its
    // middle: a turn of the device lays them out for the turned screen.
    void viewWillLayoutSubviews() override;
    void describeToScreen(UIScreenDescription& screen) override;

    void setMainController(const std::shared_ptr<UIViewController>& controller);
    // There are no storyboards here, so no controller can be made from an identifier: the call
    // is logged and the centre panel stays as it is.
    void setMainControllerWithStoryboardID(const std::string& identifier);

    void addButtonsToTopLeftRight(const std::string& top, const std::string& left, const std::string& right);
    void addButtonsToPenroseViewWithTitles(const std::vector<std::string>& titles);
    void addButtonsToPenroseView(const std::vector<std::shared_ptr<UIButton>>& buttons);

    void showPenroseView() { repositionPenroseViewToOrigin(false); }
    void hidePenroseView() { repositionPenroseViewToOrigin(true); }
    void togglePenroseView();
    // true parks the menu, false drops it.
    void repositionPenroseViewToOrigin(bool origin);
    void toggleOverlayBackground();
    // The parking edge: 0 top, 1 bottom. Changes only where the menu parks next.
    void setSide(int side);

    // Gesture and button actions.
    void panPenroseGesture(UIGestureRecognizer& gesture);
    void tapPenroseGesture(UIGestureRecognizer&) { togglePenroseView(); }
    void tapOverlayGesture(UIGestureRecognizer&) { togglePenroseView(); }
    void rotatePenroseGesture(UIGestureRecognizer& gesture);
    void buttonClicked(UIButton& sender);

    bool penroseRevealed() const { return penroseRevealed_; }
    void setPenroseRevealed(bool revealed) { penroseRevealed_ = revealed; }
    int sideAppear() const { return sideAppear_; }
    void setSideAppear(int side) { sideAppear_ = side; }
    const UIViewPtr& overlayBackground() const { return overlayBackground_; }
    void setOverlayBackground(UIViewPtr view) { overlayBackground_ = std::move(view); }
    bool disableOverlay() const { return disableOverlay_; }
    void setDisableOverlay(bool disable) { disableOverlay_ = disable; }
    const std::shared_ptr<RSPenroseView>& penroseView() const { return penroseView_; }
    void setPenroseView(std::shared_ptr<RSPenroseView> view) { penroseView_ = std::move(view); }
    const UIViewPtr& penroseViewContainer() const { return penroseViewContainer_; }
    void setPenroseViewContainer(UIViewPtr view) { penroseViewContainer_ = std::move(view); }
    const std::shared_ptr<UIViewController>& centerPanel() const { return centerPanel_; }
    void setCenterPanel(std::shared_ptr<UIViewController> panel) { centerPanel_ = std::move(panel); }
    const UIViewPtr& centerPanelContainer() const { return centerPanelContainer_; }
    void setCenterPanelContainer(UIViewPtr view) { centerPanelContainer_ = std::move(view); }
    const std::vector<std::shared_ptr<UIButton>>& menuButtons() const { return menuButtons_; }

private:
    void buildPenroseContainer();
    // The centre panel shows full screen, under the navigation and tab bars as the device lays
    // out a controller's view: its frame is the screen's, in the panel container's coordinates
    // (the container's bounds while the menu is in no window).
    CGRect centerPanelFrame() const;
    // The container's y while dropped.
    CGFloat revealedY();
    void insertOverlayBelowContainer();
    // The side after a turn: one step each way once the summed turn reaches 5 radians.
    int sideAfterTurn() const;
    void snapToTurnedSide();
    void settlePan(float displacement);

    bool penroseRevealed_ = false;
    int sideAppear_ = 0;
    UIViewPtr overlayBackground_;
    bool disableOverlay_ = false;
    std::shared_ptr<RSPenroseView> penroseView_;
    UIViewPtr penroseViewContainer_;
    std::shared_ptr<UIViewController> centerPanel_;
    UIViewPtr centerPanelContainer_;
    std::vector<std::shared_ptr<UIButton>> menuButtons_;

    CGRect basePenroseRect_ = CGRectZero;
    float originYOut_ = 0;
    CGPoint locationStateBegan_ = CGPointZero;
    CGPoint centerPenroseStateBegan_ = CGPointZero;
    float lastRotation_ = 0;
    float totalRotation_ = 0;
    CGAffineTransform currentTransformPan_ = CGAffineTransformIdentity;
};

// UIViewController(RSPenrose): the nearest ancestor that is a triangle menu controller.
namespace UIViewController_RSPenrose {
std::shared_ptr<RSPenroseViewController> rootPenroseController(const UIViewController& controller);
}
