#include "sdk/analytics/VuderuSession.h"

#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSLocale.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimeZone.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuProtocolData.h"
#include "sdk/analytics/VuderuSessionMeasurements.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cmath>
#include <unistd.h>

namespace {

constexpr int kMinAgeYears = 1;
constexpr int kMaxAgeYears = 150;
constexpr double kPageViewSpacingSeconds = 0.3;

const bool registeredVuderuSession = (NSKeyedUnarchiver::registerClass<VuderuSession>("VuderuSession"), true);

Value dateValue(const std::shared_ptr<NSDate>& date) { return date ? Value(date->value()) : Value(); }

} // namespace

VuderuSession::VuderuSession(std::string apiKey, std::string appVersion, std::shared_ptr<NSDate> startDate)
    : apiKey_(std::move(apiKey)), appVersion_(std::move(appVersion)), startTime_(std::move(startDate)), eventLoggingEnabled_(true),
      sessionReportsOnCloseEnabled_(true) {
    (void)registeredVuderuSession;
    processID_ = ::getpid();
    wireEventLog();
    resetSessionData();
    VuderuLog("VuderuSession: Initialized session from scratch with startTime[%@]", startTime_);
}

VuderuSession::VuderuSession(const NSCoder& coder)
    : apiKey_(coder.decodeObjectForKey("apiKey").stringValue()),
      appVersion_(coder.decodeObjectForKey("appVersion").stringValue()),
      startTime_(NSDate::fromValue(coder.decodeObjectForKey("startTime"))),
      endTime_(NSDate::fromValue(coder.decodeObjectForKey("endTime"))),
      pauseTime_(NSDate::fromValue(coder.decodeObjectForKey("pauseTime"))),
      totalPauseIntervalMillis_(coder.decodeInt64ForKey("pauseIntervalMillis")),
      events_(coder),
      latitude_(coder.decodeDoubleForKey("latitude")),
      longitude_(coder.decodeDoubleForKey("longitude")),
      accuracy_(coder.decodeFloatForKey("accuracy")),
      crashed_(coder.decodeBoolForKey("crashed")),
      processID_(coder.decodeInt64ForKey("processID")),
      pageViewCount_(coder.decodeIntForKey("pageViewCount")),
      locale_(coder.decodeObjectForKey("locale").stringValue()),
      timeZone_(coder.decodeObjectForKey("timeZone").stringValue()),
      gender_(coder.decodeIntForKey("gender")),
      age_(NSDate::fromValue(coder.decodeObjectForKey("age"))),
      serializationVersion_(coder.decodeIntForKey("serializationVersion")) {
    Value params = coder.decodeObjectForKey("sessionParams");
    if (params.isDictionary()) {
        for (const auto& [key, value] : params.dictionary()) {
            if (value.isString()) sessionParams_[key] = value.stringValue();
        }
    }
    Value items = coder.decodeObjectForKey("purchaseItems");
    if (items.isArray()) purchaseItems_ = items.array();
    Value report = coder.decodeObjectForKey("crashReportData");
    if (report.isData()) crashReportData_ = std::make_shared<NSData>(report.data());
    Value userID = coder.decodeObjectForKey("userID");
    if (userID.isString()) userID_ = userID.stringValue();
    wireEventLog();
}

void VuderuSession::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObjectForKey(Value(apiKey_), "apiKey");
    coder.encodeObjectForKey(Value(appVersion_), "appVersion");
    coder.encodeObjectForKey(dateValue(startTime_), "startTime");
    if (endTime_) coder.encodeObjectForKey(dateValue(endTime_), "endTime");
    if (pauseTime_) coder.encodeObjectForKey(dateValue(pauseTime_), "pauseTime");
    coder.encodeInt64ForKey(totalPauseIntervalMillis_, "pauseIntervalMillis");
    Value::Dictionary params;
    for (const auto& [key, value] : sessionParams_) params[key] = Value(value);
    coder.encodeObjectForKey(Value(std::move(params)), "sessionParams");
    events_.encodeWithCoder(coder);
    coder.encodeObjectForKey(Value(purchaseItems_), "purchaseItems");
    coder.encodeDoubleForKey(latitude_, "latitude");
    coder.encodeDoubleForKey(longitude_, "longitude");
    coder.encodeFloatForKey(accuracy_, "accuracy");
    coder.encodeBoolForKey(crashed_, "crashed");
    if (crashReportData_) coder.encodeObjectForKey(Value(crashReportData_->vector()), "crashReportData");
    coder.encodeInt64ForKey(processID_, "processID");
    coder.encodeObjectForKey(Value(userID()), "userID");
    coder.encodeIntForKey(pageViewCount_, "pageViewCount");
    coder.encodeObjectForKey(Value(locale_), "locale");
    coder.encodeObjectForKey(Value(timeZone_), "timeZone");
    coder.encodeIntForKey(gender_, "gender");
    if (age_) coder.encodeObjectForKey(dateValue(age_), "age");
    coder.encodeIntForKey(kSerializationVersion, "serializationVersion");
}

std::shared_ptr<VuderuSession> VuderuSession::fromArchive(const Value& archived) {
    (void)registeredVuderuSession;
    auto session = archived.objectAs<VuderuSession>();
    if (!session) return nullptr;
    // Version 2 and archives that carry no version are read; any other version is not ours.
    if (session->serializationVersion_ != 0 && session->serializationVersion_ != kSerializationVersion) return nullptr;
    return session;
}

void VuderuSession::wireEventLog() {
    events_.setPaused(isPaused());
    events_.setEventLoggingEnabled(eventLoggingEnabled_);
    events_.setCrashReportingEnabled(crashReportingEnabled_);
    events_.setSaveToDisk([this] { saveToDisk(); });
}

void VuderuSession::resetSessionData() {
    endTime_.reset();
    totalPauseIntervalMillis_ = 0;
    sessionParams_.clear();
    purchaseItems_.clear();
    latitude_ = longitude_ = 0;
    accuracy_ = 0;
    crashed_ = false;
    gender_ = -1;
    age_.reset();
    pageViewCount_ = 0;
    locale_ = NSLocale::currentLocaleIdentifier();
    timeZone_ = NSTimeZone::localTimeZone()->name();
    VuderuSessionMeasurements::getSessionParametersAtPhase(VuderuSessionMeasurements::kPhaseStart, sessionParams_);
}

// ---- Life cycle

std::shared_ptr<VuderuSession> VuderuSession::sessionWithNewEventsWithApiKeyStartTime(const std::string& apiKey,
                                                                                      const std::shared_ptr<NSDate>& startTime) {
    auto session = sessionWithApiKeyStartTime(apiKey, startTime);
    for (const auto& event : events_.takePendingEventLog()) {
        event->updateID();
        session->events_.putEventIntoLog(event);
        if (event->started() && session->startTime_ &&
            event->started()->timeIntervalSince1970() < session->startTime_->timeIntervalSince1970()) {
            session->startTime_ = event->started();
        }
    }
    return session;
}

void VuderuSession::finishSession() {
    endTime_ = NSDate::date();
    VuderuLog("VuderuSession: Finish session with endTime[%@]", endTime_);
    events_.endTimedEvents(endTime_);
    VuderuSessionMeasurements::getSessionParametersAtPhase(VuderuSessionMeasurements::kPhaseEnd, sessionParams_);
}

void VuderuSession::pauseSession() {
    VuderuUtil::assertThreadIsNotMain();
    pauseTime_ = NSDate::date();
    events_.setPaused(true);
    VuderuLog("VuderuSession: Pause session with pauseTime[%@]", pauseTime_);
    finishSession();
    if (sessionReportsOnPauseEnabled_) {
        sendSessionsToServerIncludingCurrentSession(true);
        removeCurrentSessionFile();
    } else {
        saveToDisk();
    }
    VuderuGlobalVariableStorage::sharedInstance()->savePersistentGlobalsToDisk();
}

void VuderuSession::markSessionAsResuming() { resumeTime_ = isPaused() ? NSDate::date() : nullptr; }

void VuderuSession::resumeSession() {
    if (!isPaused()) return;
    auto now = NSDate::date();
    totalPauseIntervalMillis_ += VuderuProtocolData::timeIntervalFromTo(pauseTime_, now);
    pauseTime_.reset();
    resumeTime_.reset();
    events_.setPaused(false);
    events_.mergePendingEventLog();
    saveToDisk();
    VuderuLog("VuderuSession: Resume session with resumeTime[%@]", now);
}

void VuderuSession::archiveSession() {
    events_.mergeValidPendingEventLog(resumeTime_);
    // A session reported at its pause that holds no events adds nothing; the saved sessions
    // stay as they are, since they may hold records the pause-time report did not carry.
    if (!sessionReportsOnPauseEnabled_ || !events_.eventLog().empty()) addToSavedSessions(*this);
    resumeTime_.reset();
    removeCurrentSessionFile();
}

void VuderuSession::endSession() {
    finishSession();
    // A session its own report carries is not saved again: the sender keeps that report until
    // it is accepted, and a saved copy would reach the server once more with the next report.
    if (!sessionReportsOnCloseEnabled_ || !sendSessionsToServerIncludingCurrentSession(true)) addToSavedSessions(*this);
    removeCurrentSessionFile();
    VuderuGlobalVariableStorage::sharedInstance()->savePersistentGlobalsToDisk();
}

// ---- Switches

void VuderuSession::setEventLoggingEnabled(bool enabled) {
    eventLoggingEnabled_ = enabled;
    events_.setEventLoggingEnabled(enabled);
    VuderuLog("VuderuSession: Event logging enabled[%d]", static_cast<int>(enabled));
}

void VuderuSession::setSessionReportsOnCloseEnabled(bool enabled) {
    sessionReportsOnCloseEnabled_ = enabled;
    VuderuLog("VuderuSession: Session reports on close enabled[%d]", static_cast<int>(enabled));
}

void VuderuSession::setSessionReportsOnPauseEnabled(bool enabled) {
    sessionReportsOnPauseEnabled_ = enabled;
    VuderuLog("VuderuSession: Session reports on pause enabled[%d]", static_cast<int>(enabled));
}

void VuderuSession::setCrashReportingEnabled(bool enabled) {
    crashReportingEnabled_ = enabled;
    events_.setCrashReportingEnabled(enabled);
    VuderuLog("VuderuSession: Crash reporting enabled[%d]", static_cast<int>(enabled));
}

// ---- Facts

double VuderuSession::reduceLocationPrecision(double value) {
    return static_cast<double>(VuderuUtil::int32FromDouble(value * 1000.0)) / 1000.0;
}

void VuderuSession::setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude, float horizontal,
                                                                           float vertical) {
    latitude_ = reduceLocationPrecision(latitude);
    longitude_ = reduceLocationPrecision(longitude);
    accuracy_ = static_cast<float>(reduceLocationPrecision((std::fabs(horizontal) + std::fabs(vertical)) * 0.5));
    VuderuLog("VuderuSession: New location set with lat[%f] long[%f] accuracy[%f]", latitude_, longitude_, static_cast<double>(accuracy_));
    saveToDisk();
}

void VuderuSession::setUserID(const std::optional<std::string>& userID) {
    VuderuLog("VuderuSession: Set userID[%@]", userID.value_or(""));
    userID_ = userID;
}

void VuderuSession::setGenderAsString(const std::optional<std::string>& gender) {
    gender_ = gender == "m" ? 1 : gender == "f" ? 0 : -1;
    VuderuLog("VuderuSession: given gender [%@], _gender = [%d]", gender.value_or(""), gender_);
}

void VuderuSession::setAgeInYears(int years) {
    if (years < kMinAgeYears || years > kMaxAgeYears) return;
    auto calendar = NSCalendar::currentCalendar();
    auto now = calendar->componentsFromDate(NSCalendarUnitYear, NSDate::date());
    NSDateComponents birth;
    birth.setYear(now->year() - years);
    birth.setMonth(1);
    birth.setDay(1);
    if (auto date = calendar->dateFromComponents(birth)) age_ = date;
    VuderuLog("VuderuSession: set age to [%@]", age_);
}

void VuderuSession::maybeIncrementPageView() {
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    auto last = storage->lastPageViewDate();
    auto now = NSDate::date();
    if (last && now->timeIntervalSinceDate(*last) <= kPageViewSpacingSeconds) return;
    ++pageViewCount_;
    storage->setLastPageViewDate(now);
}

void VuderuSession::recordPurchaseItem(const Value& item) {
    if (item.isNull()) return;
    purchaseItems_.push_back(item);
    saveToDisk();
}

// ---- Events and errors

void VuderuSession::recordEventWithParameters(const std::string& name, const Value& parameters) {
    events_.recordEventWithParameters(name, parameters);
}

void VuderuSession::recordEventWithParametersTimed(const std::string& name, const Value& parameters, bool timed) {
    events_.recordEventWithParametersTimed(name, parameters, timed);
}

void VuderuSession::endTimedEventWithParameters(const std::string& name, const Value& parameters) {
    events_.endTimedEventWithParameters(name, parameters);
}

void VuderuSession::recordErrorMessageExceptionLiveReport(const std::string& errorString, const std::string& message,
                                                          const NSException* exception, const NSDataPtr& liveReport) {
    events_.recordErrorMessageExceptionLiveReport(errorString, message, exception, liveReport);
}

void VuderuSession::recordErrorMessageErrorLiveReport(const std::string& errorString, const std::string& message,
                                                      const NSErrorPtr& error, const NSDataPtr& liveReport) {
    events_.recordErrorMessageErrorLiveReport(errorString, message, error, liveReport);
}

void VuderuSession::recordErrorMessageExceptionStringErrorTypeLiveReport(const std::string& errorString, const std::string& message,
                                                                         const std::string& exceptionString, std::int32_t errorType,
                                                                         const NSDataPtr& liveReport) {
    events_.recordErrorMessageExceptionStringErrorTypeLiveReport(errorString, message, exceptionString, errorType, liveReport);
}

std::int64_t VuderuSession::sessionLength() const {
    return endTime_ ? VuderuProtocolData::timeIntervalFromTo(startTime_, endTime_) : -1;
}

std::int64_t VuderuSession::timeIntervalSinceSessionStart(const std::shared_ptr<NSDate>& date) const {
    return VuderuProtocolData::timeIntervalFromTo(startTime_, date);
}

std::string VuderuSession::getAgentVersion() { return NSString::stringWithFormat("%d", kAgentVersion); }

std::string VuderuSession::getAgentVersionWithBuild() {
    return NSString::stringWithFormat("Vuderu_iOS_%d_%d.%d.%d%s%s", kAgentVersion, 5, 1, 0, "", "");
}
