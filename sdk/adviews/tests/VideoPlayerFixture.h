#pragma once
// The video player's test bed: a recording ad-space view (the ad serving core's recording handler
// with the player's connector calls written into the same record) showing a takeover frame "v1"
// of the space "space"; a 10 s video, red for 5 s and then blue, made by ffmpeg; a window holding
// a landscape container (568 x 320) for the video; and the manual clock.

#include "platform/device/Driver.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestVideos.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/adviews/VuderuVideoPlayer.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/tests/RecordingAdHandler.h"

#include <gtest/gtest.h>

class RecordingVideoAd : public RecordingAdHandler, public IVuderuAdVideoPlayerConnector {
public:
    bool responding = false;
    // Runs after each of the three ends is recorded (the ad-space view drops its player there).
    std::function<void()> onEnd;
    // Runs when the click is counted, inside the click's own processing.
    std::function<void()> onClick;

    void videoDidFailToLoad(const std::string& space) override { ended("videoDidFailToLoad(" + space + ")"); }
    void videoDidFinish(const std::string& space) override { ended("videoDidFinish(" + space + ")"); }
    void videoDidNotFinish(const std::string& space) override { ended("videoDidNotFinish(" + space + ")"); }
    void ended(const std::string& call) {
        calls.push_back(call);
        if (onEnd) onEnd();
    }
    void processClick() override {
        calls.push_back("processClick");
        if (onClick) onClick();
    }
    bool activelyRespondingToAction() const override { return responding; }
    void setActivelyRespondingToAction(bool value) override {
        responding = value;
        calls.push_back(std::string("setActivelyRespondingToAction(") + (value ? "YES" : "NO") + ")");
    }
    void removeTakeoverWindows() override { calls.push_back("removeTakeoverWindows"); }
};

class VideoPlayerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        UIApplication::sharedApplication()->reset();
        VuderuAdCache::setFetchStarter([](const std::shared_ptr<VuderuAdCache>&, const Value&) {});
        makeDirectory("/ads");
        ASSERT_TRUE(TestVideos::make(host("/ads/video.mp4"), {{"red", 5}, {"blue", 5}}));
        ad = std::make_shared<RecordingVideoAd>();
        ad->units = {makeUnit({{"v1", "takeover"}})};
        window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setRootViewController(std::make_shared<UIViewController>());
        window->makeKeyAndVisible();
        container = std::make_shared<UIView>(CGRectMake(0, 0, 568, 320));
        window->rootViewController()->view()->addSubview(container);
    }
    void TearDown() override {
        player = nullptr;
        // The no-op fetch stays: a fetch an action started may still be on the cache's queue.
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    VuderuAdFramePtr frame() const { return ad->units.front()->curAdFrame(); }

    // Starts the video; the movie loads and the overlay comes 0.1 s later.
    void play(bool autoPlay = true, std::int64_t closableTime = 0, std::optional<std::string> clickUrl = std::nullopt,
              const std::string& path = "/ads/video.mp4") {
        player = VuderuVideoPlayer::init();
        player->setClickThruUrl(std::move(clickUrl));
        player->playVideoViewAdClosableTimeAutoPlay(NSURL::fileURLWithPath(path), container, ad, closableTime, autoPlay);
        drainMain();
        clock.advance(VuderuVideoPlayer::kOverlayDelay);
    }
    // Lets whole seconds pass one at a time, so that every tick of the player's timer comes.
    void playFor(int seconds) {
        for (int i = 0; i < seconds; ++i) clock.advance(1);
    }
    double position() const { return player->player()->currentPlaybackTime(); }
    std::string movieScrub(double seconds) {
        std::string error;
        player->player()->scrubToTime(seconds, error);
        return error;
    }

    // The events the frame's ad log holds, with their parameters ("videoClicked vasturlclicked=YES").
    std::vector<std::string> events() const {
        std::vector<std::string> names;
        auto log = AdLogManager::instance()->getAdLog("v1");
        if (!log) return names;
        for (auto& event : log->adEvents()) {
            std::string line = event->eventName();
            if (event->paramMap())
                for (auto& [key, value] : *event->paramMap()) line += " " + key + "=" + value;
            names.push_back(line);
        }
        return names;
    }
    bool logged(const std::string& prefix) const {
        for (auto& e : events())
            if (e.rfind(prefix, 0) == 0) return true;
        return false;
    }

    ManualClock clock;
    std::shared_ptr<RecordingVideoAd> ad;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIView> container;
    VuderuVideoPlayerPtr player;
    Driver driver;
};

using Lines = std::vector<std::string>;
