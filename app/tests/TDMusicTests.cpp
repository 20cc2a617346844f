#include "app/TDAirDropSheet.h"
#include "app/TDAppDelegate.h"
#include "app/tests/MediaTabTest.h"
#include "platform/foundation/NSUserDefaults.h"
#include "app/TDMedia.h"
#include "app/TDMusic.h"
#include "app/TDMusicExporter.h"
#include "app/support/TDSites.h"
#include "app/support/VTVersionTracker.h"
#include "controls/progress/PBProgressIndicator.h"
#include "platform/device/Driver.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
class MusicTest : public MediaTabTest {
protected:
    // The Music screen the menu's Music button makes.
    std::shared_ptr<TDMusic> openMusic() { return openPanel<TDMusic>(kMusicPanel); }

    // Browses and picks the song; returns once the export has reported on the main thread.
    void pick(TDMusic& music, const MPMediaItemPtr& song) {
        music.browseForMusic();
        driver_.drain();
        ASSERT_TRUE(music.mediaPicker());
        music.mediaPicker()->pick(song);
        ASSERT_TRUE(runMainUntil([] { return !TDMusicExporter::isExporting(); }, 60));
        driver_.drain();
    }

    static std::string barMessage() { return PBProgressIndicator::sharedIndicator()->titleLabel()->text(); }

    // Lets the bar's flash run its steps until it reads the message.
    bool barShows(const std::string& message) {
        for (int step = 0; step < 50; ++step) {
            if (barMessage() == message) return true;
            driver_.advance(0.1);
            driver_.drain();
        }
        return barMessage() == message;
    }

    bool hostExists(const std::string& devicePath) {
        struct stat st;
        return ::lstat(host(devicePath).c_str(), &st) == 0;
    }

};
} // namespace

TEST(MusicFileNameTest, TitlesBecomeNamesInsideTheAppFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"Morning Song", "Morning Song.m4a"},
        {"", "Untitled.m4a"},
        {"AC/DC", "ACDC.m4a"},
        {"../../etc/passwd", "etcpasswd.m4a"},
        {"..", "Untitled.m4a"},
        {"/", "Untitled.m4a"},
        {".hidden", "hidden.m4a"},
        {"Intro...", "Intro....m4a"},
        {"a. b", "a. b.m4a"},
    };
    for (const auto& [title, name] : cases) EXPECT_EQ(TDMusicExporter::fileNameForTitle(title), name) << title;
}

TEST_F(MusicTest, TheMediaTabShowsTheMenuAndMakesAFreshMusicScreenEachTime) {
    auto tab = media();
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->title(), "Media");
    ASSERT_EQ(tab->menuButtons().size(), 3u);
    EXPECT_EQ(tab->menuButtons()[0]->titleForState(UIControlStateNormal), "Music");
    EXPECT_EQ(tab->menuButtons()[1]->titleForState(UIControlStateNormal), "Photos");
    EXPECT_EQ(tab->menuButtons()[2]->titleForState(UIControlStateNormal), "Videos");
    auto item = delegate_->tabBarController()->tabBar()->items()[2];
    EXPECT_EQ(item->title(), "Media");
    ASSERT_TRUE(item->image());
    EXPECT_EQ(item->image()->size(), CGSizeMake(30, 30));

    tab->didSelectPenroseButtonAtIndex(0);
    auto first = std::dynamic_pointer_cast<TDMusic>(tab->centerPanel());
    ASSERT_TRUE(first);
    tab->didSelectPenroseButtonAtIndex(0);
    auto second = std::dynamic_pointer_cast<TDMusic>(tab->centerPanel());
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    tab->didSelectPenroseButtonAtIndex(7);
    EXPECT_EQ(tab->centerPanel(), second);
}

TEST_F(MusicTest, AnExportedSongIsOfferedBySendThroughTheAirDropSheet) {
    auto music = openMusic();
    ASSERT_TRUE(music);
    music->sendBtnPressed();
    auto alert = driver_.visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(alert->message(), "You have to browse for a song first!");
    ASSERT_TRUE(driver_.pressAlertButton("Dismiss"));

    auto song = MPMediaItem::allSongs().at(0);
    pick(*music, song);
    const std::string path = "/var/mobile/Tandrel/" + song->title() + ".m4a";
    EXPECT_EQ(songData, path);
    EXPECT_TRUE(hostExists(path));
    EXPECT_TRUE(barShows("Exported Successfully")) << barMessage();
    EXPECT_EQ(music->songTitle(), song->title());

    // The pick's one-second timer finds the export done and leaves the bar alone.
    driver_.advance(1.5);
    driver_.drain();
    EXPECT_NE(barMessage(), "Exporting Song...");

    music->sendBtnPressed();
    auto sheet = driver_.visibleSheet();
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->activityItems().size(), 1u);
    EXPECT_EQ(sheet->activityItems()[0].objectAs<NSURL>()->path(), path);
    EXPECT_EQ(sheet->excludedActivityTypes(), TDAirDropSheet::excludedActivityTypes());
    EXPECT_TRUE(log_->contains("AirDropping " + path));

    // A fresh Music screen forgets the song.
    driver_.cancelSheet();
    auto fresh = openMusic();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(songData, "");
}

TEST_F(MusicTest, AFailedExportShowsTheErrorAndSendOffersNoEarlierSong) {
    auto music = openMusic();
    ASSERT_TRUE(music);
    auto songs = MPMediaItem::allSongs();
    ASSERT_GE(songs.size(), 2u);
    pick(*music, songs[0]);
    ASSERT_FALSE(songData.empty());
    // The success flash ends before the next pick.
    ASSERT_TRUE(barShows("Exported Successfully"));
    for (int step = 0; step < 30; ++step) driver_.advance(0.1), driver_.drain();

    // The second song's file goes away after listing: its export fails.
    ASSERT_EQ(::unlink(host(songs[1]->devicePath()).c_str()), 0);
    pick(*music, songs[1]);
    EXPECT_EQ(songData, "");
    EXPECT_TRUE(barShows("Export Failed")) << barMessage();
    EXPECT_TRUE(log_->contains("AVAssetExportSessionStatusFailed: "));
    music->sendBtnPressed();
    EXPECT_FALSE(driver_.visibleSheet());
    EXPECT_TRUE(driver_.visibleAlert());
}

TEST_F(MusicTest, AHostileTitleExportsInsideTheAppFolder) {
    writeFile("/var/mobile/keep.m4a", "kept");
    auto exporter = std::make_shared<TDMusicExporter>();
    exporter->exportMusicItemWithTitle(MPMediaItem::allSongs().at(0), "../keep");
    ASSERT_TRUE(runMainUntil([] { return !TDMusicExporter::isExporting(); }, 60));
    EXPECT_EQ(readFile("/var/mobile/keep.m4a"), "kept");
    EXPECT_EQ(exporter->exportedFile(), "/var/mobile/Tandrel/keep.m4a");
    EXPECT_EQ(songData, "/var/mobile/Tandrel/keep.m4a");
    EXPECT_TRUE(hostExists("/var/mobile/Tandrel/keep.m4a"));
}

// The song takes its name only once it is exported whole, and only from a file: a failed export
// leaves an earlier song at the name, a folder there keeps what it holds whatever the export did,
// and a completed one replaces the earlier song. Nothing hidden is left in the app folder.
TEST_F(MusicTest, WhatStandsAtTheSongsNameIsReplacedOnlyByACompletedExport) {
    auto songs = MPMediaItem::allSongs();
    ASSERT_GE(songs.size(), 2u);
    const MPMediaItemPtr exportable = songs[0], gone = songs[1];
    // The second song's file goes away after listing: its export fails.
    ASSERT_EQ(::unlink(host(gone->devicePath()).c_str()), 0);
    struct Case {
        const char* what;
        MPMediaItemPtr song;
        bool folder;
        bool replaced;
    };
    const Case cases[] = {
        {"an earlier song, a failed export", gone, false, false},
        {"a folder, a failed export", gone, true, false},
        {"a folder, a completed export", exportable, true, false},
        {"an earlier song, a completed export", exportable, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        removeHostTree(host("/var/mobile/Tandrel"));
        makeDirectory("/var/mobile/Tandrel");
        const std::string name = TDMusicExporter::fileNameForTitle(c.song->title());
        const std::string path = "/var/mobile/Tandrel/" + name;
        const std::string kept = c.folder ? path + "/inside.txt" : path;
        writeFile(kept, "the user's");
        songData.clear();
        auto exporter = std::make_shared<TDMusicExporter>();
        exporter->exportMusicItemWithTitle(c.song, c.song->title());
        ASSERT_TRUE(runMainUntil([] { return !TDMusicExporter::isExporting(); }, 60));
        driver_.drain();
        if (c.replaced) {
            EXPECT_EQ(songData, path);
            EXPECT_NE(readFile(path), "the user's");
            EXPECT_GT(readFile(path).size(), 0u);
        } else {
            EXPECT_EQ(songData, "");
            EXPECT_EQ(exporter->exportedFile(), "");
            EXPECT_EQ(readFile(kept), "the user's");
            EXPECT_TRUE(log_->contains("AVAssetExportSessionStatusFailed: "));
        }
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(host("/var/mobile/Tandrel"))) left.push_back(entry.path().filename());
        EXPECT_EQ(left, std::vector<std::string>{name});
        log_->clear();
    }
}
