#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ValueTest, NumbersCompareByValueAndConvert) {
    EXPECT_EQ(Value(1), Value(1.0));
    EXPECT_EQ(Value(true), Value(1));
    EXPECT_NE(Value("1"), Value(1));
    EXPECT_EQ(Value("42abc").integerValue(), 42);
    EXPECT_TRUE(Value("YES").boolValue());
    EXPECT_FALSE(Value("0").boolValue());
    EXPECT_EQ(Value(1e300).integerValue(), INT64_MAX);
    EXPECT_EQ(Value(std::nan("")).integerValue(), 0);
    Value::Dictionary d{{"a", Value::Array{1, "x"}}};
    EXPECT_EQ(Value(d)["a"][1].string(), "x");
    EXPECT_TRUE(Value(d)["missing"].isNull());
    EXPECT_EQ(Value(d).description(), "{\n    a = (\n        1,\n        x\n    );\n}");
    d["b c"] = "y";
    EXPECT_EQ(Value(d).descriptionInStringsFileFormat(), "a = (\n    1,\n    x\n);\n\"b c\" = y;\n");
    EXPECT_EQ(Value(Value::Dictionary{}).descriptionInStringsFileFormat(), "");
    EXPECT_EQ(Value(Value::Array{1}).descriptionInStringsFileFormat(), Value(Value::Array{1}).description());
}

TEST(ValueTest, RealsReadAsTheirShortDecimalText) {
    const std::pair<double, const char*> cases[] = {
        {0.1, "0.1"}, {1.1, "1.1"}, {2.0, "2"}, {-2.5, "-2.5"}, {3000000000.0, "3000000000"},
        {1e15, "1000000000000000"}, {1e16, "1e+16"}, {1e-7, "1e-07"}, {1.0 / 3, "0.3333333333333333"},
    };
    for (const auto& [number, text] : cases) {
        EXPECT_EQ(Value(number).stringValue(), text);
        EXPECT_EQ(Value(number).description(), text);
    }
    EXPECT_EQ(Value(Value::Array{0.1}).description(), "(\n    0.1\n)");
}

TEST(ValueTest, DatesOutOfRangeStillDescribeThemselves) {
    EXPECT_EQ(Value(Value::Date{0}).description(), "1970-01-01 00:00:00 +0000");
    EXPECT_EQ(Value(Value::Date{std::nan("")}).description(), "1970-01-01 00:00:00 +0000");
    EXPECT_FALSE(Value(Value::Date{1e300}).description().empty());
    EXPECT_FALSE(Value(Value::Date{-1e300}).description().empty());
}

TEST(NSErrorTest, DescriptionAndUnderlying) {
    auto posix = NSError::posixError(ENOENT);
    auto error = NSError::errorWithDomain(NSCocoaErrorDomain, NSFileNoSuchFileError, {{NSUnderlyingErrorKey, posix}});
    EXPECT_EQ(error->underlyingError()->code(), ENOENT);
    EXPECT_EQ(error->localizedDescription(), "The operation couldn\xE2\x80\x99t be completed. (NSCocoaErrorDomain error 4.)");
    EXPECT_EQ(posix->localizedDescription(), "No such file or directory");
}

TEST(PlatformClockTest, ManualModeStandsStillUntilAdvanced) {
    PlatformClock::setManual(1000);
    int notified = 0;
    auto token = PlatformClock::addObserver([&] { ++notified; });
    EXPECT_EQ(NSDate::date()->timeIntervalSince1970(), 1000);
    double mono = PlatformClock::monotonic();
    PlatformClock::advance(1800);
    EXPECT_EQ(NSDate::date()->timeIntervalSince1970(), 2800);
    EXPECT_NEAR(PlatformClock::monotonic() - mono, 1800, 1e-6);  // a difference of two large readings
    EXPECT_EQ(notified, 1);
    PlatformClock::removeObserver(token);
    PlatformClock::setAutomatic();
    EXPECT_GT(NSDate::date()->timeIntervalSince1970(), 1.6e9);
}

class NSDataFileTest : public DeviceTest {};

TEST_F(NSDataFileTest, WritesThroughTheDeviceRootAtomically) {
    auto data = NSData::dataWithString("hello");
    ASSERT_TRUE(data->writeToFile("/tmp/a.txt", true));
    EXPECT_EQ(readFile("/tmp/a.txt"), "hello");
    auto back = NSData::dataWithContentsOfFile("/tmp/a.txt");
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(data.get()));

    NSErrorPtr error;
    EXPECT_FALSE(data->writeToFile("/no/such/folder/a.txt", NSDataWritingAtomic, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(error->underlyingError()->code(), ENOENT);
    EXPECT_EQ(NSData::dataWithContentsOfFile("/tmp/missing", &error), nullptr);
    EXPECT_EQ(error->code(), NSFileReadNoSuchFileError);

    EXPECT_FALSE(data->writeToFile("/tmp/a.txt", NSDataWritingAtomic | NSDataWritingWithoutOverwriting, &error));
    EXPECT_EQ(error->code(), NSFileWriteFileExistsError);
}

TEST_F(NSDataFileTest, LogIsCaptured) {
    NSLog("%@ %d", std::string("x"), 3);
    EXPECT_TRUE(log_->contains("x 3"));
}

} // namespace
