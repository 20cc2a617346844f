// The facade's settings, user facts, life-cycle handlers and teardown.

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "sdk/analytics/Vuderu.h"
#include "sdk/analytics/VuderuFileCache.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuProtocolData.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

std::shared_ptr<VuderuImpl> facadeSettingsSession() { return VuderuSession::currentSession(); }

std::shared_ptr<VuderuGlobalVariableStorage> settings() { return VuderuGlobalVariableStorage::sharedInstance(); }

std::optional<std::string> optionalString(const Value& value) {
    return value.isString() ? std::optional<std::string>(value.string()) : std::nullopt;
}

} // namespace

// Defined with the start-up sequence: the token the life-cycle observers are registered under.
const std::shared_ptr<NSObject>& vuderuLifeCycleObserver();

void Vuderu::setUserID(const Value& userID) {
    VuderuUtil::guarded([&] {
        auto id = optionalString(userID);
        if (auto front = facadeSettingsSession()) front->setUserID(id);
        VuderuLog("Vuderu: setUserID[%@]", userID);
        settings()->setUserID(id);
    });
}

void Vuderu::setAge(int years) {
    VuderuUtil::guarded([&] {
        settings()->setAge(years);
        if (auto front = facadeSettingsSession()) front->setAgeInYears(years);
    });
}

void Vuderu::setGender(const Value& gender) {
    if (!gender.isString()) {
        VuderuLog("Vuderu: setGender failed -- gender must be of NSString type.");
        return;
    }
    VuderuUtil::guarded([&] {
        if (auto front = facadeSettingsSession()) front->setGenderAsString(gender.string());
        VuderuLog("Vuderu: setGender[%@]", gender);
        settings()->setGender(gender.string());
    });
}

void Vuderu::setEventLoggingEnabled(bool enabled) {
    VuderuUtil::guarded([&] {
        settings()->setEventLoggingEnabled(enabled);
        if (auto front = facadeSettingsSession()) front->setEventLoggingEnabled(enabled);
    });
}

void Vuderu::setSessionReportsOnCloseEnabled(bool enabled) {
    VuderuUtil::guarded([&] {
        settings()->setSessionReportsOnCloseEnabled(enabled);
        if (auto front = facadeSettingsSession()) front->setSessionReportsOnCloseEnabled(enabled);
    });
}

void Vuderu::setSessionReportsOnPauseEnabled(bool enabled) {
    VuderuUtil::guarded([&] {
        settings()->setSessionReportsOnPauseEnabled(enabled);
        if (auto front = facadeSettingsSession()) front->setSessionReportsOnPauseEnabled(enabled);
    });
}

void Vuderu::setCrashReportingEnabled(bool enabled) {
    if (auto front = facadeSettingsSession()) front->setCrashReportingEnabled(enabled);
    settings()->setCrashReportingEnabled(enabled);
}

void Vuderu::setBackgroundSessionEnabled(bool enabled) {
    VuderuUtil::guarded([&] {
        VuderuLog("Vuderu: Background session enabled[%d]", static_cast<int>(enabled));
        settings()->setBackgroundSessionEnabled(enabled);
    });
}

void Vuderu::setServerURL(const Value& url) {
    VuderuUtil::guarded([&] { VuderuNetworkUtil::setServerURL(url.stringValue()); });
}
void Vuderu::setAppCloudServerToStaging(bool staging) {
    VuderuUtil::guarded([&] { VuderuNetworkUtil::setAppCloudServerToStaging(staging); });
}
void Vuderu::setSecureTransportEnabled(bool enabled) {
    VuderuUtil::guarded([&] { VuderuNetworkUtil::setSecureTransportEnabled(enabled); });
}
void Vuderu::setShowErrorInLogEnabled(bool enabled) { VuderuUtil::setShowErrorInLogEnabled(enabled); }

void Vuderu::setVuderuOptOut(bool optOut) {
    bool wasOptedOut = VuderuUtil::hasUserOptedOut();
    VuderuUtil::setVuderuOptOut(optOut);
    if (wasOptedOut || !optOut) return;
    settings()->setOptOutSessionPending(true);
    if (auto front = facadeSettingsSession()) front->endSessionAsync();
}

bool Vuderu::hasUserOptedOut() { return VuderuUtil::hasUserOptedOut(); }

void Vuderu::endSession() {
    VuderuUtil::guarded([] {
        if (auto front = facadeSettingsSession()) front->endSession();
    });
}

void Vuderu::pauseSession() {
    VuderuUtil::guarded([] {
        settings()->setPauseTime(NSDate::date());
        if (auto front = facadeSettingsSession()) front->pauseSession();
    });
}

void Vuderu::pauseBackgroundSession() {
    if (VuderuUtil::getSystemVersionAsAnInteger() >= VuderuUtil::kSystemVersionDispatch &&
        UIApplication::sharedApplication()->applicationState() != UIApplicationStateBackground) {
        return;
    }
    pauseSession();
}

void Vuderu::applicationWillResignActive() {
    if (!settings()->backgroundSessionEnabled()) pauseSession();
}

void Vuderu::applicationWillEnterForeground() {
    VuderuUtil::guarded([] {
        if (auto front = facadeSettingsSession()) front->markSessionAsResuming();
    });
}

void Vuderu::applicationDidBecomeActive() {
    VuderuUtil::guarded([] {
        auto store = settings();
        std::int64_t elapsed = VuderuProtocolData::timeIntervalFromTo(store->pauseTime(), NSDate::date());
        // In 64 bits: any setting, however large, compares as the seconds it names.
        std::int64_t allowed = static_cast<std::int64_t>(store->pauseSecondsBeforeStartingNewSession()) * 1000;
        if (allowed < elapsed) {
            createAndSendSession();
        } else if (auto front = facadeSettingsSession()) {
            front->resumeSession();
        }
    });
}

void Vuderu::shutdown() {
    NSNotificationCenter::defaultCenter()->removeObserver(vuderuLifeCycleObserver());
    VuderuSession::cleanup();
    VuderuFileCache::cleanup();
    VuderuGlobalVariableStorage::cleanup();
}
