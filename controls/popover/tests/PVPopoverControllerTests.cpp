#include "PopoverTestSupport.h"

#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreenDescription.h"

namespace {

// Writes down its appearance callbacks.
class AppearanceContent : public UIViewController {
public:
    std::vector<std::string>* log = nullptr;
    void viewWillAppear(bool animated) override { log->push_back(std::string("willAppear ") + (animated ? "YES" : "NO")); }
    void viewDidAppear(bool animated) override { log->push_back(std::string("didAppear ") + (animated ? "YES" : "NO")); }
    void viewWillDisappear(bool) override { log->push_back("willDisappear"); }
    void viewDidDisappear(bool) override { log->push_back("didDisappear"); }
};

class TouchRecorder : public UIView {
public:
    using UIView::UIView;
    int touches = 0;
    void touchesBeganWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) override { ++touches; }
};

class PVPopoverControllerTest : public PopoverTest {
protected:
    void SetUp() override {
        PopoverTest::SetUp();
        content = std::make_shared<AppearanceContent>();
        content->log = &delegate->calls;
        content->setPreferredContentSize(CGSizeMake(200, 100));
        popover = PVPopoverController::initWithContentViewController(content);
        popover->setDelegate(delegate);
    }
    void presentUp(bool animated, unsigned long options = PVPopoverAnimationOptionFadeWithScale) {
        popover->presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptions(anchor, window, PVPopoverArrowDirectionUp,
                                                                                     animated, options);
    }

    const CGRect anchor = CGRectMake(150, 100, 20, 20);
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<AppearanceContent> content;
    std::shared_ptr<PVPopoverController> popover;
};

TEST_F(PVPopoverControllerTest, DefaultsAndTheViewsWhileShown) {
    EXPECT_EQ(popover->popoverLayoutMargins(), UIEdgeInsetsMake(10, 10, 10, 10));
    EXPECT_FLOAT_EQ(popover->animationDuration(), 0.25f);
    EXPECT_EQ(popover->theme(), PVPopoverController::defaultTheme());
    EXPECT_FALSE(popover->isPopoverVisible());

    presentUp(false);
    ASSERT_TRUE(popover->isPopoverVisible());
    auto overlay = popover->overlayView();
    auto bubble = popover->backgroundView();
    const auto& subviews = window->subviews();
    ASSERT_GE(subviews.size(), 2u);
    EXPECT_EQ(subviews[subviews.size() - 1], bubble);
    EXPECT_EQ(subviews[subviews.size() - 2], overlay);
    expectRect(overlay->frame(), window->bounds());
    EXPECT_EQ(overlay->tintAdjustmentMode(), UIViewTintAdjustmentModeDimmed);
    EXPECT_EQ(bubble->tintAdjustmentMode(), UIViewTintAdjustmentModeAutomatic);
    EXPECT_TRUE(content->view()->isDescendantOfView(bubble.get()));
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"willAppear NO", "didAppear YES", "didPresent"}));

    popover->dismissPopoverAnimated(false);
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_FALSE(bubble->superview());
    EXPECT_FALSE(overlay->superview());
    EXPECT_EQ(delegate->calls.back(), "didDisappear") << "a programmatic dismissal tells the delegate nothing";
}

TEST_F(PVPopoverControllerTest, TouchOutsideDismissesUnlessForbidden) {
    struct Case {
        const char* name;
        bool modal;
        std::optional<bool> shouldDismiss;
        bool dismissed;
        std::vector<std::string> calls;
    } cases[] = {
        {"no answer", false, std::nullopt, true, {"shouldDismiss", "willDisappear", "didDisappear", "didDismiss"}},
        {"delegate agrees", false, true, true, {"shouldDismiss", "willDisappear", "didDisappear", "didDismiss"}},
        {"delegate refuses", false, false, false, {"shouldDismiss"}},
        {"modal in popover", true, true, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        content->setModalInPopover(c.modal);
        presentUp(false);
        delegate->calls.clear();
        delegate->shouldDismiss = c.shouldDismiss;
        UIFingers(window).tap({20, 500});
        EXPECT_EQ(popover->isPopoverVisible(), !c.dismissed);
        EXPECT_EQ(delegate->calls, c.calls);
        if (popover->isPopoverVisible()) popover->dismissPopoverAnimated(false);
    }
}

TEST_F(PVPopoverControllerTest, AnimatedTouchDismissalReportsAfterBothAnimations) {
    presentUp(true);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"willAppear YES"}));
    clock.advance(0.25);
    EXPECT_EQ(delegate->calls.back(), "didPresent");
    delegate->calls.clear();
    delegate->shouldDismiss = true;
    UIFingers(window).tap({20, 500});
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"shouldDismiss", "willDisappear"}));
    clock.advance(0.25);
    EXPECT_TRUE(popover->isPopoverVisible()) << "the overlay fades out after the bubble";
    EXPECT_FALSE(popover->backgroundView()->superview());
    EXPECT_EQ(popover->overlayView()->alpha(), 0);
    clock.advance(0.25);
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"shouldDismiss", "willDisappear", "didDisappear", "didDismiss"}));
}

TEST_F(PVPopoverControllerTest, ACompletionBlockTakesThePlaceOfTheDelegate) {
    int presented = 0, dismissed = 0;
    popover->presentPopoverFromRectInViewPermittedArrowDirectionsAnimatedOptionsCompletion(
        anchor, window, PVPopoverArrowDirectionUp, false, 0, [&] { ++presented; });
    popover->dismissPopoverAnimatedOptionsCompletionCallDelegate(false, 0, [&] { ++dismissed; }, true);
    EXPECT_EQ(presented, 1);
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"willAppear NO", "didAppear YES", "willDisappear", "didDisappear"}));
}

TEST_F(PVPopoverControllerTest, PassthroughViewsTakeTheirTouches) {
    auto passthrough = std::make_shared<TouchRecorder>(CGRectMake(0, 450, 100, 100));
    auto inner = std::make_shared<TouchRecorder>(CGRectMake(50, 0, 50, 50));
    passthrough->addSubview(inner);
    auto other = std::make_shared<TouchRecorder>(CGRectMake(200, 450, 100, 100));
    window->addSubview(passthrough);
    window->addSubview(other);
    popover->setPassthroughViews({passthrough});
    presentUp(false);
    popover->setPassthroughViews({});
    delegate->calls.clear();

    UIFingers fingers(window);
    fingers.tap({20, 470});
    fingers.tap({70, 470});
    EXPECT_EQ(passthrough->touches, 1);
    EXPECT_EQ(inner->touches, 1);
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_TRUE(delegate->calls.empty());

    fingers.tap({220, 470});
    EXPECT_EQ(other->touches, 0);
    EXPECT_FALSE(popover->isPopoverVisible());
}

TEST_F(PVPopoverControllerTest, ATouchInTheBubblesShadowMarginDismisses) {
    PVPopoverController::setDefaultTheme(PVPopoverTheme::themeForIOS6());
    auto six = PVPopoverController::initWithContentViewController(contentOfSize(200, 100));
    six->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(anchor, window, PVPopoverArrowDirectionUp, false);
    CGRect frame = six->backgroundView()->frame();
    UIFingers(window).tap({frame.origin.x + 2, frame.origin.y + frame.size.height / 2});
    EXPECT_FALSE(six->isPopoverVisible());
}

// The touch that closes the popover is the popover's from landing to lifting: the finger (and the
// driver's touch) reads it as taken, and nothing beneath hears of it.
TEST_F(PVPopoverControllerTest, TheTouchThatClosesThePopoverIsTakenWhole) {
    auto beneath = std::make_shared<TouchRecorder>(CGRectMake(0, 400, 320, 168));
    window->insertSubviewAtIndex(beneath, 0);
    PVPopoverController::setDefaultTheme(PVPopoverTheme::themeForIOS6());
    auto shadowed = PVPopoverController::initWithContentViewController(contentOfSize(200, 100));
    struct Case {
        const char* name;
        CGPoint (*point)(const CGRect& bubble);
    } cases[] = {
        {"on the overlay", [](const CGRect&) { return CGPoint{20, 500}; }},
        {"in the bubble's shadow margin",
         [](const CGRect& bubble) { return CGPoint{bubble.origin.x + 2, bubble.origin.y + bubble.size.height / 2}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shadowed->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(anchor, window, PVPopoverArrowDirectionUp, false);
        CGPoint point = c.point(shadowed->backgroundView()->frame());
        UIFingers fingers(window);
        fingers.tap(point);
        EXPECT_FALSE(shadowed->isPopoverVisible());
        EXPECT_TRUE(fingers.taken());
        EXPECT_EQ(beneath->touches, 0);

        shadowed->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(anchor, window, PVPopoverArrowDirectionUp, false);
        UIScreenReply reply;
        EXPECT_TRUE(UIScreenDescription::touchAt(window, point, reply)) << reply.error;
        EXPECT_FALSE(shadowed->isPopoverVisible());
    }
}

TEST_F(PVPopoverControllerTest, APushInsideAShownNavigationControllerResizesIt) {
    auto root = contentOfSize(200, 100);
    auto nav = UINavigationController::initWithRootViewController(root);
    auto shown = PVPopoverController::initWithContentViewController(nav);
    shown->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(anchor, window, PVPopoverArrowDirectionUp, false);
    expectRect(shown->backgroundView()->frame(), CGRectMake(60, 120, 200, 113));

    auto pushed = contentOfSize(250, 300);
    nav->pushViewControllerAnimated(pushed, false);
    clock.advance(0.1);
    expectRect(shown->backgroundView()->frame(), CGRectMake(35, 120, 250, 313));
    EXPECT_EQ(pushed->edgesForExtendedLayout(), UIRectEdgeNone);

    // A child's own change passes up through its navigation controller.
    pushed->setPreferredContentSize(CGSizeMake(280, 200));
    clock.advance(0.1);
    expectRect(shown->backgroundView()->frame(), CGRectMake(20, 120, 280, 213));

    // A navigation controller never shown in a popover is not sized by a push.
    auto plain = UINavigationController::initWithRootViewController(contentOfSize(10, 10));
    auto child = contentOfSize(250, 300);
    plain->pushViewControllerAnimated(child, false);
    EXPECT_EQ(plain->preferredContentSize().width, 0);
    child->setPreferredContentSize(CGSizeMake(70, 80));
    EXPECT_EQ(plain->preferredContentSize().width, 70) << "only a child's own change passes up";
    shown->dismissPopoverAnimated(false);
}

TEST_F(PVPopoverControllerTest, ContentSizeFallsBackToTheWindowHeight) {
    auto popoverOfZero = PVPopoverController::initWithContentViewController(std::make_shared<UIViewController>());
    CGSize size = popoverOfZero->popoverContentSize();
    EXPECT_EQ(size.width, 320);
    EXPECT_EQ(size.height, 568);
    popoverOfZero->setPopoverContentSize(CGSizeMake(50, 60));
    EXPECT_EQ(popoverOfZero->popoverContentSize().width, 50);
}

TEST_F(PVPopoverControllerTest, BarButtonItemsAllowOnlyUpAndDown) {
    auto anchorView = std::make_shared<UIView>(CGRectMake(10, 100, 40, 30));
    window->addSubview(anchorView);
    // With an item not shown in any bar there is no anchor view: the key window hosts it.
    auto item = UIBarButtonItem::initWithTitle("Files", UIBarButtonItemStylePlain, nullptr, nullptr);
    popover->presentPopoverFromBarButtonItemPermittedArrowDirectionsAnimated(item, PVPopoverArrowDirectionLeft, false);
    unsigned long direction = popover->backgroundView()->arrowDirection();
    EXPECT_TRUE(direction == PVPopoverArrowDirectionUp || direction == PVPopoverArrowDirectionDown);
    popover->dismissPopoverAnimated(false);
}

TEST_F(PVPopoverControllerTest, ThemeChangesRestyleTheShownBubble) {
    presentUp(false);
    auto theme = popover->theme();
    theme->setArrowHeight(20);
    EXPECT_EQ(popover->backgroundView()->arrowHeight(), 20u);
    expectRect(popover->backgroundView()->frame(), CGRectMake(60, 120, 200, 120));
    popover->beginThemeUpdates();
    theme->setArrowHeight(13);
    EXPECT_EQ(popover->backgroundView()->arrowHeight(), 20u);
    popover->endThemeUpdates();
    EXPECT_EQ(popover->backgroundView()->arrowHeight(), 13u);
    // The shared default theme gets the appearance values of every new controller.
    EXPECT_EQ(PVPopoverBackgroundView::appearance().arrowBase, 25u);
}

CGImage::Pixel pixelOfWindow(const std::shared_ptr<UIWindow>& window, int x, int y) {
    auto bitmap = CGImage::createWithSize(320, 568);
    auto context = std::make_shared<CGContext>(bitmap, 1);
    window->layer()->renderInContext(*context);
    return bitmap->pixelAt(x, y);
}

void expectNear(const CGImage::Pixel& p, int r, int g, int b, int tolerance) {
    EXPECT_NEAR(p.red, r, tolerance);
    EXPECT_NEAR(p.green, g, tolerance);
    EXPECT_NEAR(p.blue, b, tolerance);
}

TEST_F(PVPopoverControllerTest, TheIOS7PopoverOverWhite) {
    presentUp(false);
    // Bubble (60, 120, 200, 113): its arrow spans 148..173 across the top 13 points.
    expectNear(pixelOfWindow(window, 20, 500), 217, 217, 217, 2);
    expectNear(pixelOfWindow(window, 160, 130), 244, 244, 244, 2);
    expectNear(pixelOfWindow(window, 160, 200), 244, 244, 244, 2);
    // Beside the arrow: the overlay.
    expectNear(pixelOfWindow(window, 140, 124), 217, 217, 217, 2);
}

TEST_F(PVPopoverControllerTest, TheIOS6BubbleOnSystemSixPointOne) {
    DeviceProfile::update([](DeviceProfile& p) { p.systemVersion = "6.1"; });
    PVPopoverController::setDefaultTheme(PVPopoverTheme::theme());
    auto six = PVPopoverController::initWithContentViewController(contentOfSize(200, 200));
    six->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(anchor, window, PVPopoverArrowDirectionUp, false);
    // Bubble (46, 114, 228, 246); its body (54, 138, 212, 212) in the window.
    expectRect(six->backgroundView()->frame(), CGRectMake(46, 114, 228, 246));
    CGImage::Pixel top = pixelOfWindow(window, 160, 142);
    expectNear(top, 55, 63, 71, 12);
    CGImage::Pixel bottom = pixelOfWindow(window, 160, 347);
    EXPECT_LT(bottom.red + 20, top.red);
    EXPECT_LT(bottom.blue + 20, top.blue);
    CGImage::Pixel shadow = pixelOfWindow(window, 160, 353);
    EXPECT_LT(shadow.red, 235) << "a shadow under the bubble";
    CGImage::Pixel clear = pixelOfWindow(window, 300, 500);
    expectNear(clear, 255, 255, 255, 1);
}

} // namespace

#include "controls/popover/PVStoryboardPopoverSegue.h"

namespace {

TEST_F(PopoverTest, ASeguePresentsItsDestinationFromTheSendingView) {
    auto destination = contentOfSize(200, 100);
    auto segue = std::make_shared<PVStoryboardPopoverSegue>("files", nullptr, destination);
    segue->perform();
    auto sender = std::make_shared<UIView>(CGRectMake(150, 100, 20, 20));
    window->addSubview(sender);
    auto popover = segue->popoverControllerWithSenderPermittedArrowDirectionsAnimated(sender, PVPopoverArrowDirectionUp, false);
    EXPECT_FALSE(popover->isPopoverVisible());
    segue->perform();
    ASSERT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(popover->contentViewController(), destination);
    expectRect(popover->backgroundView()->frame(), CGRectMake(60, 120, 200, 113));
    popover->dismissPopoverAnimated(false);
}

} // namespace

#include "platform/uikit/UIScreenDescription.h"

namespace {

TEST_F(PopoverTest, TheDriverReadsTheShownPopoverAsAScreenInFront) {
    auto list = std::make_shared<UIViewController>();
    list->setTitle("Received");
    list->setPreferredContentSize(CGSizeMake(200, 200));
    auto popover = PVPopoverController::initWithContentViewController(UINavigationController::initWithRootViewController(list));
    popover->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(CGRectMake(150, 100, 20, 20), window,
                                                                          PVPopoverArrowDirectionUp, false);
    UIScreenDescription screen;
    screen.describeWindow(window);
    EXPECT_NE(screen.text().find("popover:\nnav: \"Received\""), std::string::npos) << screen.text();
    popover->dismissPopoverAnimated(false);
    UIScreenDescription after;
    after.describeWindow(window);
    EXPECT_EQ(after.text().find("popover:"), std::string::npos) << after.text();
}

} // namespace
