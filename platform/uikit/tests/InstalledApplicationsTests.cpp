#include "platform/foundation/NSURL.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/InstalledApplications.h"
#include "platform/uikit/UIApplication.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {
std::string infoPlist(const std::string& identifier, const std::string& name, const std::string& schemes, const std::string& documents) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>)" + identifier + R"(</string>
<key>CFBundleDisplayName</key><string>)" + name + R"(</string>
<key>CFBundleURLTypes</key><array><dict><key>CFBundleURLSchemes</key><array>)" + schemes + R"(</array></dict></array>
<key>CFBundleDocumentTypes</key><array>)" + documents + R"(</array>
</dict></plist>
)";
}

class InstalledApplicationsTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        writeFile("/Applications/Importer.app/Info.plist",
                  infoPlist("com.example.importer", "Importer", "<string>bridgeAPIvA</string>", ""));
        writeFile("/Applications/Reader.app/Info.plist",
                  infoPlist("com.example.reader", "Reader", "<string>reader</string><string>Reader-Two</string>",
                            "<dict><key>CFBundleTypeName</key><string>PDF</string></dict>"));
        writeFile("/Applications/Broken.app/Info.plist", "not a property list");
        makeDirectory("/Applications/Empty.app");
        writeFile("/Applications/notes.txt", "not an app");
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
};
} // namespace

TEST_F(InstalledApplicationsTest, ReadsEveryReadableBundleAndSkipsTheRestWithALogLine) {
    auto apps = InstalledApplications::all();
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].bundlePath, "/Applications/Importer.app");
    EXPECT_EQ(apps[0].identifier, "com.example.importer");
    EXPECT_EQ(apps[0].urlSchemes, std::vector<std::string>{"bridgeAPIvA"});
    EXPECT_TRUE(apps[0].documentTypes.empty());
    EXPECT_EQ(apps[1].displayName, "Reader");
    EXPECT_EQ(apps[1].urlSchemes, (std::vector<std::string>{"reader", "Reader-Two"}));
    EXPECT_EQ(apps[1].documentTypes, std::vector<std::string>{"PDF"});
    EXPECT_TRUE(log_->contains("/Applications/Broken.app"));
    EXPECT_TRUE(log_->contains("/Applications/Empty.app"));
}

TEST_F(InstalledApplicationsTest, CanOpenURLAnswersForSystemAndInstalledSchemesWithoutCase) {
    const std::pair<const char*, bool> cases[] = {
        {"https://example.com/", true},       {"HTTP://example.com/", true},  {"bridgeAPIvA:///tmp/x", true},
        {"BRIDGEapiva://x", true},            {"bridgeapiva://", true},       {"reader-two://doc", true},
        {"READER://doc", true},               {"unknown://x", false},         {"broken://x", false},
    };
    auto app = UIApplication::sharedApplication();
    for (const auto& [text, expected] : cases) EXPECT_EQ(app->canOpenURL(NSURL::URLWithString(text)), expected) << text;
}

TEST_F(InstalledApplicationsTest, AnAppTakenOutNoLongerOpensItsScheme) {
    auto url = NSURL::URLWithString("reader://doc");
    EXPECT_TRUE(UIApplication::sharedApplication()->openURL(url));
    std::filesystem::remove_all(host("/Applications/Reader.app"));
    EXPECT_FALSE(UIApplication::sharedApplication()->canOpenURL(url));
    EXPECT_EQ(UIApplication::sharedApplication()->openedURLs().size(), 1u);
}
