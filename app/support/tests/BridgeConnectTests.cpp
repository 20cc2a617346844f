#include "app/support/BridgeConnect.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/TestImages.h"
#include "platform/uikit/UIApplication.h"

#include <functional>

#include <gtest/gtest.h>

namespace {
const std::string kMetadataPath = "/var/mobile/tmp/BridgeImportMetadata.plist";
const std::string kArtworkPath = "/var/mobile/tmp/AlbumArt.png";

class BridgeConnectTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        makeDirectory("/var/mobile/tmp");
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    void installImportApp() const {
        writeFile("/Applications/Bridge.app/Info.plist",
                  R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.bridge</string>
<key>CFBundleURLTypes</key><array><dict><key>CFBundleURLSchemes</key><array><string>bridgeAPIvA</string></array></dict></array>
</dict></plist>
)");
    }
    static Value readMetadata() {
        auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(kMetadataPath);
        return plist ? *plist : Value();
    }
    static std::vector<std::string> keys(const Value& plist) {
        std::vector<std::string> out;
        if (plist.isDictionary())
            for (const auto& [key, value] : plist.dictionary()) out.push_back(key);
        return out;
    }
    static Value strings(std::vector<std::string> items) {
        Value::Array array(items.begin(), items.end());
        return Value(std::move(array));
    }
};
} // namespace

TEST_F(BridgeConnectTest, TheMetadataReadsBackAsTheImportAppExpectsIt) {
    installImportApp();
    auto artwork = UIImage::imageWithData(NSData(TestImages::png(4, 4)));
    struct Case {
        const char* name;
        std::function<bool()> hand;
        std::vector<std::string> keys;
        std::function<void(const Value&)> check;
    };
    const Case cases[] = {
        {"one path", [] { return BridgeConnect::importFileAtPath("/var/mobile/Tandrel/song.m4a"); },
         {"Contents", "Multi"},
         [](const Value& p) {
             EXPECT_TRUE(p["Multi"].isInteger());
             EXPECT_EQ(p["Multi"].integerValue(-1), 0);
             EXPECT_EQ(p["Contents"], Value("/var/mobile/Tandrel/song.m4a"));
         }},
        {"two paths and titles",
         [] {
             return BridgeConnect::importFilesAtPathsTitlesArtistAlbumGenreArtwork({"/a.m4a", "/b.m4a"}, {"A", "B"}, "Artist", "Album",
                                                                                   "Genre", nullptr);
         },
         {"Album", "Artist", "Contents", "Genre", "Multi", "Titles"},
         [](const Value& p) {
             EXPECT_TRUE(p["Multi"].isInteger());
             EXPECT_EQ(p["Multi"].integerValue(-1), 1);
             EXPECT_EQ(p["Contents"], strings({"/a.m4a", "/b.m4a"}));
             EXPECT_EQ(p["Titles"], strings({"A", "B"}));
             EXPECT_EQ(p["Artist"], Value("Artist"));
         }},
        {"one path with a title, empty artist, album and genre",
         [] { return BridgeConnect::importFileAtPathTitleArtistAlbumGenreArtwork("/a.m4a", "Song", "", "", "", nullptr); },
         {"Contents", "Multi", "Titles"},
         [](const Value& p) { EXPECT_EQ(p["Titles"], Value("Song")); }},
        {"artwork",
         [&] { return BridgeConnect::importFileAtPathTitleArtistAlbumGenreArtwork("/a.m4a", "Song", "", "", "Pop", artwork); },
         {"Artwork", "Contents", "Genre", "Multi", "Titles"},
         [](const Value& p) {
             EXPECT_EQ(p["Artwork"], Value(kArtworkPath));
             auto image = UIImage::imageWithContentsOfFile(kArtworkPath);
             ASSERT_TRUE(image);
             EXPECT_EQ(image->size().width, 4);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.hand());
        Value plist = readMetadata();
        EXPECT_EQ(keys(plist), c.keys);
        c.check(plist);
    }
    const auto& opened = UIApplication::sharedApplication()->openedURLs();
    ASSERT_EQ(opened.size(), 4u);
    for (const auto& url : opened) EXPECT_EQ(url->absoluteString(), "bridgeAPIvA://" + kMetadataPath);
}

TEST_F(BridgeConnectTest, WithoutTheImportAppNothingIsWrittenOrOpened) {
    EXPECT_FALSE(BridgeConnect::canImportFiles());
    auto artwork = UIImage::imageWithData(NSData(TestImages::png(2, 2)));
    EXPECT_FALSE(BridgeConnect::importFileAtPath("/a.m4a"));
    EXPECT_FALSE(BridgeConnect::importFileAtPathTitleArtistAlbumGenreArtwork("/a.m4a", "A", "B", "C", "D", artwork));
    auto contents = NSFileManager::defaultManager()->contentsOfDirectoryAtPath("/var/mobile/tmp", nullptr);
    ASSERT_TRUE(contents);
    EXPECT_TRUE(contents->empty());
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
}

TEST_F(BridgeConnectTest, NoPathsOrAnUnwritableFolderGiveNoAndOpenNothing) {
    installImportApp();
    EXPECT_TRUE(BridgeConnect::canImportFiles());
    EXPECT_FALSE(BridgeConnect::importFilesAtPaths({}));
    // A folder where the property list would go: it cannot be written.
    makeDirectory(kMetadataPath);
    EXPECT_FALSE(BridgeConnect::importFileAtPath("/a.m4a"));
    EXPECT_TRUE(UIApplication::sharedApplication()->openedURLs().empty());
}
