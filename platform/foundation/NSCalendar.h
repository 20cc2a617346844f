#pragma once
// The calendar: dates broken into components and built back from them, in the local time zone
// (the TZ environment variable is honoured at every call). Only the Gregorian calendar exists.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <climits>
#include <memory>
#include <string>

// A component that was not asked for or not set.
inline constexpr long NSDateComponentUndefined = LONG_MAX;

extern const std::string NSCalendarIdentifierGregorian; // "gregorian"
extern const std::string NSGregorianCalendar;           // the older name of the same identifier

enum NSCalendarUnit : unsigned long {
    NSCalendarUnitEra = 1ul << 1,
    NSCalendarUnitYear = 1ul << 2,
    NSCalendarUnitMonth = 1ul << 3,
    NSCalendarUnitDay = 1ul << 4,
    NSCalendarUnitHour = 1ul << 5,
    NSCalendarUnitMinute = 1ul << 6,
    NSCalendarUnitSecond = 1ul << 7,
    NSCalendarUnitWeekday = 1ul << 9,
    NSCalendarUnitNanosecond = 1ul << 15,

    // The older names of the same units.
    NSEraCalendarUnit = NSCalendarUnitEra,
    NSYearCalendarUnit = NSCalendarUnitYear,
    NSMonthCalendarUnit = NSCalendarUnitMonth,
    NSDayCalendarUnit = NSCalendarUnitDay,
    NSHourCalendarUnit = NSCalendarUnitHour,
    NSMinuteCalendarUnit = NSCalendarUnitMinute,
    NSSecondCalendarUnit = NSCalendarUnitSecond,
    NSWeekdayCalendarUnit = NSCalendarUnitWeekday,
};

constexpr NSCalendarUnit operator|(NSCalendarUnit a, NSCalendarUnit b) {
    return static_cast<NSCalendarUnit>(static_cast<unsigned long>(a) | static_cast<unsigned long>(b));
}

class NSDateComponents : public NSObject {
public:
    NSDateComponents() = default;

    long era() const { return era_; }
    long year() const { return year_; }
    long month() const { return month_; }
    long day() const { return day_; }
    long hour() const { return hour_; }
    long minute() const { return minute_; }
    long second() const { return second_; }
    long nanosecond() const { return nanosecond_; }
    // 1 for Sunday to 7 for Saturday.
    long weekday() const { return weekday_; }

    void setEra(long v) { era_ = v; }
    void setYear(long v) { year_ = v; }
    void setMonth(long v) { month_ = v; }
    void setDay(long v) { day_ = v; }
    void setHour(long v) { hour_ = v; }
    void setMinute(long v) { minute_ = v; }
    void setSecond(long v) { second_ = v; }
    void setNanosecond(long v) { nanosecond_ = v; }
    void setWeekday(long v) { weekday_ = v; }

private:
    long era_ = NSDateComponentUndefined;
    long year_ = NSDateComponentUndefined;
    long month_ = NSDateComponentUndefined;
    long day_ = NSDateComponentUndefined;
    long hour_ = NSDateComponentUndefined;
    long minute_ = NSDateComponentUndefined;
    long second_ = NSDateComponentUndefined;
    long nanosecond_ = NSDateComponentUndefined;
    long weekday_ = NSDateComponentUndefined;
};

class NSCalendar : public NSObject {
public:
    explicit NSCalendar(std::string identifier) : identifier_(std::move(identifier)) {}

    // The user's calendar: Gregorian, in the local time zone.
    static std::shared_ptr<NSCalendar> currentCalendar();
    // nil for an identifier other than "gregorian".
    static std::shared_ptr<NSCalendar> calendarWithIdentifier(const std::string& identifier);
    static std::shared_ptr<NSCalendar> initWithCalendarIdentifier(const std::string& identifier) { return calendarWithIdentifier(identifier); }

    const std::string& calendarIdentifier() const { return identifier_; }

    // The components named by the unit flags; the others stay NSDateComponentUndefined.
    std::shared_ptr<NSDateComponents> componentsFromDate(unsigned long unitFlags, const NSDate& date) const;
    std::shared_ptr<NSDateComponents> componentsFromDate(unsigned long unitFlags, const std::shared_ptr<NSDate>& date) const {
        return date ? componentsFromDate(unitFlags, *date) : nullptr;
    }
    // The local time the components name. Undefined components count as the start of their range
    // (year 1, January, the 1st, midnight); values out of range carry over (month 13 is next January).
    // nil when the date cannot be represented.
    std::shared_ptr<NSDate> dateFromComponents(const NSDateComponents& components) const;

private:
    std::string identifier_;
};
