#pragma once
// A key window whose content is white over the whole screen, the platform clock manual and no
// animations recorded: where the flat button and the curled look are pressed and painted.

#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

class FlatScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        UIApplication::sharedApplication()->reset();
        clock_.emplace();
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window_->setRootViewController(std::make_shared<UIViewController>());
        window_->makeKeyAndVisible();
        content()->setBackgroundColor(UIColor::whiteColor());
        UIView::clearRecordedAnimations();
    }
    void TearDown() override {
        clock_.reset();
        UIApplication::sharedApplication()->reset();
    }

    UIViewPtr content() const { return window_->subviews().front(); }
    // A microsecond past the time asked for, so that what is due exactly then has run.
    void advance(double seconds) { clock_->advance(seconds + 1e-6); }

    // An image of one colour, at scale 1.
    static UIImagePtr solidImage(CGSize size, const UIColorPtr& color) {
        UIGraphicsBeginImageContextWithOptions(size, false, 1);
        color->setFill();
        UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, size.width, size.height));
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image;
    }

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
