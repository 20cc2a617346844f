#pragma once
// The analytics SDK's public entry: class methods only. The app starts a session once while it
// finishes launching; the facade then follows the application's life cycle (pausing, resuming
// or starting a new session) and hands every call to the current session on its queue.
//
// Names and other string arguments are checked: anything but a string is logged and dropped.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

class UIViewController;

class Vuderu {
public:
    Vuderu() = delete;

    // Once per process (until shutdown): the crash reporter when enabled, the key, the life-cycle
    // observers, network status, heartbeat, file cache and the first session.
    static void startSession(const Value& apiKey);
    static void startSessionWithOptions(const Value& apiKey, const Value& launchOptions);
    static void setLaunchOptions(const Value& launchOptions);
    static void parsePropertyList(const Value& object);
    static void parseDictionary(const Value& dictionary);
    static std::string getVuderuAgentVersion();
    static void setLogLevel(int level);
    static void setDebugLogEnabled(bool enabled);
    static int sessionContinueSeconds();
    static void setSessionContinueSeconds(int seconds);
    static void setMaxSessionsSaved(int maxSessions);
    static void setAppVersion(const Value& version);

    static void setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude, float horizontal, float vertical);
    static void logEvent(const Value& eventName);
    static void logEventWithParameters(const Value& eventName, const Value& parameters);
    static void logEventTimed(const Value& eventName, bool timed);
    static void logEventWithParametersTimed(const Value& eventName, const Value& parameters, bool timed);
    static void endTimedEventWithParameters(const Value& eventName, const Value& parameters);
    static void addOriginWithVersion(const Value& originName, const Value& originVersion);
    static void addOriginWithVersionWithParameters(const Value& originName, const Value& originVersion, const Value& parameters);
    // With crash reporting on, the error carries a live report of the running process.
    static void logErrorMessageException(const Value& errorID, const Value& message, const std::optional<NSException>& exception);
    static void logErrorMessageError(const Value& errorID, const Value& message, const NSErrorPtr& error);
    static void logPageView();
    // Page views of a navigation or tab-bar controller, counted as it shows or selects controllers.
    static void logAllPageViews(const std::shared_ptr<UIViewController>& target);
    static void logAllPageViewsForTarget(const std::shared_ptr<UIViewController>& target);
    static void stopLogPageViewsForTarget(const std::shared_ptr<UIViewController>& target);

    static void setUserID(const Value& userID);
    static void setAge(int years);
    static void setGender(const Value& gender);
    static void setEventLoggingEnabled(bool enabled);
    static void setSessionReportsOnCloseEnabled(bool enabled);
    static void setSessionReportsOnPauseEnabled(bool enabled);
    static void setCrashReportingEnabled(bool enabled);
    static void setBackgroundSessionEnabled(bool enabled);
    static void setServerURL(const Value& url);
    static void setAppCloudServerToStaging(bool staging);
    static void setSecureTransportEnabled(bool enabled);
    static void setShowErrorInLogEnabled(bool enabled);
    static void setVuderuOptOut(bool optOut);
    static bool hasUserOptedOut();
    static bool sendUsageInfo() { return true; }

    static void endSession();
    static void pauseSession();
    static void pauseBackgroundSession();
    static void createAndSendSession();
    static void applicationWillResignActive();
    static void applicationWillEnterForeground();
    static void applicationDidBecomeActive();
    // Tears down the session front, the report sender, the file cache and the settings, and
    // stops observing the life cycle, so that a later start begins afresh.
    static void shutdown();
};
