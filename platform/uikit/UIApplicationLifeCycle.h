#pragma once
// The application's life-cycle notifications, posted on the default center by the device as the
// app moves between the foreground and the background and when it is about to end.

#include <string>

inline const std::string UIApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline const std::string UIApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline const std::string UIApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline const std::string UIApplicationWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
inline const std::string UIApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";

// The device's side, on the main thread: to the background (will resign active, state
// background, did enter background), back (will enter foreground, state active, did become
// active), launched (did become active) and ending (will terminate).
void UIApplicationMoveToBackground();
void UIApplicationMoveToForeground();
void UIApplicationDidFinishLaunchingBecomeActive();
void UIApplicationWillTerminate();
