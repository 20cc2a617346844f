// Every screen of the app lists what a tap reaches on it: the walk goes to each screen, reads the
// names the screen text offers beyond its own lines, and taps each from a fresh launch.

#include "app/tests/MediaTabTest.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
class ScreenWalkTest : public MediaTabTest {
protected:
    void SetUp() override {
        MediaTabTest::SetUp();
        clock_ = std::make_unique<ManualClock>();
    }
    void TearDown() override {
        clock_.reset();
        MediaTabTest::TearDown();
    }
    // The app launched again on the same device, from its first screen.
    void relaunch() {
        if (auto tracker = VTVersionTracker::tracker()) tracker->stopTracking();
        UIApplication::sharedApplication()->reset();
        delegate_ = launchAppPastTheWelcome();
        driver_.drain();
    }
    // Runs the commands; the screen text after the last.
    std::string follow(const std::vector<std::string>& path) {
        for (const auto& line : path) {
            std::string answer = driver_.execute(line);
            EXPECT_EQ(answer.rfind("error:", 0), std::string::npos) << line << ": " << answer;
        }
        return driver_.screen();
    }
    std::unique_ptr<ManualClock> clock_;
};

// The names on the screen's "also:" line: "[button]", "(picture)" and "\"text\"" alike.
std::vector<std::string> alsoNames(const std::string& screen) {
    std::vector<std::string> names;
    auto at = screen.find("\nalso:");
    if (at == std::string::npos) return names;
    std::string line = screen.substr(at + 6, screen.find('\n', at + 1) - at - 6);
    for (std::size_t i = 0; i < line.size(); ++i) {
        char close = line[i] == '[' ? ']' : line[i] == '(' ? ')' : line[i] == '"' ? '"' : 0;
        if (!close) continue;
        auto end = line.find(close, i + 1);
        if (end == std::string::npos) break;
        names.push_back(line.substr(i + 1, end - i - 1));
        i = end;
    }
    return names;
}
} // namespace

TEST_F(ScreenWalkTest, EveryNameAScreenListsCanBeTapped) {
    const std::vector<std::string> menuDown = {"tab Media", "tap triangle", "wait 1"};
    auto panel = [&](const std::string& name) {
        auto path = menuDown;
        path.insert(path.end(), {"tap " + name, "wait 1"});
        return path;
    };
    const struct {
        const char* screen;
        std::vector<std::string> path;
        std::vector<std::string> listed; // names the screen must offer among others
    } cases[] = {
        {"Files", {}, {"gear"}},
        {"the options thrown out", {"tap gear", "wait 1"}, {"trash", "globe", "exclamation", "twitterBR", "share"}},
        {"the parked menu", {"tab Media"}, {}},
        {"the menu down", menuDown, {"Videos", "Photos"}},
        {"the Music panel", panel("Music"), {"Browse", "Send"}},
        {"the Photos panel", panel("Photos"), {"library", "camera"}},
        {"the Videos panel", panel("Videos"), {"library", "camera"}},
        {"the video camera", [&] {
             auto path = panel("Videos");
             path.insert(path.end(), {"tap camera", "wait 1"});
             return path;
         }(), {"Record", "Cancel"}},
        {"the video camera's trim step", [&] {
             auto path = panel("Videos");
             path.insert(path.end(), {"tap camera", "wait 1", "tap Record", "wait 1", "tap Stop"});
             return path;
         }(), {"Use Video", "Retake"}},
        {"the Clipvane screen", {"shake", "wait 3"}, {"Setup"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        relaunch();
        const std::string screen = follow(c.path);
        const auto names = alsoNames(screen);
        for (const auto& wanted : c.listed)
            EXPECT_NE(std::find(names.begin(), names.end(), wanted), names.end()) << wanted << " is not listed:\n" << screen;
        for (const auto& name : names) {
            SCOPED_TRACE(name);
            relaunch();
            follow(c.path);
            const std::string answer = driver_.execute("tap " + name);
            EXPECT_EQ(answer.rfind("error: nothing", 0), std::string::npos) << answer << "on:\n" << screen;
            // A camera the tap opened is closed as its user would close it: its views and session
            // hold one another until it closes, so dropping it open with the next launch leaks them.
            driver_.execute("wait 1");
            if (driver_.screen().find("\ncamera: live") != std::string::npos) follow({"tap Previous", "wait 1"});
        }
    }
}

// The parked menu's line names the choice on top, but its bar lies above the screen: the line
// shows it as text, a tap does not find it, and the triangle it names drops the menu.
TEST_F(ScreenWalkTest, TheParkedMenuNamesItsChoiceAsTextAndTheTriangleDropsIt) {
    auto parked = follow({"tab Media"});
    EXPECT_NE(parked.find("menu: parked, \"Music\"\n"), std::string::npos) << parked;
    EXPECT_EQ(driver_.execute("tap Music"), "error: nothing on screen shows \"Music\"\n");
    EXPECT_EQ(driver_.execute("tap triangle"), "");
    auto down = follow({"wait 1"});
    EXPECT_NE(down.find("menu: down, \"Music\"\n"), std::string::npos) << down;
    EXPECT_EQ(driver_.execute("tap Photos"), "");
    EXPECT_NE(follow({"wait 1"}).find("menu: parked, \"Photos\"\n"), std::string::npos);
}
