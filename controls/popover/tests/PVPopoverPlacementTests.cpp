#include "PopoverTestSupport.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UITextField.h"

#include <cmath>

namespace {

class PVPopoverPlacementTest : public PopoverTest {
protected:
    std::shared_ptr<PVPopoverController> present(CGSize content, CGRect anchor, unsigned long directions) {
        auto popover = PVPopoverController::initWithContentViewController(contentOfSize(content.width, content.height));
        popover->setDelegate(delegate);
        popover->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(anchor, window, directions, false);
        return popover;
    }
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(PVPopoverPlacementTest, ArrowChoice) {
    // Free bounds 10..310 by 30..558; the anchor's free sides depend on where it is.
    struct Case {
        const char* name;
        CGRect anchor;
        CGSize content;
        unsigned long permitted;
        unsigned long chosen;
    } cases[] = {
        {.name = "room below", .anchor = {{150, 100}, {20, 20}}, .content = {200, 100}, .permitted = 15, .chosen = PVPopoverArrowDirectionUp},
        {.name = "room above", .anchor = {{150, 450}, {20, 20}}, .content = {200, 100}, .permitted = 15, .chosen = PVPopoverArrowDirectionDown},
        {.name = "too wide for all: largest", .anchor = {{150, 450}, {20, 20}}, .content = {900, 100}, .permitted = 15, .chosen = PVPopoverArrowDirectionDown},
        {.name = "the largest side too narrow: the next that fits", .anchor = {{20, 280}, {20, 20}}, .content = {280, 100}, .permitted = 15, .chosen = PVPopoverArrowDirectionUp},
        {.name = "single direction", .anchor = {{150, 540}, {20, 20}}, .content = {200, 100}, .permitted = PVPopoverArrowDirectionUp, .chosen = PVPopoverArrowDirectionUp},
        {.name = "none", .anchor = {{150, 100}, {20, 20}}, .content = {200, 100}, .permitted = PVPopoverNoArrow, .chosen = PVPopoverNoArrow},
        {.name = "empty set", .anchor = {{150, 100}, {20, 20}}, .content = {200, 100}, .permitted = 0, .chosen = PVPopoverArrowDirectionRight},
        {.name = "sideways, left has more", .anchor = {{40, 280}, {20, 20}}, .content = {100, 100}, .permitted = 12, .chosen = PVPopoverArrowDirectionLeft},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto popover = present(c.content, c.anchor, c.permitted);
        EXPECT_EQ(popover->backgroundView()->arrowDirection(), c.chosen);
        popover->dismissPopoverAnimated(false);
    }
}

TEST_F(PVPopoverPlacementTest, EqualValuesKeepTheCollectionOrder) {
    // Anchor in the vertical middle of the free box: the sides above and below have equal room.
    auto popover = present({100, 100}, CGRectMake(150, 284, 20, 20), PVPopoverArrowDirectionUp | PVPopoverArrowDirectionDown);
    CGSize up = popover->sizeForRectInViewArrowHeightArrowDirection(CGRectMake(150, 284, 20, 20), window, 13, PVPopoverArrowDirectionUp);
    CGSize down = popover->sizeForRectInViewArrowHeightArrowDirection(CGRectMake(150, 284, 20, 20), window, 13, PVPopoverArrowDirectionDown);
    ASSERT_EQ(up.height, down.height);
    EXPECT_EQ(popover->backgroundView()->arrowDirection(), PVPopoverArrowDirectionDown);
}

TEST_F(PVPopoverPlacementTest, FramesAndArrowOffsets) {
    struct Case {
        const char* name;
        CGRect anchor;
        CGSize content;
        unsigned long permitted;
        CGRect frame;
        float offset;
    } cases[] = {
        {.name = "up, centred", .anchor = {{150, 100}, {20, 20}}, .content = {200, 100}, .permitted = 1, .frame = {{60, 120}, {200, 113}}, .offset = 0},
        {.name = "up, left edge", .anchor = {{0, 100}, {20, 20}}, .content = {200, 100}, .permitted = 1, .frame = {{10, 120}, {200, 113}}, .offset = -87.5f},
        {.name = "up, right edge", .anchor = {{300, 100}, {20, 20}}, .content = {200, 100}, .permitted = 1, .frame = {{110, 120}, {200, 113}}, .offset = 87.5f},
        {.name = "up, cut at the bottom", .anchor = {{150, 100}, {20, 20}}, .content = {200, 600}, .permitted = 1, .frame = {{60, 120}, {200, 438}}, .offset = 0},
        {.name = "up, never below 160", .anchor = {{150, 500}, {20, 20}}, .content = {200, 600}, .permitted = 1, .frame = {{60, 520}, {200, 160}}, .offset = 0},
        {.name = "down, shrunk to fit", .anchor = {{150, 300}, {20, 20}}, .content = {200, 300}, .permitted = 2, .frame = {{60, 30}, {200, 270}}, .offset = 0},
        {.name = "down, 160 past the top", .anchor = {{150, 150}, {20, 20}}, .content = {200, 300}, .permitted = 2, .frame = {{60, -10}, {200, 160}}, .offset = 0},
        {.name = "left", .anchor = {{50, 200}, {20, 20}}, .content = {100, 100}, .permitted = 4, .frame = {{70, 160}, {114, 100}}, .offset = 0},
        {.name = "right, never below 240", .anchor = {{100, 200}, {20, 20}}, .content = {300, 100}, .permitted = 8, .frame = {{-140, 160}, {240, 100}}, .offset = 0},
        {.name = "none, centred in the free box", .anchor = {{0, 0}, {20, 20}}, .content = {200, 100}, .permitted = 16, .frame = {{60, 244}, {200, 100}}, .offset = 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto popover = present(c.content, c.anchor, c.permitted);
        auto bubble = popover->backgroundView();
        expectRect(bubble->frame(), c.frame);
        EXPECT_FLOAT_EQ(bubble->arrowOffset(), c.offset);
        popover->dismissPopoverAnimated(false);
    }
}

std::string keyboardAt(CGFloat y) { return NSStringFromCGRect(CGRectMake(0, y, 320, 568 - y)); }

TEST_F(PVPopoverPlacementTest, TheKeyboardPushesTheBubbleUpButNotPastTheTop) {
    const CGRect low = CGRectMake(150, 450, 20, 20), high = CGRectMake(150, 100, 20, 20);
    struct Case {
        const char* name;
        CGRect anchor;
        unsigned long direction;
        CGFloat contentHeight;
        CGFloat keyboardTop;
        std::optional<bool> ignore;
        std::optional<float> translate;
        CGFloat shownY;
        CGFloat y;
        std::vector<std::string> calls;
    } cases[] = {
        {.name = "overlap", .anchor = low, .direction = 2, .contentHeight = 100, .keyboardTop = 352, .ignore = {},
         .translate = {}, .shownY = 337, .y = 239, .calls = {"translate 98"}},
        {.name = "clear of it", .anchor = low, .direction = 2, .contentHeight = 100, .keyboardTop = 500, .ignore = {},
         .translate = {}, .shownY = 337, .y = 337, .calls = {}},
        {.name = "not above the top bound", .anchor = high, .direction = 1, .contentHeight = 300, .keyboardTop = 150,
         .ignore = {}, .translate = {}, .shownY = 120, .y = 30, .calls = {"translate 90"}},
        {.name = "ignored", .anchor = low, .direction = 2, .contentHeight = 100, .keyboardTop = 352, .ignore = true,
         .translate = {}, .shownY = 337, .y = 337, .calls = {}},
        {.name = "delegate's amount", .anchor = low, .direction = 2, .contentHeight = 100, .keyboardTop = 352, .ignore = {},
         .translate = 20.0f, .shownY = 337, .y = 317, .calls = {"translate 98"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate = std::make_shared<RecordingDelegate>();
        delegate->ignoreKeyboard = c.ignore;
        delegate->translateTo = c.translate;
        auto popover = present({200, c.contentHeight}, c.anchor, c.direction);
        ASSERT_EQ(popover->backgroundView()->frame().origin.y, c.shownY);
        delegate->calls.clear();
        NSNotificationCenter::defaultCenter()->postNotificationName(UIKeyboardWillShowNotification, {},
                                                                    {{UIKeyboardFrameEndUserInfoKey, keyboardAt(c.keyboardTop)}});
        clock.advance(0.1);
        EXPECT_EQ(popover->backgroundView()->frame().origin.y, c.y);
        EXPECT_EQ(delegate->calls, c.calls);
        NSNotificationCenter::defaultCenter()->postNotificationName(UIKeyboardWillHideNotification);
        clock.advance(0.1);
        EXPECT_EQ(popover->backgroundView()->frame().origin.y, c.shownY);
        popover->dismissPopoverAnimated(false);
    }
}

TEST_F(PVPopoverPlacementTest, TurnedInterfacesRotateAndMapTheBubble) {
    struct Case {
        UIDeviceOrientation device;
        CGFloat angle;
        CGRect frame;
    } cases[] = {
        // Free box 10..558 by 30..310, bubble (184, 120, 200, 100) upright; turned as the window
        // turns the interface: clockwise with the device on its left side (interface 3).
        {UIDeviceOrientationLandscapeLeft, M_PI / 2, {{100, 184}, {100, 200}}},
        {UIDeviceOrientationLandscapeRight, -M_PI / 2, {{120, 184}, {100, 200}}},
        // Upside down: the app's Info.plist leaves it out, and the bubble stays upright.
        {UIDeviceOrientationPortraitUpsideDown, 0, {{60, 244}, {200, 100}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        UIApplication::sharedApplication()->rotateDevice(c.device);
        auto popover = PVPopoverController::initWithContentViewController(contentOfSize(200, 100));
        popover->presentPopoverAsDialogAnimated(false);
        auto bubble = popover->backgroundView();
        EXPECT_EQ(bubble->arrowDirection(), PVPopoverNoArrow);
        EXPECT_NEAR(bubble->transform().a, std::cos(c.angle), 1e-6);
        EXPECT_NEAR(bubble->transform().b, std::sin(c.angle), 1e-6);
        expectRect(bubble->frame(), c.frame, 1e-3);
        popover->dismissPopoverAnimated(false);
        UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationPortrait);
    }
}

TEST_F(PVPopoverPlacementTest, RotationWhileShownRepositionsFromTheDelegatesAnchor) {
    class Reanchor : public RecordingDelegate {
    public:
        CGRect seen;
        bool popoverControllerWillRepositionPopoverToRectInView(PVPopoverController&, CGRect* rect, UIViewPtr*) override {
            seen = *rect;
            *rect = CGRectMake(0, 0, 20, 20);
            return true;
        }
    };
    auto reanchor = std::make_shared<Reanchor>();
    auto popover = PVPopoverController::initWithContentViewController(contentOfSize(200, 100));
    popover->setDelegate(reanchor);
    popover->presentPopoverFromRectInViewPermittedArrowDirectionsAnimated(CGRectMake(150, 100, 20, 20), window, 3, false);
    ASSERT_EQ(popover->backgroundView()->arrowDirection(), PVPopoverArrowDirectionUp);
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationLandscapeLeft);
    expectRect(reanchor->seen, CGRectMake(150, 100, 20, 20));
    // The new anchor is the window's top left corner, the turned interface's bottom left.
    EXPECT_EQ(popover->backgroundView()->arrowDirection(), PVPopoverArrowDirectionDown);
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationPortrait);
}

TEST_F(PVPopoverPlacementTest, AppearTransformShrinksTowardsTheArrowTip) {
    auto popover = present({200, 100}, CGRectMake(150, 100, 20, 20), PVPopoverArrowDirectionUp);
    CGAffineTransform t = popover->transformForArrowDirection(PVPopoverArrowDirectionUp);
    EXPECT_NEAR(t.a, 0.01, 1e-12);
    EXPECT_NEAR(t.d, 0.01, 1e-12);
    EXPECT_NEAR(t.tx, 0, 1e-9);
    EXPECT_NEAR(t.ty, -113.0 / 2, 1e-9);
}

} // namespace
