#include "platform/foundation/ExtractionSafety.h"
#include "platform/foundation/WholeFile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/ZipArchives.h"
#include "sdk/ads/VuderuZipArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class RecordingDelegate : public VuderuZipArchiveDelegate {
public:
    void ErrorMessage(const std::string& message) override { messages.push_back(message); }
    std::optional<bool> OverWriteOperation(const std::string& path) override {
        asked.push_back(path);
        return allow;
    }
    std::vector<std::string> messages;
    std::vector<std::string> asked;
    std::optional<bool> allow;
};

using zip_archives::ArchiveEntry;

class ZipArchiveTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        archive_ = std::make_shared<VuderuZipArchive>();
        delegate_ = std::make_shared<RecordingDelegate>();
        makeDirectory("/tmp");
        makeDirectory("/out");
    }

    int python(const std::string& script, const std::string& arguments, std::string* output = nullptr) const {
        return zip_archives::runPython(host("/tmp/script.py"), script, arguments, output);
    }

    // An archive of entries dated 2014-03-05 10:19:50, made by Python.
    void makeArchive(const std::string& devicePath, const std::vector<ArchiveEntry>& entries) const {
        ASSERT_TRUE(zip_archives::makeArchive(host(devicePath), entries, host("/tmp/script.py")));
    }

    bool hostExists(const std::string& path) const {
        struct stat st{};
        return ::lstat(path.c_str(), &st) == 0;
    }

    bool extract(const std::string& archivePath, bool overwrite) {
        archive_->setDelegate(delegate_);
        if (!archive_->UnzipOpenFile(archivePath)) return false;
        bool result = archive_->UnzipFileToOverWrite("/out", overwrite);
        EXPECT_TRUE(archive_->UnzipCloseFile());
        return result;
    }

    std::shared_ptr<VuderuZipArchive> archive_;
    std::shared_ptr<RecordingDelegate> delegate_;
};

} // namespace

TEST_F(ZipArchiveTest, ExtractsEntriesWithTheirDatesAndBackslashFolders) {
    makeArchive("/tmp/a.zip", {{"img\\a.png", "png bytes", false}, {"dir/", "", false}, {"top.txt", "top", false}});
    ASSERT_TRUE(extract("/tmp/a.zip", true));
    EXPECT_EQ(readFile("/out/img/a.png"), "png bytes");
    EXPECT_EQ(readFile("/out/top.txt"), "top");
    struct stat st{};
    ASSERT_EQ(::stat(host("/out/dir").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    ASSERT_EQ(::stat(host("/out/top.txt").c_str(), &st), 0);
    std::tm date{};
    time_t modified = st.st_mtime;
    localtime_r(&modified, &date);
    EXPECT_EQ(date.tm_year + 1900, 2014);
    EXPECT_EQ(date.tm_mon, 2);
    EXPECT_EQ(date.tm_mday, 5);
    EXPECT_EQ(date.tm_hour, 10);
    EXPECT_EQ(date.tm_min, 19);
    EXPECT_TRUE(delegate_->messages.empty());
    EXPECT_NE(std::find(log_->lines().begin(), log_->lines().end(), "3 entries in the zip file"), log_->lines().end());
}

TEST_F(ZipArchiveTest, ExistingFilesAndTheOverwriteQuestion) {
    makeArchive("/tmp/a.zip", {{"f.txt", "new", false}});
    struct Case {
        const char* what;
        bool overwrite;
        bool withDelegate;
        std::optional<bool> allow;
        const char* expected;
        std::size_t asked;
    } cases[] = {
        // Without overwriting, a file is kept only when the delegate says so: with no delegate
        // OverWrite allows every replacement.
        {"overwrite on", true, true, false, "new", 0},
        {"no delegate still replaces", false, false, std::nullopt, "new", 0},
        {"delegate does not answer", false, true, std::nullopt, "new", 1},
        {"delegate refuses", false, true, false, "old", 1},
        {"delegate allows", false, true, true, "new", 1},
    };
    const std::string keptLine = "VuderuZipArchive: kept \"/out/f.txt\": the delegate did not allow replacing it";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        log_->clear();
        writeFile("/out/f.txt", "old");
        delegate_ = std::make_shared<RecordingDelegate>();
        delegate_->allow = c.allow;
        ASSERT_TRUE(archive_->UnzipOpenFile("/tmp/a.zip"));
        archive_->setDelegate(c.withDelegate ? delegate_ : nullptr);
        EXPECT_TRUE(archive_->UnzipFileToOverWrite("/out", c.overwrite));
        archive_->UnzipCloseFile();
        EXPECT_EQ(readFile("/out/f.txt"), c.expected);
        EXPECT_EQ(delegate_->asked.size(), c.asked);
        if (c.asked) {
            EXPECT_EQ(delegate_->asked[0], "/out/f.txt");
        }
        EXPECT_EQ(log_->contains(keptLine), std::string(c.expected) == "old");
    }
}

// The entries refused are told to the delegate, or logged when there is none.
TEST_F(ZipArchiveTest, RefusedEntriesAreLoggedWithoutADelegate) {
    makeArchive("/tmp/hostile.zip", {{"good.txt", "good", false}, {"../evil.txt", "evil", false}});
    for (bool withDelegate : {false, true}) {
        SCOPED_TRACE(withDelegate ? "delegate" : "no delegate");
        log_->clear();
        delegate_->messages.clear();
        ASSERT_TRUE(archive_->UnzipOpenFile("/tmp/hostile.zip"));
        archive_->setDelegate(withDelegate ? delegate_ : nullptr);
        EXPECT_FALSE(archive_->UnzipFileToOverWrite("/out", false));
        archive_->UnzipCloseFile();
        EXPECT_EQ(readFile("/out/good.txt"), "good");
        const std::string refused = "Refused \"../evil.txt\": it leads outside \"/out\"";
        EXPECT_EQ(log_->contains("VuderuZipArchive: " + refused), !withDelegate);
        EXPECT_EQ(delegate_->messages, withDelegate ? std::vector<std::string>{refused} : std::vector<std::string>{});
    }
}

TEST_F(ZipArchiveTest, EscapingEntriesAreRefusedAndTheRestExtracted) {
    makeDirectory("/outside");
    ASSERT_EQ(::symlink(host("/outside").c_str(), host("/out/planted").c_str()), 0);
    struct Case {
        std::string name;
        const char* mustNotExist;
    } cases[] = {
        {"../evil.txt", "/evil.txt"},
        {"..\\evil.txt", "/evil.txt"},
        {"a/../../evil.txt", "/evil.txt"},
        {"/evil.txt", "/out/evil.txt"},
        {"planted/evil.txt", "/outside/evil.txt"},
        {"planted", "/outside/planted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate_->messages.clear();
        makeArchive("/tmp/hostile.zip", {{"good.txt", "good", false}, {c.name, "evil", false}, {"after.txt", "after", false}});
        EXPECT_FALSE(extract("/tmp/hostile.zip", true));
        EXPECT_FALSE(hostExists(host(c.mustNotExist)));
        EXPECT_EQ(readFile("/out/good.txt"), "good");
        EXPECT_EQ(readFile("/out/after.txt"), "after");
        ASSERT_EQ(delegate_->messages.size(), 1u);
        EXPECT_EQ(delegate_->messages[0].rfind("Refused \"", 0), 0u) << delegate_->messages[0];
    }
    // A link the archive carries is no way out either: it lands as a plain file.
    makeArchive("/tmp/link.zip", {{"l", host("/outside"), true}, {"l/evil.txt", "evil", false}});
    EXPECT_FALSE(extract("/tmp/link.zip", true));
    EXPECT_FALSE(hostExists(host("/outside/evil.txt")));
}

TEST_F(ZipArchiveTest, OverlappingAndOverInflatingEntriesAreNotWritten) {
    for (const char* how : {"same header twice", "inflates"}) {
        SCOPED_TRACE(how);
        delegate_->messages.clear();
        ASSERT_TRUE(zip_archives::craftHostileArchive(host("/tmp/crafted.zip"), how, host("/tmp/script.py")));
        EXPECT_FALSE(extract("/tmp/crafted.zip", true));
        EXPECT_FALSE(hostExists(host("/out/a")));
        EXPECT_FALSE(hostExists(host("/out/c")));
        EXPECT_FALSE(delegate_->messages.empty());
    }
}

TEST_F(ZipArchiveTest, ExtractionStopsAtItsLimitInBytesAndRatio) {
    ASSERT_TRUE(zip_archives::makeZipBomb(host("/tmp/bomb.zip"), host("/tmp/script.py")));
    struct stat archived{};
    ASSERT_EQ(::stat(host("/tmp/bomb.zip").c_str(), &archived), 0);
    const auto size = static_cast<std::uint64_t>(archived.st_size);
    ASSERT_LT(size, 64u << 10);
    for (const auto& c : zip_archives::zipBombLimitCases()) {
        SCOPED_TRACE(c.what);
        delegate_->messages.clear();
        std::filesystem::remove_all(host("/out"));
        makeDirectory("/out");
        archive_->setExtractionLimits(c.bytes, c.ratio);
        const auto outcome = zip_archives::zipBombOutcome(size, c.bytes, c.ratio);
        ASSERT_EQ(outcome.b, c.b);
        EXPECT_EQ(extract("/tmp/bomb.zip", true), outcome.whole());
        zip_archives::expectZipBombExtracted(host("/out"), outcome);
        if (!outcome.b) {
            ASSERT_FALSE(delegate_->messages.empty());
            EXPECT_EQ(delegate_->messages.front().rfind("Refused \"b\": it would unpack past the limit of ", 0), 0u);
        }
    }
}

TEST_F(ZipArchiveTest, EmptyArchivesAndClosing) {
    std::ofstream(host("/tmp/empty.zip"), std::ios::binary) << std::string("PK\5\6", 4) << std::string(18, '\0');
    archive_->setDelegate(delegate_);
    EXPECT_FALSE(archive_->UnzipOpenFile("/tmp/empty.zip"));
    EXPECT_FALSE(archive_->UnzipOpenFile("/tmp/missing.zip"));
    EXPECT_FALSE(archive_->UnzipFileToOverWrite("/out", true));
    EXPECT_EQ(delegate_->messages, (std::vector<std::string>{"Failed", "Error occurs"}));
    EXPECT_TRUE(archive_->UnzipCloseFile());
    EXPECT_TRUE(archive_->UnzipCloseFile());
    EXPECT_FALSE(archive_->CloseZipFile2());
    EXPECT_FALSE(archive_->addFileToZipNewname("/tmp/empty.zip", "x"));
}

TEST_F(ZipArchiveTest, WrittenArchivesReadBackWithAndWithoutPassword) {
    writeFile("/in/one.txt", "first file");
    writeFile("/in/two.bin", std::string(10000, 'z'));
    for (const std::string password : {"", "s3cret"}) {
        SCOPED_TRACE(password);
        removeHostTree(host("/out"));
        ASSERT_TRUE(password.empty() ? archive_->CreateZipFile2("/tmp/w.zip") : archive_->CreateZipFile2Password("/tmp/w.zip", password));
        bool added = archive_->addFileToZipNewname("/in/one.txt", "one.txt");
        if (!password.empty() && !added) {
            // A minizip built without encryption (Debian's) would store the entry in the clear,
            // marked encrypted: the entry is refused instead.
            EXPECT_NE(std::find(log_->lines().begin(), log_->lines().end(),
                                "VuderuZipArchive: cannot encrypt \"one.txt\": the zip library was built without encryption"),
                      log_->lines().end());
            EXPECT_TRUE(archive_->CloseZipFile2());
            continue;
        }
        EXPECT_TRUE(added);
        EXPECT_TRUE(archive_->addFileToZipNewname("/in/two.bin", "sub/two.bin"));
        EXPECT_FALSE(archive_->addFileToZipNewname("/in/missing", "missing"));
        ASSERT_TRUE(archive_->CloseZipFile2());

        std::string output;
        ASSERT_EQ(python("import zipfile, sys\nz = zipfile.ZipFile(sys.argv[1])\n"
                         "pwd = sys.argv[2].encode() or None\n"
                         "print(sorted(z.namelist()), z.read('one.txt', pwd=pwd).decode(), len(z.read('sub/two.bin', pwd=pwd)),"
                         " all(i.flag_bits & 1 for i in z.infolist()) if pwd else 'plain')",
                         "'" + host("/tmp/w.zip") + "' '" + password + "'", &output),
                  0);
        EXPECT_EQ(output, "['one.txt', 'sub/two.bin'] first file 10000 " + std::string(password.empty() ? "plain" : "True") + "\n");

        ASSERT_TRUE(password.empty() ? archive_->UnzipOpenFile("/tmp/w.zip") : archive_->UnzipOpenFilePassword("/tmp/w.zip", password));
        EXPECT_TRUE(archive_->UnzipFileToOverWrite("/out", true));
        archive_->UnzipCloseFile();
        EXPECT_EQ(readFile("/out/one.txt"), "first file");
        EXPECT_EQ(readFile("/out/sub/two.bin"), std::string(10000, 'z'));
    }
    // A password does not stand in the way of entries stored in the clear.
    ASSERT_TRUE(archive_->CreateZipFile2("/tmp/w.zip"));
    ASSERT_TRUE(archive_->addFileToZipNewname("/in/one.txt", "one.txt"));
    ASSERT_TRUE(archive_->CloseZipFile2());
    ASSERT_TRUE(archive_->UnzipOpenFilePassword("/tmp/w.zip", "unused"));
    EXPECT_TRUE(archive_->UnzipFileToOverWrite("/plain", true));
    EXPECT_EQ(readFile("/plain/one.txt"), "first file");
}

TEST_F(ZipArchiveTest, Date1980IsLocalMidnight) {
    time_t seconds = static_cast<time_t>(VuderuZipArchive::Date1980()->timeIntervalSince1970());
    std::tm date{};
    localtime_r(&seconds, &date);
    EXPECT_EQ(date.tm_year + 1900, 1980);
    EXPECT_EQ(date.tm_mon, 0);
    EXPECT_EQ(date.tm_mday, 1);
    EXPECT_EQ(date.tm_hour, 0);
}

// An extraction killed half-way through an entry leaves the entry's hidden temporary; the next
// extraction that writes into that folder takes it. A file of the same shape that no writer
// marked, and a running writer's temporary, stay.
TEST_F(ZipArchiveTest, TheNextExtractionIntoAFolderTakesWhatAKilledOneLeftThere) {
    constexpr std::size_t kEntryBytes = 256 << 10, kKilledAt = 64 << 10;
    for (const std::string sub : {"", "/img"}) {
        SCOPED_TRACE(sub.empty() ? "at the top" : "in a folder");
        std::filesystem::remove_all(host("/out"));
        const std::string folder = "/out" + sub;
        makeDirectory(folder);
        const std::string usersFile = zip_archives::deadWritersTemporaryName("closeX.png");
        writeFile(folder + "/" + usersFile, "the user's");
        WholeFileWriter live;
        ASSERT_EQ(live.begin(folder + "/live.png"), 0);
        const std::string big = sub.empty() ? "closeX.png" : sub.substr(1) + "/closeX.png";
        makeArchive("/tmp/bundle.zip", {{"a.png", "a"}, {big, std::string(kEntryBytes, '\0')}});
        ASSERT_TRUE(zip_archives::extractKilledHalfWay([this] { extract("/tmp/bundle.zip", true); }, kKilledAt));
        ASSERT_EQ(zip_archives::temporariesIn(host(folder)).size(), 3u) << "the killed extraction left no temporary";

        EXPECT_TRUE(extract("/tmp/bundle.zip", true));
        std::vector<std::string> expected = {usersFile, live.temporaryName()};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(zip_archives::temporariesIn(host(folder)), expected);
        EXPECT_EQ(readFile(folder + "/" + usersFile), "the user's");
        EXPECT_EQ(readFile("/out/" + big).size(), kEntryBytes);
    }
}
