// The video player while it plays: loading, the controls' timing, quartiles, the guard against
// skipping ahead, the end, and the overlay's layout.

#include "sdk/adviews/tests/VideoPlayerFixture.h"

#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/uikit/UIDisplay.h"
#include "sdk/ads/IVuderuVASTTracking.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

TEST_F(VideoPlayerTest, CloseControlAvailableAfterTheClosableTime) {
    struct Case {
        std::int64_t closable;
        double hiddenUntil;  // seconds of playback; 0: available at once
    } cases[] = {{0, 0}, {-5, 0}, {5999, 5.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.closable);
        play(true, c.closable);
        ASSERT_TRUE(player->closeView());
        auto available = [&] {
            return !player->closeView()->isHidden() && player->closeView()->isUserInteractionEnabled() &&
                   !player->closeButton()->isHidden() && player->closeButton()->isUserInteractionEnabled();
        };
        if (c.hiddenUntil == 0) {
            EXPECT_TRUE(available());
            continue;
        }
        EXPECT_FALSE(available());
        playFor(4);  // ticks at 1.1 .. 4.1 s
        clock.advance(0.95);
        EXPECT_FALSE(available()) << position();
        clock.advance(0.1);  // the tick at 5.1 s
        EXPECT_TRUE(available()) << position();
    }
}

TEST_F(VideoPlayerTest, MoreInfoAfterThreeSecondsOnlyForAURLThatCanBeLoaded) {
    struct Case {
        std::optional<std::string> url;
        bool button;
    } cases[] = {{"http://example.org/more", true}, {"vuderu://more", false}, {std::nullopt, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.value_or("nil"));
        play(true, 0, c.url);
        EXPECT_EQ(player->clickThruButton() != nullptr, c.button);
        if (!c.button) continue;
        playFor(2);
        EXPECT_TRUE(player->clickThruButton()->isHidden());
        playFor(1);  // the tick at 3.1 s
        EXPECT_FALSE(player->clickThruButton()->isHidden());
        player->hidePlayerControls();  // once revealed it stays
        EXPECT_FALSE(player->clickThruButton()->isHidden());
    }
}

TEST_F(VideoPlayerTest, QuartilesPassedInOneTickAreReportedInOrderOnce) {
    play();
    EXPECT_EQ(events(), Lines{"videoStart"});
    playFor(1);
    player->player()->setCurrentPlaybackTime(8);
    playFor(1);
    const Lines three{"videoStart", "videoFirstQuartile", "videoMidpoint", "videoThirdQuartile"};
    EXPECT_EQ(events(), three);
    clock.advance(0.5);
    EXPECT_EQ(events(), three);
}

TEST_F(VideoPlayerTest, QuartilePingsReachTheTrackingServerOnceEach) {
    class Tracking : public NSObject, public IVuderuVASTTracking {
    public:
        std::map<std::int32_t, std::string> urls;
        UrlList getImpressionUrls() const override { return nullptr; }
        UrlList getErrorUrls() const override { return nullptr; }
        std::optional<std::vector<std::string>> getTrackingEventUrls(std::int32_t event) const override {
            auto found = urls.find(event);
            return found == urls.end() ? std::nullopt : std::optional<std::vector<std::string>>({found->second});
        }
        std::optional<std::string> getVideoClickUrl(std::int64_t) const override { return std::nullopt; }
    };
    LoopbackHTTPServer server;
    auto tracking = std::make_shared<Tracking>();
    tracking->urls = {{IVuderuVASTTracking::kTrackingFirstQuartile, server.url("/q1")},
                      {IVuderuVASTTracking::kTrackingMidpoint, server.url("/mid")},
                      {IVuderuVASTTracking::kTrackingThirdQuartile, server.url("/q3")},
                      {IVuderuVASTTracking::kTrackingComplete, server.url("/complete")}};
    VuderuAdManager::instance()->setVastManagerForAdGuid("v1", tracking);
    play();
    playFor(11);
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() >= 4; }));
    std::vector<std::string> paths;
    for (auto& request : server.requests()) paths.push_back(request.path);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (Lines{"/complete", "/mid", "/q1", "/q3"}));
    VuderuAdManager::instance()->setVastManagerForAdGuid("v1", nullptr);
}

TEST_F(VideoPlayerTest, WithoutAutoPlayThePictureAtFiveSecondsWaitsBehindThePlayImage) {
    play(false);
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePaused);
    EXPECT_DOUBLE_EQ(position(), 5.0);
    ASSERT_TRUE(player->playButton());
    EXPECT_FALSE(player->playButton()->isHidden());
    EXPECT_EQ(player->playButton()->currentImage()->name(), "play_button");
    auto pixel = UIDisplaySnapshot()->pixelAt(100 * 2, 160 * 2);  // beside the play button: the blue half
    EXPECT_GT(pixel.blue, 200);
    EXPECT_LT(pixel.red, 40);
    EXPECT_TRUE(events().empty());

    player->playButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(events(), Lines{"videoStart"});
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePlaying);
    EXPECT_TRUE(player->playButton()->isHidden());
    // The still picture was no part of what was watched: playback starts at the furthest point, 0.
    EXPECT_DOUBLE_EQ(position(), 0.0);
    playFor(1);
    player->playButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePaused);
    // Watched up to the pause: playing again goes on from there.
    player->playButton()->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePlaying);
    EXPECT_DOUBLE_EQ(position(), 1.0);
    EXPECT_EQ(events(), Lines{"videoStart"});
}

TEST_F(VideoPlayerTest, ASeekPastTheFurthestPointIsUndone) {
    struct Case {
        const char* name;
        bool paused;
        double to;
        double back;
    } cases[] = {{"playing, forward", false, 8, 2},
                 {"paused, forward", true, 8, 2},
                 // Backwards while playing lands on the furthest point recorded, none yet: the start.
                 {"playing, backward", false, 1, 0},
                 {"paused, backward", true, 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        play();
        playFor(2);
        if (c.paused) player->pauseMovie();
        EXPECT_EQ(movieScrub(c.to), "");
        drainMain();
        EXPECT_NEAR(position(), c.back, 0.11);
        EXPECT_EQ(player->player()->playbackState(), c.paused ? MPMoviePlaybackStatePaused : MPMoviePlaybackStatePlaying);
    }
}

TEST_F(VideoPlayerTest, AnEndReachedWhileSeekingJumpsBackAndPlaysOn) {
    play();
    playFor(2);
    EXPECT_EQ(movieScrub(10), "");
    EXPECT_NEAR(position(), 2.1, 1e-6);
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePlaying);
    EXPECT_FALSE(logged("videoCompleted"));
    EXPECT_FALSE(logged("videoFirstQuartile")); // nothing was watched beyond 2.1 s
    playFor(9);
    EXPECT_EQ(events(), (Lines{"videoStart", "videoFirstQuartile", "videoMidpoint", "videoThirdQuartile", "videoCompleted"}));
    EXPECT_EQ(ad->calls, (Lines{"videoDidFinish(space)", "removeTakeoverWindows"}));
    EXPECT_EQ(container->superview(), nullptr);
}

TEST_F(VideoPlayerTest, PlayedToTheEndCompletesOnceAndAHandledCompletionKeepsTheTakeover) {
    setCallback(frame(), "videoCompleted", {"closeAd"});
    play();
    playFor(11);
    EXPECT_TRUE(logged("videoCompleted"));
    EXPECT_FALSE(logged("videoProgressed"));
    EXPECT_EQ(std::count(ad->calls.begin(), ad->calls.end(), "videoDidFinish(space)"), 1);
    EXPECT_FALSE(ad->called("removeTakeoverWindows"));
}

TEST_F(VideoPlayerTest, PhoneOverlayIsLaidOutForLandscapeAndAPortraitTurnLeavesIt) {
    play(false, 0, "http://example.org/more");
    auto frames = [&] {
        return Lines{NSStringFromCGRect(player->circleView()->frame()), NSStringFromCGRect(player->playButton()->frame()),
                     NSStringFromCGRect(player->closeView()->frame()), NSStringFromCGRect(player->closeButton()->frame()),
                     NSStringFromCGRect(player->clickThruButton()->frame())};
    };
    const Lines landscape{"{{8, 282}, {30, 30}}", "{{233, 109.5}, {101, 102}}", "{{518, 0}, {50, 50}}",
                          "{{12.5, 12.5}, {25, 25}}", "{{412, 264}, {141, 41}}"};
    EXPECT_EQ(frames(), landscape);
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationLandscapeLeft);
    EXPECT_EQ(frames(), landscape);
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationPortrait);
    EXPECT_EQ(frames(), landscape);
}

TEST_F(VideoPlayerTest, IPadOverlayFollowsTheOrientation) {
    DeviceProfile::update([](DeviceProfile& p) {
        p.model = "iPad";
        p.screenWidth = 768;
        p.screenHeight = 1024;
    });
    play(false);
    EXPECT_EQ(NSStringFromCGRect(player->closeView()->frame()), "{{708, 0}, {60, 60}}");
    EXPECT_EQ(NSStringFromCGRect(player->circleView()->frame()), "{{15, 959}, {50, 50}}");
    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationLandscapeLeft);
    EXPECT_EQ(NSStringFromCGRect(player->closeView()->frame()), "{{964, 0}, {60, 60}}");
    EXPECT_EQ(NSStringFromCGRect(player->circleView()->frame()), "{{15, 703}, {50, 50}}");
    EXPECT_EQ(NSStringFromCGRect(player->playButton()->frame()), "{{461, 333.5}, {101, 102}}");
}

TEST_F(VideoPlayerTest, ATextFileIsAVideoThatFailsToLoad) {
    writeFile("/ads/broken.mp4", "not a video");
    play(true, 0, std::nullopt, "/ads/broken.mp4");
    EXPECT_EQ(ad->calls, Lines{"videoDidFailToLoad(space)"});
    EXPECT_TRUE(events().empty());
}

TEST_F(VideoPlayerTest, BadArgumentsStartNothing) {
    VuderuUtil::setLogLevel(2);
    player = VuderuVideoPlayer::init();
    player->playVideoViewAdClosableTimeAutoPlay(nullptr, container, ad, 0, true);
    player->playVideoViewAdClosableTimeAutoPlay(NSURL::fileURLWithPath("/ads/video.mp4"), container, nullptr, 0, true);
    VuderuUtil::setLogLevel(1);
    EXPECT_EQ(player->player(), nullptr);
    EXPECT_EQ(player->loadingView(), nullptr);
    EXPECT_EQ(log_->lines().size(), 2u);
    EXPECT_NE(log_->lines()[0].find("VuderuVideoPlayer: bad arguments, videoURL (null)"), std::string::npos);
}

} // namespace
