#pragma once
// A point in time on the platform clock.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <memory>

// Seconds between 1970-01-01 and the platform's reference date 2001-01-01 (UTC).
inline constexpr double NSTimeIntervalSince1970 = 978307200.0;
using NSTimeInterval = double;

class NSDate : public NSObject {
public:
    explicit NSDate(NSTimeInterval secondsSince1970) : t_(secondsSince1970) {}

    static std::shared_ptr<NSDate> date();
    static std::shared_ptr<NSDate> dateWithTimeIntervalSinceNow(NSTimeInterval seconds);
    static std::shared_ptr<NSDate> dateWithTimeIntervalSince1970(NSTimeInterval seconds);
    static std::shared_ptr<NSDate> dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds);
    static std::shared_ptr<NSDate> distantFuture();
    static std::shared_ptr<NSDate> distantPast();
    static NSTimeInterval timeIntervalSinceReferenceDateNow();

    NSTimeInterval timeIntervalSince1970() const { return t_; }
    NSTimeInterval timeIntervalSinceReferenceDate() const { return t_ - NSTimeIntervalSince1970; }
    NSTimeInterval timeIntervalSinceNow() const;
    NSTimeInterval timeIntervalSinceDate(const NSDate& other) const { return t_ - other.t_; }
    std::shared_ptr<NSDate> dateByAddingTimeInterval(NSTimeInterval seconds) const;

    Value::Date value() const { return {t_}; }
    static std::shared_ptr<NSDate> fromValue(const Value& value);

    // "2014-03-05 10:19:50 +0000"
    std::string description() const override;
    bool isEqual(const NSObject* other) const override;

private:
    NSTimeInterval t_;
};
