#include "platform/foundation/NSCalendar.h"

#include <cerrno>
#include <cmath>
#include <ctime>

const std::string NSCalendarIdentifierGregorian = "gregorian";
const std::string NSGregorianCalendar = NSCalendarIdentifierGregorian;

namespace {
constexpr long kCalendarNanosecondsPerSecond = 1000000000L;
constexpr long kTmYearBase = 1900;
// The common era; dates before year 1 are of era 0.
constexpr long kEraCommon = 1;
} // namespace

std::shared_ptr<NSCalendar> NSCalendar::currentCalendar() { return std::make_shared<NSCalendar>(NSCalendarIdentifierGregorian); }

std::shared_ptr<NSCalendar> NSCalendar::calendarWithIdentifier(const std::string& identifier) {
    if (identifier != NSCalendarIdentifierGregorian) return nullptr;
    return std::make_shared<NSCalendar>(identifier);
}

std::shared_ptr<NSDateComponents> NSCalendar::componentsFromDate(unsigned long unitFlags, const NSDate& date) const {
    double t = date.timeIntervalSince1970();
    double whole = std::floor(t);
    auto seconds = static_cast<time_t>(whole);
    long nanoseconds = std::lround((t - whole) * kCalendarNanosecondsPerSecond);
    if (nanoseconds >= kCalendarNanosecondsPerSecond) {
        seconds += 1;
        nanoseconds -= kCalendarNanosecondsPerSecond;
    }
    // tzset first so that a change of TZ since the last call is seen.
    ::tzset();
    struct tm local{};
    auto components = std::make_shared<NSDateComponents>();
    if (!::localtime_r(&seconds, &local)) return components;
    long year = local.tm_year + kTmYearBase;
    if (unitFlags & NSCalendarUnitEra) components->setEra(year >= 1 ? kEraCommon : 0);
    if (unitFlags & NSCalendarUnitYear) components->setYear(year >= 1 ? year : 1 - year);
    if (unitFlags & NSCalendarUnitMonth) components->setMonth(local.tm_mon + 1);
    if (unitFlags & NSCalendarUnitDay) components->setDay(local.tm_mday);
    if (unitFlags & NSCalendarUnitHour) components->setHour(local.tm_hour);
    if (unitFlags & NSCalendarUnitMinute) components->setMinute(local.tm_min);
    if (unitFlags & NSCalendarUnitSecond) components->setSecond(local.tm_sec);
    if (unitFlags & NSCalendarUnitNanosecond) components->setNanosecond(nanoseconds);
    if (unitFlags & NSCalendarUnitWeekday) components->setWeekday(local.tm_wday + 1);
    return components;
}

std::shared_ptr<NSDate> NSCalendar::dateFromComponents(const NSDateComponents& components) const {
    auto valueOr = [](long v, long fallback) { return v == NSDateComponentUndefined ? fallback : v; };
    long year = valueOr(components.year(), 1);
    if (components.era() == 0) year = 1 - year;
    struct tm local{};
    local.tm_year = static_cast<int>(year - kTmYearBase);
    local.tm_mon = static_cast<int>(valueOr(components.month(), 1) - 1);
    local.tm_mday = static_cast<int>(valueOr(components.day(), 1));
    local.tm_hour = static_cast<int>(valueOr(components.hour(), 0));
    local.tm_min = static_cast<int>(valueOr(components.minute(), 0));
    local.tm_sec = static_cast<int>(valueOr(components.second(), 0));
    local.tm_isdst = -1;
    errno = 0;
    time_t seconds = ::mktime(&local); // mktime calls tzset itself
    // -1 is also one second before 1970: only an error when mktime says so.
    if (seconds == static_cast<time_t>(-1) && errno == EOVERFLOW) return nullptr;
    double t = static_cast<double>(seconds) + static_cast<double>(valueOr(components.nanosecond(), 0)) / kCalendarNanosecondsPerSecond;
    return NSDate::dateWithTimeIntervalSince1970(t);
}
