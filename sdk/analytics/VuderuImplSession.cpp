// The session front's hand-over of session operations to its queue.

#include "platform/uikit/UIApplication.h"
#include "sdk/analytics/VuderuAutoIncrement.h"
#include "sdk/analytics/VuderuDataSender.h"
#include "sdk/analytics/VuderuImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuSession.h"

#include <atomic>

void VuderuImpl::async(std::function<void(VuderuSession&)> work) {
    auto run = [self = self<VuderuImpl>(), work = std::move(work)] {
        if (self->session_) work(*self->session_);
    };
    if (queue_) {
        dispatch_async(queue_, run);
    } else {
        run();
    }
}

void VuderuImpl::sync(const std::function<void(VuderuSession&)>& work) const {
    auto run = [this, &work] {
        if (session_) work(*session_);
    };
    if (queue_) {
        dispatch_sync(queue_, run);
    } else {
        run();
    }
}

void VuderuImpl::setupForApiKey(const std::optional<std::string>& apiKey) {
    std::shared_ptr<NSDate> startTime = NSDate::date();
    {
        MutexLock lock(lock_);
        apiKey_ = apiKey.value_or("");
        startTime_ = startTime;
    }
    auto replace = [self = self<VuderuImpl>(), apiKey, startTime, queued = queue_ != nullptr] {
        if (queued) VuderuAutoIncrement::instance()->resetAll();
        if (auto old = self->session_) {
            old->archiveSession();
            self->session_ = !apiKey ? nullptr
                             : queued ? old->sessionWithNewEventsWithApiKeyStartTime(*apiKey, startTime)
                                      : VuderuSession::sessionWithApiKeyStartTime(*apiKey, startTime);
        } else if (apiKey) {
            self->session_ = VuderuSession::sessionWithApiKeyStartTime(*apiKey, startTime);
        }
    };
    if (!queue_) {
        VuderuAutoIncrement::instance()->resetAll();
        replace();
        return;
    }
    // The sender may have been set up before any key was known; it sets up for this one.
    dispatch_async(queue_, [replace] {
        VuderuDataSender::setupForCurrentKeyIfNeeded();
        replace();
    });
}

void VuderuImpl::setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude, float horizontal,
                                                                        float vertical) {
    async([=](VuderuSession& s) { s.setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(latitude, longitude, horizontal, vertical); });
}
void VuderuImpl::setEventLoggingEnabled(bool enabled) {
    async([=](VuderuSession& s) { s.setEventLoggingEnabled(enabled); });
}
void VuderuImpl::setUserID(const std::optional<std::string>& userID) {
    async([=](VuderuSession& s) { s.setUserID(userID); });
}
void VuderuImpl::setSessionReportsOnCloseEnabled(bool enabled) {
    async([=](VuderuSession& s) { s.setSessionReportsOnCloseEnabled(enabled); });
}
void VuderuImpl::setSessionReportsOnPauseEnabled(bool enabled) {
    async([=](VuderuSession& s) { s.setSessionReportsOnPauseEnabled(enabled); });
}
void VuderuImpl::setCrashReportingEnabled(bool enabled) {
    async([=](VuderuSession& s) { s.setCrashReportingEnabled(enabled); });
}
void VuderuImpl::maybeIncrementPageView() {
    async([](VuderuSession& s) { s.maybeIncrementPageView(); });
}
void VuderuImpl::setGenderAsString(const std::optional<std::string>& gender) {
    async([=](VuderuSession& s) { s.setGenderAsString(gender); });
}
void VuderuImpl::setAgeInYears(int years) {
    async([=](VuderuSession& s) { s.setAgeInYears(years); });
}
void VuderuImpl::recordEventWithParameters(const std::string& name, const Value& parameters) {
    async([=](VuderuSession& s) { s.recordEventWithParameters(name, parameters); });
}
void VuderuImpl::recordEventWithParametersTimed(const std::string& name, const Value& parameters, bool timed) {
    async([=](VuderuSession& s) { s.recordEventWithParametersTimed(name, parameters, timed); });
}
void VuderuImpl::endTimedEventWithParameters(const std::string& name, const Value& parameters) {
    async([=](VuderuSession& s) { s.endTimedEventWithParameters(name, parameters); });
}
void VuderuImpl::recordErrorMessageExceptionLiveReport(const std::string& errorString, const std::string& message,
                                                       const std::optional<NSException>& exception, const NSDataPtr& liveReport) {
    async([=](VuderuSession& s) {
        s.recordErrorMessageExceptionLiveReport(errorString, message, exception ? &*exception : nullptr, liveReport);
    });
}
void VuderuImpl::recordErrorMessageErrorLiveReport(const std::string& errorString, const std::string& message, const NSErrorPtr& error,
                                                   const NSDataPtr& liveReport) {
    async([=](VuderuSession& s) { s.recordErrorMessageErrorLiveReport(errorString, message, error, liveReport); });
}
void VuderuImpl::recordErrorMessageExceptionStringErrorTypeLiveReport(const std::string& errorString, const std::string& message,
                                                                      const std::string& exceptionString, std::int32_t errorType,
                                                                      const NSDataPtr& liveReport) {
    async([=](VuderuSession& s) {
        s.recordErrorMessageExceptionStringErrorTypeLiveReport(errorString, message, exceptionString, errorType, liveReport);
    });
}
void VuderuImpl::recordPurchaseItem(const Value& item) {
    async([=](VuderuSession& s) { s.recordPurchaseItem(item); });
}

void VuderuImpl::pauseSession() {
    if (!queue_) {
        async([](VuderuSession& s) { s.pauseSession(); });
        return;
    }
    // The task ends once, by whichever comes first: the recorded pause or the platform's deadline.
    auto task = std::make_shared<std::atomic<UIBackgroundTaskIdentifier>>(UIBackgroundTaskInvalid);
    auto end = [task] {
        UIBackgroundTaskIdentifier identifier = task->exchange(UIBackgroundTaskInvalid);
        if (identifier != UIBackgroundTaskInvalid) UIApplication::sharedApplication()->endBackgroundTask(identifier);
    };
    if (isBackgroundSupported_) {
        task->store(UIApplication::sharedApplication()->beginBackgroundTaskWithExpirationHandler([end] {
            VuderuLog("Vuderu: Session suspend expiration handler reached");
            end();
        }));
    }
    dispatch_async(queue_, [self = self<VuderuImpl>(), end] {
        if (self->session_) self->session_->pauseSession();
        end();
    });
}

void VuderuImpl::markSessionAsResuming() {
    async([](VuderuSession& s) { s.markSessionAsResuming(); });
}
void VuderuImpl::resumeSession() {
    async([](VuderuSession& s) { s.resumeSession(); });
}
void VuderuImpl::endSessionAsync() {
    async([](VuderuSession& s) { s.endSession(); });
}
void VuderuImpl::endSession() {
    sync([](VuderuSession& s) { s.endSession(); });
}
void VuderuImpl::sendSessionsToServerForCreateSession() {
    async([](VuderuSession& s) { s.sendSessionsToServerForCreateSession(); });
}

double VuderuImpl::latitude() const {
    double value = 0;
    sync([&](VuderuSession& s) { value = s.latitude(); });
    return value;
}
double VuderuImpl::longitude() const {
    double value = 0;
    sync([&](VuderuSession& s) { value = s.longitude(); });
    return value;
}
double VuderuImpl::accuracy() const {
    double value = 0;
    sync([&](VuderuSession& s) { value = s.accuracy(); });
    return value;
}
int VuderuImpl::gender() const {
    int value = 0;
    sync([&](VuderuSession& s) { value = s.gender(); });
    return value;
}
std::shared_ptr<NSDate> VuderuImpl::age() const {
    std::shared_ptr<NSDate> value;
    sync([&](VuderuSession& s) { value = s.age(); });
    return value;
}
int VuderuImpl::pageViewCount() const {
    int value = 0;
    sync([&](VuderuSession& s) { value = s.pageViewCount(); });
    return value;
}
std::shared_ptr<NSDate> VuderuImpl::pauseTime() const {
    std::shared_ptr<NSDate> value;
    sync([&](VuderuSession& s) { value = s.pauseTime(); });
    return value;
}

std::shared_ptr<VuderuSession> VuderuImpl::session() const {
    std::shared_ptr<VuderuSession> value;
    sync([&](VuderuSession& s) { value = s.self<VuderuSession>(); });
    return value;
}
