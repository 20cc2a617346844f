// What other tools read from the archives we write: Info-ZIP's unzip, 7-Zip and Python's zipfile.
#include "app/support/TKZipArchive.h"
#include "app/support/tests/TKZipArchiveTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace tkzip_test;

TEST_F(TKZipArchiveTest, UnzipRestoresNonASCIINamesAndModes) {
    struct Case {
        std::string name;
        mode_t mode;
    };
    const std::vector<Case> cases = {
        {"run.sh", 0755},
        {"secret.txt", 0600},
        {"Ünïcödé €/日本語.txt", 0644},
        {"Ünïcödé €/программа", 0755},
        {"Ωmega/ключ", 0600},
    };
    const std::string folder = "/var/mobile/Documents/modes";
    for (const Case& c : cases) {
        writeFile(folder + "/" + c.name, "contents of " + c.name);
        ASSERT_EQ(::chmod(host(folder + "/" + c.name).c_str(), c.mode), 0) << c.name;
    }
    ASSERT_TRUE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/modes.zip", folder));

    std::string output;
    ASSERT_EQ(run("cd '" + host("/tmp") + "' && LC_ALL=C.UTF-8 unzip -q modes.zip -d unzipped 2>&1", &output), 0) << output;
    // Marked as made on Unix (version made by, upper byte 3), with the whole mode in the attributes.
    ASSERT_EQ(python("import zipfile, sys\nfor zi in zipfile.ZipFile(sys.argv[1]).infolist(): print(zi.create_system, oct(zi.external_attr >> 16))",
                     "'" + host("/tmp/modes.zip") + "'", &output),
              0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readFile("/tmp/unzipped/" + c.name), "contents of " + c.name);
        struct stat st{};
        ASSERT_EQ(::lstat(host("/tmp/unzipped/" + c.name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        char expected[32];
        std::snprintf(expected, sizeof expected, "3 0o%o\n", static_cast<unsigned>(S_IFREG | c.mode));
        EXPECT_NE(output.find(expected), std::string::npos) << output;
    }
}

TEST_F(TKZipArchiveTest, TheUTF8FlagMarksOnlyNamesThatAreUTF8) {
    struct Case {
        std::string name;
        bool utf8Flag;
    };
    const std::vector<Case> cases = {
        {"plain.txt", false},
        {"日本語.txt", true},
        {"latin1-caf\xe9.txt", false},       // é in Latin-1: not UTF-8
        {"cut-\xe6\x97.bin", false},           // a UTF-8 sequence cut short
        {"overlong-\xc0\xaf.bin", false},      // "/" spelt in two bytes
    };
    makeDirectory("/tmp/names");
    for (const Case& c : cases) writeFile("/tmp/names/" + c.name, c.name);
    ASSERT_TRUE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/names.zip", "/tmp/names"));

    // Prints each entry's stored name bytes in hex and whether bit 11 is set.
    const char* script = R"(import zipfile, sys
for zi in zipfile.ZipFile(sys.argv[1]).infolist():
    utf8 = bool(zi.flag_bits & 0x800)
    raw = zi.filename.encode('utf-8' if utf8 else 'cp437')
    print(raw.hex(), int(utf8))
)";
    std::string output;
    ASSERT_EQ(python(script, "'" + host("/tmp/names.zip") + "'", &output), 0) << "Python cannot open the archive";
    for (const Case& c : cases) {
        SCOPED_TRACE(hex(c.name));
        EXPECT_NE(output.find(hex(c.name) + " " + (c.utf8Flag ? "1" : "0") + "\n"), std::string::npos) << output;
    }
    EXPECT_EQ(run("unzip -tq '" + host("/tmp/names.zip") + "' >/dev/null 2>&1"), 0);
}

// The files are links to a few empty files, so that the archive is all headers and the folder is
// quick to make.
TEST_F(TKZipArchiveTest, MoreThan65535EntriesListCleanlyWithEveryTool) {
    constexpr int kFiles = 70000;
    constexpr int kFolders = 10;
    const std::string folder = host("/var/mobile/Documents/many");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    for (int d = 0; d < kFolders; ++d) {
        std::string sub = folder + "/d" + std::to_string(d);
        ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
        int fd = ::open((sub + "/f" + std::to_string(d)).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    for (int i = kFolders; i < kFiles; ++i) {
        std::string sub = folder + "/d" + std::to_string(i % kFolders);
        ASSERT_EQ(::link((sub + "/f" + std::to_string(i % kFolders)).c_str(), (sub + "/f" + std::to_string(i)).c_str()), 0) << i;
    }
    ASSERT_TRUE(TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/many.zip", "/var/mobile/Documents/many"));
    const std::string archive = "'" + host("/tmp/many.zip") + "'";

    struct Tool {
        const char* name;
        std::string command;
        const char* expected; // in its output
    };
    const Tool tools[] = {
        {"unzip", "unzip -tq " + archive + " 2>&1", "No errors detected in compressed data"},
        {"7z", "7z t " + archive + " 2>&1", "Files: 70000"},
        {"python", "python3 -c 'import zipfile, sys; z = zipfile.ZipFile(sys.argv[1]); print(len(z.infolist()), z.testzip())' " + archive + " 2>&1",
         "70000 None"},
    };
    for (const Tool& tool : tools) {
        std::string output;
        EXPECT_EQ(run(tool.command, &output), 0) << tool.name << ": " << output;
        EXPECT_NE(output.find(tool.expected), std::string::npos) << tool.name << ": " << output;
        if (std::string(tool.name) == "7z") {
            EXPECT_EQ(output.find("Warning"), std::string::npos) << output;
        }
    }
}

// Makes a chain of folders below `parent` (a host path) whose whole path is longer than the system
// takes, with a file at its bottom.
void makeTooLongPath(const std::string& parent, const std::string& top) {
    const std::string longName(200, 'n');
    ASSERT_EQ(::mkdir((parent + "/" + top).c_str(), 0755), 0);
    int fd = ::open((parent + "/" + top).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int depth = 0; depth < 24; ++depth) { // 24 × 201 bytes: past PATH_MAX
        ASSERT_EQ(::mkdirat(fd, longName.c_str(), 0755), 0);
        int child = ::openat(fd, longName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(child, 0);
        fd = child;
    }
    int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, "deep", 4), 4);
    ::close(file);
    ::close(fd);
}

// Removes what makeTooLongPath made: the device's removal walks by path and cannot reach it.
void removeTooLongPath(const std::string& parent, const std::string& top) {
    const std::string longName(200, 'n');
    std::vector<int> fds{::open((parent + "/" + top).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    while (fds.back() >= 0) fds.push_back(::openat(fds.back(), longName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    fds.pop_back();
    if (fds.empty()) return;
    ::unlinkat(fds.back(), "deep.txt", 0);
    for (std::size_t i = fds.size() - 1; i > 0; --i) {
        ::close(fds[i]);
        ::unlinkat(fds[i - 1], longName.c_str(), AT_REMOVEDIR);
    }
    ::close(fds[0]);
}

TEST_F(TKZipArchiveTest, AFileWhosePathTheSystemRefusesFailsTheFolder) {
    writeFile("/tmp/tree/short.txt", "short");
    makeTooLongPath(host("/tmp/tree"), "long");
    bool zipped = TKZipArchive::createZipFileAtPathWithContentsOfDirectory("/tmp/tree.zip", "/tmp/tree");
    removeTooLongPath(host("/tmp/tree"), "long");
    EXPECT_FALSE(zipped);
    EXPECT_TRUE(log_->contains("[TKZipArchive] Failed to add \"/tmp/tree/long/nnn")) << "what was left out is named in the log";
}

} // namespace
