#pragma once
// The app launched in a test as the system launches it, on a device that has seen the welcome: its
// analytics report to a loopback port where nothing answers, and the maker's site is out of reach.

#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/uikit/UIApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

// The delegate of the launched app; launching fails the test when the app refuses to finish.
inline std::shared_ptr<TDAppDelegate> launchAppPastTheWelcome() {
    TDSites::setMakerSiteOrigin("http://127.0.0.1:1");
    setenv("TANDREL_VUDERU_HOST", AnalyticsCollector::refusedHostAndPort().c_str(), 1);
    NSUserDefaults::standardUserDefaults()->setObjectForKey(Value("Done"), TDAppDelegate::kIntroShowKey);
    auto app = UIApplication::sharedApplication();
    auto delegate = std::make_shared<TDAppDelegate>();
    app->setDelegate(delegate);
    EXPECT_TRUE(delegate->applicationDidFinishLaunchingWithOptions(*app, Value()));
    return delegate;
}
