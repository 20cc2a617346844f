// Damaged and hostile property lists are refused with an error; none may end the process.
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/tests/BinaryPropertyListBytes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Arrays and dictionaries may nest this deep in a property list, and no deeper.
constexpr std::size_t kDepthLimit = 512;

using binary_plist::bigEndian;
using binary_plist::bplist;

// Objects with fewer than 15 elements or characters, one-byte references.
std::string marker(unsigned kind, std::size_t length) { return std::string(1, static_cast<char>(kind << 4 | length)); }
std::string ascii(const std::string& s) { return marker(0x5, s.size()) + s; }
std::string utf16(const std::vector<std::uint16_t>& units) {
    std::string out = marker(0x6, units.size());
    for (std::uint16_t u : units) out += bigEndian(u, 2);
    return out;
}
std::string array(const std::vector<std::uint8_t>& references) {
    return marker(0xA, references.size()) + std::string(references.begin(), references.end());
}
std::string dictionary(std::uint8_t key, std::uint8_t value) { return marker(0xD, 1) + char(key) + char(value); }

// Arrays nested `depth` deep around an empty one, with two-byte references.
std::string nestedArrays(std::size_t depth) {
    std::vector<std::string> objects;
    for (std::size_t i = 0; i < depth; ++i) objects.push_back(marker(0xA, 1) + bigEndian(i + 1, 2));
    objects.push_back(marker(0xA, 0));
    return bplist(objects, 0, 2);
}

std::string nestedXML(std::size_t depth) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    for (std::size_t i = 0; i < depth; ++i) xml += "<array>";
    for (std::size_t i = 0; i < depth; ++i) xml += "</array>";
    return xml + "</plist>";
}

Value nestedValue(std::size_t depth) {
    Value v = Value::Array{};
    for (std::size_t i = 1; i < depth; ++i) v = Value::Array{std::move(v)};
    return v;
}

TEST(PropertyListDamageTest, HostileBinaryListsAreRefusedAsCorrupt) {
    // Each level of the doubling list refers to the next one twice: 2^64 nodes once expanded.
    std::vector<std::string> doubling;
    for (std::uint8_t i = 0; i < 64; ++i) doubling.push_back(array({static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 1)}));
    doubling.push_back(ascii("x"));
    std::string badOffset = bplist({ascii("k")});
    badOffset[badOffset.size() - 32 - 1] = 0x7F;
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-16 value holding U+0000", bplist({dictionary(1, 2), ascii("k"), utf16({'a', 0, 'b'})})},
        {"UTF-16 key holding U+0000", bplist({dictionary(1, 2), utf16({'a', 0, 'b'}), ascii("v")})},
        {"ASCII string holding a NUL", bplist({array({1}), ascii(std::string("a\0b", 3))})},
        {"lone high surrogate", bplist({utf16({'a', 0xD83D})})},
        {"lone low surrogate", bplist({utf16({0xDE00, 'a'})})},
        {"array nested 30,000 deep", nestedArrays(30000)},
        {"array nested one level too deep", nestedArrays(kDepthLimit)},
        {"array containing itself", bplist({array({0})})},
        {"shared containers doubling 64 times", bplist(doubling)},
        {"reference out of range", bplist({array({7})})},
        {"object offset out of range", badOffset},
        {"root out of range", bplist({ascii("k")}, 3)},
        {"more objects than offsets", bplist({ascii("k")}, 0, 1, 1000)},
        {"string longer than the file", bplist({marker(0x5, 0xF) + "\x12" + bigEndian(0x7FFFFFFF, 4)})},
        {"key that is a number", bplist({dictionary(1, 1), marker(0x1, 0) + char(5)})},
        {"unsupported null object", bplist({array({1}), std::string(1, '\0')})},
        {"date beyond 32-bit seconds", bplist({array({1}), marker(0x3, 3) + bigEndian(std::bit_cast<std::uint64_t>(3e9), 8)})},
        {"date a quarter second before 2001", bplist({marker(0x3, 3) + bigEndian(std::bit_cast<std::uint64_t>(-0.25), 8)})},
        {"date that is not a number", bplist({marker(0x3, 3) + bigEndian(std::bit_cast<std::uint64_t>(std::nan("")), 8)})},
        {"bad reference size", [] {
             std::string b = bplist({ascii("k")});
             b[b.size() - 32 + 7] = 0;
             return b;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        auto value = NSPropertyListSerialization::propertyListWithData(c.bytes, 0, nullptr, &error);
        EXPECT_FALSE(value) << value->description();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
    }
}

TEST(PropertyListDamageTest, SoundListsAtTheLimitsStillRead) {
    auto deepest = NSPropertyListSerialization::propertyListWithData(nestedArrays(kDepthLimit - 1));
    ASSERT_TRUE(deepest);
    EXPECT_EQ(*deepest, nestedValue(kDepthLimit));

    // Dates before 2001 keep their fractions.
    constexpr double kSince1970To2001 = 978307200;
    for (double since2001 : {-421692800.25, -1.5, 0.25, 5e8 + 0.75}) {
        SCOPED_TRACE(since2001);
        auto date = NSPropertyListSerialization::propertyListWithData(bplist({marker(0x3, 3) + bigEndian(std::bit_cast<std::uint64_t>(since2001), 8)}));
        ASSERT_TRUE(date);
        EXPECT_DOUBLE_EQ(date->date().secondsSince1970, since2001 + kSince1970To2001);
    }

    // A surrogate pair, and one string shared by many references as writers share them.
    auto pair = NSPropertyListSerialization::propertyListWithData(bplist({array({1, 1, 1}), utf16({0xD83D, 0xDE00})}));
    ASSERT_TRUE(pair);
    EXPECT_EQ(*pair, (Value::Array{"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"}));
}

TEST(PropertyListDamageTest, DeepXMLIsRefusedAndTheLimitReads) {
    for (std::size_t depth : {std::size_t{30000}, std::size_t{1000000}, std::size_t{kDepthLimit + 1}}) {
        SCOPED_TRACE(depth);
        NSErrorPtr error;
        EXPECT_FALSE(NSPropertyListSerialization::propertyListWithData(nestedXML(depth), 0, nullptr, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
    }
    auto deepest = NSPropertyListSerialization::propertyListWithData(nestedXML(kDepthLimit));
    ASSERT_TRUE(deepest);
    EXPECT_EQ(*deepest, nestedValue(kDepthLimit));

    // Markup inside comments and character data is text, not nesting.
    std::string quoted = "<plist><!-- " + nestedXML(2000) + " --><string><![CDATA[";
    for (int i = 0; i < 2000; ++i) quoted += "<array>";
    auto text = NSPropertyListSerialization::propertyListWithData(quoted + "]]></string></plist>");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string().size(), 2000u * 7);
}

// libplist keeps dates in 32-bit seconds since 2001: a date beyond them is refused, not read as
// another one.
TEST(PropertyListDamageTest, XMLDatesBeyondWhatCanBeHeldAreRefused) {
    struct Case {
        const char* date;
        bool reads;
    };
    for (const Case& c : {Case{"2068-12-31T23:59:59Z", true}, Case{"1933-01-01T00:00:00Z", true}, Case{"3000-01-01T00:00:00Z", false},
                          Case{"1900-01-01T00:00:00Z", false}, Case{"99999999-01-01T00:00:00Z", false}}) {
        SCOPED_TRACE(c.date);
        auto value = NSPropertyListSerialization::propertyListWithData(std::string("<plist><date>") + c.date + "</date></plist>");
        EXPECT_EQ(value.has_value(), c.reads);
    }
}

TEST(PropertyListDamageTest, WhatCannotBeReadBackIsNotWritten) {
    for (NSPropertyListFormat format : {NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0}) {
        SCOPED_TRACE(format);
        auto written = NSPropertyListSerialization::dataWithPropertyList(nestedValue(kDepthLimit), format);
        ASSERT_TRUE(written);
        auto back = NSPropertyListSerialization::propertyListWithData(*written);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, nestedValue(kDepthLimit));

        NSErrorPtr error;
        EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(nestedValue(kDepthLimit + 1), format, 0, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSPropertyListWriteInvalidError);
    }
}

} // namespace
