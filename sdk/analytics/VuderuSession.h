#pragma once
// One analytics session: the span of one launch (or of the app's return after a long absence)
// with its events, errors, page views, location, user facts and device measurements. It keeps
// itself in the current-session file so that a run cut short is reported at the next launch,
// encodes itself into the binary report and decides when reports go to the sender.
//
// Every instance method runs on the session front's queue.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "sdk/analytics/VuderuEventLog.h"

#include <cstdint>
#include <map>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class VuderuImpl;

class VuderuSession : public NSObject, public NSCoding {
public:
    static constexpr std::int32_t kSerializationVersion = 2;
    static constexpr int kDefaultMaxSessions = 50;
    static constexpr int kAgentVersion = 137;

    // initWithAPIKey:appVersion:startDate: — a fresh session; whoever makes it writes it to its
    // file (saveToDisk) once it is owned.
    VuderuSession(std::string apiKey, std::string appVersion, std::shared_ptr<NSDate> startDate);
    // initWithCoder: — every switch off; use fromArchive to honour the archive's version.
    explicit VuderuSession(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    // The session an archive holds, nil when it holds none or one of another version.
    static std::shared_ptr<VuderuSession> fromArchive(const Value& archived);

    // ---- The current session object: the session front, once set up for a key.
    static void setupCurrentSessionWithKey(const std::optional<std::string>& apiKey);
    static std::shared_ptr<VuderuImpl> currentSession();
    // Drains and drops the front, forgets it, and drops the report sender.
    static void cleanup();

    // ---- Files and saved sessions (class level)
    // A new session; a session left in the current-session file goes to the saved sessions first.
    static std::shared_ptr<VuderuSession> sessionWithApiKeyStartTime(const std::string& apiKey, const std::shared_ptr<NSDate>& startTime);
    static Value::Array savedSessions();
    static void setSavedSessions(const Value::Array& sessions);
    static void addToSavedSessions(VuderuSession& session);
    static Value::Array removeOldSessionsIfNecessary(Value::Array sessions);
    static void setMaxSessions(int maxSessions);
    static int maxSessions();
    static std::string sessionsFilePath();
    static std::string currentSessionFilePath();
    static void removeCurrentSessionFile();
    // Called after each file step of the set-up and of storing a report, so that a test can end
    // the process there (nothing is called by default).
    static void setFileStepObserverForTesting(std::function<void()> observer);
    static void fileStepDone();
    // The value cut to three decimals toward zero; saturating, NaN giving 0.
    static double reduceLocationPrecision(double value);
    static std::string getAgentVersion();
    static std::string getAgentVersionWithBuild();

    // ---- Life cycle
    std::shared_ptr<VuderuSession> sessionWithNewEventsWithApiKeyStartTime(const std::string& apiKey, const std::shared_ptr<NSDate>& startTime);
    void pauseSession();
    void markSessionAsResuming();
    void resumeSession();
    void archiveSession();
    void endSession();
    void finishSession();
    bool isPaused() const { return pauseTime_ != nullptr; }
    void saveToDisk();

    // ---- Switches
    void setEventLoggingEnabled(bool enabled);
    void setSessionReportsOnCloseEnabled(bool enabled);
    void setSessionReportsOnPauseEnabled(bool enabled);
    void setCrashReportingEnabled(bool enabled);

    // ---- Facts
    void setLatitudeLongitudeHorizontalAccuracyVerticalAccuracy(double latitude, double longitude, float horizontal, float vertical);
    void setUserID(const std::optional<std::string>& userID);
    void setGenderAsString(const std::optional<std::string>& gender);
    void setAgeInYears(int years);
    void maybeIncrementPageView();
    void recordPurchaseItem(const Value& item);

    // ---- Events and errors (the rules live in the event log)
    VuderuEventLog& events() { return events_; }
    const VuderuEventLog& events() const { return events_; }
    void recordEventWithParameters(const std::string& name, const Value& parameters);
    void recordEventWithParametersTimed(const std::string& name, const Value& parameters, bool timed);
    void endTimedEventWithParameters(const std::string& name, const Value& parameters);
    void recordErrorMessageExceptionLiveReport(const std::string& errorString, const std::string& message,
                                               const NSException* exception, const NSDataPtr& liveReport);
    void recordErrorMessageErrorLiveReport(const std::string& errorString, const std::string& message, const NSErrorPtr& error,
                                           const NSDataPtr& liveReport);
    void recordErrorMessageExceptionStringErrorTypeLiveReport(const std::string& errorString, const std::string& message,
                                                              const std::string& exceptionString, std::int32_t errorType,
                                                              const NSDataPtr& liveReport);

    // ---- Reports
    void sendSessionsToServerForCreateSession() { sendSessionsToServerIncludingCurrentSession(false); }
    // YES when a report was handed to the sender (which then keeps it until it is accepted).
    bool sendSessionsToServerIncludingCurrentSession(bool includeCurrent);
    // The session record; nil when the session cannot be written.
    NSDataPtr data();
    // The whole report around the records of the list (VuderuSession objects or record data).
    NSDataPtr dataForSessions(const Value::Array& sessions);
    // Whether bytes are a whole report as dataForSessions writes it: the report header first and,
    // last, the checksum of everything before it.
    static bool isReportData(const NSData& data);
    // 0 not tracked, 1 new or changed since the last report, 2 unchanged.
    static int updateIfTrackedAndChangedPropertyValueForPropertyKey(const std::string& value, const std::string& key);
    std::shared_ptr<NSDate> initialTimestamp() const;
    bool sentReportSuccessful() const;
    std::int64_t sessionLength() const;
    std::int64_t timeIntervalSinceSessionStart(const std::shared_ptr<NSDate>& date) const;

    // ---- Properties
    const std::string& apiKey() const { return apiKey_; }
    const std::string& appVersion() const { return appVersion_; }
    const std::shared_ptr<NSDate>& startTime() const { return startTime_; }
    const std::shared_ptr<NSDate>& endTime() const { return endTime_; }
    const std::shared_ptr<NSDate>& pauseTime() const { return pauseTime_; }
    const std::shared_ptr<NSDate>& resumeTime() const { return resumeTime_; }
    std::int64_t totalPauseIntervalMillis() const { return totalPauseIntervalMillis_; }
    const std::map<std::string, std::string>& sessionParams() const { return sessionParams_; }
    double latitude() const { return latitude_; }
    double longitude() const { return longitude_; }
    float accuracy() const { return accuracy_; }
    bool crashed() const { return crashed_; }
    void setCrashed(bool crashed) { crashed_ = crashed; }
    const NSDataPtr& crashReportData() const { return crashReportData_; }
    // The process that made the session (kept in its archive, not in its report record); 0 for an
    // archive written before it was kept.
    std::int64_t processID() const { return processID_; }
    void setCrashReportData(NSDataPtr data) { crashReportData_ = std::move(data); }
    std::string userID() const { return userID_.value_or(""); }
    std::int32_t pageViewCount() const { return pageViewCount_; }
    const std::string& locale() const { return locale_; }
    const std::string& timeZone() const { return timeZone_; }
    std::int32_t gender() const { return gender_; }
    const std::shared_ptr<NSDate>& age() const { return age_; }
    std::int32_t serializationVersion() const { return serializationVersion_; }
    const Value::Array& purchaseItems() const { return purchaseItems_; }
    bool eventLoggingEnabled() const { return eventLoggingEnabled_; }
    bool sessionReportsOnCloseEnabled() const { return sessionReportsOnCloseEnabled_; }
    bool sessionReportsOnPauseEnabled() const { return sessionReportsOnPauseEnabled_; }
    bool crashReportingEnabled() const { return crashReportingEnabled_; }

private:
    void resetSessionData();
    void wireEventLog();
    void setStartTime(std::shared_ptr<NSDate> startTime) { startTime_ = std::move(startTime); }
    void appendFacts(NSMutableData& data);

    std::string apiKey_;
    std::string appVersion_;
    std::shared_ptr<NSDate> startTime_;
    std::shared_ptr<NSDate> endTime_;
    std::shared_ptr<NSDate> pauseTime_;
    std::shared_ptr<NSDate> resumeTime_;
    std::int64_t totalPauseIntervalMillis_ = 0;
    std::map<std::string, std::string> sessionParams_;
    VuderuEventLog events_;
    Value::Array purchaseItems_;
    double latitude_ = 0;
    double longitude_ = 0;
    float accuracy_ = 0;
    bool crashed_ = false;
    NSDataPtr crashReportData_;
    std::int64_t processID_ = 0;
    std::optional<std::string> userID_;
    std::int32_t pageViewCount_ = 0;
    std::string locale_;
    std::string timeZone_;
    std::int32_t gender_ = -1;
    std::shared_ptr<NSDate> age_;
    std::int32_t serializationVersion_ = 0;
    bool eventLoggingEnabled_ = false;
    bool sessionReportsOnCloseEnabled_ = false;
    bool sessionReportsOnPauseEnabled_ = false;
    bool crashReportingEnabled_ = false;
};
