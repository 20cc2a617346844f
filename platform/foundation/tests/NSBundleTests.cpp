#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSData.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class NSBundleTest : public DeviceTest {};

TEST_F(NSBundleTest, MainBundleIsTheApplicationWithItsInfoPlist) {
    auto bundle = NSBundle::mainBundle();
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->bundlePath(), "/Applications/Tandrel.app");
    EXPECT_EQ(bundle->resourcePath(), bundle->bundlePath());
    EXPECT_EQ(bundle->bundleIdentifier(), "org.harborstack.tandrel");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleVersion").stringValue(), "1.0");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("CFBundleShortVersionString").stringValue(), "1.0");
    EXPECT_EQ(bundle->objectForInfoDictionaryKey("MinimumOSVersion").stringValue(), "8.0");
    EXPECT_EQ(bundle->infoDictionary().at("CFBundleDisplayName").string(), "Tandrel");
    EXPECT_TRUE(bundle->objectForInfoDictionaryKey("NoSuchKey").isNull());

    // Resources resolve through the device, whatever the test's device root is.
    std::string info = bundle->pathForResource("Info", "plist");
    EXPECT_EQ(info, "/Applications/Tandrel.app/Info.plist");
    EXPECT_EQ(bundle->pathForResource("Info.plist", ""), info);
    EXPECT_EQ(bundle->pathForResource("Info", ".plist"), info);
    ASSERT_TRUE(bundle->URLForResource("Info", "plist"));
    EXPECT_EQ(bundle->URLForResource("Info", "plist")->absoluteString(), "file:///Applications/Tandrel.app/Info.plist");
    EXPECT_EQ(bundle->URLForResource("Info", "plist")->path(), info);
    auto data = NSData::dataWithContentsOfFile(info);
    ASSERT_TRUE(data);
    EXPECT_NE(data->stringView().find("org.harborstack.tandrel"), std::string_view::npos);
    EXPECT_EQ(bundle->pathForResource("NoSuchResource", "png"), "");
    EXPECT_FALSE(bundle->URLForResource("NoSuchResource", "png"));
}

TEST_F(NSBundleTest, ResourcesFolderComesFromTheEnvironmentFirst) {
    TemporaryFolder folder;
    ::setenv("TANDREL_RESOURCES", folder.path().c_str(), 1);
    EXPECT_EQ(NSBundle::mainBundleHostFolder(), folder.path());
    ::setenv("TANDREL_RESOURCES", (folder.path() + "/missing").c_str(), 1);
    EXPECT_NE(NSBundle::mainBundleHostFolder(), folder.path() + "/missing");
    ::unsetenv("TANDREL_RESOURCES");
    EXPECT_FALSE(NSBundle::mainBundleHostFolder().empty());
}

TEST_F(NSBundleTest, LocalizedStringsComeFromTheTablesOfEnLproj) {
    writeFile("/tmp/Test.bundle/en.lproj/Localizable.strings",
              "/* The greeting */\n\"hello\" = \"Hi \\\"there\\\"\";\n// line comment\n\"multi\" = \"a\\nb\";\n"
              "\"accent\" = \"caf\\U00e9\";\n\"smile\" = \"\\UD83D\\UDE00\";\nbare = word;\n");
    writeFile("/tmp/Test.bundle/en.lproj/NetKit.strings", "\"Unknown\" = \"Not known\";");
    // UTF-16 little-endian with a byte-order mark, as the platform's tools write them.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("\"k\" = \"v16\";")) utf16 += std::string{c, '\0'};
    writeFile("/tmp/Test.bundle/en.lproj/Wide.strings", utf16);
    writeFile("/tmp/Test.bundle/en.lproj/Broken.strings", "\"unterminated = ");
    auto bundle = NSBundle::bundleWithPath("/tmp/Test.bundle");
    ASSERT_TRUE(bundle);

    struct Case {
        const char* key;
        const char* value;
        const char* table;
        std::string expected;
    };
    const Case cases[] = {
        {"hello", "", "", "Hi \"there\""},
        {"hello", "fallback", "Localizable", "Hi \"there\""},
        {"multi", "", "", "a\nb"},
        {"accent", "", "", "caf\xC3\xA9"},
        {"smile", "", "", "\xF0\x9F\x98\x80"},
        {"bare", "", "", "word"},
        {"Unknown", "", "NetKit", "Not known"},
        {"k", "", "Wide", "v16"},
        {"missing", "fallback", "", "fallback"},
        {"missing", "", "", "missing"},
        {"hello", "", "NoSuchTable", "hello"},
        {"unterminated", "", "Broken", "unterminated"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bundle->localizedStringForKey(c.key, c.value, c.table), c.expected) << c.key << " in " << c.table;
    }
    EXPECT_TRUE(log_->contains("Broken.strings"));
    EXPECT_EQ(bundle->pathForResource("NetKit", "strings"), "/tmp/Test.bundle/en.lproj/NetKit.strings");
    EXPECT_EQ(bundle->pathsForResourcesOfType("strings", "en.lproj").size(), 4u);
    EXPECT_TRUE(bundle->infoDictionary().empty());
    EXPECT_EQ(bundle->bundleIdentifier(), "");
    EXPECT_FALSE(NSBundle::bundleWithPath("/tmp/NoSuch.bundle"));
}

} // namespace
