#include "platform/foundation/NSDateFormatter.h"

#include "platform/foundation/NSCalendar.h"

#include <cstdio>
#include <ctime>

namespace {
const char* const kMonths[] = {"January", "February", "March", "April", "May", "June",
                               "July", "August", "September", "October", "November", "December"};
const char* const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

constexpr unsigned long kDayUnits = NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay;

// Days from the civil date's day 0, so that two days compare by subtraction.
long dayNumber(const NSDateComponents& c) {
    long y = c.year(), m = c.month();
    if (m <= 2) --y;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + c.day() - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

std::string zoneOffset(const NSDate& date) {
    std::time_t t = static_cast<std::time_t>(date.timeIntervalSince1970());
    std::tm local{};
    localtime_r(&t, &local);
    long minutes = local.tm_gmtoff / 60;
    if (minutes == 0) return "GMT";
    char text[48];
    if (minutes % 60 == 0) std::snprintf(text, sizeof text, "GMT%+ld", minutes / 60);
    else std::snprintf(text, sizeof text, "GMT%+ld:%02ld", minutes / 60, std::labs(minutes % 60));
    return text;
}
} // namespace

std::string NSDateFormatter::datePart(const NSDate& date) const {
    auto calendar = NSCalendar::currentCalendar();
    auto c = calendar->componentsFromDate(kDayUnits | NSCalendarUnitWeekday, date);
    if (relative_) {
        auto today = calendar->componentsFromDate(kDayUnits, NSDate::date());
        long days = dayNumber(*c) - dayNumber(*today);
        if (days == -1) return "Yesterday";
        if (days == 0) return "Today";
        if (days == 1) return "Tomorrow";
    }
    const char* month = kMonths[(c->month() - 1) % 12];
    char text[64];
    switch (dateStyle_) {
    case NSDateFormatterNoStyle: return {};
    case NSDateFormatterShortStyle: std::snprintf(text, sizeof text, "%ld/%ld/%02ld", c->month(), c->day(), c->year() % 100); break;
    case NSDateFormatterMediumStyle: std::snprintf(text, sizeof text, "%.3s %ld, %ld", month, c->day(), c->year()); break;
    case NSDateFormatterLongStyle: std::snprintf(text, sizeof text, "%s %ld, %ld", month, c->day(), c->year()); break;
    case NSDateFormatterFullStyle:
        std::snprintf(text, sizeof text, "%s, %s %ld, %ld", kWeekdays[(c->weekday() - 1) % 7], month, c->day(), c->year());
        break;
    }
    return text;
}

std::string NSDateFormatter::timePart(const NSDate& date) const {
    auto c = NSCalendar::currentCalendar()->componentsFromDate(NSCalendarUnitHour | NSCalendarUnitMinute | NSCalendarUnitSecond, date);
    long hour12 = c->hour() % 12 == 0 ? 12 : c->hour() % 12;
    const char* half = c->hour() < 12 ? "AM" : "PM";
    char text[48];
    if (timeStyle_ == NSDateFormatterShortStyle) std::snprintf(text, sizeof text, "%ld:%02ld %s", hour12, c->minute(), half);
    else std::snprintf(text, sizeof text, "%ld:%02ld:%02ld %s", hour12, c->minute(), c->second(), half);
    std::string out = text;
    if (timeStyle_ >= NSDateFormatterLongStyle) out += " " + zoneOffset(date);
    return out;
}

std::string NSDateFormatter::stringFromDate(const NSDate& date) const {
    std::string day = dateStyle_ != NSDateFormatterNoStyle ? datePart(date) : std::string();
    std::string time = timeStyle_ != NSDateFormatterNoStyle ? timePart(date) : std::string();
    if (day.empty() || time.empty()) return day + time;
    return day + ", " + time;
}
