// The log on the terminal: outside text in a line (a file name, a title, a server's words) never
// reaches standard error as controls, direction marks or broken UTF-8; tests capture the lines as
// logged.

#include "platform/foundation/NSLog.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {
class NSLogTest : public DeviceTest {};

const std::vector<std::string> kHostileTexts = {
    "hand-\x1b[31m.txt",                    // a colour escape in a file name
    "Evil\x1b[2J\x1b[H",                    // a site's title clearing the screen
    "folder\x1b]0;owned\x07",               // a window title sequence
    "report-\xE2\x80\xAEgnp.exe",           // a direction override
    "caf\xE9 \xC2\x9B" "31m and a \r return", // bytes that are not UTF-8, a C1 CSI, a carriage return
    "two\nlines\tand a tab",
};

TEST_F(NSLogTest, LinesOnTheTerminalCarryNoRawControlAndCapturedLinesStayAsLogged) {
    const std::string path = host("/stderr.txt");
    const int status = runInChildProcess([&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0) return 1;
        NSLogCapture printed(true); // the fixture's capture keeps lines off the terminal; this one prints them
        for (const auto& text : kHostileTexts) NSLog("Video meta-info: %@", text);
        std::fflush(stderr);
        return 0;
    });
    ASSERT_EQ(status, 0);
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string written = all.str();
    std::size_t lines = 0;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const auto byte = static_cast<unsigned char>(written[i]);
        lines += byte == '\n';
        EXPECT_FALSE((byte < 0x20 && byte != '\n') || byte == 0x7f) << "raw byte " << int(byte) << " at " << i;
    }
    EXPECT_EQ(lines, kHostileTexts.size()) << "one line per message";
    EXPECT_TRUE(NSString::isValidUTF8(written));
    EXPECT_EQ(written.find("\xE2\x80\xAE"), std::string::npos) << "no raw direction override";
    EXPECT_EQ(written.find("\xC2\x9B"), std::string::npos) << "no raw C1 control";
    EXPECT_NE(written.find("Video meta-info: Evil\\x1b[2J\\x1b[H\n"), std::string::npos) << written;
    EXPECT_NE(written.find("report-\\u202egnp.exe"), std::string::npos) << written;
    EXPECT_NE(written.find("caf\\xe9 \\u009b31m and a \\r return"), std::string::npos) << written;

    NSLogCapture capture;
    NSLog("Video meta-info: %@", kHostileTexts[1]);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Video meta-info: " + kHostileTexts[1]});
}

// Under a stepped clock a line carries the device's time, not the host's: a day and a half
// second on from where the clock started.
TEST_F(NSLogTest, LinesCarryTheDevicesTimeUnderASteppedClock) {
    constexpr double kStart = 1400000000;
    const std::string path = host("/stderr.txt");
    const int status = runInChildProcess([&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0) return 1;
        NSLogCapture printed(true);
        PlatformClock::setManual(kStart);
        PlatformClock::advance(86400.5);
        NSLog("stamped");
        std::fflush(stderr);
        return 0;
    });
    ASSERT_EQ(status, 0);
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line);
    const std::time_t then = static_cast<std::time_t>(kStart) + 86400;
    std::tm tm{};
    localtime_r(&then, &tm);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S.500 ", &tm);
    EXPECT_EQ(line.rfind(stamp, 0), 0u) << line;
    EXPECT_NE(line.find("] stamped"), std::string::npos) << line;
}
} // namespace
