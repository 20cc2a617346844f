#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/media/AVAssetExportSession.h"
#include "platform/media/MPMediaItem.h"
#include "platform/media/VideoFile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"
#include "platform/uikit/UIImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

class MusicLibraryTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        TestMediaLibrary::make();
    }

    // Exports the song to the device path and waits for the handler.
    std::shared_ptr<AVAssetExportSession> exportSong(const MPMediaItemPtr& song, const std::string& devicePath) {
        auto session = AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(song->assetURL()),
                                                                    AVAssetExportPresetAppleM4A);
        EXPECT_TRUE(session);
        session->setOutputURL(NSURL::fileURLWithPath(devicePath));
        session->setOutputFileType(AVFileTypeAppleM4A);
        std::atomic<bool> done{false};
        session->exportAsynchronouslyWithCompletionHandler([&] { done = true; });
        EXPECT_TRUE(runMainUntil([&] { return done.load(); }, 60));
        return session;
    }

    // What ffprobe reads of a host file: "format codec duration".
    static std::string probe(const std::string& hostPath) {
        std::string command = "ffprobe -v error -select_streams a:0 -show_entries format=format_name,duration:stream=codec_name "
                              "-of default=nw=1:nk=1 '" + hostPath + "' 2>&1";
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
            pclose(pipe);
        }
        return out;
    }
};

TEST_F(MusicLibraryTest, SongsComeWithTheirTagsArtworkAndStableURLs) {
    auto songs = MPMediaItem::allSongs();
    ASSERT_EQ(songs.size(), 3u);
    // By title; the untagged one by its file name.
    EXPECT_EQ(songs[0]->title(), "Evening Song");
    EXPECT_EQ(songs[1]->title(), "Morning Tune");
    EXPECT_EQ(songs[2]->title(), "Untitled Track");
    EXPECT_EQ(songs[1]->valueForProperty(MPMediaItemPropertyArtist).string(), "Sample Band");
    EXPECT_NEAR(songs[0]->valueForProperty(MPMediaItemPropertyPlaybackDuration).doubleValue(), 4, 0.1);
    ASSERT_TRUE(songs[0]->artwork());
    auto art = songs[0]->artwork()->imageWithSize(CGSizeMake(200, 200));
    ASSERT_TRUE(art);
    EXPECT_EQ(art->size(), CGSizeMake(200, 200));
    EXPECT_FALSE(songs[2]->artwork());
    EXPECT_TRUE(songs[2]->valueForProperty(MPMediaItemPropertyArtwork).isNull());

    const std::string url = songs[1]->assetURL()->absoluteString();
    EXPECT_EQ(url.rfind("ipod-library://item/item.m4a?id=", 0), 0u) << url;
    auto again = MPMediaItem::songWithAssetURL(NSURL::URLWithString(url));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->title(), "Morning Tune");
}

// A FIFO or a folder named like a song is no song, and listing the library does not wait on it.
TEST_F(MusicLibraryTest, WhatIsNotARegularFileIsNoSong) {
    const std::string folder = std::string(kMusicFolder) + "/F00";
    ASSERT_TRUE(NSFileManager::defaultManager()->createDirectoryAtPath(folder, true, nullptr, nullptr));
    ASSERT_EQ(::mkfifo(DeviceRoot::hostPath(folder + "/pipe.mp3").c_str(), 0644), 0);
    ASSERT_TRUE(NSFileManager::defaultManager()->createDirectoryAtPath(folder + "/folder.m4a", false, nullptr, nullptr));
    EXPECT_EQ(MPMediaItem::allSongs().size(), 3u);
}

TEST_F(MusicLibraryTest, MP3AndAACSongsExportAsAACInMPEG4OfTheirLength) {
    makeDirectory("/var/mobile/Tandrel");
    for (const auto& song : MPMediaItem::allSongs()) {
        if (song->title() == "Untitled Track") continue;
        SCOPED_TRACE(song->title());
        const std::string output = "/var/mobile/Tandrel/" + song->title() + ".m4a";
        auto session = exportSong(song, output);
        EXPECT_EQ(session->status(), AVAssetExportSessionStatusCompleted);
        EXPECT_FALSE(session->error());
        const double length = song->valueForProperty(MPMediaItemPropertyPlaybackDuration).doubleValue();
        const std::string probed = probe(host(output));
        EXPECT_NE(probed.find("aac\n"), std::string::npos) << probed;
        EXPECT_NE(probed.find("mov,mp4,m4a,3gp,3g2,mj2\n"), std::string::npos) << probed;
        auto properties = VideoFile::propertiesOfFile(host(output));
        ASSERT_TRUE(properties);
        EXPECT_NEAR(properties->duration, length, 0.1);
    }
}

TEST_F(MusicLibraryTest, AnExistingOutputOrAMissingSourceFailsAndLeavesNoNewFile) {
    auto song = MPMediaItem::allSongs().at(0);
    writeFile("/var/mobile/Tandrel/Taken.m4a", "earlier");
    auto session = exportSong(song, "/var/mobile/Tandrel/Taken.m4a");
    EXPECT_EQ(session->status(), AVAssetExportSessionStatusFailed);
    ASSERT_TRUE(session->error());
    EXPECT_EQ(session->error()->code(), AVErrorFileAlreadyExists);
    EXPECT_EQ(readFile("/var/mobile/Tandrel/Taken.m4a"), "earlier");

    MPMediaItem::Song missing;
    missing.devicePath = "/var/mobile/Media/iTunes_Control/Music/F09/Gone.m4a";
    auto gone = std::make_shared<MPMediaItem>(missing);
    session = exportSong(gone, "/var/mobile/Tandrel/Gone.m4a");
    EXPECT_EQ(session->status(), AVAssetExportSessionStatusFailed);
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath("/var/mobile/Tandrel/Gone.m4a"));

    EXPECT_FALSE(AVAssetExportSession::exportSessionWithAsset(AVURLAsset::URLAssetWithURL(song->assetURL()), "AVAssetExportPresetPassthrough"));
}

} // namespace
