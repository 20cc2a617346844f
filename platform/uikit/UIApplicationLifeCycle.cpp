#include "platform/uikit/UIApplicationLifeCycle.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"

namespace {

void post(const std::string& name) {
    NSNotificationCenter::defaultCenter()->postNotificationName(name, Value(UIApplication::sharedApplication()));
}

} // namespace

void UIApplicationMoveToBackground() {
    auto application = UIApplication::sharedApplication();
    if (application->applicationState() == UIApplicationStateBackground) return;
    post(UIApplicationWillResignActiveNotification);
    application->setApplicationState(UIApplicationStateBackground);
    post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplicationMoveToForeground() {
    auto application = UIApplication::sharedApplication();
    if (application->applicationState() != UIApplicationStateBackground) return;
    post(UIApplicationWillEnterForegroundNotification);
    application->setApplicationState(UIApplicationStateActive);
    post(UIApplicationDidBecomeActiveNotification);
}

void UIApplicationDidFinishLaunchingBecomeActive() { post(UIApplicationDidBecomeActiveNotification); }

void UIApplicationWillTerminate() { post(UIApplicationWillTerminateNotification); }
