#include "platform/foundation/NSJSONSerialization.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::string text(const NSDataPtr& data) { return data ? std::string(data->stringView()) : std::string("<nil>"); }

TEST(NSJSONSerializationTest, KeepsIntegersRealsAndNull) {
    NSErrorPtr error;
    auto value = NSJSONSerialization::JSONObjectWithData(
        R"({"int":9007199254740993,"neg":-7,"real":2.5,"whole":1.0,"list":[true,false,null],"s":"x"})", 0, &error);
    ASSERT_TRUE(value) << error->description();
    const Value& v = *value;
    EXPECT_TRUE(v["int"].isInteger());
    EXPECT_EQ(v["int"].integerValue(), 9007199254740993LL);
    EXPECT_EQ(v["neg"].integerValue(), -7);
    EXPECT_TRUE(v["real"].isReal());
    EXPECT_TRUE(v["whole"].isReal());
    EXPECT_TRUE(v["list"][0].isBool());
    EXPECT_FALSE(v["list"][1].boolValue(true));
    EXPECT_TRUE(v["list"][2].isNull());
    EXPECT_EQ(v["list"].count(), 3u);

    auto again = NSJSONSerialization::JSONObjectWithData(*NSJSONSerialization::dataWithJSONObject(v));
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, v);
    EXPECT_TRUE((*again)["int"].isInteger());
    EXPECT_TRUE((*again)["whole"].isReal());
}

TEST(NSJSONSerializationTest, StringsWithNulAndAstralCharactersSurvive) {
    struct Case {
        const char* json;
        std::string expected;
    };
    const Case cases[] = {
        {R"(["a\u0000b"])", std::string("a\0b", 3)},
        {R"(["\ud83d\ude00"])", "\xF0\x9F\x98\x80"},
        {"[\"\xF0\x9F\x98\x80 raw\"]", "\xF0\x9F\x98\x80 raw"},
        {R"(["tab\tquote\"slash\/"])", "tab\tquote\"slash/"},
    };
    for (const auto& c : cases) {
        auto v = NSJSONSerialization::JSONObjectWithData(c.json);
        ASSERT_TRUE(v) << c.json;
        EXPECT_EQ((*v)[0].string(), c.expected) << c.json;
        auto written = NSJSONSerialization::dataWithJSONObject(*v);
        ASSERT_TRUE(written) << c.json;
        auto back = NSJSONSerialization::JSONObjectWithData(*written);
        ASSERT_TRUE(back) << text(written);
        EXPECT_EQ((*back)[0].string(), c.expected) << text(written);
    }
}

TEST(NSJSONSerializationTest, ReadsUTF8WithAMarkAndUTF16) {
    auto utf16 = [](const std::string& ascii, bool bigEndian, bool mark) {
        std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
        for (char c : ascii) out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
        return out;
    };
    const std::string cases[] = {"\xEF\xBB\xBF{\"a\":[1]}", utf16(R"({"a":[1]})", true, true), utf16(R"({"a":[1]})", false, true),
                                 utf16(R"({"a":[1]})", true, false), utf16(R"({"a":[1]})", false, false)};
    for (const auto& json : cases) {
        auto v = NSJSONSerialization::JSONObjectWithData(json);
        ASSERT_TRUE(v) << json.size();
        EXPECT_EQ((*v)["a"][0].integerValue(), 1);
    }
}

TEST(NSJSONSerializationTest, FragmentsNeedTheOption) {
    NSErrorPtr error;
    EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData("42", 0, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 3840);
    auto v = NSJSONSerialization::JSONObjectWithData("42", NSJSONReadingAllowFragments | NSJSONReadingMutableContainers);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->integerValue(), 42);
    auto null = NSJSONSerialization::JSONObjectWithData("null", NSJSONReadingAllowFragments);
    ASSERT_TRUE(null);
    EXPECT_TRUE(null->isNull());
}

TEST(NSJSONSerializationTest, MalformedInputGivesCocoaError3840) {
    const std::string cases[] = {"", "{", "[1,]", R"({"a" 1})", "nul", "[\"\xFF\"]", R"(["\ud800"])", "[1] trailing", "{\"a\":1}}"};
    for (const auto& json : cases) {
        NSErrorPtr error;
        EXPECT_FALSE(NSJSONSerialization::JSONObjectWithData(json, NSJSONReadingAllowFragments, &error)) << json;
        ASSERT_TRUE(error) << json;
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), NSPropertyListReadCorruptError);
        EXPECT_FALSE(error->localizedDescription().empty());
        EXPECT_FALSE(error->userInfoValue("NSDebugDescription").stringValue().empty()) << json;
    }
}

TEST(NSJSONSerializationTest, WritesCompactAndPrettyText) {
    Value object(Value::Dictionary{{"b", Value::Array{1, 2.5, "x/y", true, Value()}}, {"a", "z"}});
    EXPECT_EQ(text(NSJSONSerialization::dataWithJSONObject(object)), R"({"a":"z","b":[1,2.5,"x\/y",true,null]})");
    EXPECT_EQ(text(NSJSONSerialization::dataWithJSONObject(object, NSJSONWritingWithoutEscapingSlashes)),
              R"({"a":"z","b":[1,2.5,"x/y",true,null]})");
    std::string pretty = text(NSJSONSerialization::dataWithJSONObject(object, NSJSONWritingPrettyPrinted));
    EXPECT_NE(pretty.find("\n  \"a\""), std::string::npos) << pretty;
    EXPECT_EQ(*NSJSONSerialization::JSONObjectWithData(pretty), object);
    EXPECT_EQ(text(NSJSONSerialization::dataWithJSONObject(Value("s"), NSJSONWritingFragmentsAllowed)), "\"s\"");
}

TEST(NSJSONSerializationTest, InvalidObjectsAreRefusedWithAnError) {
    const std::pair<const char*, Value> cases[] = {
        {"date", Value::Array{Value(Value::Date{1})}},
        {"data", Value::Dictionary{{"d", Value(Value::Data{1, 2})}}},
        {"nan", Value::Array{std::nan("")}},
        {"infinity", Value::Array{std::numeric_limits<double>::infinity()}},
        {"invalid UTF-8", Value::Array{"\xC3"}},
        {"invalid UTF-8 key", Value::Dictionary{{"\xFF", 1}}},
        {"top-level string", Value("s")},
        {"top-level null", Value()},
    };
    for (const auto& [name, object] : cases) {
        EXPECT_FALSE(NSJSONSerialization::isValidJSONObject(object)) << name;
        NSErrorPtr error;
        EXPECT_FALSE(NSJSONSerialization::dataWithJSONObject(object, 0, &error)) << name;
        ASSERT_TRUE(error) << name;
        EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error->code(), NSPropertyListWriteInvalidError);
    }
    EXPECT_TRUE(NSJSONSerialization::isValidJSONObject(Value::Dictionary{{"a", Value::Array{Value(), 1, "x"}}}));
}

} // namespace
