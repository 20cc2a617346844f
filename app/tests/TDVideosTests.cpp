#include "app/TDAirDropSheet.h"
#include "app/TDAppDelegate.h"
#include "app/tests/MediaTabTest.h"
#include "app/TDMedia.h"
#include "app/TDVideos.h"
#include "app/support/TDSites.h"
#include "app/support/VTVersionTracker.h"
#include "platform/device/Driver.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/media/VideoFile.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBarController.h"

#include <gtest/gtest.h>

namespace {

class VideosTest : public MediaTabTest {
protected:
    // The Videos panel the menu's Videos button makes.
    std::shared_ptr<TDVideos> openVideos() { return openPanel<TDVideos>(kVideosPanel); }

    std::string run(const std::string& command) { return driver_.execute(command); }

    // The length in seconds of the clip file the visible sheet offers (-1 for none), and its URL.
    double offeredClipSeconds(NSURLPtr* offered = nullptr) {
        auto sheet = driver_.visibleSheet();
        auto url = sheet && !sheet->activityItems().empty() ? sheet->activityItems()[0].objectAs<NSURL>() : nullptr;
        if (offered) *offered = url;
        auto properties = url && url->isFileURL() ? VideoFile::propertiesOfFile(host(url->path())) : std::nullopt;
        return properties ? properties->duration : -1;
    }
};

TEST_F(VideosTest, TwoCurledButtonsOneAboveTheOther) {
    auto videos = openVideos();
    ASSERT_TRUE(videos);
    auto b = videos->view()->bounds();
    const struct {
        std::shared_ptr<UIButton> button;
        CGFloat y;
    } rows[] = {{videos->videoFromCamera(), b.size.height / 5}, {videos->videoFromLibrary(), b.size.height - b.size.height / 2}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.button->frame(), CGRectMake(b.size.width / 2 - 48, row.y, 96, 96));
        EXPECT_EQ(row.button->layer()->borderWidth(), 1);
    }
    EXPECT_EQ(videos->view()->subviews().at(0), videos->videoFromCamera());
}

TEST_F(VideosTest, ALibraryVideoIsOfferedByItsLibraryURLASecondAfterDone) {
    auto videos = openVideos();
    ASSERT_TRUE(videos);
    videos->loadLibrary();
    driver_.drain();
    auto screen = driver_.screen();
    EXPECT_NE(screen.find("nav: \"Pick Video\""), std::string::npos) << screen;
    EXPECT_NE(screen.find("Holidays"), std::string::npos) << screen;
    EXPECT_EQ(run("tap Camera Roll"), "");
    screen = driver_.screen();
    EXPECT_NE(screen.find("items 0-1 of 2:"), std::string::npos) << "videos only\n" << screen;
    EXPECT_NE(screen.find("footer: 2 Videos"), std::string::npos) << screen;

    EXPECT_EQ(run("item 1"), "");
    EXPECT_EQ(run("item 0"), "");
    ASSERT_EQ(videos->picker()->countOfSelectedAssets(), 1) << "a second video is refused while one is chosen";
    auto chosen = videos->picker()->selectedAssets()[0];
    EXPECT_EQ(run("tap Done"), "");
    driver_.drain();
    EXPECT_FALSE(driver_.visibleSheet()) << "the sheet waits a second";
    EXPECT_EQ(videos->videoAsset(), chosen);

    driver_.advance(1.0);
    driver_.drain();
    auto sheet = driver_.visibleSheet();
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->activityItems().size(), 1u);
    auto url = sheet->activityItems()[0].objectAs<NSURL>();
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "assets-library") << "the library's own URL, not a copy";
    EXPECT_TRUE(url->isEqual(chosen->valueForProperty(ALAssetPropertyAssetURL).object().get()));
    EXPECT_EQ(sheet->excludedActivityTypes(), TDAirDropSheet::excludedActivityTypes());
    EXPECT_FALSE(videos->picker()->presentingViewController()) << "the picker is gone";

    videos->loadLibrary();
    EXPECT_FALSE(videos->videoAsset()) << "a new pick starts without the old video";
}

TEST_F(VideosTest, ARecordingIsOfferedAsItsClipFileASecondAfterUseVideo) {
    ManualClock clock;
    auto videos = openVideos();
    ASSERT_TRUE(videos);
    videos->loadCamera();
    driver_.drain();
    ASSERT_TRUE(videos->vidPicker());
    EXPECT_EQ(videos->vidPicker()->sourceType(), UIImagePickerControllerSourceTypeCamera);
    EXPECT_EQ(videos->vidPicker()->mediaTypes(), std::vector<std::string>{"public.movie"});
    EXPECT_TRUE(videos->vidPicker()->allowsEditing());
    EXPECT_EQ(run("tap Record"), "");
    driver_.advance(2);
    EXPECT_EQ(run("tap Stop"), "");
    EXPECT_NE(driver_.screen().find("video camera: trim, keeping 0.0 s to 2.0 s of 2.0 s\nalso: [Use Video] [Retake]"), std::string::npos)
        << driver_.screen();
    EXPECT_EQ(run("tap Use Video"), "");
    driver_.drain();
    EXPECT_FALSE(videos->vidPicker()->presentingViewController()) << "closed without waiting";
    EXPECT_FALSE(driver_.visibleSheet());

    driver_.advance(1.0);
    driver_.drain();
    NSURLPtr url;
    EXPECT_NEAR(offeredClipSeconds(&url), 2, 0.2);
    ASSERT_TRUE(url);
    EXPECT_EQ(url, videos->vidSendURL());

    videos->loadCamera();
    EXPECT_FALSE(videos->vidSendURL()) << "a new recording starts without the old clip";
}

// The camera picker's trim step: a finger on the trim bar (300 points for the two-second clip,
// from x 10) moves the nearer end; Retake starts again. The sheet offers what was kept.
TEST_F(VideosTest, TheTrimStepDecidesWhatTheRecordingSends) {
    const struct {
        const char* name;
        std::vector<std::string> trim;
        const char* kept;
        double seconds;
    } cases[] = {
        {"the start dragged to the middle", {"drag 12,62 160,62"}, "keeping 1.0 s to 2.0 s of 2.0 s", 1},
        {"the end dragged to a quarter", {"drag 308,62 85,62"}, "keeping 0.0 s to 0.5 s of 2.0 s", 0.5},
        {"retaken, then a second", {"tap Retake", "tap Record", "wait 1", "tap Stop"}, "keeping 0.0 s to 1.0 s of 1.0 s", 1},
    };
    ManualClock clock;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto videos = openVideos();
        ASSERT_TRUE(videos);
        videos->loadCamera();
        driver_.drain();
        EXPECT_EQ(run("tap Record"), "");
        driver_.advance(2);
        EXPECT_EQ(run("tap Stop"), "");
        for (const auto& command : c.trim) EXPECT_EQ(run(command), "") << command;
        EXPECT_NE(driver_.screen().find(std::string("video camera: trim, ") + c.kept), std::string::npos) << driver_.screen();
        EXPECT_EQ(run("tap Use Video"), "");
        driver_.advance(1.0);
        driver_.drain();
        EXPECT_NEAR(offeredClipSeconds(), c.seconds, 0.15);
        EXPECT_EQ(run("cancel"), "");
    }
}

TEST_F(VideosTest, ADeniedLibraryShowsTheNoAccessMessageAndSendsNothing) {
    DeviceProfile::update([](DeviceProfile& p) { p.photoLibraryAccessDenied = true; });
    auto videos = openVideos();
    ASSERT_TRUE(videos);
    videos->loadLibrary();
    ASSERT_TRUE(runMainUntil([&] { return driver_.screen().find("does not have access") != std::string::npos; }));
    EXPECT_NE(driver_.screen().find("background: This app does not have access to your photos or videos. You can enable access in Privacy Settings."),
              std::string::npos)
        << driver_.screen();
    EXPECT_EQ(run("tap Cancel"), "");
    driver_.advance(1.0);
    EXPECT_FALSE(driver_.visibleSheet());
}

} // namespace
