#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIAlertOverlayWindow.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {
class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { UIApplication::sharedApplication()->reset(); }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        UIDevice::currentDevice()->setBatteryMonitoringEnabled(false);
        DeviceProfile::reset();
    }
};
} // namespace

TEST_F(ApplicationTest, StateIsActiveUntilTheDeviceChangesIt) {
    auto app = UIApplication::sharedApplication();
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    app->setApplicationState(UIApplicationStateBackground);
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    app->reset();
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
}

TEST_F(ApplicationTest, StatusBarFollowsTheDeviceOrientation) {
    const std::pair<UIDeviceOrientation, UIInterfaceOrientation> cases[] = {
        {UIDeviceOrientationPortrait, UIInterfaceOrientationPortrait},
        {UIDeviceOrientationPortraitUpsideDown, UIInterfaceOrientationPortraitUpsideDown},
        {UIDeviceOrientationLandscapeLeft, UIInterfaceOrientationLandscapeRight},
        {UIDeviceOrientationLandscapeRight, UIInterfaceOrientationLandscapeLeft},
        {UIDeviceOrientationFaceUp, UIInterfaceOrientationPortrait},
        {UIDeviceOrientationFaceDown, UIInterfaceOrientationPortrait},
        {UIDeviceOrientationUnknown, UIInterfaceOrientationPortrait},
    };
    for (const auto& [device, interface] : cases) {
        DeviceProfile::update([orientation = device](DeviceProfile& p) { p.orientation = orientation; });
        EXPECT_EQ(UIApplication::sharedApplication()->statusBarOrientation(), interface) << device;
    }
}

TEST_F(ApplicationTest, TheAlertWindowIsKeyWhileAlertsAreOnScreen) {
    auto app = UIApplication::sharedApplication();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    auto first = UIAlertView::initWithTitle("One", "", nullptr, "OK");
    auto second = UIAlertView::initWithTitle("Two", "", nullptr, "OK");

    first->show();
    auto alertWindow = app->keyWindow();
    ASSERT_TRUE(alertWindow);
    EXPECT_NE(alertWindow, window);
    EXPECT_EQ(alertWindow->className(), "_UIAlertNormalizingOverlayWindow");
    EXPECT_EQ(NSClassFromString("_UIAlertNormalizingOverlayWindow"), UIAlertOverlayWindow::classObject());
    EXPECT_EQ(alertWindow->bounds(), CGRectMake(0, 0, 320, 568));
    EXPECT_FALSE(window->isKeyWindow());
    EXPECT_EQ(app->keyWindowUnderAlerts(), window);
    EXPECT_EQ(app->windows(), (std::vector<std::shared_ptr<UIWindow>>{window}));

    // A second alert shares the alert window; it goes with the last alert.
    second->show();
    EXPECT_EQ(app->keyWindow(), alertWindow);
    first->clickButtonAtIndex(0);
    EXPECT_EQ(app->keyWindow(), alertWindow);
    second->clickButtonAtIndex(0);
    EXPECT_EQ(app->keyWindow(), window);
    EXPECT_EQ(app->keyWindowUnderAlerts(), window);
}

TEST_F(ApplicationTest, AWindowMadeKeyDuringAnAlertStaysKey) {
    auto app = UIApplication::sharedApplication();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto other = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    auto alert = UIAlertView::initWithTitle("Alert", "", nullptr, "OK");
    alert->show();
    other->makeKeyAndVisible();
    EXPECT_EQ(app->keyWindowUnderAlerts(), other);
    alert->clickButtonAtIndex(0);
    EXPECT_EQ(app->keyWindow(), other);

    // Without any window the alert window is key alone; nothing is key after it.
    app->reset();
    alert->show();
    EXPECT_TRUE(app->keyWindow());
    EXPECT_FALSE(app->keyWindowUnderAlerts());
    alert->dismissWithClickedButtonIndexAnimated(0, false);
    EXPECT_FALSE(app->keyWindow());
}

TEST_F(ApplicationTest, TheBatteryIsReadOnlyWhileMonitored) {
    auto device = UIDevice::currentDevice();
    DeviceProfile::update([](DeviceProfile& p) {
        p.batteryLevel = 0.25f;
        p.batteryState = UIDeviceBatteryStateUnplugged;
    });
    EXPECT_FALSE(device->isBatteryMonitoringEnabled());
    EXPECT_EQ(device->batteryLevel(), -1.0f);
    EXPECT_EQ(device->batteryState(), UIDeviceBatteryStateUnknown);
    device->setBatteryMonitoringEnabled(true);
    EXPECT_EQ(device->batteryLevel(), 0.25f);
    EXPECT_EQ(device->batteryState(), UIDeviceBatteryStateUnplugged);
    // A level the device does not know, or cannot be, reads as unknown.
    for (float level : {-1.0f, 1.5f}) {
        DeviceProfile::update([&](DeviceProfile& p) { p.batteryLevel = level; });
        EXPECT_EQ(device->batteryLevel(), -1.0f) << level;
    }
}

namespace {

TEST(UIApplicationBackgroundTasks, BeginEndAndExpireInOrder) {
    auto app = UIApplication::sharedApplication();
    app->reset();
    std::vector<int> expired;
    UIBackgroundTaskIdentifier b = UIBackgroundTaskInvalid;
    auto a = app->beginBackgroundTaskWithExpirationHandler([&] { expired.push_back(1); });
    b = app->beginBackgroundTaskWithExpirationHandler([&, app] {
        expired.push_back(2);
        app->endBackgroundTask(b); // a handler may end its own task
    });
    EXPECT_NE(a, UIBackgroundTaskInvalid);
    EXPECT_NE(a, b);
    EXPECT_EQ(app->backgroundTaskCount(), 2u);
    app->endBackgroundTask(UIBackgroundTaskInvalid);
    app->endBackgroundTask(12345);
    EXPECT_EQ(app->backgroundTaskCount(), 2u);
    app->expireBackgroundTasks();
    EXPECT_EQ(expired, (std::vector<int>{1, 2}));
    EXPECT_EQ(app->backgroundTaskCount(), 1u);
    app->endBackgroundTask(a);
    EXPECT_EQ(app->backgroundTaskCount(), 0u);
}

} // namespace

TEST_F(ApplicationTest, StatusBarHidesWithItsAnimationAndFramesTheInterfacesTop) {
    auto app = UIApplication::sharedApplication();
    EXPECT_EQ(app->statusBarFrame(), CGRectMake(0, 0, 320, 20));
    app->setStatusBarHiddenWithAnimation(true, UIStatusBarAnimationSlide);
    EXPECT_TRUE(app->isStatusBarHidden());
    EXPECT_EQ(app->lastStatusBarAnimation(), UIStatusBarAnimationSlide);
    EXPECT_EQ(app->statusBarFrame(), CGRectZero);
    app->setStatusBarHidden(false);
    app->setStatusBarStyle(UIStatusBarStyleLightContent);
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleLightContent);
    // The app's Info.plist leaves out upside down: that turn keeps the bar at the top.
    const std::pair<UIDeviceOrientation, CGRect> frames[] = {
        {UIDeviceOrientationPortraitUpsideDown, CGRectMake(0, 0, 320, 20)},
        {UIDeviceOrientationLandscapeLeft, CGRectMake(0, 0, 20, 568)},
        {UIDeviceOrientationLandscapeRight, CGRectMake(300, 0, 20, 568)},
    };
    for (auto& [device, frame] : frames) {
        app->rotateDevice(device);
        EXPECT_EQ(app->statusBarFrame(), frame) << device;
    }
    // Face up keeps the interface as it was: the device's notice only.
    std::vector<std::string> posted;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        "", nullptr, nullptr, [&](const auto& n) { posted.push_back(n->name()); });
    app->rotateDevice(UIDeviceOrientationPortrait);
    app->rotateDevice(UIDeviceOrientationFaceUp);
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_EQ(posted, (std::vector<std::string>{UIApplicationWillChangeStatusBarOrientationNotification,
                                                UIApplicationDidChangeStatusBarOrientationNotification,
                                                UIDeviceOrientationDidChangeNotification,
                                                UIDeviceOrientationDidChangeNotification}));
    EXPECT_EQ(UIDevice::currentDevice()->orientation(), UIDeviceOrientationFaceUp);
    app->reset();
    EXPECT_FALSE(app->isStatusBarHidden());
    EXPECT_EQ(app->statusBarStyle(), UIStatusBarStyleDefault);
}

TEST_F(ApplicationTest, AWindowHiddenAfterItShowedComesBackWhenMadeKeyAndVisible) {
    auto app = UIApplication::sharedApplication();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    window->setHidden(true);
    auto other = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    other->makeKeyAndVisible();
    window->makeKeyAndVisible();
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(app->keyWindow(), window);
}
