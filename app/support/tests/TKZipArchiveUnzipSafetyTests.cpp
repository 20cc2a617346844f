// Unzipping never writes outside the destination, whatever already stands in it, and refuses
// archives built to expand far beyond their size.
#include "app/support/TKZipArchive.h"
#include "app/support/tests/TKZipArchiveTestSupport.h"
#include "platform/foundation/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tkzip_test;

TEST_F(TKZipArchiveTest, UnzipNeverWritesThroughALinkInTheDestination) {
    struct Case {
        const char* what;
        std::function<void()> prepare;      // what stands in /out before the archive comes
        std::vector<ArchiveEntry> entries;  // the archive extracted into /out
        bool result;
        std::vector<const char*> mustNotExist;
        std::vector<const char*> mustExist;
    };
    // Extracts an earlier archive into /out, as a user would before the hostile one.
    auto extractEarlier = [this](const std::vector<ArchiveEntry>& entries) {
        makeArchive("/tmp/earlier.zip", entries);
        TKZipArchive::unzipFileAtPathToDestination("/tmp/earlier.zip", "/out");
    };
    const std::vector<Case> cases = {
        {"absolute link standing in the destination",
         [&] { ASSERT_EQ(::symlink(host("/tmp").c_str(), host("/out/l").c_str()), 0); },
         {{"l/evil.txt", "x"}},
         false,
         {"/tmp/evil.txt"},
         {"/out/l"}},
        {"relative link standing in the destination",
         [&] { ASSERT_EQ(::symlink("..", host("/out/up").c_str()), 0); },
         {{"up/evil.txt", "x"}, {"up/sub/evil.txt", "x"}},
         false,
         {"/evil.txt", "/sub"},
         {}},
        {"link standing at the file's own path",
         [&] {
             writeFile("/tmp/victim", "keep");
             ASSERT_EQ(::symlink(host("/tmp/victim").c_str(), host("/out/f").c_str()), 0);
         },
         {{"f", "x"}},
         false,
         {},
         {"/tmp/victim"}},
        {"link in a deeper folder",
         [&] {
             makeDirectory("/out/a/b");
             ASSERT_EQ(::symlink(host("/tmp").c_str(), host("/out/a/b/c").c_str()), 0);
         },
         {{"a/b/c/d/evil.txt", "x"}},
         false,
         {"/tmp/d"},
         {}},
        {"links left by earlier archives",
         [&] {
             extractEarlier({{"d/up", "..", true}});
             extractEarlier({{"l2", "d/up/..", true}});
         },
         {{"l2/evil.txt", "x"}},
         true, // the earlier link leading out was refused, so this lands inside
         {"/evil.txt"},
         {"/out/d/up"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        removeHostTree(host("/out"));
        ::unlink(host("/evil.txt").c_str());
        makeDirectory("/out");
        c.prepare();
        makeArchive("/tmp/hostile.zip", c.entries);
        EXPECT_EQ(TKZipArchive::unzipFileAtPathToDestination("/tmp/hostile.zip", "/out"), c.result);
        for (const char* path : c.mustNotExist) EXPECT_FALSE(hostExists(host(path))) << path;
        for (const char* path : c.mustExist) EXPECT_TRUE(hostExists(host(path))) << path;
        if (hostExists(host("/tmp/victim"))) {
            EXPECT_EQ(readFile("/tmp/victim"), "keep");
        }
    }
}

TEST_F(TKZipArchiveTest, ArchivesThatExpandBeyondWhatTheyDeclareAreRefused) {
    struct Case {
        const char* how;
        std::vector<const char*> mustNotExist; // nothing is extracted once the archive is refused
        long longestFile;                      // bytes any file written may hold
    };
    const Case cases[] = {
        {"same header twice", {"/out/a", "/out/b", "/out/c"}, 0},
        {"reaches into the next", {"/out/a", "/out/b"}, 0},
        {"inflates", {}, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        removeHostTree(host("/out"));
        makeDirectory("/out");
        ASSERT_TRUE(zip_archives::craftHostileArchive(host("/tmp/crafted.zip"), c.how, host("/tmp/script.py")));
        EXPECT_FALSE(TKZipArchive::unzipFileAtPathToDestination("/tmp/crafted.zip", "/out"));
        for (const char* path : c.mustNotExist) EXPECT_FALSE(hostExists(host(path))) << path;
        struct stat st{};
        if (::stat(host("/out/a").c_str(), &st) == 0) {
            EXPECT_LE(st.st_size, c.longestFile);
        }
    }
}

// An entry that fails (here one that inflates past its declared size) takes nothing of what stood
// at its place: the earlier file stays as it was, and nothing of the entry is left beside it.
TEST_F(TKZipArchiveTest, AFailedEntryLeavesTheEarlierFileAtItsPlace) {
    makeDirectory("/out");
    writeFile("/out/a", "earlier");
    ASSERT_TRUE(zip_archives::craftHostileArchive(host("/tmp/crafted.zip"), "inflates", host("/tmp/script.py")));
    EXPECT_FALSE(TKZipArchive::unzipFileAtPathToDestination("/tmp/crafted.zip", "/out"));
    EXPECT_EQ(readFile("/out/a"), "earlier");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(host("/out"))) {
        const std::string name = entry.path().filename();
        if (name != "a" && name != "b") left.push_back(name);
    }
    EXPECT_EQ(left, std::vector<std::string>{});
}

TEST_F(TKZipArchiveTest, UnzipStopsAtItsLimitInBytesAndRatio) {
    ASSERT_TRUE(zip_archives::makeZipBomb(host("/tmp/bomb.zip"), host("/tmp/script.py")));
    struct stat archived{};
    ASSERT_EQ(::stat(host("/tmp/bomb.zip").c_str(), &archived), 0);
    const auto size = static_cast<std::uint64_t>(archived.st_size);
    auto cases = zip_archives::zipBombLimitCases();
    cases.push_back({"the defaults", TKZipArchive::kUnzipMaximumBytes, TKZipArchive::kUnzipMaximumRatio, true});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        removeHostTree(host("/out"));
        makeDirectory("/out");
        TKZipArchive::setUnzipLimits(c.bytes, c.ratio);
        const auto outcome = zip_archives::zipBombOutcome(size, c.bytes, c.ratio);
        ASSERT_EQ(outcome.b, c.b);
        EXPECT_EQ(TKZipArchive::unzipFileAtPathToDestination("/tmp/bomb.zip", "/out"), outcome.whole());
        zip_archives::expectZipBombExtracted(host("/out"), outcome);
        if (!outcome.b) {
            EXPECT_TRUE(log_->contains("[TKZipArchive] Refused \"b\": it would unpack past the limit of "));
        }
    }
    TKZipArchive::setUnzipLimits(TKZipArchive::kUnzipMaximumBytes, TKZipArchive::kUnzipMaximumRatio);
}

TEST_F(TKZipArchiveTest, TheDefaultLimitsStopABombOfOneLargeEntry) {
    // 64 MB of zeros deflate to about 64 KB: a thousandfold, far past the default ratio.
    const char* script = "import zipfile, sys\nz = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
                         "z.writestr('small', b'kept')\n"
                         "with z.open('big', 'w', force_zip64=True) as f:\n"
                         "    for i in range(64): f.write(b'\\0' * (1 << 20))\n"
                         "z.close()\n";
    ASSERT_EQ(python(script, "'" + host("/tmp/big.zip") + "'"), 0);
    EXPECT_FALSE(TKZipArchive::unzipFileAtPathToDestination("/tmp/big.zip", "/out"));
    EXPECT_EQ(readFile("/out/small"), "kept");
    EXPECT_FALSE(hostExists(host("/out/big")));
    EXPECT_TRUE(log_->contains("[TKZipArchive] Refused \"big\": it would unpack past the limit of "));
}

// An unzip killed half-way through an entry leaves the entry's hidden temporary; the next unzip
// that writes into that folder takes it, wherever the folder is. A file of the user's of the same
// shape, and the temporary of a writer still running, stay.
TEST_F(TKZipArchiveTest, TheNextUnzipIntoAFolderTakesWhatAKilledOneLeftThere) {
    constexpr std::size_t kEntryBytes = 256 << 10, kKilledAt = 64 << 10;
    struct Case {
        const char* what;
        const char* bigEntry;                // the entry the kill stops half-way
        const char* folder;                  // where its temporary is left
        std::vector<ArchiveEntry> next;      // the next archive unzipped into /out
    };
    const std::vector<Case> cases = {
        {"a file at the top, then another archive", "big.bin", "/out", {{"small.txt", "small"}}},
        {"a file in a folder, then another archive", "sub/deeper/big.bin", "/out/sub/deeper", {{"sub/deeper/small.txt", "small"}}},
        {"the same archive again", "big.bin", "/out", {{"first.txt", "first"}, {"big.bin", std::string(kEntryBytes, '\0')}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        removeHostTree(host("/out"));
        makeDirectory(c.folder);
        const std::string usersFile = zip_archives::deadWritersTemporaryName("big.bin");
        writeFile(std::string(c.folder) + "/" + usersFile, "the user's");
        WholeFileWriter live;
        ASSERT_EQ(live.begin(std::string(c.folder) + "/live.txt"), 0);
        makeArchive("/tmp/killed.zip", {{"first.txt", "first"}, {c.bigEntry, std::string(kEntryBytes, '\0')}});
        ASSERT_TRUE(zip_archives::extractKilledHalfWay([] { TKZipArchive::unzipFileAtPathToDestination("/tmp/killed.zip", "/out"); }, kKilledAt));
        const auto left = zip_archives::temporariesIn(host(c.folder));
        ASSERT_EQ(left.size(), 3u) << "the killed unzip left no temporary";

        makeArchive("/tmp/next.zip", c.next);
        EXPECT_TRUE(TKZipArchive::unzipFileAtPathToDestination("/tmp/next.zip", "/out"));
        std::vector<std::string> expected = {usersFile, live.temporaryName()};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(zip_archives::temporariesIn(host(c.folder)), expected);
        EXPECT_EQ(readFile(std::string(c.folder) + "/" + usersFile), "the user's");
        for (const ArchiveEntry& e : c.next) EXPECT_EQ(readFile("/out/" + e.name), e.data) << e.name;
    }
}

} // namespace
