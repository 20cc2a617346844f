#include "platform/foundation/NSException.h"
#include "platform/foundation/NSString.h"
#include "sdk/analytics/VuderuProtocolData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes write(const std::function<void(NSMutableData&)>& append) {
    NSMutableData data;
    append(data);
    return data.vector();
}

Bytes stringField(std::size_t length, const std::string& body) {
    Bytes out;
    out.reserve(body.size() + 2);
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(length));
    for (char c : body) out.push_back(static_cast<std::uint8_t>(c));
    return out;
}

std::string repeat(const std::string& unit, std::size_t times) {
    std::string s;
    for (std::size_t i = 0; i < times; ++i) s += unit;
    return s;
}

TEST(VuderuProtocolDataTest, EveryFieldIsWrittenInItsWireForm) {
    using P = VuderuProtocolData;
    const std::string ascii300 = repeat("a", 300);
    const std::string euro100 = repeat("\xE2\x82\xAC", 100);          // 3 UTF-8 bytes, 1 unit each
    const std::string pairs = repeat("a", 254) + "\xF0\x9F\x98\x80";   // units 254 and 255 are one pair
    auto date = [](double s) { return NSDate::dateWithTimeIntervalSince1970(s); };
    auto data = [](std::size_t n) {
        auto d = NSData::dataWithLength(n);
        for (std::size_t i = 0; i < n; ++i) d->mutableBytes()[i] = static_cast<std::uint8_t>(i);
        return d;
    };
    struct Case {
        const char* name;
        std::function<void(NSMutableData&)> append;
        Bytes expected;
    };
    const Case cases[] = {
        {"YES", [](NSMutableData& d) { P::appendBooleanToData(true, d); }, {1}},
        {"NO", [](NSMutableData& d) { P::appendBooleanToData(false, d); }, {0}},
        {"byte -1", [](NSMutableData& d) { P::appendByteToData(-1, d); }, {0xFF}},
        {"byte 0x1234", [](NSMutableData& d) { P::appendByteToData(0x1234, d); }, {0x34}},
        {"ushort 65536", [](NSMutableData& d) { P::appendUshortToData(65536, d); }, {0, 0}},
        {"ushort 0xABCD", [](NSMutableData& d) { P::appendUshortToData(0xABCD, d); }, {0xAB, 0xCD}},
        {"int -2", [](NSMutableData& d) { P::appendIntToData(-2, d); }, {0xFF, 0xFF, 0xFF, 0xFE}},
        {"int 0x01020304", [](NSMutableData& d) { P::appendIntToData(0x01020304, d); }, {1, 2, 3, 4}},
        {"long", [](NSMutableData& d) { P::appendLongToData(0x0102030405060708LL, d); }, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"long min", [](NSMutableData& d) { P::appendLongToData(std::numeric_limits<std::int64_t>::min(), d); },
         {0x80, 0, 0, 0, 0, 0, 0, 0}},
        {"float 1.0", [](NSMutableData& d) { P::appendFloatToData(1.0f, d); }, {0x3F, 0x80, 0, 0}},
        {"double -2.5", [](NSMutableData& d) { P::appendDoubleToData(-2.5, d); }, {0xC0, 0x04, 0, 0, 0, 0, 0, 0}},
        {"timestamp 1.5 ms", [&](NSMutableData& d) { P::appendTimestampToData(date(0.0015), d); }, {0, 0, 0, 0, 0, 0, 0, 1}},
        {"timestamp -1.5 ms truncates toward zero", [&](NSMutableData& d) { P::appendTimestampToData(date(-0.0015), d); },
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"timestamp 2014", [&](NSMutableData& d) { P::appendTimestampToData(date(1394014790.123), d); },
         {0, 0, 0x01, 0x44, 0x91, 0xC1, 0xA1, 0xEB}},
        {"timestamp nil", [](NSMutableData& d) { P::appendTimestampToData(nullptr, d); }, Bytes(8, 0)},
        {"timestamp NaN saturates to 0", [&](NSMutableData& d) { P::appendTimestampToData(date(std::nan("")), d); }, Bytes(8, 0)},
        {"timestamp huge saturates", [&](NSMutableData& d) { P::appendTimestampToData(date(1e300), d); },
         {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"string", [](NSMutableData& d) { P::appendStringToData("abc", d); }, {0, 3, 'a', 'b', 'c'}},
        {"string empty (nil)", [](NSMutableData& d) { P::appendStringToData("", d); }, {0, 0}},
        {"string of 300 ASCII", [&](NSMutableData& d) { P::appendStringToData(ascii300, d); }, stringField(255, repeat("a", 255))},
        {"string of 100 three-byte characters", [&](NSMutableData& d) { P::appendStringToData(euro100, d); },
         stringField(300, euro100)},
        {"string whose 255th unit starts a pair", [&](NSMutableData& d) { P::appendStringToData(pairs + "b", d); },
         stringField(254, repeat("a", 254))},
        {"string of exactly 255 units ending in a pair",
         [&](NSMutableData& d) { P::appendStringToData(repeat("a", 253) + "\xF0\x9F\x98\x80", d); },
         stringField(257, repeat("a", 253) + "\xF0\x9F\x98\x80")},
        {"tiny data", [&](NSMutableData& d) { P::appendTinyDataToData(data(3), d); }, {3, 0, 1, 2}},
        {"tiny data nil", [](NSMutableData& d) { P::appendTinyDataToData(nullptr, d); }, {0}},
        {"short data", [&](NSMutableData& d) { P::appendShortDataToData(data(2), d); }, {0, 2, 0, 1}},
        {"short data nil", [](NSMutableData& d) { P::appendShortDataToData(nullptr, d); }, {0, 0}},
        {"large data", [&](NSMutableData& d) { P::appendLargeDataToData(data(1), d); }, {0, 0, 0, 1, 0}},
        {"large data nil", [](NSMutableData& d) { P::appendLargeDataToData(nullptr, d); }, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(write(c.append), c.expected) << c.name;

    Bytes big = write([&](NSMutableData& d) { P::appendShortDataToData(data(300), d); });
    ASSERT_EQ(big.size(), 302u);
    EXPECT_EQ(big[0], 0x01);
    EXPECT_EQ(big[1], 0x2C);
    EXPECT_EQ(big[301], static_cast<std::uint8_t>(299));

    // Tiny data carries as many bytes as its length byte says, so the fields after it stay in step.
    Bytes tiny = write([&](NSMutableData& d) { P::appendTinyDataToData(data(258), d); });
    ASSERT_EQ(tiny.size(), 3u);
    EXPECT_EQ(tiny, (Bytes{2, 0, 1}));
}

TEST(VuderuProtocolDataTest, StringsAreCutWithoutSplittingAPair) {
    const std::string face = "\xF0\x9F\x98\x80";
    std::string many = repeat(face, 200); // 400 units
    std::string cut = VuderuProtocolData::limitStringLength(many);
    EXPECT_TRUE(NSString::isValidUTF8(cut));
    EXPECT_EQ(NSString::lengthUTF16(cut), 254u);
    EXPECT_EQ(VuderuProtocolData::limitStringLength(repeat("x", 256)), repeat("x", 255));
    EXPECT_EQ(VuderuProtocolData::limitStringLength(repeat("x", 255)), repeat("x", 255));
}

TEST(VuderuProtocolDataTest, IntervalsAreSignedMillisecondsAndNilIsZero) {
    auto a = NSDate::dateWithTimeIntervalSince1970(100.0);
    auto b = NSDate::dateWithTimeIntervalSince1970(102.5006);
    EXPECT_EQ(VuderuProtocolData::timeIntervalFromTo(a, b), 2500);
    EXPECT_EQ(VuderuProtocolData::timeIntervalFromTo(b, a), -2500);
    EXPECT_EQ(VuderuProtocolData::timeIntervalFromTo(nullptr, b), 0);
    EXPECT_EQ(VuderuProtocolData::timeIntervalFromTo(a, nullptr), 0);
    EXPECT_EQ(VuderuProtocolData::timeIntervalFromTo(NSDate::distantPast(), NSDate::dateWithTimeIntervalSince1970(1e300)),
              std::numeric_limits<std::int64_t>::max());
}

TEST(VuderuProtocolDataTest, ReadersAreBigEndianSignedAndRaiseOutsideTheData) {
    NSData three(std::vector<std::uint8_t>{0x00, 0xFF, 0xFE});
    EXPECT_EQ(VuderuProtocolData::getInt16FromDataAtIndex(three, 1), -2);
    EXPECT_EQ(VuderuProtocolData::getInt16FromDataAtIndex(three, 0), 0x00FF);
    NSData four(std::vector<std::uint8_t>{0x80, 0x00, 0x01, 0x1E});
    EXPECT_EQ(VuderuProtocolData::getInt32FromDataAtIndex(four, 0), static_cast<std::int32_t>(0x8000011E));
    struct Bad {
        bool wide;
        const NSData* data;
        std::int32_t index;
        const char* reason;
    };
    const Bad bad[] = {
        {false, &three, 2, "+[VuderuProtocolData getInt16FromData:atIndex:]: data len=3, ix=2"},
        {false, &three, -1, "+[VuderuProtocolData getInt16FromData:atIndex:]: data len=3, ix=-1"},
        {true, &three, 0, "+[VuderuProtocolData getInt32FromData:atIndex:]: data len=3, ix=0"},
        {true, &four, 1, "+[VuderuProtocolData getInt32FromData:atIndex:]: data len=4, ix=1"},
        {true, &four, std::numeric_limits<std::int32_t>::max(),
         "+[VuderuProtocolData getInt32FromData:atIndex:]: data len=4, ix=2147483647"},
    };
    for (const Bad& b : bad) {
        try {
            if (b.wide) VuderuProtocolData::getInt32FromDataAtIndex(*b.data, b.index);
            else VuderuProtocolData::getInt16FromDataAtIndex(*b.data, b.index);
            ADD_FAILURE() << b.reason;
        } catch (const NSException& e) {
            EXPECT_EQ(e.name(), "Malformed data");
            EXPECT_EQ(e.reason(), b.reason);
            EXPECT_TRUE(e.userInfo().empty());
        }
    }
}

} // namespace
