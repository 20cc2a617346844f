#include "controls/flatbutton/FlatButton.h"
#include "controls/flatbutton/tests/FlatScreenFixture.h"

#include "platform/uikit/UIFingers.h"

#include <string>
#include <vector>

namespace {
struct PressCase {
    std::string name;
    UIColorPtr resting;
    // nullptr: no background colour while pressed.
    UIColorPtr pressed;
};

void expectSameColor(const UIColorPtr& actual, const UIColorPtr& expected) {
    if (!expected) {
        EXPECT_EQ(actual, nullptr);
        return;
    }
    ASSERT_NE(actual, nullptr);
    EXPECT_EQ(actual->colorSpaceModel(), expected->colorSpaceModel());
    EXPECT_NEAR(actual->red(), expected->red(), 1e-9);
    EXPECT_NEAR(actual->green(), expected->green(), 1e-9);
    EXPECT_NEAR(actual->blue(), expected->blue(), 1e-9);
    EXPECT_NEAR(actual->alpha(), expected->alpha(), 1e-9);
}

const CGRect kFrame = CGRectMake(18, 300, 120, 42);
} // namespace

TEST_F(FlatScreenTest, APressDarkensEachComponentByATenthOfTwoAndBlackTurnsLighter) {
    const std::vector<PressCase> cases = {
        {"red 0.1 green 0.5 blue 0.9", UIColor::colorWithRed(0.1, 0.5, 0.9, 1), UIColor::colorWithRed(-0.1, 0.3, 0.7, 1)},
        {"translucent green", UIColor::colorWithRed(0, 1, 0, 0.5), UIColor::colorWithRed(-0.2, 0.8, -0.2, 0.5)},
        {"grey (monochrome)", UIColor::grayColor(), UIColor::colorWithRed(0.3, 0.3, 0.3, 1)},
        {"black (RGB)", UIColor::colorWithRed(0, 0, 0, 1), UIColor::colorWithWhite(0.2, 1)},
        {"black (monochrome, translucent)", UIColor::colorWithWhite(0, 0.6), UIColor::colorWithWhite(0.2, 0.6)},
        {"clear", UIColor::clearColor(), UIColor::colorWithWhite(0.2, 0)},
        {"pattern", UIColor::colorWithPatternImage(solidImage({4, 4}, UIColor::blueColor())), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto button = FlatButton::initWithFrameWithBackgroundColor(kFrame, c.resting);
        EXPECT_EQ(button->frame(), kFrame);
        EXPECT_EQ(button->myColor(), c.resting);
        EXPECT_EQ(button->backgroundColor(), c.resting);
        button->sendActionsForControlEvents(UIControlEventTouchDown);
        expectSameColor(button->backgroundColor(), c.pressed);
        button->sendActionsForControlEvents(UIControlEventTouchUpInside);
        EXPECT_EQ(button->backgroundColor(), c.resting);
    }
}

// Only a touch lifted inside brings the resting colour back.
TEST_F(FlatScreenTest, APressEndingOutsideLeavesTheButtonPressedUntilOneEndsInside) {
    auto button = FlatButton::initWithFrameWithBackgroundColor(kFrame, UIColor::grayColor());
    content()->addSubview(button);
    CGPoint inside{CGRectGetMidX(kFrame), CGRectGetMidY(kFrame)};
    CGPoint outside{inside.x, CGRectGetMaxY(kFrame) + 100};
    auto pressed = FlatButton::pressedColorFor(UIColor::grayColor());

    UIFingers fingers(window_);
    fingers.down({inside});
    expectSameColor(button->backgroundColor(), pressed);
    fingers.move({outside});
    fingers.up();
    expectSameColor(button->backgroundColor(), pressed);

    UIFingers(window_).tap(inside);
    EXPECT_EQ(button->backgroundColor(), button->myColor());
}

TEST_F(FlatScreenTest, TheDisplayShowsAGreyFlatButtonDarkerWhileHeld) {
    auto button = FlatButton::initWithFrameWithBackgroundColor(kFrame, UIColor::grayColor());
    content()->addSubview(button);
    CGPoint middle{CGRectGetMidX(kFrame), CGRectGetMidY(kFrame)};
    auto resting = pixelAt(middle.x, middle.y);
    EXPECT_TRUE(near(resting, 128, 128, 128)) << text(resting);

    UIFingers fingers(window_);
    fingers.down({middle});
    auto held = pixelAt(middle.x, middle.y);
    EXPECT_TRUE(near(held, 77, 77, 77)) << text(held);
    fingers.up();
    auto released = pixelAt(middle.x, middle.y);
    EXPECT_TRUE(near(released, 128, 128, 128)) << text(released);
}
