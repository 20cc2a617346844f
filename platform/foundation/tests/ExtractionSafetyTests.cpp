#include "platform/foundation/ExtractionSafety.h"

#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/UnixSocketFile.h"

#include <gtest/gtest.h>

#include <limits>

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(ExtractionSafetyNames, NamesLeadingOutsideAreRefused) {
    struct Case {
        const char* name;
        std::optional<std::vector<std::string>> components;
    };
    using V = std::vector<std::string>;
    const Case cases[] = {
        {"a/b.txt", V{"a", "b.txt"}},
        {"./a//b/./c", V{"a", "b", "c"}},
        {"a/../b", V{"b"}},
        {"dir/", V{"dir"}},
        {"", V{}},
        {"..", std::nullopt},
        {"../x", std::nullopt},
        {"a/../../x", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"a/./../..", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(extractionComponentsOfName(c.name), c.components) << c.name;
    EXPECT_FALSE(extractionComponentsOfName(std::string_view("a\0b", 3)));
}

TEST(ExtractionSafetyNames, LinkTargetsMustStayInside) {
    struct Case {
        std::vector<std::string> link;
        const char* target;
        bool inside;
    };
    const Case cases[] = {
        {{"l"}, "file", true},
        {{"l"}, "sub/file", true},
        {{"d", "l"}, "../file", true},
        {{"d", "e", "l"}, "../../x/y", true},
        {{"l"}, "..", false},             // the destination's parent
        {{"d", "l"}, "../..", false},
        {{"l"}, "/etc", false},           // absolute
        {{"l"}, "", false},
        {{"d", "l"}, "up/..", false},     // ".." after a name: "up" may be a link itself
        {{"l"}, "a/../b", false},
    };
    for (const Case& c : cases) EXPECT_EQ(extractionLinkTargetStaysInside(c.link, c.target), c.inside) << c.target;
    EXPECT_FALSE(extractionLinkTargetStaysInside({"l"}, std::string_view("a\0b", 3)));
}

TEST(ExtractionSafetyBudget, TheLesserLimitHoldsAndEveryItemTakesABlock) {
    constexpr std::uint64_t kBlock = ExtractionBudget::kBlockBytes;
    struct Case {
        const char* what;
        std::uint64_t archive, maximum, ratio;
        std::uint64_t limit;
    };
    const Case cases[] = {
        {"the ratio is the lesser", 100000, 64 << 20, 100, 10000000},
        {"a small archive may unpack the floor", 1000, 64 << 20, 100, ExtractionBudget::kRatioFloorBytes},
        {"the byte limit is the lesser", 1 << 20, 1 << 20, 100, 1 << 20},
        {"the byte limit is below the floor", 1000, 8 * kBlock, 100, 8 * kBlock},
        {"no ratio", 1000, 1 << 20, 0, 1 << 20},
        {"a product past 64 bits", std::uint64_t{1} << 62, 1 << 20, 16, 1 << 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExtractionBudget(c.archive, c.maximum, c.ratio).limit(), c.limit);
    }
    ExtractionBudget budget(1 << 20, 10 * kBlock, 0);
    EXPECT_TRUE(budget.charge(0));  // an empty file or a folder: one block
    EXPECT_TRUE(budget.charge(kBlock + 1));
    EXPECT_EQ(budget.charged(), 3 * kBlock);
    EXPECT_FALSE(budget.charge(7 * kBlock + 1));
    EXPECT_EQ(budget.charged(), 3 * kBlock);
    EXPECT_TRUE(budget.charge(7 * kBlock));
    EXPECT_FALSE(budget.charge(0));
    EXPECT_FALSE(budget.charge(std::numeric_limits<std::uint64_t>::max()));
}

TEST(ExtractionSafetyTime, SecondsKeepTheirFractions) {
    timespec ts = timespecFromSeconds(1394014831.25);
    EXPECT_EQ(ts.tv_sec, 1394014831);
    EXPECT_EQ(ts.tv_nsec, 250000000);
    ts = timespecFromSeconds(-0.5);
    EXPECT_EQ(ts.tv_sec, -1);
    EXPECT_EQ(ts.tv_nsec, 500000000);
}

class ExtractionDestinationTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        makeDirectory("/out");
        writeFile("/outside/victim", "keep");
    }
    ExtractionDestination destination() const {
        int errnum = 0;
        auto opened = ExtractionDestination::open(host("/out"), &errnum);
        EXPECT_TRUE(opened) << errnum;
        return std::move(*opened);
    }
    // Writes a file at the components as an extraction does; 0 or the error of its begin or commit.
    int write(const ExtractionDestination& out, const std::vector<std::string>& file, mode_t mode, const std::string& text,
              ExtractionRefusal* refusal = nullptr) const {
        WholeFileWriter writer;
        int errnum = 0;
        if (!out.beginFile(file, mode, writer, refusal, &errnum)) return errnum ? errnum : -1;
        EXPECT_EQ(::write(writer.fd(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
        return writer.commit(WholeFileWriter::Sync::None);
    }
};

TEST_F(ExtractionDestinationTest, NothingIsWrittenThroughALink) {
    struct Case {
        const char* what;
        void (*prepare)(const std::string& out, const std::string& outside);
        std::vector<std::string> file;
        ExtractionRefusal refusal;
    };
    const Case cases[] = {
        {"absolute link as a folder", [](const std::string& out, const std::string& outside) { ::symlink(outside.c_str(), (out + "/l").c_str()); },
         {"l", "victim"}, ExtractionRefusal::SymbolicLink},
        {"relative link as a folder", [](const std::string& out, const std::string&) { ::symlink("../outside", (out + "/l").c_str()); },
         {"l", "victim"}, ExtractionRefusal::SymbolicLink},
        {"link deeper down", [](const std::string& out, const std::string& outside) {
             ::mkdir((out + "/a").c_str(), 0755);
             ::symlink(outside.c_str(), (out + "/a/l").c_str());
         },
         {"a", "l", "victim"}, ExtractionRefusal::SymbolicLink},
        {"link in the file's place", [](const std::string& out, const std::string& outside) {
             ::symlink((outside + "/victim").c_str(), (out + "/f").c_str());
         },
         {"f"}, ExtractionRefusal::SymbolicLink},
        {"hard link in the file's place is replaced", [](const std::string& out, const std::string& outside) {
             ::link((outside + "/victim").c_str(), (out + "/f").c_str());
         },
         {"f"}, ExtractionRefusal::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        removeHostTree(host("/out"));
        makeDirectory("/out");
        c.prepare(host("/out"), host("/outside"));
        auto out = destination();
        ExtractionRefusal refusal = ExtractionRefusal::None;
        EXPECT_EQ(write(out, c.file, 0644, "new", &refusal) == 0, c.refusal == ExtractionRefusal::None);
        EXPECT_EQ(refusal, c.refusal);
        EXPECT_EQ(readFile("/outside/victim"), "keep");
        EXPECT_FALSE(out.itemExists({"l", "victim"}));
    }
}

TEST_F(ExtractionDestinationTest, FoldersFilesAndLinksAreMadeBeneath) {
    auto out = destination();
    ExtractionRefusal refusal;
    int errnum = 0;
    ASSERT_EQ(write(out, {"a", "b", "c.txt"}, 0600, "c"), 0);
    EXPECT_EQ(readFile("/out/a/b/c.txt"), "c");
    struct stat st{};
    ASSERT_EQ(::stat(host("/out/a/b/c.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A file standing there is replaced, once the new one is whole: one given up leaves it.
    {
        WholeFileWriter abandoned;
        ASSERT_TRUE(out.beginFile({"a", "b", "c.txt"}, 0644, abandoned, &refusal, &errnum));
        ASSERT_EQ(::write(abandoned.fd(), "x", 1), 1);
    }
    EXPECT_EQ(readFile("/out/a/b/c.txt"), "c");
    ASSERT_EQ(write(out, {"a", "b", "c.txt"}, 0644, "again"), 0);
    EXPECT_EQ(readFile("/out/a/b/c.txt"), "again");
    // Nothing but a file is replaced: a FIFO, a socket or a folder stays, and nothing is left beside.
    ASSERT_EQ(::mkfifo(host("/out/a/fifo").c_str(), 0644), 0);
    const int sock = bindUnixSocketAt(host("/out/a/socket"));
    ASSERT_GE(sock, 0);
    EXPECT_EQ(write(out, {"a", "fifo"}, 0644, "x"), EINVAL);
    EXPECT_EQ(write(out, {"a", "socket"}, 0644, "x"), EINVAL);
    EXPECT_EQ(write(out, {"a", "b"}, 0644, "x"), EISDIR);
    EXPECT_NE(out.createSymbolicLink({"a", "fifo"}, "b", &refusal), 0);
    struct stat fifo{};
    ASSERT_EQ(::lstat(host("/out/a/fifo").c_str(), &fifo), 0);
    EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
    ::close(sock);
    // A link in place of a file replaces it.
    ASSERT_EQ(write(out, {"a", "f"}, 0644, "f"), 0);
    EXPECT_EQ(out.createSymbolicLink({"a", "f"}, "b/c.txt", &refusal), 0);
    EXPECT_EQ(readFile("/out/a/f"), "again");
    EXPECT_TRUE(out.itemExists({"a", "b"}));
    EXPECT_FALSE(out.itemExists({"a", "missing"}));

    // A link is made, and a second one replaces it; a folder is never replaced.
    EXPECT_EQ(out.createSymbolicLink({"a", "l"}, "b/c.txt", &refusal), 0);
    EXPECT_EQ(out.createSymbolicLink({"a", "l"}, "b", &refusal), 0);
    char target[16] = {};
    ASSERT_GT(::readlink(host("/out/a/l").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "b");
    EXPECT_NE(out.createSymbolicLink({"a", "b"}, "x", &refusal), 0);
    EXPECT_TRUE(out.itemExists({"a", "b", "c.txt"}));
    // Nothing goes through the link just made.
    EXPECT_FALSE(out.folder({"a", "l"}, 2, true, &refusal, &errnum).valid());
    EXPECT_EQ(refusal, ExtractionRefusal::SymbolicLink);

    // Folder attributes are set on the folder itself, never through a link in its place.
    EXPECT_EQ(out.setFolderAttributes({"a", "b"}, 1394014790.0, mode_t{0750}), 0);
    ASSERT_EQ(::stat(host("/out/a/b").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1394014790);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    ASSERT_EQ(::symlink(host("/outside").c_str(), host("/out/toOutside").c_str()), 0);
    EXPECT_EQ(out.setFolderAttributes({"toOutside"}, 0.0, mode_t{0}), ENOTDIR);
    ASSERT_EQ(::stat(host("/outside").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 07777, 0u);
}

} // namespace
