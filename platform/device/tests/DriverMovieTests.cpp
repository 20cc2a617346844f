// The movie on screen as the driver reads and scrubs it.

#include "platform/device/Driver.h"
#include "platform/device/tests/DriverWindowTest.h"
#include "platform/media/MPMoviePlayerController.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestVideos.h"
#include "platform/uikit/UIApplication.h"

#include <gtest/gtest.h>

namespace {

using DriverMovieTest = DriverWindowTest;

TEST_F(DriverMovieTest, ScreenShowsTheMovieAndSeekScrubsIt) {
    ManualClock clock;
    EXPECT_EQ(driver_.execute("seek 3"), "error: no movie on screen\n");
    makeDirectory("/movies");
    ASSERT_TRUE(TestVideos::make(host("/movies/clip.mp4"), {{"green", 10}}));
    auto player = MPMoviePlayerController::initWithContentURL(NSURL::fileURLWithPath("/movies/clip.mp4"));
    player->view()->setFrame(CGRectMake(0, 0, 320, 180));
    window_->rootViewController()->view()->addSubview(player->view());
    EXPECT_NE(driver_.screen().find("movie: clip.mp4 loading\n"), std::string::npos);
    EXPECT_EQ(driver_.execute("seek 3"), "error: the movie has not loaded yet\n");
    player->prepareToPlay();
    drainMain();
    clock.advance(1);
    EXPECT_NE(driver_.screen().find("movie: clip.mp4 10.0 s at 1.0 s playing\n"), std::string::npos) << driver_.screen();
    EXPECT_EQ(driver_.execute("seek 7.5"), "");
    EXPECT_NE(driver_.screen().find("movie: clip.mp4 10.0 s at 7.5 s playing\n"), std::string::npos) << driver_.screen();
    EXPECT_EQ(driver_.execute("seek soon"), "error: seek needs a number of seconds\n");
    EXPECT_EQ(driver_.execute("seek 12"), "");
    EXPECT_NE(driver_.screen().find("movie: clip.mp4 10.0 s at 10.0 s stopped\n"), std::string::npos) << driver_.screen();
}

} // namespace
