#include "platform/device/HandOver.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/UnixSocketFile.h"
#include "platform/uikit/UIApplication.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

class HandOverCopyTest : public DeviceTest {
protected:
    std::string hostFile(const std::string& name, const std::string& contents) {
        std::string path = outside_.path() + "/" + name;
        std::ofstream(path) << contents;
        return path;
    }
    TemporaryFolder outside_;
};

TEST_F(HandOverCopyTest, CopiesTakeTheNextFreeNameAndLeaveTheFileAsItWas) {
    struct Case {
        const char* name;
        std::vector<std::string> expected; // the inbox paths of three hand-overs in a row
    };
    const Case cases[] = {
        {"photo.jpg", {"photo.jpg", "photo-2.jpg", "photo-3.jpg"}},
        {"README", {"README", "README-2", "README-3"}},
        {"archive.tar.gz", {"archive.tar.gz", "archive.tar-2.gz", "archive.tar-3.gz"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = hostFile(c.name, "contents");
        for (const auto& expected : c.expected) {
            std::string error;
            auto copy = HandOver::copyIntoInbox(file, error);
            ASSERT_TRUE(copy) << error;
            EXPECT_EQ(*copy, std::string(HandOver::kInboxPath) + "/" + expected);
            EXPECT_EQ(readFile(*copy), "contents");
        }
        std::ifstream in(file);
        std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(kept, "contents");
    }
}

TEST_F(HandOverCopyTest, MissingFilesAndFoldersAreRefusedAndNothingReachesTheInbox) {
    fs::create_directory(outside_.path() + "/folder");
    struct Case {
        std::string path;
        std::string error;
    };
    const Case cases[] = {
        {outside_.path() + "/missing.txt", "cannot read " + outside_.path() + "/missing.txt: No such file or directory"},
        {outside_.path() + "/folder", outside_.path() + "/folder is not a file (only files can be handed over)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_FALSE(HandOver::copyIntoInbox(c.path, error));
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(HandOver::handOverFile(c.path, HandOver::kAirDropSource, error));
    }
    EXPECT_FALSE(fs::exists(host(HandOver::kInboxPath)) && !fs::is_empty(host(HandOver::kInboxPath)));
}

// A FIFO is refused at once rather than waited on, and a copy that fails half-way (the disk full)
// leaves nothing in the inbox. Each runs in a child, so a hang ends at the alarm.
TEST_F(HandOverCopyTest, SpecialFilesAndFailedCopiesLeaveTheInboxEmpty) {
    constexpr unsigned kWatchdogSeconds = 10;
    constexpr rlim_t kFileSizeLimit = 64 * 1024;
    const std::string fifo = outside_.path() + "/pipe.mov";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string big = hostFile("big.mov", std::string(4 * kFileSizeLimit, 'x'));
    const std::string socketPath = outside_.path() + "/a_socket";
    const int sock = bindUnixSocketAt(socketPath);
    ASSERT_GE(sock, 0);
    struct Case {
        std::string path;
        bool fullDisk;
        std::string error;
    };
    const Case cases[] = {
        {fifo, false, fifo + " is not a file (only files can be handed over)"},
        {socketPath, false, socketPath + " is not a file (only files can be handed over)"},
        {big, true, "cannot copy " + big + ": File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        int status = runInChildProcess([&] {
            ::alarm(kWatchdogSeconds);
            if (c.fullDisk) {
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{kFileSizeLimit, kFileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            std::string error;
            if (HandOver::copyIntoInbox(c.path, error)) return 1;
            return error == c.error ? 0 : 2;
        });
        EXPECT_EQ(status, 0);
        EXPECT_FALSE(fs::exists(host(HandOver::kInboxPath)) && !fs::is_empty(host(HandOver::kInboxPath)));
    }
    ::close(sock);
}
// A file the kernel generates reads as size 0 yet has bytes: it is handed over whole, as read. A
// name that is not UTF-8 is saved under its escaped form rather than one the app cannot take.
TEST_F(HandOverCopyTest, GeneratedFilesAreCopiedAsReadAndNamesThatAreNotUTF8AreEscaped) {
    std::string error;
    auto generated = HandOver::copyIntoInbox("/proc/self/cmdline", error);
    ASSERT_TRUE(generated) << error;
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(readFile(*generated), expected);

    // An attribute file gives a page as its size and holds a few bytes: handed over as read.
    const char* attribute = "/sys/devices/system/cpu/online";
    std::ifstream attributeIn(attribute, std::ios::binary);
    const std::string attributeBytes((std::istreambuf_iterator<char>(attributeIn)), std::istreambuf_iterator<char>());
    if (!attributeBytes.empty()) {
        auto copied = HandOver::copyIntoInbox(attribute, error);
        ASSERT_TRUE(copied) << error;
        EXPECT_EQ(readFile(*copied), attributeBytes);
    }

    auto latin1 = HandOver::copyIntoInbox(hostFile("caf\xe9 \x1b.txt", "bytes"), error);
    ASSERT_TRUE(latin1) << error;
    EXPECT_EQ(*latin1, std::string(HandOver::kInboxPath) + "/caf\\xe9 \\x1b.txt");
    EXPECT_EQ(readFile(*latin1), "bytes");
}

// A handover's argument splits as a shell splits it, so a path with spaces can be named.
TEST(HandOverCommandWords, SplitAndUnquoteAsAShellDoes) {
    struct Case {
        std::string text;
        std::optional<std::vector<std::string>> words;
    };
    using W = std::vector<std::string>;
    const Case cases[] = {
        {"/a/b.pdf", W{"/a/b.pdf"}},
        {"/a/b.pdf com.example.mail", W{"/a/b.pdf", "com.example.mail"}},
        {"\"/a/My Report.pdf\"", W{"/a/My Report.pdf"}},
        {"'/a/My Report.pdf' src", W{"/a/My Report.pdf", "src"}},
        {"/a/My\\ Report.pdf", W{"/a/My Report.pdf"}},
        {"/a/\"My \"'Report'.pdf", W{"/a/My Report.pdf"}},
        {"\"say \\\"hi\\\" \\n\"", W{"say \"hi\" \\n"}},
        {"'it\\'s", W{"it\\s"}},
        {"it's", std::nullopt},
        {"\"open", std::nullopt},
        {"  ", W{}},
        {"''", W{""}},
    };
    for (const auto& c : cases) EXPECT_EQ(HandOver::commandWords(c.text), c.words) << c.text;
}
} // namespace
