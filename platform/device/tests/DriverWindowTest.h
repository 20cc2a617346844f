#pragma once
// A driver over a window of the screen's size with a plain controller, for the tests of what the
// driver reads from the screen or writes of it.

#include "platform/device/Driver.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

class DriverWindowTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->setRootViewController(std::make_shared<UIViewController>());
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    Driver driver_;
    std::shared_ptr<UIWindow> window_;
};
