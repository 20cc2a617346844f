#pragma once
// A key window with a plain controller over the whole screen, on a fresh device, the platform
// clock manual and no animations recorded: where a control is shown, timed and its pixels read off
// the display, upright as the interface stands (turn it with turnDevice).

#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

class ScreenTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        clock_.emplace();
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window_->setRootViewController(std::make_shared<UIViewController>());
        window_->makeKeyAndVisible();
        UIView::clearRecordedAnimations();
    }
    void TearDown() override {
        clock_.reset();
        // Held upright again for the next test.
        DeviceProfile::update([](DeviceProfile& p) { p.orientation = UIDeviceOrientationPortrait; });
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    UIViewPtr content() const { return window_->subviews().front(); }
    // A microsecond past the time asked for, so that a step due exactly then has run whatever the
    // rounding of the clock's start; the steps it schedules are timed from there.
    void advance(double seconds) { clock_->advance(seconds + 1e-6); }

    // Turns the device (the driver's rotate) and lets the turn's layout settle.
    void turnDevice(UIDeviceOrientation orientation) {
        UIApplication::sharedApplication()->rotateDevice(orientation);
        window_->layoutIfNeeded();
    }

    // The display's colour at a point of the screen as the interface stands (red, green, blue, alpha).
    static CGImage::Pixel pixelAt(CGFloat x, CGFloat y) {
        auto scale = UIScreen::mainScreen()->scale();
        return UIDisplaySnapshot()->pixelAt(static_cast<int>(std::floor(x * scale)), static_cast<int>(std::floor(y * scale)));
    }
    static bool near(const CGImage::Pixel& p, int red, int green, int blue, int tolerance = 2) {
        return std::abs(p.red - red) <= tolerance && std::abs(p.green - green) <= tolerance &&
               std::abs(p.blue - blue) <= tolerance;
    }
    static std::string text(const CGImage::Pixel& p) {
        return "(" + std::to_string(p.red) + ", " + std::to_string(p.green) + ", " + std::to_string(p.blue) + ")";
    }

    std::optional<ManualClock> clock_;
    std::shared_ptr<UIWindow> window_;
};
