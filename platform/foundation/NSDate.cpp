#include "platform/foundation/NSDate.h"

#include "platform/foundation/PlatformClock.h"

#include <cmath>
#include <ctime>

std::shared_ptr<NSDate> NSDate::date() { return std::make_shared<NSDate>(PlatformClock::now()); }
std::shared_ptr<NSDate> NSDate::dateWithTimeIntervalSinceNow(NSTimeInterval s) { return std::make_shared<NSDate>(PlatformClock::now() + s); }
std::shared_ptr<NSDate> NSDate::dateWithTimeIntervalSince1970(NSTimeInterval s) { return std::make_shared<NSDate>(s); }
std::shared_ptr<NSDate> NSDate::dateWithTimeIntervalSinceReferenceDate(NSTimeInterval s) {
    return std::make_shared<NSDate>(s + NSTimeIntervalSince1970);
}
std::shared_ptr<NSDate> NSDate::distantFuture() { return dateWithTimeIntervalSinceReferenceDate(63113904000.0); }
std::shared_ptr<NSDate> NSDate::distantPast() { return dateWithTimeIntervalSinceReferenceDate(-63114076800.0); }
NSTimeInterval NSDate::timeIntervalSinceReferenceDateNow() { return PlatformClock::now() - NSTimeIntervalSince1970; }

NSTimeInterval NSDate::timeIntervalSinceNow() const { return t_ - PlatformClock::now(); }

std::shared_ptr<NSDate> NSDate::dateByAddingTimeInterval(NSTimeInterval s) const { return std::make_shared<NSDate>(t_ + s); }

std::shared_ptr<NSDate> NSDate::fromValue(const Value& value) {
    if (value.isDate()) return std::make_shared<NSDate>(value.date().secondsSince1970);
    return value.objectAs<NSDate>();
}

std::string NSDate::description() const { return Value(Value::Date{t_}).description(); }

bool NSDate::isEqual(const NSObject* other) const {
    auto d = dynamic_cast<const NSDate*>(other);
    return d && d->t_ == t_;
}
