#include "platform/testsupport/ScreenTest.h"
#include "platform/uikit/UIColor.h"

#include <gtest/gtest.h>

namespace {
class InterfaceTurnTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        content()->setBackgroundColor(UIColor::whiteColor());
        bar_ = std::make_shared<UIView>(CGRectMake(0, 0, 320, 20));
        bar_->setBackgroundColor(UIColor::blueColor());
        bar_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        content()->addSubview(bar_);
        box_ = std::make_shared<UIView>(CGRectMake(10, 30, 40, 30));
        box_->setBackgroundColor(UIColor::redColor());
        content()->addSubview(box_);
    }
    UIViewPtr bar_, box_;
};
} // namespace

// Turned, the root controller's view takes the interface's size while the window keeps the
// screen's coordinates; the display, its points and the touches stand upright in the interface.
// Upside down is refused on a phone, and the screen stays as it was, turned.
TEST_F(InterfaceTurnTest, TheScreenStandsUprightAsTheInterfaceTurns) {
    struct Case {
        UIDeviceOrientation device;
        UIInterfaceOrientation shown;
        CGSize interface;
    } const cases[] = {
        {UIDeviceOrientationLandscapeLeft, UIInterfaceOrientationLandscapeRight, {568, 320}},
        {UIDeviceOrientationLandscapeRight, UIInterfaceOrientationLandscapeLeft, {568, 320}},
        {UIDeviceOrientationPortraitUpsideDown, UIInterfaceOrientationLandscapeLeft, {568, 320}},
        {UIDeviceOrientationPortrait, UIInterfaceOrientationPortrait, {320, 568}},
    };
    auto screen = UIScreen::mainScreen();
    for (const auto& c : cases) {
        turnDevice(c.device);
        SCOPED_TRACE(c.device);
        EXPECT_EQ(UIApplication::sharedApplication()->statusBarOrientation(), c.shown);
        EXPECT_EQ(window_->bounds(), CGRectMake(0, 0, 320, 568));
        EXPECT_EQ(content()->bounds().size, c.interface);
        EXPECT_EQ(screen->interfaceBounds().size, c.interface);
        auto shot = UIDisplaySnapshot();
        EXPECT_EQ(shot->width(), 2 * c.interface.width);
        EXPECT_EQ(shot->height(), 2 * c.interface.height);
        // The box where the interface put it, the bar across the interface's top edge.
        EXPECT_TRUE(near(pixelAt(12, 32), 255, 0, 0)) << text(pixelAt(12, 32));
        EXPECT_TRUE(near(pixelAt(48, 58), 255, 0, 0)) << text(pixelAt(48, 58));
        EXPECT_TRUE(near(pixelAt(c.interface.width - 2, 2), 0, 0, 255)) << text(pixelAt(c.interface.width - 2, 2));
        EXPECT_TRUE(near(pixelAt(c.interface.width - 2, c.interface.height - 2), 255, 255, 255));
        // A finger at the box's interface point lands on the box.
        auto p = screen->pointFromInterface(CGPointMake(20, 40));
        EXPECT_EQ(window_->hitTestWithEvent(p, nullptr), box_);
        auto back = screen->pointToInterface(p);
        EXPECT_NEAR(back.x, 20, 1e-9);
        EXPECT_NEAR(back.y, 40, 1e-9);
    }
    EXPECT_TRUE(CGAffineTransformIsIdentity(content()->transform()));
    EXPECT_EQ(content()->frame(), CGRectMake(0, 0, 320, 568));
}
