#include "platform/media/MPMoviePlayerController.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSString.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestVideos.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

// A 10 s movie, red for 5 s and then blue, and a record of what the player posts: "load N",
// "state N at P" (the position when posted), "finish N", "fullscreen".
class MoviePlayerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        makeDirectory("/movies");
        ASSERT_TRUE(TestVideos::make(host("/movies/clip.mp4"), {{"red", 5}, {"blue", 5}}));
        observer_ = std::make_shared<NSObject>();
        auto record = [this](const std::shared_ptr<NSNotification>& n) {
            auto player = n->object().objectAs<MPMoviePlayerController>();
            if (n->name() == MPMoviePlayerLoadStateDidChangeNotification)
                posted.push_back("load " + std::to_string(player->loadState()));
            else if (n->name() == MPMoviePlayerPlaybackStateDidChangeNotification)
                posted.push_back(NSString::stringWithFormat("state %ld at %.1f", static_cast<long>(player->playbackState()),
                                                            player->currentPlaybackTime()));
            else if (n->name() == MPMoviePlayerPlaybackDidFinishNotification) {
                auto& info = n->userInfo();
                posted.push_back("finish " + info.at(MPMoviePlayerPlaybackDidFinishReasonUserInfoKey).stringValue());
                if (auto error = info.find("error"); error != info.end()) lastError = error->second.objectAs<NSError>();
                if (onFinish) onFinish(*player);
            } else {
                posted.push_back("fullscreen");
            }
        };
        for (const auto& name : {MPMoviePlayerLoadStateDidChangeNotification, MPMoviePlayerPlaybackStateDidChangeNotification,
                                 MPMoviePlayerPlaybackDidFinishNotification, MPMoviePlayerDidEnterFullscreenNotification})
            NSNotificationCenter::defaultCenter()->addObserver(observer_, name, nullptr, record);
    }
    void TearDown() override {
        NSNotificationCenter::defaultCenter()->removeObserver(observer_);
        DeviceTest::TearDown();
    }

    MPMoviePlayerControllerPtr loadedPlayer(bool autoplay = true) {
        auto player = MPMoviePlayerController::initWithContentURL(NSURL::fileURLWithPath("/movies/clip.mp4"));
        player->setShouldAutoplay(autoplay);
        player->prepareToPlay();
        EXPECT_EQ(player->loadState(), MPMovieLoadStateUnknown); // opens in a later pass
        drainMain();
        EXPECT_TRUE(player->isPreparedToPlay());
        return player;
    }

    ManualClock clock_;
    std::shared_ptr<NSObject> observer_;
    std::vector<std::string> posted;
    NSErrorPtr lastError;
    std::function<void(MPMoviePlayerController&)> onFinish;
};

using Posts = std::vector<std::string>;

TEST_F(MoviePlayerTest, PlaysOnThePlatformClockAndEndsWithReasonZero) {
    auto player = loadedPlayer();
    EXPECT_DOUBLE_EQ(player->duration(), 10.0);
    EXPECT_EQ(player->playbackState(), MPMoviePlaybackStatePlaying);
    EXPECT_EQ(player->currentPlaybackRate(), 1.0f);
    clock_.advance(3);
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 3.0);
    EXPECT_EQ(player->screenDescription(), "movie: clip.mp4 10.0 s at 3.0 s playing");
    player->pause();
    EXPECT_EQ(player->currentPlaybackRate(), 0.0f);
    clock_.advance(2);
    EXPECT_EQ(player->screenDescription(), "movie: clip.mp4 10.0 s at 3.0 s paused");
    player->play();
    player->play(); // already playing: nothing posted
    clock_.advance(6.9);
    EXPECT_TRUE(std::find(posted.begin(), posted.end(), "finish 0") == posted.end());
    clock_.advance(0.2);
    EXPECT_EQ(posted, (Posts{"load 3", "state 1 at 0.0", "state 2 at 3.0", "state 1 at 3.0", "finish 0", "state 0 at 10.0"}));
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 10.0);
    // Played again after the end, it starts over.
    player->play();
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 0.0);
}

TEST_F(MoviePlayerTest, WhatCannotBePlayedFinishesWithReasonOneAndTheError) {
    writeFile("/movies/notes.mp4", "these are not frames");
    ASSERT_EQ(::mkfifo(host("/movies/pipe.mp4").c_str(), 0644), 0);
    LoopbackHTTPServer server;
    server.route("/missing.mp4", LoopbackHTTPServer::fixed(404, {}, "gone"));
    struct Case {
        const char* name;
        NSURLPtr url;
    } cases[] = {
        {"not media", NSURL::fileURLWithPath("/movies/notes.mp4")},
        {"no file", NSURL::fileURLWithPath("/movies/none.mp4")},
        {"a FIFO, refused rather than waited on", NSURL::fileURLWithPath("/movies/pipe.mp4")},
        {"http 404", NSURL::URLWithString(server.url("/missing.mp4"))},
        {"no server", NSURL::URLWithString("http://127.0.0.1:1/clip.mp4")},
        {"other scheme", NSURL::URLWithString("ftp://example.org/clip.mp4")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        posted.clear();
        lastError = nullptr;
        auto player = MPMoviePlayerController::initWithContentURL(c.url);
        player->play();
        ASSERT_TRUE(runMainUntil([&] { return !posted.empty(); }));
        EXPECT_EQ(posted, Posts{"finish 1"});
        ASSERT_NE(lastError, nullptr);
        EXPECT_FALSE(lastError->localizedDescription().empty());
        EXPECT_EQ(player->loadState(), MPMovieLoadStateUnknown);
        EXPECT_EQ(player->screenDescription(), "movie: " + c.url->lastPathComponent() + " loading");
    }
}

TEST_F(MoviePlayerTest, HttpMovieIsFetchedIntoTmpFirst) {
    LoopbackHTTPServer server;
    std::ifstream file(host("/movies/clip.mp4"), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    server.route("/ads/clip.mp4", LoopbackHTTPServer::fixed(200, {{"Content-Type", "video/mp4"}}, bytes.str()));
    auto player = MPMoviePlayerController::initWithContentURL(NSURL::URLWithString(server.url("/ads/clip.mp4")));
    player->setShouldAutoplay(false);
    player->prepareToPlay();
    ASSERT_TRUE(runMainUntil([&] { return player->isPreparedToPlay(); }));
    EXPECT_DOUBLE_EQ(player->duration(), 10.0);
    EXPECT_EQ(player->playbackState(), MPMoviePlaybackStateStopped);
    auto kept = NSFileManager::defaultManager()->contentsOfDirectoryAtPath("/tmp", nullptr);
    ASSERT_TRUE(kept && kept->size() == 1u);
    EXPECT_TRUE(NSString::hasSuffix(kept->front(), "-clip.mp4")) << kept->front();
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(MoviePlayerTest, ViewersScrubPostsSeekingAtTheOldPositionThenTheStateItHad) {
    auto player = loadedPlayer();
    clock_.advance(2);
    std::string error;
    posted.clear();
    ASSERT_TRUE(player->scrubToTime(6, error));
    EXPECT_EQ(posted, (Posts{"state 4 at 2.0", "state 1 at 6.0"}));
    clock_.advance(1);
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 7.0);

    player->pause();
    posted.clear();
    ASSERT_TRUE(player->scrubToTime(1, error));
    EXPECT_EQ(posted, (Posts{"state 5 at 7.0", "state 2 at 1.0"}));

    // To the end: the finish comes straight after seeking, and the stopped state after it.
    posted.clear();
    ASSERT_TRUE(player->scrubToTime(60, error));
    EXPECT_EQ(posted, (Posts{"state 4 at 1.0", "finish 0", "state 0 at 10.0"}));
}

TEST_F(MoviePlayerTest, FinishObserverThatPlaysOnKeepsTheMoviePlaying) {
    auto player = loadedPlayer();
    clock_.advance(2);
    onFinish = [](MPMoviePlayerController& p) {
        p.setCurrentPlaybackTime(2);
        p.play();
    };
    posted.clear();
    std::string error;
    ASSERT_TRUE(player->scrubToTime(10, error));
    EXPECT_EQ(posted, (Posts{"state 4 at 2.0", "finish 0", "state 1 at 2.0"}));
    clock_.advance(1);
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 3.0);
    EXPECT_EQ(player->playbackState(), MPMoviePlaybackStatePlaying);
}

TEST_F(MoviePlayerTest, StopPostsStoppedThenFinishReasonTwoAndTheNextPlayStartsOver) {
    auto player = loadedPlayer();
    clock_.advance(4);
    posted.clear();
    player->stop();
    EXPECT_EQ(posted, (Posts{"state 0 at 4.0", "finish 2"}));
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 4.0);
    clock_.advance(1); // no end comes for a stopped movie
    EXPECT_EQ(posted.size(), 2u);
    player->play();
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 0.0);
}

TEST_F(MoviePlayerTest, AutoplayOnlyWhenNothingHeldTheMovie) {
    struct Case {
        const char* name;
        bool autoplay;
        std::function<void(MPMoviePlayerController&)> beforeLoad;
        MPMoviePlaybackState after;
    } cases[] = {
        {"autoplay", true, nullptr, MPMoviePlaybackStatePlaying},
        {"no autoplay", false, nullptr, MPMoviePlaybackStateStopped},
        {"paused before the load", true, [](MPMoviePlayerController& p) { p.pause(); }, MPMoviePlaybackStatePaused},
        {"played before the load", false, [](MPMoviePlayerController& p) { p.play(); }, MPMoviePlaybackStatePlaying},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto player = MPMoviePlayerController::initWithContentURL(NSURL::fileURLWithPath("/movies/clip.mp4"));
        player->setShouldAutoplay(c.autoplay);
        player->setInitialPlaybackTime(1.5);
        player->prepareToPlay();
        if (c.beforeLoad) c.beforeLoad(*player);
        drainMain();
        EXPECT_EQ(player->playbackState(), c.after);
        EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 1.5);
    }
    // An observer of the load that pauses the movie keeps it from playing.
    auto held = MPMoviePlayerController::initWithContentURL(NSURL::fileURLWithPath("/movies/clip.mp4"));
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        MPMoviePlayerLoadStateDidChangeNotification, held, nullptr, [&](const std::shared_ptr<NSNotification>&) {
            held->pause();
            held->setCurrentPlaybackTime(5);
        });
    held->prepareToPlay();
    drainMain();
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_EQ(held->playbackState(), MPMoviePlaybackStatePaused);
    EXPECT_DOUBLE_EQ(held->currentPlaybackTime(), 5.0);
}

TEST_F(MoviePlayerTest, BackgroundPausesAndFullscreenIsAnnounced) {
    auto player = loadedPlayer();
    clock_.advance(1);
    player->setFullscreenAnimated(true, true);
    player->setFullscreenAnimated(true, true);
    player->setFullscreen(false);
    UIApplicationMoveToBackground();
    EXPECT_EQ(posted, (Posts{"load 3", "state 1 at 0.0", "fullscreen", "state 2 at 1.0"}));
    UIApplicationMoveToForeground();
}

TEST_F(MoviePlayerTest, ViewDrawsTheFrameAtThePositionAspectFit) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    auto player = loadedPlayer(false);
    // 160 x 120 in 200 x 100: 133 wide, centred, black beside it.
    player->view()->setFrame(CGRectMake(0, 0, 200, 100));
    window->addSubview(player->view());
    struct Case {
        double at;
        CGPoint point;
        int red, blue;
    } cases[] = {{1, {100, 50}, 255, 0}, {6, {100, 50}, 0, 255}, {6, {20, 50}, 0, 0}, {6, {180, 50}, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        player->setCurrentPlaybackTime(c.at);
        auto shot = UIDisplaySnapshot();
        auto pixel = shot->pixelAt(static_cast<int>(c.point.x * 2), static_cast<int>(c.point.y * 2));
        EXPECT_NEAR(pixel.red, c.red, 24);
        EXPECT_NEAR(pixel.blue, c.blue, 24);
        EXPECT_LT(pixel.green, 24);
    }
}

// Pictures narrower than the scaler's vector writes are drawn whole and nothing beside them is
// written over (a 2 by 2 movie used to corrupt the heap once drawn).
TEST_F(MoviePlayerTest, SmallPicturesAreDrawnWithoutWritingPastThem) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    const struct {
        int width, height;
    } sizes[] = {{2, 2}, {2, 16}, {6, 4}, {18, 2}};
    for (const auto& size : sizes) {
        const std::string name = "/movies/small-" + std::to_string(size.width) + "x" + std::to_string(size.height) + ".mp4";
        SCOPED_TRACE(name);
        ASSERT_TRUE(TestVideos::make(host(name), {{"red", 1}}, size.width, size.height));
        auto player = MPMoviePlayerController::initWithContentURL(NSURL::fileURLWithPath(name));
        player->setShouldAutoplay(false);
        player->prepareToPlay();
        drainMain();
        player->view()->setFrame(CGRectMake(0, 0, 100, 100));
        window->addSubview(player->view());
        for (double at : {0.0, 0.5}) {
            player->setCurrentPlaybackTime(at);
            auto pixel = UIDisplaySnapshot()->pixelAt(100, 100);
            EXPECT_NEAR(pixel.red, 255, 24);
            EXPECT_LT(pixel.blue, 24);
        }
        player->view()->removeFromSuperview();
    }
}

} // namespace
