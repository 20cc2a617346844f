#include "sdk/analytics/VuderuEventLog.h"

#include "platform/foundation/NSString.h"
#include "sdk/analytics/VuderuConstants.h"
#include "sdk/analytics/VuderuLog.h"

#include <limits>

namespace {

template <class T>
std::vector<std::shared_ptr<T>> objectsOf(const Value& array) {
    std::vector<std::shared_ptr<T>> out;
    if (!array.isArray()) return out;
    for (const Value& v : array.array()) {
        if (auto object = v.objectAs<T>()) out.push_back(std::move(object));
    }
    return out;
}

template <class T>
Value::Array valuesOf(const std::vector<std::shared_ptr<T>>& objects) {
    Value::Array out;
    for (const auto& object : objects) out.emplace_back(object);
    return out;
}

} // namespace

VuderuEventLog::VuderuEventLog(const NSCoder& coder)
    : eventLog_(objectsOf<VuderuEvent>(coder.decodeObjectForKey("eventLog"))),
      pendingEventLog_(objectsOf<VuderuEvent>(coder.decodeObjectForKey("pendingEventLog"))),
      eventLogComplete_(coder.decodeBoolForKey("eventLogComplete")),
      errors_(objectsOf<VuderuError>(coder.decodeObjectForKey("errors"))),
      totalErrorCount_(coder.decodeIntForKey("totalErrorCount")) {
    Value counts = coder.decodeObjectForKey("eventCounts");
    if (counts.isDictionary()) {
        for (const auto& [name, count] : counts.dictionary()) {
            eventCounts_[name] = VuderuUtil::int32FromNSInteger(count.integerValue());
        }
    }
}

void VuderuEventLog::encodeWithCoder(NSCoder& coder) const {
    Value::Dictionary counts;
    for (const auto& [name, count] : eventCounts_) counts[name] = Value(count);
    coder.encodeObjectForKey(Value(std::move(counts)), "eventCounts");
    coder.encodeObjectForKey(Value(valuesOf(eventLog_)), "eventLog");
    coder.encodeObjectForKey(Value(valuesOf(pendingEventLog_)), "pendingEventLog");
    coder.encodeBoolForKey(eventLogComplete_, "eventLogComplete");
    coder.encodeObjectForKey(Value(valuesOf(errors_)), "errors");
    coder.encodeIntForKey(totalErrorCount_, "totalErrorCount");
}

void VuderuEventLog::recordEventWithParameters(const std::string& name, const Value& parameters) {
    recordEventWithParametersTimed(name, parameters, false);
}

void VuderuEventLog::recordEventWithParametersTimed(const std::string& name, const Value& parameters, bool timed) {
    VuderuLog("VuderuSession: Attempting to record Event eventName[%@] with parameters[%@]", name, parameters);
    if (name.empty()) {
        eventLogComplete_ = false;
        VuderuLogAbove(0, "VuderuSession: Not logging Event eventName[%@] due to invalid eventName", name);
        return;
    }
    if (parameters.isDictionary() && parameters.dictionary().size() > static_cast<std::size_t>(MAX_EVENT_PARAMETERS)) {
        eventLogComplete_ = false;
        VuderuLogAbove(0,
                       "VuderuSession: Not logging Event eventName[%@] because event has more than %d parameters (max allowed "
                       "parameters).",
                       name, MAX_EVENT_PARAMETERS);
        return;
    }
    auto event = std::make_shared<VuderuEvent>(name, timed, parameters);
    if (paused_) {
        pendingEventLog_.push_back(event);
        VuderuLog("VuderuSession: Event log for eventName[%@] put to pending", name);
    } else {
        putEventIntoLog(event);
    }
}

void VuderuEventLog::putEventIntoLog(const std::shared_ptr<VuderuEvent>& event) {
    const std::string& name = event->name();
    auto counted = eventCounts_.find(name);
    if (counted == eventCounts_.end() && eventCounts_.size() >= static_cast<std::size_t>(MAX_EVENT_COUNTS)) {
        eventLogComplete_ = false;
        return;
    }
    int& count = eventCounts_[name];
    if (count < std::numeric_limits<int>::max()) ++count;
    VuderuLog("VuderuSession: Event count for eventName[%@] updated to count[%d]", name, count);
    if (eventLog_.size() < static_cast<std::size_t>(MAX_EVENT_LOG_COUNT) && eventLoggingEnabled_) {
        eventLog_.push_back(event);
        VuderuLog("VuderuSession: Recording event eventName[%@] with parameters[%@] complete", name, Value(event->parameters()));
    } else {
        eventLogComplete_ = false;
    }
}

void VuderuEventLog::endTimedEventWithParameters(const std::string& name, const Value& parameters) {
    auto now = NSDate::date();
    for (const EventList* list : {&eventLog_, &pendingEventLog_}) {
        for (const auto& event : *list) {
            if (event->isUnterminated() && event->name() == name) {
                event->setEnded(now);
                event->updateParameters(parameters);
                VuderuLog("VuderuSession: event named[%@] ended at %@", name, now);
                return;
            }
        }
    }
}

void VuderuEventLog::endTimedEvents(const std::shared_ptr<NSDate>& endTime) {
    VuderuLog("VuderuSession: ending all unterminated timed events with _endTime[%@]...", endTime);
    for (const EventList* list : {&eventLog_, &pendingEventLog_}) {
        for (const auto& event : *list) {
            if (event->isUnterminated() || event->automaticallyEnded()) {
                event->setEnded(endTime);
                event->setAutomaticallyEnded(true);
                VuderuLog("VuderuSession: forcefully terminated event named[%@]", event->name());
            }
        }
    }
    VuderuLog("VuderuSession: ...finished ending un-ended timed events.");
}

void VuderuEventLog::mergePendingEventLog() {
    EventList pending = std::move(pendingEventLog_);
    pendingEventLog_.clear();
    for (const auto& event : pending) putEventIntoLog(event);
}

VuderuEventLog::EventList VuderuEventLog::takePendingEventLog() {
    EventList pending = std::move(pendingEventLog_);
    pendingEventLog_.clear();
    return pending;
}

void VuderuEventLog::mergeValidPendingEventLog(const std::shared_ptr<NSDate>& resumeTime) {
    if (!resumeTime) return;
    EventList stay;
    EventList pending = std::move(pendingEventLog_);
    pendingEventLog_.clear();
    for (const auto& event : pending) {
        if (event->started() && event->started()->timeIntervalSince1970() < resumeTime->timeIntervalSince1970()) {
            putEventIntoLog(event);
        } else {
            stay.push_back(event);
        }
    }
    pendingEventLog_ = std::move(stay);
}

void VuderuEventLog::recordErrorMessageExceptionLiveReport(const std::string& errorString, const std::string& message,
                                                           const NSException* exception, const NSDataPtr& liveReport) {
    std::string exceptionString =
        exception ? NSString::stringWithFormat("%@: %@", exception->name(), exception->reason()) : std::string("nil");
    VuderuLog("VuderuSession: Recording error id[%@] with message[%@] and exception[%@]", errorString, message, exceptionString);
    recordErrorMessageExceptionStringErrorTypeLiveReport(errorString, message, exceptionString, VuderuErrorTypeException,
                                                         liveReport);
    VuderuLog("VuderuSession: Recording error id[%@] with message[%@] and exception[%@] complete", errorString, message,
              exceptionString);
}

void VuderuEventLog::recordErrorMessageErrorLiveReport(const std::string& errorString, const std::string& message,
                                                       const NSErrorPtr& error, const NSDataPtr& liveReport) {
    // An error without a failure reason has a nil one, which the format writes as "(null)".
    std::string exceptionString = "nil";
    if (error) {
        const Value& reason = error->userInfoValue(NSLocalizedFailureReasonErrorKey);
        exceptionString = NSString::stringWithFormat("%@: %@", error->localizedDescription(),
                                                     reason.isNull() ? Value() : Value(error->localizedFailureReason()));
    }
    VuderuLog("VuderuSession: Recording error id[%@] with message[%@] and error[%@]", errorString, message, error);
    recordErrorMessageExceptionStringErrorTypeLiveReport(errorString, message, exceptionString, VuderuErrorTypeError, liveReport);
    VuderuLog("VuderuSession: Recording error id[%@] with message[%@] and error[%@] complete", errorString, message, error);
}

void VuderuEventLog::recordErrorMessageExceptionStringErrorTypeLiveReport(const std::string& errorString,
                                                                          const std::string& message,
                                                                          const std::string& exceptionString,
                                                                          std::int32_t errorType, const NSDataPtr& liveReport) {
    if (totalErrorCount_ < std::numeric_limits<std::int32_t>::max()) ++totalErrorCount_;
    if (errors_.size() < static_cast<std::size_t>(MAX_ERRORS)) {
        NSDataPtr report = liveReport && crashReportingEnabled_ ? liveReport : NSData::data();
        auto error = VuderuError::errorWithStringMessageExceptionStringErrorTypeReportData(errorString, message, exceptionString,
                                                                                          errorType, report);
        errors_.push_back(error);
        VuderuLog("VuderuSession: Error id[%d] updated", error->errorID());
    } else {
        VuderuLog("VuderuSession: Error id[%@] not recorded", errorString);
    }
    if (saveToDisk_) saveToDisk_();
}
