#include "sdk/analytics/VuderuEvent.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "sdk/analytics/VuderuAutoIncrement.h"
#include "sdk/analytics/VuderuConstants.h"
#include "sdk/analytics/VuderuProtocolData.h"
#include "sdk/analytics/VuderuUtil.h"

VuderuEvent::VuderuEvent(std::string name, bool timed, const Value& parameters) : name_(std::move(name)), timed_(timed) {
    updateParameters(parameters);
    started_ = NSDate::date();
    automaticallyEnded_ = false;
    updateID();
}

VuderuEvent::VuderuEvent(const NSCoder& coder)
    : name_(coder.decodeObjectForKey("name").stringValue()),
      started_(NSDate::fromValue(coder.decodeObjectForKey("started"))),
      ended_(NSDate::fromValue(coder.decodeObjectForKey("ended"))),
      timed_(coder.decodeBoolForKey("timed")),
      automaticallyEnded_(coder.decodeBoolForKey("automaticallyEnded")) {
    Value parameters = coder.decodeObjectForKey("parameters");
    if (parameters.isDictionary()) parameters_ = parameters.dictionary();
    eventLogId_ = VuderuUtil::int32FromNSInteger(coder.decodeObjectForKey("eventLogId").integerValue());
}

void VuderuEvent::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObjectForKey(Value(name_), "name");
    coder.encodeObjectForKey(started_ ? Value(started_->value()) : Value(), "started");
    coder.encodeObjectForKey(ended_ ? Value(ended_->value()) : Value(), "ended");
    coder.encodeBoolForKey(timed_, "timed");
    coder.encodeBoolForKey(automaticallyEnded_, "automaticallyEnded");
    coder.encodeObjectForKey(Value(parameters()), "parameters");
    coder.encodeObjectForKey(Value(eventLogId_), "eventLogId");
}

namespace {
// Events are read back from session archives by name.
const bool registeredVuderuEvent = (NSKeyedUnarchiver::registerClass<VuderuEvent>("VuderuEvent"), true);
} // namespace

Value::Dictionary VuderuEvent::parameters() const {
    std::lock_guard<std::mutex> guard(lock_);
    return parameters_;
}

void VuderuEvent::updateID() { eventLogId_ = VuderuAutoIncrement::instance()->nextCountFor(VuderuAutoIncrementKindEvents); }

void VuderuEvent::updateParameters(const Value& parameters) {
    if (!parameters.isDictionary() || parameters.dictionary().empty()) return;
    std::lock_guard<std::mutex> guard(lock_);
    Value::Dictionary merged = parameters_;
    for (const auto& [key, value] : parameters.dictionary()) {
        if (value.isString() || value.isNumber()) merged[key] = value;
    }
    if (merged.size() <= static_cast<std::size_t>(MAX_EVENT_PARAMETERS)) parameters_ = std::move(merged);
}

std::int64_t VuderuEvent::startOffsetFromSessionStart(const std::shared_ptr<NSDate>& sessionStart) const {
    return VuderuProtocolData::timeIntervalFromTo(sessionStart, started_);
}

std::int64_t VuderuEvent::duration() const {
    if (!timed_ || !ended_) return 0;
    return VuderuProtocolData::timeIntervalFromTo(started_, ended_);
}

NSDataPtr VuderuEvent::dataRelativeToSessionStart(const std::shared_ptr<NSDate>& sessionStart) const {
    auto data = NSData::data();
    Value::Dictionary parameters = this->parameters();
    VuderuProtocolData::appendUshortToData(eventLogId_, *data);
    VuderuProtocolData::appendStringToData(name_, *data);
    VuderuProtocolData::appendUshortToData(static_cast<int>(parameters.size()), *data);
    for (const auto& [key, value] : parameters) {
        VuderuProtocolData::appendStringToData(key, *data);
        VuderuProtocolData::appendStringToData(value.description(), *data);
    }
    VuderuProtocolData::appendLongToData(startOffsetFromSessionStart(sessionStart), *data);
    VuderuProtocolData::appendLongToData(duration(), *data);
    return data;
}
