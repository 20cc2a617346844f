#pragma once
// A white 320 by 568 key window on a portrait device, the iOS 7 theme as the default and a
// manual clock, so animations finish when the test advances time.

#include "controls/popover/PVPopoverController.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class PopoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceProfile::reset();
        PVPopoverController::load();
        PVPopoverController::setDefaultTheme(PVPopoverTheme::themeForIOS7());
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setBackgroundColor(UIColor::whiteColor());
        window->makeKeyAndVisible();
    }
    void TearDown() override { DeviceProfile::reset(); }

    static std::shared_ptr<UIViewController> contentOfSize(CGFloat width, CGFloat height) {
        auto content = std::make_shared<UIViewController>();
        content->setPreferredContentSize(CGSizeMake(width, height));
        return content;
    }

    ManualClock clock;
    std::shared_ptr<UIWindow> window;
};

// Writes down every delegate call in order; answers as configured.
class RecordingDelegate : public PVPopoverControllerDelegate {
public:
    std::vector<std::string> calls;
    std::optional<bool> shouldDismiss;
    std::optional<bool> ignoreKeyboard;
    std::optional<float> translateTo;

    std::optional<bool> popoverControllerShouldDismissPopover(PVPopoverController&) override {
        calls.push_back("shouldDismiss");
        return shouldDismiss;
    }
    void popoverControllerDidPresentPopover(PVPopoverController&) override { calls.push_back("didPresent"); }
    void popoverControllerDidDismissPopover(PVPopoverController&) override { calls.push_back("didDismiss"); }
    std::optional<bool> popoverControllerShouldIgnoreKeyboardBounds(PVPopoverController&) override { return ignoreKeyboard; }
    void popoverControllerWillTranslatePopoverWithYOffset(PVPopoverController&, float* y) override {
        calls.push_back("translate " + std::to_string(static_cast<int>(*y)));
        if (translateTo) *y = *translateTo;
    }
};

inline void expectRect(const CGRect& actual, const CGRect& expected, double tolerance = 0.01) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance) << NSStringFromCGRect(actual);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance) << NSStringFromCGRect(actual);
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance) << NSStringFromCGRect(actual);
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance) << NSStringFromCGRect(actual);
}
