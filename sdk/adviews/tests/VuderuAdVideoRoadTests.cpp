// Video frames in the ad-space view: native video and HTML frames with a VAST document are
// prepared and rendered through the video player, which the view stops on removal, resumes,
// lets carry its loading cover and drops when it reports its end.

#include "sdk/adviews/tests/AdSpaceViewFixture.h"

#include "platform/testsupport/TestVideos.h"
#include "sdk/adviews/VuderuVideoPlayer.h"
#include "sdk/ads/VuderuVASTBuilders.h"

namespace {

using AdVideoRoadCalls = std::vector<std::string>;

} // namespace

class AdSpaceViewVideoTest : public AdSpaceViewTest {
protected:
    void SetUp() override {
        AdSpaceViewTest::SetUp();
        makeDirectory("/ads");
        ASSERT_TRUE(TestVideos::make(DeviceTest::host("/ads/video.mp4"), {{"red", 2}, {"blue", 2}}));
        writeFile("/ads/not-media.mp4", "this is no video");
    }
    void writeFile(const std::string& path, const std::string& text) {
        FILE* file = std::fopen(DeviceTest::host(path).c_str(), "w");
        ASSERT_TRUE(file);
        std::fputs(text.c_str(), file);
        std::fclose(file);
    }
    std::string fileURL(const std::string& path) const { return NSURL::fileURLWithPath(path)->absoluteString(); }

    // A native video frame "v" of the file, auto-playing, closable at once.
    VuderuAdPtr videoAd(const std::string& path = "/ads/video.mp4", bool rewardable = false) {
        auto unit = makeUnit({{.guid = "v", .binding = VuderuAdFrame::kVideo, .display = fileURL(path)}});
        unit->setAdType(VuderuAdUnit::kAdTypeVideo);
        unit->setVideoAutoPlay(true);
        unit->setRewardable(rewardable);
        return makeAd({unit});
    }
    void render(const VuderuAdPtr& ad) {
        prepareUntilReady(ad);
        drainMain();
        delegate->calls.clear();
        ad->renderView();
        drainMain();
        clock.advance(VuderuVideoPlayer::kOverlayDelay);
    }

    ManualClock clock;
};

TEST_F(AdSpaceViewVideoTest, NativeVideoPlaysInThePlayerAndRemovalStopsIt) {
    auto ad = videoAd();
    render(ad);
    ASSERT_TRUE(ad->videoPlayer()) << ::testing::PrintToString(delegate->calls) << ::testing::PrintToString(events("v"));
    EXPECT_TRUE(hasEvent("v", "rendered"));
    ASSERT_EQ(ad->subviews().size(), 1u);
    EXPECT_EQ(ad->subviews()[0], ad->webView());
    clock.advance(1);
    EXPECT_TRUE(ad->videoPlayer()->playbackStarted());
    EXPECT_TRUE(hasEvent("v", "videoStart"));

    // The player carries the loading cover while it plays.
    ad->showLoadingView();
    EXPECT_FALSE(ad->loadingView());

    std::weak_ptr<VuderuVideoPlayer> player = ad->videoPlayer();
    ad->removeAd();
    drainMain();
    EXPECT_FALSE(ad->videoPlayer());
    EXPECT_TRUE(player.expired());
    EXPECT_FALSE(hasEvent("v", "adClosed"));
    EXPECT_TRUE(hasEvent("v", "videoProgressed"));
    EXPECT_EQ(delegate->calls, (AdVideoRoadCalls{"videoDidNotFinish(space)", "spaceWillDismiss(space,NO)", "spaceDidDismiss(space,NO)"}));
}

TEST_F(AdSpaceViewVideoTest, VideoPlayedToItsEndTellsTheHostOnlyWhenRewardable) {
    for (bool rewardable : {false, true}) {
        SCOPED_TRACE(rewardable);
        delegate->calls.clear();
        auto ad = videoAd("/ads/video.mp4", rewardable);
        render(ad);
        for (int i = 0; i < 6 && ad->videoPlayer(); ++i) clock.advance(1);
        drainMain();
        EXPECT_FALSE(ad->videoPlayer());
        EXPECT_TRUE(hasEvent("v", "videoCompleted"));
        const auto& calls = delegate->calls;
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "videoDidFinish(space)"), rewardable ? 1 : 0);
        VuderuAdManager::instance()->deRegisterAdForSpace("space");
    }
}

TEST_F(AdSpaceViewVideoTest, FileThatIsNotMediaFailsToRenderWith118) {
    auto ad = videoAd("/ads/not-media.mp4");
    render(ad);
    ASSERT_TRUE(runMainUntil([&] { return !ad->videoPlayer(); }));
    EXPECT_EQ(delegate->calls, (AdVideoRoadCalls{"spaceDidFailToRender(space,118)"}));
}

TEST_F(AdSpaceViewVideoTest, HTMLFrameWithAVASTDocumentIsAVideoWithItsClickThrough) {
    VuderuVASTMediaFileBuilder media;
    media.withMediaFileUrl(fileURL("/ads/video.mp4"));
    VuderuVASTLinearBuilder linear;
    linear.withLinearMediaFile(media.build()).withLinearVideoClickAndUrl(VuderuVASTVideoClickThrough, "http://127.0.0.1:9/more");
    VuderuVASTCreativeBuilder creative;
    creative.withCreativeLinear(linear.build(nullptr));
    VuderuVASTAdTypeBuilder adType;
    adType.withCreatives(std::make_shared<std::vector<VuderuVASTCreativePtr>>(std::vector<VuderuVASTCreativePtr>{creative.build(nullptr)}));
    VuderuVASTAdBuilder vastAd;
    vastAd.withAdType(adType.build());
    VuderuVASTManagerBuilder document;
    document.withVersion(2).withVuderuVASTAds(std::make_shared<std::vector<VuderuVASTAdPtr>>(std::vector<VuderuVASTAdPtr>{vastAd.build()}));
    VuderuAdManager::instance()->setVastManagerForAdGuid("x", document.build());

    auto unit = makeUnit({{.guid = "x", .binding = VuderuAdFrame::kHTML, .display = "<html><body>never loaded</body></html>"}});
    unit->setVideoAutoPlay(true);
    auto ad = makeAd({unit});
    prepareUntilReady(ad);
    EXPECT_FALSE(ad->webView()->isLoading());
    ad->renderView();
    ASSERT_TRUE(ad->videoPlayer());
    EXPECT_EQ(ad->videoPlayer()->clickThruUrl(), std::optional<std::string>("http://127.0.0.1:9/more"));
    drainMain();
    clock.advance(VuderuVideoPlayer::kOverlayDelay + 1);

    // Removed, a VAST video stops too: it does not play on behind the host's screen.
    auto player = ad->videoPlayer();
    ASSERT_TRUE(player->player());
    auto movie = player->player();
    ad->removeAd();
    EXPECT_FALSE(ad->videoPlayer());
    EXPECT_NE(movie->playbackState(), MPMoviePlaybackStatePlaying);
    EXPECT_TRUE(hasEvent("x", "videoProgressed"));
}

// A paused video plays on when the frame's script resumes it (a close the user did not confirm)
// and when the in-app browser closes without dismissing the ad.
TEST_F(AdSpaceViewVideoTest, PausedVideoResumesWithTheFrameAndWhenTheBrowserCloses) {
    auto ad = videoAd();
    render(ad);
    clock.advance(1);
    auto player = ad->videoPlayer();
    ASSERT_TRUE(player && player->player());
    auto movie = player->player();
    struct Case {
        const char* name;
        std::function<void()> resume;
    };
    const Case cases[] = {
        {"resumeFrame", [&] { ad->resumeFrame(); }},
        {"browser closed", [&] { ad->externalAdViewDidCloseDismissAd(false); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        player->pauseMovie();
        drainMain();
        ASSERT_NE(movie->playbackState(), MPMoviePlaybackStatePlaying);
        c.resume();
        drainMain();
        EXPECT_EQ(movie->playbackState(), MPMoviePlaybackStatePlaying);
        EXPECT_EQ(ad->videoPlayer(), player);
    }
}
