#include "platform/foundation/ExtractionSafety.h"

#include "platform/testsupport/DeviceTest.h"

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
    void write(const ScopedDescriptor& fd, const std::string& text) const {
        ASSERT_TRUE(fd.valid());
        ASSERT_EQ(::write(fd.get(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
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
        ExtractionRefusal refusal = ExtractionRefusal::Other;
        int errnum = 0;
        ScopedDescriptor fd = out.createFile(c.file, 0644, &refusal, &errnum);
        EXPECT_EQ(refusal, c.refusal);
        EXPECT_EQ(fd.valid(), c.refusal == ExtractionRefusal::None);
        if (fd.valid()) write(fd, "new");
        EXPECT_EQ(readFile("/outside/victim"), "keep");
        EXPECT_FALSE(out.itemExists({"l", "victim"}));
    }
}

TEST_F(ExtractionDestinationTest, FoldersFilesAndLinksAreMadeBeneath) {
    auto out = destination();
    ExtractionRefusal refusal;
    int errnum = 0;
    write(out.createFile({"a", "b", "c.txt"}, 0600, &refusal, &errnum), "c");
    EXPECT_EQ(readFile("/out/a/b/c.txt"), "c");
    struct stat st{};
    ASSERT_EQ(::stat(host("/out/a/b/c.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A file standing there is replaced.
    write(out.createFile({"a", "b", "c.txt"}, 0644, &refusal, &errnum), "again");
    EXPECT_EQ(readFile("/out/a/b/c.txt"), "again");
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
