#include "platform/foundation/NSCalendar.h"

#include "platform/testsupport/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

constexpr unsigned long kAllUnits = NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour |
                                    NSCalendarUnitMinute | NSCalendarUnitSecond | NSCalendarUnitWeekday | NSCalendarUnitNanosecond;

// 2014-03-05 10:19:50.25 UTC, a Wednesday.
constexpr double kMoment = 1394014790.25;

TEST(NSCalendarTest, ComponentsFollowTheLocalTimeZone) {
    struct Case {
        const char* zone;
        long year, month, day, hour, minute, weekday;
    };
    const Case cases[] = {
        {"UTC0", 2014, 3, 5, 10, 19, 4},
        {"JST-9", 2014, 3, 5, 19, 19, 4},
        {"EST5EDT,M3.2.0,M11.1.0", 2014, 3, 5, 5, 19, 4},
        {"<-1030>10:30", 2014, 3, 4, 23, 49, 3}, // a half-hour zone west of UTC, the day before
    };
    auto calendar = NSCalendar::currentCalendar();
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        auto components = calendar->componentsFromDate(kAllUnits, NSDate(kMoment));
        ASSERT_TRUE(components);
        EXPECT_EQ(components->year(), c.year) << c.zone;
        EXPECT_EQ(components->month(), c.month) << c.zone;
        EXPECT_EQ(components->day(), c.day) << c.zone;
        EXPECT_EQ(components->hour(), c.hour) << c.zone;
        EXPECT_EQ(components->minute(), c.minute) << c.zone;
        EXPECT_EQ(components->second(), 50) << c.zone;
        EXPECT_EQ(components->nanosecond(), 250000000) << c.zone;
        EXPECT_EQ(components->weekday(), c.weekday) << c.zone;

        auto back = calendar->dateFromComponents(*components);
        ASSERT_TRUE(back);
        EXPECT_DOUBLE_EQ(back->timeIntervalSince1970(), kMoment) << c.zone;
    }
}

TEST(NSCalendarTest, UnitsNotAskedForStayUndefined) {
    ScopedTimeZone zone("UTC0");
    auto components = NSCalendar::currentCalendar()->componentsFromDate(NSCalendarUnitYear | NSCalendarUnitSecond, NSDate(kMoment));
    EXPECT_EQ(components->year(), 2014);
    EXPECT_EQ(components->second(), 50);
    EXPECT_EQ(components->month(), NSDateComponentUndefined);
    EXPECT_EQ(components->hour(), NSDateComponentUndefined);
    EXPECT_EQ(components->weekday(), NSDateComponentUndefined);
    EXPECT_EQ(components->nanosecond(), NSDateComponentUndefined);
}

TEST(NSCalendarTest, DateFromComponentsInTwoZonesAndWithCarry) {
    NSDateComponents components;
    components.setYear(2014);
    components.setMonth(3);
    components.setDay(5);
    components.setHour(10);
    components.setMinute(19);
    components.setSecond(50);
    auto calendar = NSCalendar::calendarWithIdentifier(NSCalendarIdentifierGregorian);
    ASSERT_TRUE(calendar);
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(calendar->dateFromComponents(components)->timeIntervalSince1970(), 1394014790);
    }
    {
        ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(calendar->dateFromComponents(components)->timeIntervalSince1970(), 1394014790 - 3600);
        components.setMonth(7); // summer time: two hours east of UTC
        EXPECT_EQ(calendar->dateFromComponents(components)->timeIntervalSince1970(), 1404555590 - 7200);
    }
    ScopedTimeZone zone("UTC0");
    components.setMonth(13); // carries into January of the next year
    auto carried = calendar->componentsFromDate(kAllUnits, calendar->dateFromComponents(components));
    EXPECT_EQ(carried->year(), 2015);
    EXPECT_EQ(carried->month(), 1);

    NSDateComponents onlyYear;
    onlyYear.setYear(2000);
    EXPECT_EQ(calendar->dateFromComponents(onlyYear)->timeIntervalSince1970(), 946684800);
    // One second before 1970 is a valid answer, not mktime's error value.
    NSDateComponents lastSecond;
    lastSecond.setYear(1969);
    lastSecond.setMonth(12);
    lastSecond.setDay(31);
    lastSecond.setHour(23);
    lastSecond.setMinute(59);
    lastSecond.setSecond(59);
    ASSERT_TRUE(calendar->dateFromComponents(lastSecond));
    EXPECT_EQ(calendar->dateFromComponents(lastSecond)->timeIntervalSince1970(), -1);
}

TEST(NSCalendarTest, OnlyTheGregorianCalendarExists) {
    EXPECT_EQ(NSCalendar::currentCalendar()->calendarIdentifier(), "gregorian");
    EXPECT_TRUE(NSCalendar::initWithCalendarIdentifier("gregorian"));
    EXPECT_FALSE(NSCalendar::calendarWithIdentifier("hebrew"));
}

} // namespace
