#include "app/support/TKZipArchive.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSCalendar.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/UnixSocketFile.h"
#include "app/support/tests/TKZipArchiveTestSupport.h"

#include "platform/testsupport/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using namespace tkzip_test;

// Reads every entry back with Python, compares it with the file below the folder, and prints
// "name<TAB>external attributes<TAB>date<TAB>flags" for each, sorted by name.
const char* kReadBackScript = R"(import zipfile, sys, os
z = zipfile.ZipFile(sys.argv[1])
rows = []
for zi in z.infolist():
    data = z.read(zi)
    with open(os.path.join(sys.argv[2], zi.filename), 'rb') as f:
        if f.read() != data:
            print('MISMATCH ' + zi.filename)
            sys.exit(1)
    rows.append('%s\t%08x\t%s\t%x' % (zi.filename, zi.external_attr, '-'.join(str(v) for v in zi.date_time), zi.flag_bits))
for row in sorted(rows):
    print(row)
)";

std::vector<std::vector<std::string>> rowsOf(const std::string& output) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t')) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

TEST_F(TKZipArchiveTest, ZipsAFolderThatUnzipAndPythonReadBackByteForByte) {
    ScopedTimeZone zone("UTC0");
    const std::string tree = "/var/mobile/Documents/tree";
    writeFile(tree + "/plain.txt", "plain text\n");
    writeFile(tree + "/.hidden", "hidden");
    writeFile(tree + "/empty", "");
    writeFile(tree + "/sub/deeper/.dotfile", "deep");
    writeFile(tree + "/sub/random.bin", randomBytes(3 * 1024 * 1024 + 17, 1));
    writeFile(tree + "/sub/text.txt", std::string(200000, 'a') + randomBytes(1000, 2));
    writeFile(tree + "/Ünïcödé €/日本語.txt", "non-ASCII names");
    makeDirectory(tree + "/emptyFolder");
    ASSERT_EQ(::symlink("plain.txt", host(tree + "/linkToFile").c_str()), 0);
    ASSERT_EQ(::symlink("sub", host(tree + "/linkToFolder").c_str()), 0);
    ASSERT_EQ(::chmod(host(tree + "/plain.txt").c_str(), 0644), 0);
    NSFileAttributes dated;
    dated.modificationDate = NSDate::dateWithTimeIntervalSince1970(1394014831); // 2014-03-05 10:20:31 UTC
    ASSERT_TRUE(NSFileManager::defaultManager()->setAttributesOfItemAtPath(dated, tree + "/plain.txt", nullptr));

    // An older file in the archive's place is replaced, not appended to.
    writeFile("/tmp/tree.zip", "not a zip file at all");
    ASSERT_TRUE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/tree.zip", tree));

    std::string output;
    EXPECT_EQ(run("unzip -tq '" + host("/tmp/tree.zip") + "'", &output), 0) << output;
    ASSERT_EQ(python(kReadBackScript, "'" + host("/tmp/tree.zip") + "' '" + host(tree) + "'", &output), 0) << output;
    auto rows = rowsOf(output);
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.at(0));
    std::vector<std::string> expected{".hidden",   "empty",       "linkToFile",          "plain.txt",    "sub/deeper/.dotfile",
                                      "sub/random.bin", "sub/text.txt", "Ünïcödé €/日本語.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    for (const auto& row : rows) {
        if (row.at(0) == "plain.txt") {
            EXPECT_EQ(row.at(1), "81a40000");
            EXPECT_EQ(row.at(2), "2014-3-5-10-20-30"); // DOS dates count seconds in twos
        }
        if (row.at(0) == "Ünïcödé €/日本語.txt") {
            EXPECT_EQ(std::stoul(row.at(3), nullptr, 16) & 0x800, 0x800u);
        }
    }
}

TEST_F(TKZipArchiveTest, EmptyFolderGivesAnEmptyArchiveAndAMissingFolderNo) {
    makeDirectory("/tmp/empty");
    ASSERT_TRUE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/empty.zip", "/tmp/empty"));
    std::string output;
    EXPECT_EQ(python("import zipfile, sys\nprint(len(zipfile.ZipFile(sys.argv[1]).infolist()))", "'" + host("/tmp/empty.zip") + "'", &output), 0);
    EXPECT_EQ(output, "0\n");
    NSErrorPtr error;
    EXPECT_FALSE(TKZipArchive::unzipFileAtPathToDestinationOverwritePasswordError("/tmp/empty.zip", "/out", true, "", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TKZipArchiveErrorFirstEntry);
    EXPECT_FALSE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/missing.zip", "/tmp/missing"));
    EXPECT_FALSE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/nofolder/x.zip", "/tmp/empty"));
}

// The whole-file writer replaces only a regular file: a link at the archive's path is neither
// written through nor replaced, and the archive is not made.
TEST_F(TKZipArchiveTest, ALinkAtTheArchivePathIsLeftAsItStandsNotWrittenThrough) {
    writeFile("/var/mobile/precious.txt", "keep me");
    writeFile("/tmp/Folder/a.txt", "a");
    ASSERT_EQ(::symlink("../var/mobile/precious.txt", host("/tmp/Folder.zip").c_str()), 0);
    EXPECT_FALSE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/Folder.zip", "/tmp/Folder"));
    EXPECT_EQ(readFile("/var/mobile/precious.txt"), "keep me");
    struct stat st{};
    ASSERT_EQ(::lstat(host("/tmp/Folder.zip").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(TKZipArchiveTest, SpecialFilesAndTheArchiveItselfAreSkippedWithoutBlocking) {
    writeFile("/tmp/folder/file", "data");
    ASSERT_EQ(::mkfifo(host("/tmp/folder/fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/null", host("/tmp/folder/device").c_str()), 0);
    // A socket cannot be opened at all (ENXIO); a device node, where this process may make one,
    // opens but is no file either. Each is skipped with its own line, and the rest is archived.
    makeDirectory("/tmp/folder/sub");
    const int sock = bindUnixSocketAt(host("/tmp/folder/a_socket")), deepSock = bindUnixSocketAt(host("/tmp/folder/sub/deep_socket"));
    ASSERT_GE(sock, 0);
    ASSERT_GE(deepSock, 0);
    std::vector<std::string> special = {"fifo", "a_socket", "sub/deep_socket"};
    if (::mknod(host("/tmp/folder/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) special.push_back("null");
    // Opening a FIFO for reading would wait for a writer forever: the child gives up after a while.
    int status = runInChildProcess([&] {
        ::alarm(30);
        log_->clear();
        if (!TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/folder/self.zip", "/tmp/folder")) return 1;
        for (const std::string& name : special) {
            if (!log_->contains("[TKZipArchive] Skipped \"/tmp/folder/" + name + "\": not a regular file")) return 2;
        }
        return 0;
    });
    ::close(sock);
    ::close(deepSock);
    ASSERT_EQ(status, 0);
    std::string output;
    ASSERT_EQ(python("import zipfile, sys\nprint(' '.join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))",
                     "'" + host("/tmp/folder/self.zip") + "'", &output),
              0);
    EXPECT_EQ(output, "file\n");

    auto archive = std::make_shared<TKZipArchive>("/tmp/list.zip");
    ASSERT_TRUE(archive->open());
    EXPECT_FALSE(archive->writeFile("/tmp/folder/fifo"));
    EXPECT_FALSE(archive->writeFile("/tmp/folder/missing"));
    EXPECT_TRUE(archive->writeFile("/tmp/folder/file"));
    EXPECT_TRUE(archive->close());
    EXPECT_TRUE(log_->contains("[TKZipArchive] Skipped"));
    EXPECT_TRUE(TKZipArchive::createZipFileAtPathWithFilesAtPaths("/tmp/list2.zip", {"/tmp/folder/missing", "/tmp/folder/file"}));

    // A file that cannot be opened is skipped and logged; the archive is still good.
    writeFile("/tmp/locked/secret", "secret");
    writeFile("/tmp/locked/open", "open");
    ::chmod(host("/tmp/locked/secret").c_str(), 0);
    int lockedStatus = runInChildProcess(
        [&] {
            log_->clear();
            if (!TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/locked.zip", "/tmp/locked")) return 1;
            return log_->contains("[TKZipArchive] Skipped \"/tmp/locked/secret\"") ? 0 : 2;
        },
        true);
    EXPECT_EQ(lockedStatus, 0);
    ASSERT_EQ(python("import zipfile, sys\nprint(' '.join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))",
                     "'" + host("/tmp/locked.zip") + "'", &output),
              0);
    EXPECT_EQ(output, "open\n");
}

TEST_F(TKZipArchiveTest, AFailedWriteIsReportedAsNo) {
    writeFile("/tmp/big/random", randomBytes(1024 * 1024, 3));
    writeFile("/tmp/big/small", "small");
    // A file-size limit makes every write past 64 KiB fail, as a full disk would.
    auto limited = [](const std::function<bool()>& body) {
        return runInChildProcess([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{64 * 1024, 64 * 1024};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
            return body() ? 1 : 0;
        });
    };
    EXPECT_EQ(limited([] { return TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/full.zip", "/tmp/big"); }), 0);
    EXPECT_EQ(limited([] { return TKZipArchive::createZipFileAtPathWithFilesAtPaths("/tmp/full2.zip", {"/tmp/big/random"}); }), 0);
    EXPECT_EQ(limited([] {
                  TKZipArchive archive("/tmp/full3.zip");
                  return archive.open() && archive.writeFileAtPathWithFileName("/tmp/big/random", "r");
              }),
              0);
    // A source that fails while it is read (this process's memory at address 0) leaves a cut entry.
    writeFile("/tmp/unreadable/mem", "");
    DeviceRoot::mount("/tmp/unreadable/mem", "/proc/self/mem");
    TKZipArchive archive("/tmp/mem.zip");
    ASSERT_TRUE(archive.open());
    EXPECT_FALSE(archive.writeFile("/tmp/unreadable/mem"));
    archive.close();
    EXPECT_FALSE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/mem2.zip", "/tmp/unreadable"));
    EXPECT_TRUE(log_->contains("[TKZipArchive] Failed to read \"/tmp/unreadable/mem\""));
    DeviceRoot::mount("/tmp/unreadable/mem", "");

    // Nothing reaches the disk before the archive is finished: close is what fails.
    int status = runInChildProcess([] {
        std::signal(SIGXFSZ, SIG_IGN);
        TKZipArchive archive("/tmp/full4.zip");
        if (!archive.open() || !archive.writeDataFilename(NSData::dataWithString("hello").get(), "hello.txt")) return 2;
        rlimit limit{0, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return archive.close() ? 1 : 0;
    });
    EXPECT_EQ(status, 0);
    // A failed archive is not at its path, nor is any piece of it left beside it.
    for (const auto& entry : std::filesystem::directory_iterator(host("/tmp"))) {
        const std::string name = entry.path().filename();
        EXPECT_TRUE(entry.is_directory() || name == "mem.zip") << name;
    }
}

TEST_F(TKZipArchiveTest, LargeFilesAreWrittenAsZip64Entries) {
    const std::pair<std::uint64_t, bool> sizes[] = {
        {0, false}, {0xFFFFFFFEull, false}, {0xFFFFFFFFull, true}, {0x100000000ull, true}, {0x500000000ull, true}};
    for (const auto& [size, zip64] : sizes) EXPECT_EQ(TKZipArchive::needsZip64(size), zip64) << size;

    writeFile("/tmp/src/data", randomBytes(100000, 4));
    TKZipArchive archive("/tmp/zip64.zip");
    ASSERT_TRUE(archive.open());
    ASSERT_TRUE(archive.writeFileAtPathWithFileNameZip64("/tmp/src/data", "data"));
    ASSERT_TRUE(archive.close());
    std::string output;
    EXPECT_EQ(run("unzip -tq '" + host("/tmp/zip64.zip") + "'", &output), 0) << output;
    // The local header carries the zip64 extra field (id 1), and the entry reads back whole.
    const char* script = R"(import zipfile, sys, struct
raw = open(sys.argv[1], 'rb').read()
name_length, extra_length = struct.unpack('<HH', raw[26:30])
extra = raw[30 + name_length:30 + name_length + extra_length]
ids = []
while len(extra) >= 4:
    hid, size = struct.unpack('<HH', extra[:4]); ids.append(hid); extra = extra[4 + size:]
z = zipfile.ZipFile(sys.argv[1])
ok = z.read('data') == open(sys.argv[2], 'rb').read()
print(1 in ids, ok, z.getinfo('data').create_system)
)";
    ASSERT_EQ(python(script, "'" + host("/tmp/zip64.zip") + "' '" + host("/tmp/src/data") + "'", &output), 0);
    EXPECT_EQ(output, "True True 3\n"); // made on Unix, as every entry
}

TEST_F(TKZipArchiveTest, DatesOfEntries) {
    ScopedTimeZone zone("JST-9");
    TKZipArchive archive("/tmp/unused.zip");
    struct Case {
        double seconds;
        unsigned year, month, day, hour, minute, second;
    };
    const Case cases[] = {
        {1394014831 - 9 * 3600, 2014, 2, 5, 10, 20, 31}, // 2014-03-05 10:20:31 local time
        {0, 1980, 0, 1, 0, 0, 0},                        // before DOS dates: their first day
        {5000000000.0, 2107, 11, 31, 23, 59, 58},        // after them: their last second
    };
    for (const Case& c : cases) {
        zip_fileinfo info{};
        archive.zipInfoSetDate(&info, NSDate(c.seconds));
        EXPECT_EQ(info.tmz_date.tm_year, c.year) << c.seconds;
        EXPECT_EQ(info.tmz_date.tm_mon, c.month) << c.seconds;
        EXPECT_EQ(info.tmz_date.tm_mday, c.day) << c.seconds;
        EXPECT_EQ(info.tmz_date.tm_hour, c.hour) << c.seconds;
        EXPECT_EQ(info.tmz_date.tm_min, c.minute) << c.seconds;
        EXPECT_EQ(info.tmz_date.tm_sec, c.second) << c.seconds;
    }
    auto date = TKZipArchive::_dateWithMSDOSFormat(0x44655279);
    ASSERT_TRUE(date);
    auto components = NSCalendar::currentCalendar()->componentsFromDate(
        NSCalendarUnitYear | NSCalendarUnitMonth | NSCalendarUnitDay | NSCalendarUnitHour | NSCalendarUnitMinute | NSCalendarUnitSecond, *date);
    EXPECT_EQ(components->year(), 2014);
    EXPECT_EQ(components->month(), 3);
    EXPECT_EQ(components->day(), 5);
    EXPECT_EQ(components->hour(), 10);
    EXPECT_EQ(components->minute(), 19);
    EXPECT_EQ(components->second(), 50);
}

class RecordingDelegate : public TKZipArchiveDelegate {
public:
    std::vector<std::string> calls;
    void zipArchiveWillUnzipArchiveAtPathZipInfo(const std::string&, unz_global_info64 info) override {
        calls.push_back("willArchive " + std::to_string(info.number_entry));
    }
    void zipArchiveProgressEventTotal(std::int64_t loaded, std::int64_t total) override {
        if (loaded == 0 || loaded == total) calls.push_back(loaded == 0 ? "progress start" : "progress end");
    }
    void zipArchiveWillUnzipFileAtIndexTotalFilesArchivePathFileInfo(std::int64_t index, std::int64_t total, const std::string&,
                                                                     unz_file_info64) override {
        calls.push_back("will " + std::to_string(index) + "/" + std::to_string(total));
    }
    void zipArchiveDidUnzipFileAtIndexTotalFilesArchivePathFileInfo(std::int64_t index, std::int64_t total, const std::string&,
                                                                    unz_file_info64) override {
        calls.push_back("did " + std::to_string(index) + "/" + std::to_string(total));
    }
    void zipArchiveDidUnzipArchiveAtPathZipInfoUnzippedPath(const std::string&, unz_global_info64, const std::string& destination) override {
        calls.push_back("didArchive " + destination);
    }
};

TEST_F(TKZipArchiveTest, UnzipRestoresFilesFoldersDatesAndPermissions) {
    ScopedTimeZone zone("UTC0");
    makeArchive("/tmp/a.zip", {{"folder\\inner.txt", "backslash"},
                               {"dir/", "", false, 040755},
                               {"dir/file.sh", "#!/bin/sh\n", false, 0100750},
                               {"keep.txt", "from the archive"},
                               {"linkToFile", "dir/file.sh", true}});
    writeFile("/out/keep.txt", "mine");
    auto delegate = std::make_shared<RecordingDelegate>();
    NSErrorPtr error;
    ASSERT_TRUE(TKZipArchive::unzipFileAtPathToDestinationOverwritePasswordErrorDelegate("/tmp/a.zip", "/out", false, "", &error, delegate));
    EXPECT_EQ(readFile("/out/folder/inner.txt"), "backslash");
    EXPECT_EQ(readFile("/out/dir/file.sh"), "#!/bin/sh\n");
    EXPECT_EQ(readFile("/out/keep.txt"), "mine");
    char target[64] = {};
    ASSERT_GT(::readlink(host("/out/linkToFile").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "dir/file.sh");
    struct stat st{};
    ASSERT_EQ(::stat(host("/out/dir/file.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtime, 1394014790); // 2014-03-05 10:19:50
    ASSERT_EQ(::stat(host("/out/dir").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1394014790);
    // keep.txt (index 3 in the archive) was not overwritten: no did call, and the index is not used up.
    const std::vector<std::string> expected{"willArchive 5", "progress start", "will 0/5", "did 0/5", "will 1/5", "did 1/5",
                                            "will 2/5",      "did 2/5",        "will 3/5", "will 3/5", "did 3/5",
                                            "didArchive /out", "progress end"};
    EXPECT_EQ(delegate->calls, expected);

    ASSERT_TRUE(TKZipArchive::unzipFileAtPathToDestination("/tmp/a.zip", "/out"));
    EXPECT_EQ(readFile("/out/keep.txt"), "from the archive");
}

TEST_F(TKZipArchiveTest, UnzipErrorsCarryTheirCodesAndTexts) {
    makeArchive("/tmp/empty.zip", {});
    struct Case {
        const char* archive;
        long code;
        const char* text;
    };
    const Case cases[] = {
        {"/tmp/missing.zip", -1, "failed to open zip file"},
        {"/tmp/empty.zip", -2, "failed to open first file in zip file"},
    };
    for (const Case& c : cases) {
        NSErrorPtr error;
        EXPECT_FALSE(TKZipArchive::unzipFileAtPathToDestinationOverwritePasswordError(c.archive, "/out", true, "", &error));
        ASSERT_TRUE(error) << c.archive;
        EXPECT_EQ(error->domain(), "TKZipArchiveErrorDomain");
        EXPECT_EQ(error->code(), c.code);
        EXPECT_EQ(error->localizedDescription(), c.text);
    }
    writeFile("/tmp/notzip.zip", "garbage");
    EXPECT_FALSE(TKZipArchive::unzipFileAtPathToDestination("/tmp/notzip.zip", "/out"));
}

TEST_F(TKZipArchiveTest, HostileArchivesWriteNothingOutsideTheDestination) {
    struct Case {
        const char* what;
        std::vector<ArchiveEntry> entries;
        std::vector<const char*> mustNotExist; // device paths
        std::vector<const char*> mustExist;
    };
    const std::vector<Case> cases = {
        {"parent name", {{"../evil.txt", "x"}}, {"/evil.txt"}, {}},
        {"deeper parent name", {{"a/../../evil.txt", "x"}, {"a/../fine.txt", "ok"}}, {"/evil.txt"}, {"/out/fine.txt"}},
        {"absolute name", {{"/tmp/evil.txt", "x"}}, {"/tmp/evil.txt", "/out/tmp/evil.txt"}, {}},
        {"backslash parent", {{"..\\evil.txt", "x"}}, {"/evil.txt"}, {}},
        {"link leading out", {{"escape", "../", true}, {"escape/evil.txt", "x"}}, {"/evil.txt"}, {"/out/escape/evil.txt"}},
        {"absolute link", {{"etc", host("/tmp"), true}, {"etc/evil.txt", "x"}}, {"/tmp/evil.txt"}, {"/out/etc/evil.txt"}},
        {"write through the archive's link", {{"sub/", ""}, {"inside", "sub", true}, {"inside/evil.txt", "x"}},
         {"/out/sub/evil.txt"}, {"/out/inside"}},
        {"overwrite through the archive's link", {{"sub/", ""}, {"f", "sub/target", true}, {"f", "x"}}, {"/out/sub/target"}, {"/out/f"}},
        {"climb out of the archive's link", {{"d/up", "..", true}, {"d/l2", "up/..", true}, {"d/l2/evil.txt", "x"}},
         {"/evil.txt"}, {"/out/d/up"}},
    };
    for (const Case& c : cases) {
        removeHostTree(host("/out"));
        makeDirectory("/out");
        makeArchive("/tmp/hostile.zip", c.entries);
        log_->clear();
        EXPECT_FALSE(TKZipArchive::unzipFileAtPathToDestination("/tmp/hostile.zip", "/out")) << c.what;
        EXPECT_TRUE(log_->contains("[TKZipArchive] Refused")) << c.what;
        for (const char* path : c.mustNotExist) EXPECT_FALSE(hostExists(host(path))) << c.what << ": " << path;
        for (const char* path : c.mustExist) EXPECT_TRUE(hostExists(host(path))) << c.what << ": " << path;
    }
}

} // namespace
