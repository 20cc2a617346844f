// The video player's ways out and back: click-through, close while loading or playing, the
// confirmation, the foreground, and finish notifications of every reason.

#include "sdk/adviews/tests/VideoPlayerFixture.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "sdk/ads/IVuderuVASTTracking.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

// The first click is tracked by its VAST click-tracking URL; the second carries "vasturlclicked"
// and is neither tracked nor processed again.
TEST_F(VideoPlayerTest, ASecondClickIsMarkedAndNotProcessedAgain) {
    class ClickTracking : public NSObject, public IVuderuVASTTracking {
    public:
        std::string url;
        UrlList getImpressionUrls() const override { return nullptr; }
        UrlList getErrorUrls() const override { return nullptr; }
        std::optional<std::vector<std::string>> getTrackingEventUrls(std::int32_t) const override { return std::nullopt; }
        std::optional<std::string> getVideoClickUrl(std::int64_t kind) const override {
            return kind == kClickTracking ? std::optional<std::string>(url) : std::nullopt;
        }
    };
    LoopbackHTTPServer server;
    auto tracking = std::make_shared<ClickTracking>();
    tracking->url = server.url("/click");
    VuderuAdManager::instance()->setVastManagerForAdGuid("v1", tracking);
    play(true, 0, "http://example.org/more");
    playFor(4);
    player->gotoClickUrl();
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePaused);
    EXPECT_NE(player->loadingView(), nullptr);
    player->bringToFocus();
    EXPECT_EQ(player->loadingView(), nullptr);
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePlaying);
    player->gotoClickUrl();
    EXPECT_EQ(std::count(ad->calls.begin(), ad->calls.end(), "processClick"), 1);
    EXPECT_TRUE(ad->responding);
    auto all = events();
    EXPECT_EQ(std::count(all.begin(), all.end(), "videoClicked"), 2);
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() >= 1; }));
    drainMain();
    EXPECT_EQ(server.requestCount(), 1u);
    VuderuAdManager::instance()->setVastManagerForAdGuid("v1", nullptr);
}

TEST_F(VideoPlayerTest, ClickThroughStopsWatchingForTheEndUntilResumed) {
    play(true, 0, "http://example.org/more");
    playFor(4);
    player->gotoClickUrl();
    // A finish while the page is up is not the player's business.
    NSNotificationCenter::defaultCenter()->postNotificationName(MPMoviePlayerPlaybackDidFinishNotification, Value(player->player()),
                                                                {{MPMoviePlayerPlaybackDidFinishReasonUserInfoKey, Value(0)}});
    EXPECT_FALSE(ad->called("videoDidFinish(space)"));
    EXPECT_FALSE(logged("videoCompleted"));
}

TEST_F(VideoPlayerTest, CloseWhileLoadingReportsTheClosedLoadAndNeverProgress) {
    player = VuderuVideoPlayer::init();
    player->playVideoViewAdClosableTimeAutoPlay(NSURL::fileURLWithPath("/ads/video.mp4"), container, ad, 0, true);
    EXPECT_NE(player->loadingView(), nullptr);
    // The cover's wheel turns while the video loads and stops with the cover.
    auto spinner = player->spinner();
    ASSERT_TRUE(spinner);
    EXPECT_EQ(spinner->superview(), player->loadingView());
    EXPECT_EQ(spinner->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleWhite);
    EXPECT_TRUE(spinner->isAnimating());
    player->pauseMovieViaCloseButton();
    drainMain();
    clock.advance(1);
    EXPECT_EQ(events(), (Lines{"loadingVideoClosed", "adClosed"}));
    EXPECT_EQ(ad->calls, Lines{"removeTakeoverWindows"});
    EXPECT_EQ(player->player(), nullptr);
    EXPECT_EQ(player->loadingView(), nullptr);
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_EQ(spinner->superview(), nullptr);
}

TEST_F(VideoPlayerTest, CloseWhileLoadingThatCollapsesTellsTheDelegate) {
    struct Delegate : VuderuAdDelegate {
        std::vector<std::string>& calls;
        explicit Delegate(std::vector<std::string>& c) : calls(c) {}
        void spaceWillCollapse(const std::string& space) override { calls.push_back("spaceWillCollapse(" + space + ")"); }
        void spaceDidCollapse(const std::string& space) override { calls.push_back("spaceDidCollapse(" + space + ")"); }
    };
    auto delegate = std::make_shared<Delegate>(ad->calls);
    VuderuAds::setAdDelegate(delegate);
    // The next unit is asked of the ad-unit cache, which waits its few milliseconds on the real clock.
    PlatformClock::setAutomatic();
    // A rendered takeover whose unit starts with a banner collapses back to it on "nextAdUnit".
    auto unit = makeUnit({{"b0", "banner"}, {"v1", "takeover"}});
    ad->units = {unit};
    ad->frame = unit->adFrames()[1];
    ad->rendered = true;
    setCallback(ad->frame, "loadingVideoClosed", {"nextAdUnit?maxAds=2"});
    player = VuderuVideoPlayer::init();
    player->playVideoViewAdClosableTimeAutoPlay(NSURL::fileURLWithPath("/ads/video.mp4"), container, ad, 0, true);
    player->pauseMovieViaCloseButton();
    VuderuAds::setAdDelegate(nullptr);
    Lines around;
    for (auto& call : ad->calls)
        if (call.find("ollapse") != std::string::npos || call == "removeTakeoverWindows") around.push_back(call);
    EXPECT_EQ(around, (Lines{"spaceWillCollapse(space)", "removeTakeoverWindows", "spaceDidCollapse(space)"}));
    EXPECT_EQ(events(), (Lines{"loadingVideoClosed", "adClosed"}));
}

TEST_F(VideoPlayerTest, CloseWhilePlayingReportsProgressAndDidNotFinish) {
    setCallback(frame(), "videoProgressed", {"logEvent"});
    VuderuUtil::setLogLevel(2);
    play();
    playFor(4);
    player->pauseMovieViaCloseButton();
    auto all = events();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0], "videoStart");
    EXPECT_EQ(all[1], "videoFirstQuartile");
    EXPECT_EQ(all[2], "adWillClose");
    EXPECT_EQ(all[3], "videoProgressed");
    VuderuUtil::setLogLevel(1);
    // Its parameters, as the action's log line shows them.
    auto lines = log_->lines();
    auto reported = std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.find("Result Action logEvent") != std::string::npos; });
    ASSERT_NE(reported, lines.end());
    // The platform clock's base is arbitrary, so the position is 4.1 give or take rounding.
    const auto at = reported->find("stopTime = ");
    ASSERT_NE(at, std::string::npos) << *reported;
    EXPECT_NEAR(std::stod(reported->substr(at + 11)), 4.1, 1e-6) << *reported;
    EXPECT_NE(reported->find("duration"), std::string::npos) << *reported;
    EXPECT_EQ(ad->calls, (Lines{"videoDidNotFinish(space)", "removeTakeoverWindows"}));
    EXPECT_EQ(container->superview(), nullptr);
    playFor(8);  // the stopped movie neither restarts nor completes
    EXPECT_EQ(events().size(), 4u);
}

TEST_F(VideoPlayerTest, TheAdMayDropThePlayerInItsEndCallbacks) {
    struct Case {
        const char* name;
        bool close;  // else played to the end
        const char* call;
    } cases[] = {{"closed", true, "videoDidNotFinish(space)"}, {"completed", false, "videoDidFinish(space)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ad->calls.clear();
        play();
        playFor(1);
        std::weak_ptr<VuderuVideoPlayer> weak = player;
        ad->onEnd = [this] { player = nullptr; };
        if (c.close) player->pauseMovieViaCloseButton();
        else playFor(10);
        ad->onEnd = nullptr;
        EXPECT_EQ(weak.lock(), nullptr);
        EXPECT_EQ(ad->calls, (Lines{c.call, "removeTakeoverWindows"}));
    }
}

TEST_F(VideoPlayerTest, ACloseToConfirmWaitsPausedUntilResumed) {
    setCallback(frame(), "adWillClose", {"notifyUser?message=Leave%3F"});
    play();
    playFor(2);
    player->pauseMovieViaCloseButton();
    EXPECT_TRUE(player->waitingCloseConfirm());
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePaused);
    EXPECT_FALSE(logged("videoProgressed"));
    player->resumeMovie();
    EXPECT_FALSE(player->waitingCloseConfirm());
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePlaying);
}

// A click whose action hands its URL to another app finishes while the click is processed: the
// ad is no longer responding to it, so coming back to the app resumes the video from under the
// loading cover instead of leaving it paused there for good.
TEST_F(VideoPlayerTest, AClickThatLeftTheAppResumesOnTheWayBack) {
    play(true, 0, "http://example.org/more");
    playFor(4);
    ad->onClick = [&] { ad->setActivelyRespondingToAction(false); };
    player->gotoClickUrl();
    EXPECT_FALSE(ad->responding);
    EXPECT_NE(player->loadingView(), nullptr);
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePaused);
    UIApplicationMoveToBackground();
    drainMain();
    UIApplicationMoveToForeground();
    drainMain();
    EXPECT_EQ(player->loadingView(), nullptr);
    EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePlaying);
}

TEST_F(VideoPlayerTest, TheForegroundResumesOnlyWhenNothingIsPending) {
    struct Case {
        const char* name;
        bool confirm;
        bool responding;
        MPMoviePlaybackState after;
    } cases[] = {{"nothing pending", false, false, MPMoviePlaybackStatePlaying},
                 {"close to confirm", true, false, MPMoviePlaybackStatePaused},
                 {"action under way", false, true, MPMoviePlaybackStatePaused}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ad->responding = c.responding;
        setCallback(frame(), "adWillClose", c.confirm ? std::vector<std::string>{"notifyUser?message=Leave%3F"} : std::vector<std::string>{});
        play();
        playFor(2);
        if (c.confirm) player->pauseMovieViaCloseButton();
        UIApplicationMoveToBackground();
        drainMain();
        EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePaused);
        UIApplicationMoveToForeground();
        drainMain();
        EXPECT_EQ(player->player()->playbackState(), c.after);
    }
}

// A finish notification jumps back only for the end of the movie (reason 0) reached while the
// viewer was seeking; a user's exit or an error there ends the video as it stands.
TEST_F(VideoPlayerTest, OnlyAnEndWhileSeekingJumpsBack) {
    struct Case {
        long reason;
        bool resumes;
    } cases[] = {{MPMovieFinishReasonPlaybackEnded, true}, {MPMovieFinishReasonUserExited, false}, {MPMovieFinishReasonPlaybackError, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        ad->calls.clear();
        play();
        playFor(2);
        player->pauseMovie();
        EXPECT_EQ(movieScrub(7), "");
        drainMain();
        ASSERT_EQ(player->lastPlaybackState(), MPMoviePlaybackStateSeekingForward);
        NSNotificationCenter::defaultCenter()->postNotificationName(MPMoviePlayerPlaybackDidFinishNotification, Value(player->player()),
                                                                    {{MPMoviePlayerPlaybackDidFinishReasonUserInfoKey, Value(c.reason)}});
        if (c.resumes) {
            EXPECT_EQ(player->player()->playbackState(), MPMoviePlaybackStatePlaying);
            EXPECT_NEAR(position(), 2.1, 1e-6);
            EXPECT_TRUE(ad->calls.empty());
        } else {
            EXPECT_EQ(ad->calls, (Lines{"videoDidNotFinish(space)", "removeTakeoverWindows"}));
            EXPECT_FALSE(player->playbackStarted());
        }
    }
}

TEST_F(VideoPlayerTest, StopAfterASeekWhilePausedEndsWithoutRestarting) {
    play();
    playFor(3);
    player->pauseMovie();
    movieScrub(1);
    drainMain();
    player->stopMovie();
    EXPECT_EQ(ad->calls, (Lines{"videoDidNotFinish(space)", "removeTakeoverWindows"}));
    EXPECT_NE(player->player()->playbackState(), MPMoviePlaybackStatePlaying);
    playFor(10);
    EXPECT_EQ(ad->calls.size(), 2u);
}

TEST_F(VideoPlayerTest, TheDriverNamesTheControlsAndTheCloseButtonClosesOnce) {
    // On iPad the overlay lies within a portrait screen the fingers can reach.
    DeviceProfile::update([](DeviceProfile& p) {
        p.model = "iPad";
        p.screenWidth = 768;
        p.screenHeight = 1024;
    });
    window->setFrame(CGRectMake(0, 0, 768, 1024));
    container->setFrame(CGRectMake(0, 0, 768, 1024));
    play(true, 0, "http://example.org/more");
    playFor(4);
    auto screen = driver.screen();
    EXPECT_NE(screen.find("movie: video.mp4 10.0 s at 4.1 s playing"), std::string::npos) << screen;
    EXPECT_NE(screen.find("countdown: 6"), std::string::npos) << screen;
    EXPECT_EQ(driver.execute("tap closeX"), "");
    EXPECT_EQ(std::count(ad->calls.begin(), ad->calls.end(), "videoDidNotFinish(space)"), 1);
    auto all = events();
    EXPECT_EQ(std::count(all.begin(), all.end(), "adWillClose"), 1);
}

} // namespace
