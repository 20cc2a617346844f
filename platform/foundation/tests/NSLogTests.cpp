// The log on the terminal: outside text in a line (a file name, a title, a server's words) never
// reaches standard error as controls, direction marks or broken UTF-8; tests capture the lines as
// logged.

#include "platform/foundation/NSLog.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

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
} // namespace
