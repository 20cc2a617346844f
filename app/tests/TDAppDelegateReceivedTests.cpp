#include "app/TDAppDelegate.h"
#include "app/support/TDSites.h"
#include "controls/progress/PBProgressIndicator.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSURL.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"

#include <csignal>
#include <filesystem>
#include <optional>
#include <sys/resource.h>

namespace {
namespace fs = std::filesystem;

const std::string kInbox = "/var/mobile/Documents/Inbox";
const std::string kBridgeLibrary = "/Library/MobileSubstrate/DynamicLibraries/BridgeImport.dylib";

class HandOverTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        clock_.emplace();
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window_->setRootViewController(std::make_shared<UIViewController>());
        window_->makeKeyAndVisible();
        delegate_ = std::make_shared<TDAppDelegate>();
        UIApplication::sharedApplication()->setDelegate(delegate_);
        // Made now, over this test's window.
        PBProgressIndicator::sharedIndicator();
    }
    void TearDown() override {
        clock_.reset();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    // Back to an empty inbox and app folder, with no flash under way and no alert on screen.
    void freshFolders() {
        // The flash's steps are each timed from the one before.
        for (int second = 0; second < 5; ++second) clock_->advance(1);
        fs::remove_all(host(kInbox));
        fs::remove_all(host(TDAppFolderPath));
        makeDirectory(kInbox);
        makeDirectory(TDAppFolderPath);
        UIApplication::sharedApplication()->reset();
        UIApplication::sharedApplication()->setDelegate(delegate_);
        log_->clear();
    }
    bool exists(const std::string& devicePath) const { return fs::exists(host(devicePath)); }
    std::shared_ptr<UIAlertView> alertTitled(const std::string& title) const {
        for (const auto& alert : UIApplication::sharedApplication()->visibleAlerts())
            if (alert->title() == title) return alert;
        return nullptr;
    }

    std::optional<ManualClock> clock_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<TDAppDelegate> delegate_;
};

TEST_F(HandOverTest, FilesAreSavedIntoTheAppFolderAndOnlyTheInboxCopyIsRemoved) {
    struct Case {
        const char* name;
        std::string handedPath;     // the file URL's path
        bool writeHanded;           // the handed-over file exists
        bool nameTaken;             // the app folder already holds that name
        bool library;               // the import library is installed
        bool handled;
        const char* flash;          // the bar's message 0.8 s on, or null for no flash
        bool handedKept;
        bool importOffered;
    };
    const Case cases[] = {
        {"new name from the inbox", kInbox + "/report.pdf", true, false, false, true, "File saved", false, false},
        {"taken name", kInbox + "/report.pdf", true, true, false, false, "Unable to save file", true, false},
        {"missing file", kInbox + "/gone.pdf", false, false, false, false, nullptr, false, false},
        {"file outside the inbox", "/var/mobile/Media/notes.txt", true, false, false, true, "File saved", true, false},
        {"inbox path leading out of it", kInbox + "/../keep.txt", true, false, false, true, "File saved", true, false},
        {"a file named like a video page", kInbox + "/youtube.mp4", true, false, false, true, "File saved", false, false},
        {"song with the import library", kInbox + "/song.m4a", true, false, true, true, "File saved", false, true},
        {"song with an upper-case extension", kInbox + "/song.M4A", true, false, true, true, "File saved", false, false},
        {"song without the import library", kInbox + "/song.m4a", true, false, false, true, "File saved", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        freshFolders();
        fs::remove(host(kBridgeLibrary));
        if (c.library) writeFile(kBridgeLibrary, "library");
        const std::string name = fs::path(c.handedPath).filename();
        const std::string saved = TDAppFolderPath + "/" + name;
        if (c.writeHanded) writeFile(c.handedPath, "handed over");
        if (c.nameTaken) writeFile(saved, "already here");

        bool handled = UIApplication::sharedApplication()->handleOpenURL(NSURL::fileURLWithPath(c.handedPath), "com.apple.sharingd");
        EXPECT_EQ(handled, c.handled);
        EXPECT_TRUE(log_->contains("Source: com.apple.sharingd"));
        if (!c.flash) {
            EXPECT_FALSE(PBProgressIndicator::sharedIndicator()->isFlashing());
            EXPECT_FALSE(exists(saved));
            continue;
        }
        // The flash starts 0.3 s on and shows its message half a second later.
        clock_->advance(0.3 + 1e-6);
        clock_->advance(0.5 + 1e-6);
        EXPECT_EQ(PBProgressIndicator::sharedIndicator()->titleLabel()->text(), c.flash);
        EXPECT_EQ(exists(c.handedPath), c.handedKept);
        if (c.writeHanded && c.handedKept) {
            EXPECT_EQ(readFile(c.handedPath), "handed over");
        }
        ASSERT_TRUE(exists(saved));
        EXPECT_EQ(readFile(saved), c.nameTaken ? "already here" : "handed over");

        auto alert = alertTitled("Tandrel");
        EXPECT_EQ(alert != nullptr, c.importOffered);
        if (alert) {
            EXPECT_EQ(alert->message(), "Audio file detected\nWhat would you like to do?");
            EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), "Save");
            EXPECT_EQ(alert->buttonTitleAtIndex(alert->firstOtherButtonIndex()), "Import");
            EXPECT_EQ(alert->delegate(), delegate_);
            EXPECT_EQ(delegate_->musicFilePath(), saved);
            EXPECT_TRUE(log_->contains("Bridge detected"));
        }
        bool song = name == "song.m4a";
        EXPECT_EQ(log_->contains("Bridge not installed, ignoring..."), song && !c.library);
    }
}

// A disk that fills during the save (here a file-size limit, in a child): the bar says so, the app
// folder holds nothing of the file, and the inbox copy stays.
TEST_F(HandOverTest, ASaveThatFailsHalfWayLeavesNothingInTheAppFolder) {
    constexpr rlim_t kFileSizeLimit = 64 * 1024;
    freshFolders();
    const std::string contents(4 * kFileSizeLimit, 'x');
    writeFile(kInbox + "/movie.mov", contents);
    int status = runInChildProcess([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{kFileSizeLimit, kFileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (UIApplication::sharedApplication()->handleOpenURL(NSURL::fileURLWithPath(kInbox + "/movie.mov"), "com.apple.sharingd")) return 1;
        clock_->advance(0.3 + 1e-6);
        clock_->advance(0.5 + 1e-6);
        return PBProgressIndicator::sharedIndicator()->titleLabel()->text() == "Unable to save file" ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_empty(host(TDAppFolderPath)));
    EXPECT_EQ(readFile(kInbox + "/movie.mov"), contents);
}

TEST_F(HandOverTest, ImportHandsTheSavedSongToTheImportAppWhileSaveKeepsItOnly) {
    const std::string metadata = "/var/mobile/tmp/BridgeImportMetadata.plist";
    writeFile(kBridgeLibrary, "library");
    writeFile("/Applications/Bridge.app/Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.bridge</string>
<key>CFBundleURLTypes</key><array><dict><key>CFBundleURLSchemes</key><array><string>bridgeAPIvA</string></array></dict></array>
</dict></plist>
)");
    for (const bool import : {false, true}) {
        SCOPED_TRACE(import ? "Import" : "Save");
        freshFolders();
        fs::remove_all(host("/var/mobile/tmp"));
        makeDirectory("/var/mobile/tmp");
        writeFile(kInbox + "/song.m4a", "song");
        ASSERT_TRUE(UIApplication::sharedApplication()->handleOpenURL(NSURL::fileURLWithPath(kInbox + "/song.m4a"), "com.apple.sharingd"));
        auto alert = alertTitled("Tandrel");
        ASSERT_TRUE(alert);
        alert->clickButtonAtIndex(import ? alert->firstOtherButtonIndex() : alert->cancelButtonIndex());

        const auto& opened = UIApplication::sharedApplication()->openedURLs();
        EXPECT_EQ(log_->contains("Importing /var/mobile/Tandrel/song.m4a..."), import);
        EXPECT_EQ(exists(metadata), import);
        EXPECT_EQ(readFile(TDAppFolderPath + "/song.m4a"), "song");
        if (!import) {
            EXPECT_TRUE(opened.empty());
            continue;
        }
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0]->absoluteString(), "bridgeAPIvA://" + metadata);
        auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(metadata);
        ASSERT_TRUE(plist);
        EXPECT_EQ((*plist)["Contents"], Value(TDAppFolderPath + "/song.m4a"));
        EXPECT_TRUE((*plist)["Multi"].isInteger());
        EXPECT_EQ((*plist)["Multi"].integerValue(-1), 0);
    }
}

TEST_F(HandOverTest, OtherURLsAreNotSavedEvenWhenTheyNameAVideoPage) {
    freshFolders();
    writeFile(kInbox + "/x", "x");
    EXPECT_FALSE(UIApplication::sharedApplication()->handleOpenURL(NSURL::URLWithString("tandrel://example.com/x"), "com.apple.mobilesafari"));
    // A video page is a Clipvane request; the video site here is a loopback port where nothing listens.
    ASSERT_TRUE(TDSites::setVideoSiteOrigin("http://127.0.0.1:1"));
    EXPECT_TRUE(UIApplication::sharedApplication()->handleOpenURL(NSURL::URLWithString("tandrel://www.youtube.com/watch?v=abc"),
                                                                  "com.apple.mobilesafari"));
    TDSites::setVideoSiteOrigin("");
    EXPECT_TRUE(alertTitled("Error"));
    EXPECT_FALSE(PBProgressIndicator::sharedIndicator()->isFlashing());
    EXPECT_TRUE(exists(kInbox + "/x"));
}
} // namespace
