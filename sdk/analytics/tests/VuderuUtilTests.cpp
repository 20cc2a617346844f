#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

TEST(VuderuUtilTest, ChecksumIsTheStandardCRC32AsASignedInt) {
    EXPECT_EQ(VuderuUtil::dataChecksum(*NSData::dataWithString("123456789")), static_cast<std::int32_t>(0xCBF43926u));
    EXPECT_EQ(VuderuUtil::dataChecksum(*NSData::dataWithString("123456789")), -873187034);
    EXPECT_EQ(VuderuUtil::dataChecksum(NSData()), 0);
    // Against zlib for every length around the eight-byte steps and every alignment.
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(4096 + 16);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 39u, 40u, 41u, 79u, 80u, 81u, 119u, 120u, 121u, 1000u, 4096u}) {
            auto expected = static_cast<std::uint32_t>(crc32(0, bytes.data() + offset, static_cast<uInt>(length)));
            EXPECT_EQ(VuderuUtil::dataChecksum(bytes.data() + offset, length), static_cast<std::int32_t>(expected))
                << offset << " " << length;
        }
    }
}

TEST(VuderuUtilTest, DigestsAsHex) {
    EXPECT_EQ(VuderuUtil::md5String(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(VuderuUtil::md5String("abc"), "900150983cd24fb0d6963f7d28e17f72");
    // Up to the first zero byte.
    EXPECT_EQ(VuderuUtil::md5String(std::string("abc\0def", 7)), "900150983cd24fb0d6963f7d28e17f72");
    auto sha = VuderuUtil::hashData(*NSData::dataWithString("abc"));
    EXPECT_EQ(VuderuUtil::hashDataToHexString(sha->bytes(), sha->length()), "a9993e364706816aba3e25717850c26c9cd0d89d");
    auto empty = VuderuUtil::hashData(NSData());
    EXPECT_EQ(VuderuUtil::hashDataToHexString(empty->bytes(), empty->length()), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(VuderuUtilTest, SystemVersionIsOneInteger) {
    const std::pair<const char*, int> cases[] = {
        {"8.0", 80000}, {"4.3", 40300}, {"6", 60000}, {"5.0.1", 50001}, {"7.1.2.9", 70102}, {"", 0},
        {"99999999.99999999", std::numeric_limits<int>::max()},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(VuderuUtil::systemVersionAsInteger(text), expected) << text;
    // The simulated device reports 8.0.
    EXPECT_EQ(VuderuUtil::getSystemVersionAsAnInteger(), 80000);
}

TEST(VuderuUtilTest, HexPercentEscapesAndRanges) {
    const std::uint8_t bytes[] = {0x00, 0x0F, 0xA0, 0xFF};
    EXPECT_EQ(VuderuUtil::hashDataToHexString(bytes, 4), "000fa0ff");
    EXPECT_EQ(VuderuUtil::hashDataToHexString(bytes, 0), "");

    EXPECT_EQ(VuderuUtil::encodeToPercentEscapeString("a b!*'();:@&=+$,/?%#[]~-._\xC3\xA9"),
              "a%20b%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D~-._%C3%A9");
    EXPECT_EQ(VuderuUtil::decodeFromPercentEscapeString("a%20b%C3%A9%2F"), "a b\xC3\xA9/");
    EXPECT_EQ(VuderuUtil::decodeFromPercentEscapeString("%FF"), std::nullopt);
    EXPECT_EQ(VuderuUtil::decodeFromPercentEscapeString("%4"), std::nullopt);

    NSData hay(std::vector<std::uint8_t>{1, 2, 3, 2, 3});
    NSData needle(std::vector<std::uint8_t>{2, 3});
    NSData longer(std::vector<std::uint8_t>{1, 2, 3, 2, 3, 4});
    NSData absent(std::vector<std::uint8_t>{3, 1});
    NSData empty;
    EXPECT_EQ(VuderuUtil::vuderuRangeOfData(&needle, &hay), (VuderuRange{1, 2}));
    EXPECT_EQ(VuderuUtil::vuderuRangeOfData(&hay, &hay), (VuderuRange{0, 5}));
    EXPECT_EQ(VuderuUtil::vuderuRangeOfData(&longer, &hay), (VuderuRange{0, 0}));
    EXPECT_EQ(VuderuUtil::vuderuRangeOfData(&absent, &hay), (VuderuRange{0, 0}));
    EXPECT_EQ(VuderuUtil::vuderuRangeOfData(&empty, &hay), (VuderuRange{0, 0}));
    EXPECT_EQ(VuderuUtil::vuderuRangeOfData(nullptr, &hay), (VuderuRange{0, 0}));
    EXPECT_EQ(VuderuUtil::vuderuRangeOfData(&needle, nullptr), (VuderuRange{0, 0}));
}

TEST(VuderuUtilTest, UrlParametersSplitAtTheFirstQuestionMark) {
    struct Case {
        const char* text;
        const char* header;
        std::optional<std::string> kv;
        std::optional<std::map<std::string, std::string>> dict;
    };
    const Case cases[] = {
        {"http://h/p", "http://h/p", std::nullopt, std::nullopt},
        {"http://h/p?a=1&b=2", "http://h/p", "a=1&b=2", std::map<std::string, std::string>{{"a", "1"}, {"b", "2"}}},
        {"p?a=1&a=2", "p", "a=1&a=2", std::map<std::string, std::string>{{"a", "2"}}},
        {"p?a=1=2&b=%20", "p", "a=1=2&b=%20", std::map<std::string, std::string>{{"a", "1"}, {"b", "%20"}}},
        // An item without "=" maps to the empty string.
        {"p?flag&x=?y", "p", "flag&x=?y", std::map<std::string, std::string>{{"flag", ""}, {"x", "?y"}}},
        {"p?", "p", "", std::map<std::string, std::string>{{"", ""}}},
    };
    for (const Case& c : cases) {
        std::string header = "unset";
        std::optional<std::string> kv = "unset";
        EXPECT_EQ(VuderuUtil::createParamKeysDictFromUrlParams(c.text, &header, &kv), c.dict) << c.text;
        EXPECT_EQ(header, c.header) << c.text;
        EXPECT_EQ(kv, c.kv) << c.text;
    }
    EXPECT_TRUE(VuderuUtil::createParamKeysDictFromUrlParams("q?k=v", nullptr, nullptr));
}

TEST(VuderuUtilTest, IntegerConversionsSaturate) {
    EXPECT_EQ(VuderuUtil::uint32FromNSUInteger(4294967295ull), 4294967295u);
    EXPECT_EQ(VuderuUtil::uint32FromNSUInteger(4294967296ull), 4294967295u);
    EXPECT_EQ(VuderuUtil::int32FromNSInteger(2147483648LL), 2147483647);
    EXPECT_EQ(VuderuUtil::int32FromNSInteger(-2147483649LL), -2147483647 - 1);
    EXPECT_EQ(VuderuUtil::int32FromNSInteger(-5), -5);
    EXPECT_EQ(VuderuUtil::int32FromDouble(std::nan("")), 0);
    EXPECT_EQ(VuderuUtil::int32FromDouble(1e10), 2147483647);
    EXPECT_EQ(VuderuUtil::int32FromDouble(-1e10), -2147483647 - 1);
    EXPECT_EQ(VuderuUtil::int32FromDouble(-2.9), -2);
    EXPECT_EQ(VuderuUtil::int64FromDouble(INFINITY), std::numeric_limits<std::int64_t>::max());
}

TEST(VuderuUtilTest, UUIDsHaveThePlatformForm) {
    std::string a = VuderuUtil::generateCFUUID();
    ASSERT_EQ(a.size(), 36u);
    for (std::size_t i : {8u, 13u, 18u, 23u}) EXPECT_EQ(a[i], '-');
    EXPECT_EQ(NSString::uppercaseString(a), a);
    EXPECT_NE(a, VuderuUtil::generateCFUUID());
    std::string id = VuderuUtil::generateCFUUIDBasedUID();
    EXPECT_EQ(id.substr(0, 2), "ID");
    EXPECT_EQ(id.size(), 38u);
}

TEST(VuderuUtilTest, CountersCountOnlyAboveLogLevelOne) {
    NSLogCapture log;
    VuderuUtil::setLogLevel(1);
    VuderuUtil::incrementCounter("a");
    VuderuUtil::printCounters();
    EXPECT_TRUE(VuderuUtil::allCounters().empty());
    EXPECT_TRUE(log.lines().empty());
    VuderuUtil::setLogLevel(2);
    VuderuUtil::incrementCounter("a");
    VuderuUtil::incrementCounter("a");
    VuderuUtil::decrementCounter("b");
    VuderuUtil::incrementCounterLocationName("task", "-[AdLogManager send]");
    auto all = VuderuUtil::allCounters();
    EXPECT_EQ(all, (std::map<std::string, int>{{"a", 2}, {"b", -1}, {"task_location_-[AdLogManager send]", 1}}));
    VuderuUtil::printCounters();
    auto lines = log.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "=========== Printing All Counters [name, value] ===========");
    EXPECT_EQ(lines[1], "[a" + std::string(99, ' ') + "=>     2]");
    EXPECT_EQ(lines[4], "===========================================================");
    VuderuUtil::setLogLevel(1);
}

TEST(VuderuUtilTest, ExceptionsAreReportedOnlyWhenAskedFor) {
    NSLogCapture log;
    VuderuUtil::setLogLevel(2);
    VuderuUtil::handleException(NSException("Boom", "it broke"));
    EXPECT_TRUE(log.lines().empty());
    VuderuUtil::setShowErrorInLogEnabled(true);
    VuderuUtil::handleException(NSException("Boom", "it broke", {{"k", "v"}}));
    VuderuUtil::handleException(*NSError::errorWithDomain("D", 7));
    VuderuUtil::handleException(Value("odd"));
    VuderuUtil::handleException(std::make_exception_ptr(std::runtime_error("plain")));
    auto lines = log.lines();
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], "Vuderu: Caught Exception in Vuderu Analytics Code");
    EXPECT_EQ(lines[1], "Vuderu: -----------------------------------------");
    EXPECT_EQ(lines[2], "Vuderu: Name:Boom Reason:it broke");
    EXPECT_EQ(lines[4], "Vuderu: Caught Error in Vuderu Analytics Code");
    EXPECT_EQ(lines[6], "Vuderu: Code:7 Domain:D");
    EXPECT_EQ(lines[9], "Vuderu: odd");
    EXPECT_EQ(lines[11], "Vuderu: plain");
    // An exception made without user info has none: it is written as a nil object.
    log.clear();
    VuderuUtil::handleException(NSException("Bare", "no info"));
    ASSERT_EQ(log.lines().size(), 4u);
    EXPECT_EQ(log.lines()[3], "Vuderu: (null)");
    log.clear();
    VuderuUtil::setLogLevel(1);
    VuderuUtil::handleException(NSException("Boom", "quiet"));
    EXPECT_TRUE(log.lines().empty());
    VuderuUtil::setShowErrorInLogEnabled(false);
}

} // namespace
