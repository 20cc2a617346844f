#pragma once
// One named event of a session: when it started, for a timed event when it ended, its string or
// number parameters (at most ten) and its sequence number in the session.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class VuderuEvent : public NSObject, public NSCoding {
public:
    // initWithName:timed:parameters: — parameters is a dictionary or null.
    VuderuEvent(std::string name, bool timed = false, const Value& parameters = Value());
    // initWithCoder:
    explicit VuderuEvent(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;

    const std::string& name() const { return name_; }
    const std::shared_ptr<NSDate>& started() const { return started_; }
    const std::shared_ptr<NSDate>& ended() const { return ended_; }
    void setEnded(std::shared_ptr<NSDate> ended) { ended_ = std::move(ended); }
    bool timed() const { return timed_; }
    bool automaticallyEnded() const { return automaticallyEnded_; }
    void setAutomaticallyEnded(bool value) { automaticallyEnded_ = value; }
    Value::Dictionary parameters() const;
    int eventLogId() const { return eventLogId_; }

    // Takes the next number of the events series.
    void updateID();
    // Merges string and number parameters over the present ones (others are dropped); a merge
    // that would leave more than ten changes nothing.
    void updateParameters(const Value& parameters);
    bool isUnterminated() const { return timed_ && !ended_; }
    std::int64_t startOffsetFromSessionStart(const std::shared_ptr<NSDate>& sessionStart) const;
    // Milliseconds from start to end of an ended timed event, else 0.
    std::int64_t duration() const;
    // The event record of the analytics report.
    NSDataPtr dataRelativeToSessionStart(const std::shared_ptr<NSDate>& sessionStart) const;

private:
    std::string name_;
    std::shared_ptr<NSDate> started_;
    std::shared_ptr<NSDate> ended_;
    bool timed_ = false;
    bool automaticallyEnded_ = false;
    mutable std::mutex lock_;
    Value::Dictionary parameters_;
    int eventLogId_ = 0;
};
