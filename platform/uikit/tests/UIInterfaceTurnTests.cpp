#include "platform/testsupport/ScreenTest.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreenDescription.h"

#include <gtest/gtest.h>

#include <vector>

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

// A view of the window's own (a system menu) stands upright along the interface's bottom edge,
// laid out again at every turn while it is up, and a finger at its middle lands on it.
TEST_F(InterfaceTurnTest, AWindowsUprightViewFollowsTheInterface) {
    auto strip = std::make_shared<UIView>();
    strip->setBackgroundColor(UIColor::greenColor());
    window_->addUprightSubview(strip, [](const CGRect& b) { return CGRectMake(8, b.size.height - 48, b.size.width - 16, 40); });
    const struct {
        UIDeviceOrientation device;
        CGSize interface;
    } cases[] = {
        {UIDeviceOrientationPortrait, {320, 568}},
        {UIDeviceOrientationLandscapeLeft, {568, 320}},
        {UIDeviceOrientationLandscapeRight, {568, 320}},
        {UIDeviceOrientationPortrait, {320, 568}},
    };
    for (const auto& c : cases) {
        turnDevice(c.device);
        SCOPED_TRACE(c.device);
        const CGFloat w = c.interface.width, h = c.interface.height;
        EXPECT_EQ(strip->bounds().size, CGSizeMake(w - 16, 40));
        for (CGFloat x : {12.0, w / 2, w - 12})
            EXPECT_TRUE(near(pixelAt(x, h - 28), 0, 255, 0)) << x << ": " << text(pixelAt(x, h - 28));
        EXPECT_TRUE(near(pixelAt(4, h - 28), 255, 255, 255)) << text(pixelAt(4, h - 28));
        EXPECT_TRUE(near(pixelAt(w / 2, h - 60), 255, 255, 255)) << text(pixelAt(w / 2, h - 60));
        EXPECT_EQ(window_->hitTestWithEvent(UIScreen::mainScreen()->pointFromInterface(CGPointMake(w / 2, h - 28)), nullptr), strip);
    }
}

// What an eye finds on a turned screen: a view laid out for the upright screen that the turn
// leaves below the interface's bottom edge is out of sight; so is one under a picture drawn over
// it (a picture takes no touches), while one beside the picture, or under a faint one, is seen.
TEST_F(InterfaceTurnTest, WhatTheTurnedScreenShowsIsSeen) {
    auto low = std::make_shared<UIView>(CGRectMake(10, 400, 50, 30));
    auto under = std::make_shared<UIView>(CGRectMake(100, 100, 40, 40));
    auto beside = std::make_shared<UIView>(CGRectMake(200, 100, 40, 40));
    auto faintlyCovered = std::make_shared<UIView>(CGRectMake(100, 200, 40, 40));
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(60, 60), true, 1);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto picture = std::make_shared<UIImageView>(image);
    picture->setFrame(CGRectMake(90, 90, 60, 60));
    auto faint = std::make_shared<UIImageView>(image);
    faint->setFrame(CGRectMake(90, 190, 60, 60));
    faint->setAlpha(0.3);
    for (const UIViewPtr& v : {low, under, beside, faintlyCovered, UIViewPtr(picture), UIViewPtr(faint)}) content()->addSubview(v);
    EXPECT_TRUE(UIScreenDescription::seen(low));
    EXPECT_FALSE(UIScreenDescription::seen(under));
    EXPECT_TRUE(UIScreenDescription::seen(beside));
    EXPECT_TRUE(UIScreenDescription::seen(faintlyCovered));
    // A part of a view beside the picture is seen, the part under it is not.
    EXPECT_TRUE(UIScreenDescription::seen(beside, CGRectMake(0, 0, 40, 20)));
    auto wide = std::make_shared<UIView>(CGRectMake(20, 280, 160, 20));
    content()->insertSubviewAtIndex(wide, 0);
    picture->setFrame(CGRectMake(90, 270, 100, 40));
    EXPECT_TRUE(UIScreenDescription::seen(wide, CGRectMake(0, 0, 40, 20)));
    EXPECT_FALSE(UIScreenDescription::seen(wide, CGRectMake(100, 0, 40, 20)));
    picture->setFrame(CGRectMake(90, 90, 60, 60));
    for (auto device : {UIDeviceOrientationLandscapeLeft, UIDeviceOrientationLandscapeRight}) {
        turnDevice(device);
        SCOPED_TRACE(device);
        EXPECT_FALSE(UIScreenDescription::seen(low));
        EXPECT_FALSE(UIScreenDescription::seen(under));
        EXPECT_TRUE(UIScreenDescription::seen(beside));
    }
}

// The navigation bar stands below the status bar, its controller's view 64 points from the top,
// whichever way the device turned and from where.
TEST_F(InterfaceTurnTest, TheNavigationBarKeepsItsPlaceWhicheverWayTheDeviceTurns) {
    const std::vector<std::vector<UIDeviceOrientation>> turns = {
        {UIDeviceOrientationLandscapeLeft},
        {UIDeviceOrientationLandscapeRight},
        {UIDeviceOrientationLandscapeLeft, UIDeviceOrientationLandscapeRight},
        {UIDeviceOrientationLandscapeRight, UIDeviceOrientationLandscapeLeft, UIDeviceOrientationPortrait},
    };
    for (const auto& sequence : turns) {
        turnDevice(UIDeviceOrientationPortrait);
        auto top = std::make_shared<UIViewController>();
        auto nav = UINavigationController::initWithRootViewController(top);
        window_->setRootViewController(nav);
        window_->layoutIfNeeded();
        for (auto device : sequence) {
            turnDevice(device);
            SCOPED_TRACE(device);
            EXPECT_EQ(nav->navigationBar()->frame().origin.y, UINavigationController::kStatusBarHeight);
            EXPECT_EQ(top->view()->frame().origin.y, UINavigationController::kStatusBarHeight + UINavigationController::kNavigationBarHeight);
            EXPECT_EQ(top->view()->frame().size.width, UIScreen::mainScreen()->interfaceBounds().size.width);
        }
    }
}
