#include "platform/foundation/NSDateFormatter.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSPredicate.h"
#include "platform/foundation/PlatformClock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// UTC for the test's texts; the clock at 2026-12-10 05:41:07 UTC for "today".
class NSDateFormatterTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        PlatformClock::setManual(kNow);
    }
    void TearDown() override { PlatformClock::setAutomatic(); }
    static constexpr double kNow = 1796881267;
};

TEST_F(NSDateFormatterTest, EnglishStylesAndRelativeDays) {
    const struct {
        NSDateFormatterStyle date, time;
        bool relative;
        double offset;
        const char* text;
    } cases[] = {
        {NSDateFormatterMediumStyle, NSDateFormatterShortStyle, false, 0, "Dec 10, 2026, 5:41 AM"},
        {NSDateFormatterShortStyle, NSDateFormatterNoStyle, false, 0, "12/10/26"},
        {NSDateFormatterLongStyle, NSDateFormatterMediumStyle, false, 9 * 3600, "December 10, 2026, 2:41:07 PM"},
        {NSDateFormatterFullStyle, NSDateFormatterNoStyle, false, 0, "Thursday, December 10, 2026"},
        {NSDateFormatterNoStyle, NSDateFormatterLongStyle, false, 0, "5:41:07 AM GMT"},
        {NSDateFormatterMediumStyle, NSDateFormatterShortStyle, true, 0, "Today, 5:41 AM"},
        {NSDateFormatterMediumStyle, NSDateFormatterShortStyle, true, -86400, "Yesterday, 5:41 AM"},
        {NSDateFormatterMediumStyle, NSDateFormatterNoStyle, true, 86400, "Tomorrow"},
        {NSDateFormatterMediumStyle, NSDateFormatterShortStyle, true, -2 * 86400 - 6 * 3600, "Dec 7, 2026, 11:41 PM"},
    };
    for (const auto& c : cases) {
        NSDateFormatter formatter;
        formatter.setDateStyle(c.date);
        formatter.setTimeStyle(c.time);
        formatter.setDoesRelativeDateFormatting(c.relative);
        EXPECT_EQ(formatter.stringFromDate(NSDate::dateWithTimeIntervalSince1970(kNow + c.offset)), c.text);
    }
}

TEST(NSPredicate, SelfEqualsAndBlocksFilterInOrder) {
    auto predicate = NSPredicate::predicateWithFormat("SELF == %@", Value("b"));
    EXPECT_TRUE(predicate->evaluateWithObject(Value("b")));
    EXPECT_FALSE(predicate->evaluateWithObject(Value("a")));
    EXPECT_TRUE(NSPredicate::predicateWithFormat("SELF==%@", Value(3))->evaluateWithObject(Value(3.0)));
    EXPECT_THROW(NSPredicate::predicateWithFormat("name == %@", Value("b")), NSException);
    auto even = NSPredicate::predicateWithBlock([](const Value& v) { return v.integerValue() % 2 == 0; });
    EXPECT_TRUE(even->evaluateWithObject(Value(4)));
    EXPECT_FALSE(even->evaluateWithObject(Value(5)));
}

} // namespace
