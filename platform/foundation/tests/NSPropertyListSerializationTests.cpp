#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSDate.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdio>
#include <limits>

#include <dirent.h>

namespace {

Value sample(double dateSeconds) {
    return Value::Dictionary{
        {"negative", -5},
        {"big", 1LL << 40},
        {"real", 0.5},
        {"whole real", 2.0},
        {"yes", true},
        {"no", false},
        {"text", "h\xC3\xA9llo <&> \xF0\x9F\x98\x80"},
        {"markup", "a]]>b <![CDATA[x]]> &amp; \r\n\t"},
        {"empty", ""},
        {"data", Value(Value::Data{0, 1, 0xFF, 0})},
        {"date", Value(Value::Date{dateSeconds})},
        {"nested", Value::Array{Value::Array{}, Value::Dictionary{}, Value::Array{1, "two"}}},
    };
}

TEST(NSPropertyListSerializationTest, RoundTripsInBothFormats) {
    struct Case {
        NSPropertyListFormat format;
        double date; // XML keeps whole seconds, binary keeps fractions
    };
    for (const Case& c : {Case{NSPropertyListXMLFormat_v1_0, 1400000000.0}, Case{NSPropertyListBinaryFormat_v1_0, 1400000000.25}}) {
        Value original = sample(c.date);
        NSErrorPtr error;
        auto data = NSPropertyListSerialization::dataWithPropertyList(original, c.format, 0, &error);
        ASSERT_TRUE(data) << error->description();
        NSPropertyListFormat read = NSPropertyListOpenStepFormat;
        auto back = NSPropertyListSerialization::propertyListWithData(*data, NSPropertyListImmutable, &read, &error);
        ASSERT_TRUE(back) << error->description();
        EXPECT_EQ(read, c.format);
        EXPECT_EQ(*back, original) << back->description();
        EXPECT_TRUE((*back)["negative"].isInteger());
        EXPECT_TRUE((*back)["whole real"].isReal());
        EXPECT_TRUE((*back)["yes"].isBool());
        EXPECT_TRUE((*back)["date"].isDate());
        EXPECT_DOUBLE_EQ((*back)["date"].date().secondsSince1970, c.date);
    }
    auto xml = NSPropertyListSerialization::dataWithPropertyList(sample(0), NSPropertyListXMLFormat_v1_0);
    EXPECT_NE(xml->stringView().find("<key>negative</key>"), std::string_view::npos);
    auto binary = NSPropertyListSerialization::dataWithPropertyList(sample(0), NSPropertyListBinaryFormat_v1_0);
    EXPECT_EQ(binary->stringView().substr(0, 8), "bplist00");
}

// The XML text is the text libplist itself writes for the same values (read back by libplist and
// written again, it comes out the same to the byte), from the top level down past the depth at
// which data lines stop being indented further.
TEST(NSPropertyListSerializationTest, XMLIsTheTextLibplistWrites) {
    Value::Data bytes;
    for (int i = 0; i < 200; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7));
    Value deep = Value::Array{Value(bytes), 0.1, -0.0, 1e300, -2.5e-7, std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(), Value(Value::Data{}), Value(Value::Date{-1e6})};
    for (int i = 0; i < 11; ++i) deep = Value::Array{deep};
    const std::pair<const char*, Value> cases[] = {
        {"sample", sample(1400000000)},
        {"data at the top", Value(bytes)},
        {"a string at the top", Value("top <&>")},
        {"empty dictionary", Value::Dictionary{}},
        {"nested deep", deep},
        {"keys to escape", Value::Dictionary{{"k<&>", "v"}, {"", Value::Array{}}}},
    };
    for (const auto& [name, value] : cases) {
        auto ours = NSPropertyListSerialization::dataWithPropertyList(value, NSPropertyListXMLFormat_v1_0);
        ASSERT_TRUE(ours) << name;
        const std::string text(ours->stringView());
        plist_t node = nullptr;
        plist_from_xml(text.data(), static_cast<uint32_t>(text.size()), &node);
        ASSERT_NE(node, nullptr) << name;
        char* again = nullptr;
        uint32_t length = 0;
        plist_to_xml(node, &again, &length);
        plist_free(node);
        ASSERT_NE(again, nullptr) << name;
        EXPECT_EQ(std::string(again, length), text) << name;
        plist_to_xml_free(again);
    }
}

TEST(NSPropertyListSerializationTest, ReadsForeignXMLWithDatesAndData) {
    const char* xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>when</key><date>2001-01-01T00:01:00Z</date>
  <key>blob</key><data>AAEC</data>
  <key>n</key><integer>-12</integer>
</dict></plist>)";
    auto v = NSPropertyListSerialization::propertyListWithData(xml);
    ASSERT_TRUE(v);
    EXPECT_DOUBLE_EQ((*v)["when"].date().secondsSince1970, NSTimeIntervalSince1970 + 60);
    EXPECT_EQ((*v)["blob"].data(), (Value::Data{0, 1, 2}));
    EXPECT_EQ((*v)["n"].integerValue(), -12);
}

TEST(NSPropertyListSerializationTest, CorruptInputGivesReadCorruptError) {
    const std::string cases[] = {"", "garbage", "bplist00garbage", "<?xml version=\"1.0\"?><plist><dict><key>a",
                                 "{ a = b; }", std::string("bplist00\0\0\0\0", 12)};
    for (const auto& input : cases) {
        NSErrorPtr error;
        EXPECT_FALSE(NSPropertyListSerialization::propertyListWithData(input, 0, nullptr, &error)) << input;
        ASSERT_TRUE(error) << input;
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
        EXPECT_FALSE(error->localizedDescription().empty());
    }
}

TEST(NSPropertyListSerializationTest, NonPropertyListValuesAreRefused) {
    const std::pair<const char*, Value> cases[] = {
        {"null", Value()},
        {"null in array", Value::Array{1, Value()}},
        {"object", Value::Dictionary{{"o", Value(std::make_shared<NSObject>())}}},
        {"NUL in string", Value(std::string("a\0b", 3))},
        {"invalid UTF-8", Value::Array{"\xC3"}},
        {"invalid UTF-8 key", Value::Dictionary{{"\xFF", 1}}},
        {"date beyond 2069", Value(Value::Date{NSTimeIntervalSince1970 + 1e10})},
    };
    for (const auto& [name, value] : cases) {
        for (auto format : {NSPropertyListXMLFormat_v1_0, NSPropertyListBinaryFormat_v1_0}) {
            NSErrorPtr error;
            EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(value, format, 0, &error)) << name;
            ASSERT_TRUE(error) << name;
            EXPECT_EQ(error->code(), NSPropertyListWriteInvalidError) << name;
            EXPECT_FALSE(NSPropertyListSerialization::propertyListIsValidForFormat(value, format)) << name;
        }
    }
    NSErrorPtr error;
    EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(Value::Array{}, NSPropertyListOpenStepFormat, 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSPropertyListWriteInvalidError);
}

class PropertyListFileTest : public DeviceTest {};

TEST_F(PropertyListFileTest, WritesAtomicallyAndReadsBack) {
    Value dict = Value::Dictionary{{"a", 1}, {"b", Value::Array{"x"}}};
    ASSERT_TRUE(NSWritePropertyListToFile(dict, "/var/mobile/Documents/d.plist", true));
    EXPECT_NE(readFile("/var/mobile/Documents/d.plist").find("<plist"), std::string::npos);
    auto read = NSDictionaryWithContentsOfFile("/var/mobile/Documents/d.plist");
    ASSERT_TRUE(read);
    EXPECT_EQ(Value(*read), dict);
    // A dictionary file is not an array, and a missing file is nothing.
    EXPECT_FALSE(NSArrayWithContentsOfFile("/var/mobile/Documents/d.plist"));
    EXPECT_FALSE(NSDictionaryWithContentsOfFile("/var/mobile/Documents/missing.plist"));

    ASSERT_TRUE(NSPropertyListSerialization::writePropertyListToFile(Value::Array{1, 2}, "/var/mobile/Documents/a.plist", true,
                                                                     NSPropertyListBinaryFormat_v1_0));
    auto array = NSArrayWithContentsOfFile("/var/mobile/Documents/a.plist");
    ASSERT_TRUE(array);
    EXPECT_EQ(array->size(), 2u);

    // Only the two files: no temporary file is left behind.
    DIR* dir = opendir(host("/var/mobile/Documents").c_str());
    int entries = 0;
    while (dirent* e = readdir(dir)) entries += e->d_name[0] != '.';
    closedir(dir);
    EXPECT_EQ(entries, 2);
}

// Another reader of the XML form: Python's plistlib sees the dictionary, its dates to the second
// and its other kinds as we wrote them.
TEST_F(PropertyListFileTest, XMLWithDatesIsReadByPlistlib) {
    Value dict = Value::Dictionary{{"when", Value(Value::Date{1700000000.25})},
                                   {"entry", Value::Dictionary{{"path", "/a b/<c>&"}, {"count", 3}, {"flag", true}}}};
    ASSERT_TRUE(NSWritePropertyListToFile(dict, "/tmp/dates.plist", true));
    writeFile("/tmp/read.py", "import plistlib, sys\n"
                              "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                              "e = d['entry']\n"
                              "print(d['when'].isoformat(), type(e['path']).__name__, e['path'], e['count'], e['flag'])\n");
    FILE* pipe = ::popen(("python3 '" + host("/tmp/read.py") + "' '" + host("/tmp/dates.plist") + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    std::string out = std::fgets(line, sizeof line, pipe) ? line : "";
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(out, "2023-11-14T22:13:20 str /a b/<c>& 3 True\n");
}

TEST_F(PropertyListFileTest, FailedWriteKeepsTheOldFileAndReportsTheError) {
    writeFile("/var/mobile/Documents/keep.plist", "old");
    NSErrorPtr error;
    EXPECT_FALSE(NSPropertyListSerialization::writePropertyListToFile(Value::Array{Value()}, "/var/mobile/Documents/keep.plist",
                                                                      true, NSPropertyListXMLFormat_v1_0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(readFile("/var/mobile/Documents/keep.plist"), "old");
    error.reset();
    EXPECT_FALSE(NSPropertyListSerialization::writePropertyListToFile(Value::Array{}, "/var/mobile/Missing/x.plist", true,
                                                                      NSPropertyListXMLFormat_v1_0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    error.reset();
    EXPECT_FALSE(NSPropertyListSerialization::propertyListWithContentsOfFile("/var/mobile/Documents/keep.plist", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
}

} // namespace
