#include "pickers/assetpicker/NSDate+timeDescription.h"

#include "platform/foundation/NSString.h"

#include <cmath>

namespace {
constexpr unsigned long kSpanUnits = NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour |
                                     NSCalendarUnitMinute | NSCalendarUnitSecond;

long daysInMonth(long year, long month) {
    static const long kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[(month - 1 + 12) % 12];
}
} // namespace

std::shared_ptr<NSDateComponents> NSDate_timeDescription::componetsWithTimeInterval(NSTimeInterval t) {
    auto calendar = NSCalendar::currentCalendar();
    auto now = NSDate::date();
    auto from = calendar->componentsFromDate(kSpanUnits, now);
    auto to = calendar->componentsFromDate(kSpanUnits, NSDate::dateWithTimeIntervalSince1970(now->timeIntervalSince1970() + std::max(0.0, t)));
    // Field by field from the seconds up, borrowing from the next larger unit; the days borrowed
    // are those of the month before the later date's month.
    long second = to->second() - from->second(), minute = to->minute() - from->minute(), hour = to->hour() - from->hour();
    long day = to->day() - from->day(), month = to->month() - from->month(), year = to->year() - from->year();
    if (second < 0) second += 60, --minute;
    if (minute < 0) minute += 60, --hour;
    if (hour < 0) hour += 24, --day;
    if (day < 0) day += daysInMonth(to->month() == 1 ? to->year() - 1 : to->year(), to->month() == 1 ? 12 : to->month() - 1), --month;
    if (month < 0) month += 12, --year;
    auto span = std::make_shared<NSDateComponents>();
    span->setYear(year);
    span->setMonth(month);
    span->setDay(day);
    span->setHour(hour);
    span->setMinute(minute);
    span->setSecond(second);
    return span;
}

std::string NSDate_timeDescription::timeDescriptionOfTimeInterval(NSTimeInterval t) {
    // Rounding first keeps 59.5 seconds from reading "0:60"; counting hours from the span itself
    // keeps a day-long video from losing its days.
    long total = std::isfinite(t) && t > 0 ? std::lround(t) : 0;
    long hour = total / 3600, minute = total % 3600 / 60, second = total % 60;
    if (hour < 1) return NSString::stringWithFormat("%ld:%02ld", minute, second);
    return NSString::stringWithFormat("%ld:%02ld:%02ld", hour, minute, second);
}
