#include "sdk/analytics/Vuderu.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/SharedInstance.h"
#include "platform/uikit/CLLocationManager.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/analytics/VuderuFileCache.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuHeartBeater.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuPageViewDelegate.h"
#include "sdk/analytics/VuderuProtocolData.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/VuderuUtil.h"
#include "sdk/crashreporter/VuderuCrashReporter.h"

#include <mutex>

const std::shared_ptr<NSObject>& vuderuLifeCycleObserver();

namespace {

constexpr double kHeartbeatSeconds = 1.0;
// About what the system gives an app that is told it will terminate.
constexpr double kTerminationUploadWaitSeconds = 5.0;

std::mutex& startLock() {
    static std::mutex lock;
    return lock;
}

bool isString(const Value& value, const char* message) {
    if (value.isString()) return true;
    VuderuLog(std::string_view(message));
    return false;
}

std::shared_ptr<VuderuImpl> session() { return VuderuSession::currentSession(); }

constexpr const char* kEventNotLogged = "Vuderu: Event not logged -- eventName must be of NSString type.";

void enableCrashReporter(VuderuGlobalVariableStorage& settings) {
    VuderuLog("Vuderu: crash reporting enabled");
    if (settings.vuderuCrashReporter()) return;
    auto reporter = VuderuCrashReporter::initWithConfiguration(std::make_shared<VuderuCrashReporterConfig>(0, 3));
    settings.setVuderuCrashReporter(reporter);
    NSErrorPtr error;
    if (!reporter->enableCrashReporterAndReturnError(&error)) {
        VuderuLog("Vuderu: Failed to initialize crash reporter: %@", error ? error->description() : std::string("nil"));
    }
}

void observeLifeCycle() {
    auto center = NSNotificationCenter::defaultCenter();
    const auto& observer = vuderuLifeCycleObserver();
    center->removeObserver(observer);
    center->addObserver(observer, UIApplicationWillTerminateNotification, nullptr, [](const auto&) {
        Vuderu::endSession();
        // The process ends when the notification returns: the end-of-session report's answer is
        // waited for, or the next launch would post the same report again.
        if (auto front = session()) front->waitForUploadsInFlight(kTerminationUploadWaitSeconds);
    });
    center->addObserver(observer, UIApplicationWillResignActiveNotification, nullptr,
                        [](const auto&) { Vuderu::applicationWillResignActive(); });
    if (VuderuUtil::getSystemVersionAsAnInteger() >= VuderuUtil::kSystemVersionDispatch) {
        center->addObserver(observer, UIApplicationWillEnterForegroundNotification, nullptr,
                            [](const auto&) { Vuderu::applicationWillEnterForeground(); });
    }
    center->addObserver(observer, UIApplicationDidBecomeActiveNotification, nullptr,
                        [](const auto&) { Vuderu::applicationDidBecomeActive(); });
}

NSDataPtr liveReport() {
    auto settings = VuderuGlobalVariableStorage::sharedInstance();
    if (!settings->crashReportingEnabled()) return NSData::data();
    NSErrorPtr error;
    NSDataPtr report;
    if (auto reporter = std::dynamic_pointer_cast<VuderuCrashReporter>(settings->vuderuCrashReporter())) {
        report = reporter->generateLiveReportAndReturnError(&error);
    }
    if (report) return report;
    VuderuLog("VuderuSession: Failed to generate crash report: %@", error ? error->description() : std::string("nil"));
    return NSData::data();
}

} // namespace

// Stands for the facade's class object with the notification center.
const std::shared_ptr<NSObject>& vuderuLifeCycleObserver() {
    static NeverDestroyed<std::shared_ptr<NSObject>> observer(std::make_shared<NSObject>());
    return *observer;
}

void Vuderu::startSession(const Value& apiKey) {
    auto settings = VuderuGlobalVariableStorage::sharedInstance();
    {
        std::lock_guard lock(startLock());
        if (settings->startSessionCalled()) {
            VuderuLogAbove(0, "Vuderu: startSession has been called already. It should only be called once. Returning.");
            return;
        }
        VuderuLog("Vuderu: startSession called for the first time");
        settings->setStartSessionCalled(true);
    }
    VuderuLog("Vuderu: Start session called with apiKey[%@]", apiKey);
    VuderuLogAbove(0, "Vuderu: Starting session on Agent Version [%@] ", getVuderuAgentVersion());
    if (settings->crashReportingEnabled()) enableCrashReporter(*settings);
    VuderuUtil::guarded([&] {
        if (!apiKey.isNull() && !apiKey.isString()) throw NSException(NSInvalidArgumentException, "apiKey must be of NSString type");
        if (apiKey.isString()) settings->setApiKey(apiKey.string());
        observeLifeCycle();
        VuderuNetworkUtil::initNetworkReachability();
        VuderuHeartBeater::createAndStartInstance(kHeartbeatSeconds);
        VuderuFileCache::createInstanceWithApiKeyAgentVersion(settings->apiKey(), VuderuSession::getAgentVersion());
        createAndSendSession();
        VuderuUtil::cleanupStoredIdentifierForVendor();
        VuderuLog("Vuderu: Finish starting session with apiKey[%@]", settings->apiKey());
    });
}

void Vuderu::startSessionWithOptions(const Value& apiKey, const Value& launchOptions) {
    setLaunchOptions(launchOptions);
    startSession(apiKey);
}

void Vuderu::createAndSendSession() {
    VuderuUtil::guarded([] {
        auto settings = VuderuGlobalVariableStorage::sharedInstance();
        std::string key = settings->apiKey();
        VuderuSession::setupCurrentSessionWithKey(key.empty() ? std::nullopt : std::optional<std::string>(key));
        setSessionReportsOnCloseEnabled(settings->sessionReportsOnCloseEnabled());
        setSessionReportsOnPauseEnabled(settings->sessionReportsOnPauseEnabled());
        setBackgroundSessionEnabled(settings->backgroundSessionEnabled());
        setEventLoggingEnabled(settings->eventLoggingEnabled());
        setCrashReportingEnabled(settings->crashReportingEnabled());
        setAge(settings->age());
        if (auto userID = settings->userID()) setUserID(Value(*userID));
        if (auto gender = settings->gender()) setGender(Value(*gender));
        if (auto front = session()) front->sendSessionsToServerForCreateSession();
    });
}

std::string Vuderu::getVuderuAgentVersion() { return VuderuSession::getAgentVersionWithBuild(); }
void Vuderu::setLogLevel(int level) { VuderuUtil::setLogLevel(level); }
void Vuderu::setDebugLogEnabled(bool enabled) { VuderuUtil::setLogLevel(enabled ? 2 : 1); }
int Vuderu::sessionContinueSeconds() { return VuderuGlobalVariableStorage::sharedInstance()->pauseSecondsBeforeStartingNewSession(); }
void Vuderu::setSessionContinueSeconds(int seconds) {
    VuderuGlobalVariableStorage::sharedInstance()->setPauseSecondsBeforeStartingNewSession(seconds);
}
void Vuderu::setMaxSessionsSaved(int maxSessions) { VuderuSession::setMaxSessions(maxSessions); }

void Vuderu::setAppVersion(const Value& version) {
    VuderuUtil::guarded([&] {
        if (session()) {
            VuderuLogAbove(0, "Vuderu: Please call setAppVersion before startSession.");
            return;
        }
        VuderuLog("Vuderu: setAppVersion[%@]", version);
        VuderuGlobalVariableStorage::sharedInstance()->setAppVersion(version.stringValue());
    });
}

void Vuderu::setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude, float horizontal, float vertical) {
    VuderuUtil::guarded([&] {
        // Kept for the ad side, when the platform has locations at all.
        if (NSClassFromString(CLLocation::kClassName)) {
            VuderuGlobalVariableStorage::sharedInstance()->setLocation(std::make_shared<CLLocation>(
                CLLocationCoordinate2D{latitude, longitude}, 0, static_cast<double>(horizontal), static_cast<double>(vertical), NSDate::date()));
        }
        if (auto front = session()) front->setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(latitude, longitude, horizontal, vertical);
    });
}

void Vuderu::logEvent(const Value& eventName) { logEventWithParametersTimed(eventName, Value(), false); }
void Vuderu::logEventWithParameters(const Value& eventName, const Value& parameters) {
    logEventWithParametersTimed(eventName, parameters, false);
}
void Vuderu::logEventTimed(const Value& eventName, bool timed) { logEventWithParametersTimed(eventName, Value(), timed); }
void Vuderu::logEventWithParametersTimed(const Value& eventName, const Value& parameters, bool timed) {
    if (!isString(eventName, kEventNotLogged)) return;
    VuderuUtil::guarded([&] {
        if (auto front = session()) front->recordEventWithParametersTimed(eventName.string(), parameters, timed);
    });
}
void Vuderu::endTimedEventWithParameters(const Value& eventName, const Value& parameters) {
    if (!isString(eventName, kEventNotLogged)) return;
    VuderuUtil::guarded([&] {
        if (auto front = session()) front->endTimedEventWithParameters(eventName.string(), parameters);
    });
}

void Vuderu::addOriginWithVersion(const Value& originName, const Value& originVersion) {
    addOriginWithVersionWithParameters(originName, originVersion, Value());
}
void Vuderu::addOriginWithVersionWithParameters(const Value& originName, const Value& originVersion, const Value& parameters) {
    if (!isString(originName, "Vuderu: Origin not added -- originName must be of NSString type.")) return;
    if (!isString(originVersion, "Vuderu: Origin not added -- originVersion must be of NSString type.")) return;
    VuderuUtil::guarded([&] {
        VuderuGlobalVariableStorage::sharedInstance()->recordOriginOriginVersionWithParameters(originName.string(), originVersion.string(),
                                                                                              parameters);
    });
}

void Vuderu::logErrorMessageException(const Value& errorID, const Value& message, const std::optional<NSException>& exception) {
    if (!isString(errorID, "Vuderu: Error not logged -- errorId must be of NSString type.")) return;
    if (!isString(message, "Vuderu: Error not logged -- message must be of NSString type.")) return;
    VuderuUtil::guarded([&] {
        NSDataPtr report = liveReport();
        if (auto front = session()) front->recordErrorMessageExceptionLiveReport(errorID.string(), message.string(), exception, report);
    });
}

void Vuderu::logErrorMessageError(const Value& errorID, const Value& message, const NSErrorPtr& error) {
    if (!isString(errorID, "Vuderu: Error not logged -- errorId must be of NSString type.")) return;
    if (!isString(message, "Vuderu: Error not logged -- message must be of NSString type.")) return;
    VuderuUtil::guarded([&] {
        NSDataPtr report = liveReport();
        if (auto front = session()) front->recordErrorMessageErrorLiveReport(errorID.string(), message.string(), error, report);
    });
}

void Vuderu::logPageView() {
    VuderuUtil::guarded([] {
        if (auto front = session()) front->maybeIncrementPageView();
    });
}

void Vuderu::logAllPageViews(const std::shared_ptr<UIViewController>& target) {
    VuderuUtil::guarded([&] { VuderuPageViewDelegateOld::createDelegateOnTarget(target); });
}

void Vuderu::logAllPageViewsForTarget(const std::shared_ptr<UIViewController>& target) {
    VuderuUtil::guarded([&] { VuderuPageViewDelegate::createDelegateOnTarget(target); });
}

void Vuderu::stopLogPageViewsForTarget(const std::shared_ptr<UIViewController>& target) {
    VuderuPageViewDelegate::destroyDelegateOnTarget(target);
}
