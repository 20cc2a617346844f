// Time as a script sees it: expect lets the script clock pass from timer to timer, commands let
// the work they queued finish before the clock moves, and what the app opened shows once.

#include "platform/device/Driver.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>

namespace {
constexpr double kTolerance = 1e-6;

std::int64_t nanoseconds(double seconds) { return static_cast<std::int64_t>(std::llround(seconds * NSEC_PER_SEC)); }

class DriverTimeTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        // The navigation bar's title is the screen's line the tests change.
        titled_ = std::make_shared<UIViewController>();
        titled_->setTitle("Waiting");
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->setRootViewController(UINavigationController::initWithRootViewController(titled_));
        window_->makeKeyAndVisible();
        clock_ = std::make_unique<ManualClock>(1400000000);
        start_ = PlatformClock::monotonic();
    }
    void TearDown() override {
        clock_.reset();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    double elapsed() const { return PlatformClock::monotonic() - start_; }

    Driver driver_;
    std::shared_ptr<UIViewController> titled_;
    std::shared_ptr<UIWindow> window_;
    std::unique_ptr<ManualClock> clock_;
    double start_ = 0;
};
} // namespace

// What a chain of timers brings appears under expect, at the time the chain gives; text that never
// comes is an error once the script's seconds have passed on its clock, without waiting them out.
TEST_F(DriverTimeTest, ExpectLetsTheScriptClockPassUntilTheTextShows) {
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, nanoseconds(1)), dispatch_get_main_queue(), [titled = titled_] {
        NSRunLoop::mainRunLoop()->performAfterDelay(0.8, [titled] { titled->setTitle("Download Complete"); });
    });
    EXPECT_EQ(driver_.execute("expect Complete 15"), "");
    EXPECT_NEAR(elapsed(), 1.8, kTolerance);

    EXPECT_EQ(driver_.execute("expect Never here 3"), "error: \"Never here\" not on screen after 3 s\n");
    EXPECT_NEAR(elapsed(), 4.8, kTolerance);
}

// Work a command hands to the queues runs at the command's time, before a wait moves the clock.
TEST_F(DriverTimeTest, QueuedWorkOfACommandRunsBeforeTheClockMoves) {
    std::atomic<double> ranAt{-1};
    Driver::addHostCommand("queue-work", "", "", [&](Driver&, const std::string&, UIScreenReply&) {
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
            ranAt = elapsed();
            dispatch_async(dispatch_get_main_queue(), [titled = titled_] { titled->setTitle("Worked"); });
        });
        return true;
    });
    EXPECT_EQ(driver_.execute("queue-work"), "");
    EXPECT_NE(driver_.screen().find("Worked"), std::string::npos);
    EXPECT_EQ(driver_.execute("wait 5"), "");
    EXPECT_NEAR(ranAt.load(), 0, kTolerance);
}

// An opened page is news once: the screen after it lists it, later screens do not. expect finds
// it under the command that opened it and the one after, but not once another command came between.
TEST_F(DriverTimeTest, OpenedPagesShowOnceAndExpectSeesThemOneCommandOn) {
    UIApplication::sharedApplication()->openURL(NSURL::URLWithString("http://127.0.0.1/a"));
    auto first = driver_.screen();
    EXPECT_NE(first.find("opened: http://127.0.0.1/a\n"), std::string::npos) << first;
    Driver::addHostCommand("open-b", "", "", [](Driver&, const std::string&, UIScreenReply&) {
        UIApplication::sharedApplication()->openURL(NSURL::URLWithString("http://127.0.0.1/b"));
        return true;
    });
    EXPECT_EQ(driver_.execute("open-b"), "");
    auto second = driver_.screen();
    EXPECT_EQ(second.find("opened: http://127.0.0.1/a"), std::string::npos) << second;
    EXPECT_NE(second.find("opened: http://127.0.0.1/b\n"), std::string::npos) << second;
    EXPECT_EQ(driver_.screen().find("opened:"), std::string::npos);
    const std::pair<const char*, const char*> steps[] = {
        {"expect opened: http://127.0.0.1/b 1", ""},
        {"expect opened: http://127.0.0.1/a 1", "error: \"opened: http://127.0.0.1/a\" not on screen after 1 s\n"},
        {"expect opened: http://127.0.0.1/b 1", "error: \"opened: http://127.0.0.1/b\" not on screen after 1 s\n"},
    };
    for (const auto& [command, answer] : steps) EXPECT_EQ(driver_.execute(command), answer) << command;
}

// A long wait passes every timer due in it at its time: an update check every 1800 s fires ten
// times in 18000 s beside a heartbeat every second, which beats each second. A wait whose timers are more than a wait fires one by one is cut short, the clock
// standing where it got, with an error; a wait the clock cannot count is an error that leaves the
// clock as it was, delayed work firing after it.
TEST_F(DriverTimeTest, LongWaitsStayExactAndAnUncountableOneIsAnError) {
    std::atomic<int> checks{0};
    auto source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
    dispatch_source_set_timer(source, dispatch_time(DISPATCH_TIME_NOW, nanoseconds(1800)), static_cast<std::uint64_t>(nanoseconds(1800)), 0);
    dispatch_source_set_event_handler(source, [&] { ++checks; });
    dispatch_resume(source);
    int beats = 0;
    auto heartbeat = NSTimer::scheduledTimerWithTimeInterval(1, true, [&](const std::shared_ptr<NSTimer>&) { ++beats; });
    EXPECT_EQ(driver_.execute("wait 18000"), "");
    EXPECT_EQ(checks.load(), 10);
    EXPECT_EQ(beats, 18000);
    EXPECT_NEAR(elapsed(), 18000, kTolerance);

    // A heartbeat a second cannot be fired one by one through 1e9 s: the wait stops at the last
    // beat it could fire, every check due by then fired.
    const std::string cut = driver_.execute("wait 1e9");
    EXPECT_EQ(cut.rfind("error: the clock passed ", 0), 0u) << cut;
    EXPECT_NE(cut.find(" s of 1e+09 s: more timers were due in it than a wait fires one by one"), std::string::npos) << cut;
    const double reached = elapsed() - 18000;
    EXPECT_GT(reached, 100000) << "the heartbeats are stepped through as far as a wait's steps go";
    EXPECT_LT(reached, 1e9);
    EXPECT_EQ(beats, 18000 + static_cast<int>(std::llround(reached)));
    EXPECT_EQ(checks.load(), static_cast<int>(elapsed() / 1800));
    heartbeat->invalidate();
    dispatch_source_cancel(source);

    const double before = elapsed();
    const std::string answer = driver_.execute("wait 1e10");
    EXPECT_EQ(answer.rfind("error: 1e+10 s is longer than the device's clock can count (", 0), 0u) << answer;
    EXPECT_EQ(driver_.execute("expect Never 1e10").rfind("error: 1e+10 s is longer", 0), 0u);
    EXPECT_NEAR(elapsed(), before, kTolerance);
    bool fired = false;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, nanoseconds(1)), dispatch_get_main_queue(), [&] { fired = true; });
    EXPECT_EQ(driver_.execute("wait 1e9"), "") << "nothing repeats now: a few steps";
    EXPECT_TRUE(fired);
    fired = false;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, nanoseconds(1)), dispatch_get_main_queue(), [&] { fired = true; });
    EXPECT_EQ(driver_.execute("wait 2"), "");
    EXPECT_TRUE(fired);
}

// What the driver says back names what the user typed and what the device holds: no control or
// direction override in it reaches the terminal.
TEST_F(DriverTimeTest, AnswersShowControlsAsEscapes) {
    EXPECT_EQ(driver_.execute("tap \xe2\x80\xae" "fdp.exe\x1b[2J"),
              "error: nothing on screen shows \"\\u202efdp.exe\\x1b[2J\"\n");
}

// A gesture takes its time on the script clock, one screen frame per step, so what a timer does
// meanwhile (a long press, an animation) happens during it; a hold lasts as long as it says.
TEST_F(DriverTimeTest, GesturesLetTheirStepsTimePass) {
    const struct {
        const char* line;
        double seconds;
    } cases[] = {
        {"drag 100,300 100,400 10", 12.0 / 60},  // down, ten moves, up
        {"swipe up 100,300", 8.0 / 60},          // down, six moves, up
        {"hold 100,300 2", 2 + 2.0 / 60},        // down, two seconds, up
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const double before = elapsed();
        EXPECT_EQ(driver_.execute(c.line), "");
        EXPECT_NEAR(elapsed() - before, c.seconds, kTolerance);
    }
}
