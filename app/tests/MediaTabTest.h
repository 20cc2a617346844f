#pragma once
// The app launched past its welcome on a device with a test-made media library, and the Media
// tab's panels as its menu makes them.

#include "app/TDAppDelegate.h"
#include "app/TDMedia.h"
#include "app/support/TDSites.h"
#include "app/support/VTVersionTracker.h"
#include "app/tests/LaunchedApp.h"
#include "pickers/assethelper/AssetHelper.h"
#include "platform/device/Driver.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/TestMediaLibrary.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"

#include <cstdlib>
#include <memory>

class MediaTabTest : public DeviceTest {
protected:
    // The menu's choices, in the order of its buttons.
    enum Panel : int { kMusicPanel = 0, kPhotosPanel = 1, kVideosPanel = 2 };

    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        TestMediaLibrary::make();
        UIApplication::sharedApplication()->reset();
        delegate_ = launchAppPastTheWelcome();
        driver_.drain();
    }
    void TearDown() override {
        if (auto tracker = VTVersionTracker::tracker()) tracker->stopTracking();
        AssetHelper::sharedAssetHelper()->clearData();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    // The Media tab, selected.
    std::shared_ptr<TDMedia> media() {
        EXPECT_TRUE(driver_.selectTab("Media"));
        driver_.drain();
        auto nav = std::dynamic_pointer_cast<UINavigationController>(delegate_->tabBarController()->selectedViewController());
        return nav ? std::dynamic_pointer_cast<TDMedia>(nav->topViewController()) : nullptr;
    }

    // The panel the menu's button makes, its view loaded; nil when it is not a T.
    template <class T>
    std::shared_ptr<T> openPanel(Panel panel) {
        auto tab = media();
        if (!tab) return nullptr;
        tab->didSelectPenroseButtonAtIndex(panel);
        driver_.drain();
        auto made = std::dynamic_pointer_cast<T>(tab->centerPanel());
        if (made) made->view();
        return made;
    }

    std::shared_ptr<TDAppDelegate> delegate_;
    Driver driver_;
};
