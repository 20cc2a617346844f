#pragma once
// The events and errors of one analytics session and the rules that decide what is kept: the
// session owns one and hands it its event and error calls, its switches and its pause state.
// Its archive form uses the session's keys ("eventCounts", "eventLog", "pendingEventLog",
// "eventLogComplete", "errors", "totalErrorCount") inside the session's own archive.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSObject.h"
#include "sdk/analytics/VuderuError.h"
#include "sdk/analytics/VuderuEvent.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class VuderuEventLog : public NSObject {
public:
    using EventList = std::vector<std::shared_ptr<VuderuEvent>>;

    VuderuEventLog() = default;
    // The session's fields from its archive; a session read back has every switch off.
    explicit VuderuEventLog(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const;

    // The session's state that the rules read.
    void setPaused(bool paused) { paused_ = paused; }
    void setEventLoggingEnabled(bool enabled) { eventLoggingEnabled_ = enabled; }
    void setCrashReportingEnabled(bool enabled) { crashReportingEnabled_ = enabled; }
    // The session's saveToDisk, called after every recorded error.
    void setSaveToDisk(std::function<void()> save) { saveToDisk_ = std::move(save); }

    void recordEventWithParameters(const std::string& name, const Value& parameters);
    void recordEventWithParametersTimed(const std::string& name, const Value& parameters, bool timed);
    void endTimedEventWithParameters(const std::string& name, const Value& parameters);
    // At every finish of the session: open timed events, and those ended automatically before,
    // end at the session's end time.
    void endTimedEvents(const std::shared_ptr<NSDate>& endTime);
    void putEventIntoLog(const std::shared_ptr<VuderuEvent>& event);
    void mergePendingEventLog();
    // Empties the pending list and hands over what it held (to a new session).
    EventList takePendingEventLog();
    // Places the pending events that started before the app came back; the others stay.
    void mergeValidPendingEventLog(const std::shared_ptr<NSDate>& resumeTime);

    // exception may be null ("nil").
    void recordErrorMessageExceptionLiveReport(const std::string& errorString, const std::string& message,
                                               const NSException* exception, const NSDataPtr& liveReport);
    void recordErrorMessageErrorLiveReport(const std::string& errorString, const std::string& message, const NSErrorPtr& error,
                                           const NSDataPtr& liveReport);
    void recordErrorMessageExceptionStringErrorTypeLiveReport(const std::string& errorString, const std::string& message,
                                                              const std::string& exceptionString, std::int32_t errorType,
                                                              const NSDataPtr& liveReport);

    const std::map<std::string, int>& eventCounts() const { return eventCounts_; }
    const EventList& eventLog() const { return eventLog_; }
    const EventList& pendingEventLog() const { return pendingEventLog_; }
    bool eventLogComplete() const { return eventLogComplete_; }
    const std::vector<std::shared_ptr<VuderuError>>& errors() const { return errors_; }
    std::int32_t totalErrorCount() const { return totalErrorCount_; }

private:
    std::map<std::string, int> eventCounts_;
    EventList eventLog_;
    EventList pendingEventLog_;
    bool eventLogComplete_ = true;
    std::vector<std::shared_ptr<VuderuError>> errors_;
    std::int32_t totalErrorCount_ = 0;

    bool paused_ = false;
    bool eventLoggingEnabled_ = false;
    bool crashReportingEnabled_ = false;
    std::function<void()> saveToDisk_;
};
