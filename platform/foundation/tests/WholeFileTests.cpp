#include "platform/foundation/FileCopy.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileHandle.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/WholeFile.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class WholeFileTest : public DeviceTest {
protected:
    const std::string kFolder = "/var/mobile/Tandrel";

    void SetUp() override {
        DeviceTest::SetUp();
        makeDirectory(kFolder);
    }
    std::set<std::string> names(const std::string& devicePath) const {
        std::set<std::string> found;
        DIR* dir = ::opendir(host(devicePath).c_str());
        while (dirent* entry = dir ? ::readdir(dir) : nullptr) {
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") found.insert(entry->d_name);
        }
        if (dir) ::closedir(dir);
        return found;
    }
    // A temporary left as a process killed mid-write leaves it: made by a child that exits without
    // cleaning up. Returns its name.
    std::string temporaryOfDeadProcess(const std::string& finalName) {
        int pipeEnds[2];
        EXPECT_EQ(::pipe(pipeEnds), 0);
        int status = runInChildProcess([&] {
            WholeFileWriter writer;
            if (writer.begin(kFolder + "/" + finalName) != 0) return 1;
            std::string name = writer.temporaryName();
            if (::write(pipeEnds[1], name.data(), name.size()) != static_cast<ssize_t>(name.size())) return 2;
            ::_exit(0); // no destructor: as a kill would
        });
        EXPECT_EQ(status, 0);
        ::close(pipeEnds[1]);
        char buffer[512];
        ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
        ::close(pipeEnds[0]);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }
};

TEST_F(WholeFileTest, CommittedFileAppearsWholeAndTheTemporaryIsGone) {
    writeFile(kFolder + "/a.txt", "old");
    WholeFileWriter writer;
    ASSERT_EQ(writer.begin(kFolder + "/a.txt", 0600), 0);
    EXPECT_TRUE(NSIsTemporaryFileName(writer.temporaryName(), NSTemporaryNames::Writers));
    EXPECT_EQ(writer.temporaryName()[0], '.') << "hidden from listings";
    ASSERT_EQ(NSWriteAll(writer.fd(), "new", 3), 0);
    EXPECT_EQ(readFile(kFolder + "/a.txt"), "old") << "nothing is presented before the commit";
    ASSERT_EQ(writer.commit(WholeFileWriter::Sync::Durable), 0);
    EXPECT_EQ(readFile(kFolder + "/a.txt"), "new");
    EXPECT_EQ(names(kFolder), std::set<std::string>{"a.txt"});
    struct stat st{};
    ASSERT_EQ(::stat(host(kFolder + "/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(WholeFileTest, EveryFailureLeavesTheOldFileAndNoTemporary) {
    writeFile(kFolder + "/a.txt", "old");
    {
        WholeFileWriter abandoned;
        ASSERT_EQ(abandoned.begin(kFolder + "/a.txt"), 0);
        NSWriteAll(abandoned.fd(), "partial", 7);
    }
    {
        WholeFileWriter kept;
        ASSERT_EQ(kept.begin(kFolder + "/a.txt"), 0);
        EXPECT_EQ(kept.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep), EEXIST);
    }
    // A write past the file-size limit fails as a full disk would, half-way through.
    int status = runInChildProcess([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        auto parent = DeviceRoot::openParent(kFolder + "/a.txt");
        std::string big(8192, 'x');
        return NSAtomicWriteFileAt(parent->folder.get(), parent->name, big.data(), big.size()) == EFBIG ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(kFolder + "/a.txt"), "old");
    EXPECT_EQ(names(kFolder), std::set<std::string>{"a.txt"});
}

// A name taken meanwhile is never written over; the same file can then go under the next name.
TEST_F(WholeFileTest, KeepingCommitMovesOnToAFreeName) {
    writeFile(kFolder + "/b.txt", "other");
    WholeFileWriter writer;
    ASSERT_EQ(writer.begin(kFolder + "/b.txt"), 0);
    NSWriteAll(writer.fd(), "b", 1);
    ASSERT_EQ(writer.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep), EEXIST);
    writer.setFinalName("b-2.txt");
    ASSERT_EQ(writer.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep), 0);
    EXPECT_EQ(readFile(kFolder + "/b.txt"), "other");
    EXPECT_EQ(readFile(kFolder + "/b-2.txt"), "b");
    EXPECT_EQ(names(kFolder), (std::set<std::string>{"b.txt", "b-2.txt"}));
}

TEST_F(WholeFileTest, SweepRemovesOnlyTemporariesOfDeadProcesses) {
    // The live writer begins first, so that a child made afterwards must not name its temporaries
    // after its parent.
    WholeFileWriter live;
    ASSERT_EQ(live.begin(kFolder + "/live.txt"), 0);
    const std::string dead = temporaryOfDeadProcess("movie.mov");
    ASSERT_FALSE(dead.empty());
    // A dead process's names from the writers before this one, and user files that only look alike:
    // among them every temporary shape, with a dead process's id, that no writer marked.
    pid_t reaped = startChildProcess([] { return 0; });
    waitForChildProcess(reaped);
    const std::string r = std::to_string(reaped);
    const std::string earlierDownload = ".clipvane-" + r + "-1.download", earlierStoreWrite = "Prefs.plist.tmp-" + r + "-3";
    const std::vector<std::string> userFiles = {"notes.tmp",       ".tdpart-notes", "a.tmp-x-1", ".clipvane-1.download",
                                                "plain.txt",       ".tdpart-" + r + ".0-1-report.pdf",
                                                ".tdpart-" + r + ".12345-7-song.m4a"};
    for (const auto& name : {earlierDownload, earlierStoreWrite}) writeFile(kFolder + "/" + name, "x");
    for (const auto& name : userFiles) writeFile(kFolder + "/" + name, "x");
    makeDirectory(kFolder + "/.tdpart-" + r + ".0-1-folder");
    // A file a writer published keeps no mark, even renamed again to a temporary's shape.
    const std::string published = ".tdpart-" + r + ".0-2-published";
    ASSERT_EQ(NSWriteWholeFileAt(AT_FDCWD, host(kFolder + "/" + published), "p", 1, WholeFileWriter::Sync::None), 0);

    // In a folder of the user's files only a writer's marked temporary goes.
    EXPECT_EQ(NSSweepTemporaryFiles(kFolder, NSTemporaryNames::Writers), 1u);
    std::set<std::string> expected(userFiles.begin(), userFiles.end());
    expected.insert(live.temporaryName());
    expected.insert(".tdpart-" + r + ".0-1-folder");
    expected.insert(earlierStoreWrite);
    expected.insert(earlierDownload);
    expected.insert(published);
    EXPECT_EQ(names(kFolder), expected);
    // In a folder the program alone writes the names are what the writers left; the earlier
    // download never wrote there.
    const std::vector<std::string> storeTemporaries = {earlierStoreWrite, published, userFiles[5], userFiles[6]};
    EXPECT_EQ(NSSweepTemporaryFiles(kFolder, NSTemporaryNames::WritersAndEarlierStores), storeTemporaries.size());
    for (const auto& name : storeTemporaries) expected.erase(name);
    EXPECT_EQ(names(kFolder), expected);
}

// A sweep beneath a folder reaches its folders down to its depth and within its count of
// folders, never through a link; beneath the top only what a writer marked goes.
TEST_F(WholeFileTest, ASweepBeneathAFolderReachesItsFoldersWithinItsBounds) {
    struct Case {
        const char* what;
        unsigned depth;
        std::size_t folders;
        std::set<std::string> swept; // the folders whose dead writers' temporaries go
    };
    const std::vector<Case> cases = {
        {"every level", 8, 100, {"", "a", "a/b", "a/b/c"}},
        {"two levels", 2, 100, {"", "a", "a/b"}},
        {"the top only", 0, 100, {""}},
        {"one folder beneath", 8, 1, {"", "a"}},
    };
    const std::string elsewhere = "/var/mobile/Elsewhere";
    pid_t reaped = startChildProcess([] { return 0; });
    waitForChildProcess(reaped);
    const std::string r = std::to_string(reaped);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(host(kFolder));
        std::filesystem::remove_all(host(elsewhere));
        makeDirectory(kFolder + "/a/b/c");
        makeDirectory(elsewhere);
        ASSERT_EQ(::symlink("../../Elsewhere", host(kFolder + "/a/link").c_str()), 0);
        // A dead writer's marked temporary in each folder, the one behind the link included.
        std::map<std::string, std::string> marked;
        for (const std::string folder : {"", "a", "a/b", "a/b/c", "a/link"}) {
            marked[folder] = temporaryOfDeadProcess(folder.empty() ? "x.mov" : folder == "a/link" ? "../Elsewhere/x.mov" : folder + "/x.mov");
            ASSERT_FALSE(marked[folder].empty());
        }
        // The user's file of a temporary's shape beneath the top; an earlier store's write at the top.
        const std::string unmarked = ".tdpart-" + r + ".0-1-y.mov";
        writeFile(kFolder + "/a/" + unmarked, "the user's");
        writeFile(kFolder + "/Index.plist.tmp-" + r + "-1", "store");
        EXPECT_EQ(NSSweepTemporaryFilesBeneath(kFolder, NSTemporaryNames::WritersAndEarlierStores, c.depth, c.folders),
                  c.swept.size() + 1);
        for (const auto& [folder, name] : marked) {
            const std::string at = folder == "a/link" ? elsewhere : folder.empty() ? kFolder : kFolder + "/" + folder;
            EXPECT_EQ(names(at).count(name), c.swept.count(folder) ? 0u : 1u) << folder;
        }
        EXPECT_FALSE(names(kFolder).count("Index.plist.tmp-" + r + "-1"));
        EXPECT_EQ(readFile(kFolder + "/a/" + unmarked), "the user's");
    }
}

// A store in a shared folder (the keychain in Library/Keychains, the defaults in Preferences, the
// vendor identifiers in Library) takes only its own temporaries and those a writer marked: the
// user's files named like any temporary of a dead process stay.
TEST_F(WholeFileTest, AStoreSweepsOnlyItsOwnTemporariesFromItsSharedFolder) {
    const std::string store = kFolder + "/keychain.plist";
    writeFile(store, "store");
    WholeFileWriter live;
    ASSERT_EQ(live.begin(store), 0);
    const std::string markedOfAnother = temporaryOfDeadProcess("notes.txt");
    ASSERT_FALSE(markedOfAnother.empty());
    pid_t reaped = startChildProcess([] { return 0; });
    waitForChildProcess(reaped);
    const std::string r = std::to_string(reaped);
    struct Case {
        std::string name;
        bool swept;
    };
    const Case cases[] = {
        {".tdpart-" + r + ".0-1-notes.txt", false},
        {".tdpart-" + r + ".0-1-other.plist", false},
        {".clipvane-" + r + "-1.download", false},
        {"Report.pdf.tmp-" + r + "-2", false},
        {"other.plist.tmp-" + r + "-2", false},
        {"xkeychain.plist.tmp-" + r + "-2", false},
        {"keychain.plist.tmp-x-2", false},
        {"keychain.plist.tmp-" + r + "-3", true},
        {".tdpart-" + r + ".0-4-keychain.plist", true},
        {".tdpart-" + r + ".123456-5-keychain.plist", true},
    };
    for (const Case& c : cases) writeFile(kFolder + "/" + c.name, "the user's");
    EXPECT_EQ(NSSweepStoreTemporaryFiles(store), 4u);
    std::set<std::string> expected = {"keychain.plist", live.temporaryName()};
    for (const Case& c : cases) {
        if (!c.swept) expected.insert(c.name);
    }
    EXPECT_EQ(names(kFolder), expected);
    for (const Case& c : cases) {
        if (!c.swept) {
            EXPECT_EQ(readFile(kFolder + "/" + c.name), "the user's") << c.name;
        }
    }
}

// A library that makes its file by name writes it at a name the writer reserved; the writer then
// presents it as its own: a regular file is replaced, a folder stays with what it holds, and a
// failure leaves the earlier file. What stands at the reserved name stays a temporary until then.
TEST_F(WholeFileTest, AReservedNameTakesALibrarysFileAndPresentsItAtCommit) {
    // What a library does: its own whole-file write at the name it was given, refusing a taken one.
    const auto libraryWrites = [this](const WholeFileWriter& reserved, const std::string& contents) {
        const std::string at = host(kFolder + "/" + reserved.temporaryName());
        WholeFileWriter library;
        if (library.beginAt(AT_FDCWD, at) != 0) return false;
        if (NSWriteAll(library.fd(), contents.data(), contents.size()) != 0) return false;
        return library.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep) == 0;
    };
    writeFile(kFolder + "/song.m4a", "earlier");
    {
        WholeFileWriter song;
        ASSERT_EQ(song.reserve(kFolder + "/song.m4a"), 0);
        EXPECT_FALSE(names(kFolder).count(song.temporaryName())) << "nothing is made at the reserved name";
        ASSERT_TRUE(libraryWrites(song, "new"));
        EXPECT_EQ(readFile(kFolder + "/song.m4a"), "earlier");
        ASSERT_EQ(song.commit(WholeFileWriter::Sync::None), 0);
    }
    EXPECT_EQ(readFile(kFolder + "/song.m4a"), "new");
    EXPECT_EQ(names(kFolder), std::set<std::string>{"song.m4a"});
    EXPECT_EQ(NSSweepTemporaryFiles(kFolder, NSTemporaryNames::Writers), 0u) << "the presented file is no temporary";
    {
        // The library's file, given up: it goes, and the earlier file stays.
        WholeFileWriter song;
        ASSERT_EQ(song.reserve(kFolder + "/song.m4a"), 0);
        ASSERT_TRUE(libraryWrites(song, "abandoned"));
    }
    EXPECT_EQ(readFile(kFolder + "/song.m4a"), "new");
    EXPECT_EQ(names(kFolder), std::set<std::string>{"song.m4a"});
    {
        // A folder at the final name stays, with what it holds.
        writeFile(kFolder + "/folder.m4a/inside.txt", "inside");
        WholeFileWriter song;
        ASSERT_EQ(song.reserve(kFolder + "/folder.m4a"), 0);
        ASSERT_TRUE(libraryWrites(song, "new"));
        EXPECT_EQ(song.commit(WholeFileWriter::Sync::None), EISDIR);
        EXPECT_EQ(readFile(kFolder + "/folder.m4a/inside.txt"), "inside");
        EXPECT_EQ(names(kFolder), (std::set<std::string>{"song.m4a", "folder.m4a"}));
    }
    // A process killed after the library's write leaves a marked temporary, which the sweep of a
    // folder of the user's files takes.
    int status = runInChildProcess([&] {
        WholeFileWriter song;
        if (song.reserve(kFolder + "/song.m4a") != 0 || !libraryWrites(song, "killed")) return 1;
        ::_exit(0);
    });
    ASSERT_EQ(status, 0);
    EXPECT_EQ(names(kFolder).size(), 3u);
    EXPECT_EQ(NSSweepTemporaryFiles(kFolder, NSTemporaryNames::Writers), 1u);
    EXPECT_EQ(names(kFolder), (std::set<std::string>{"song.m4a", "folder.m4a"}));
    EXPECT_EQ(readFile(kFolder + "/song.m4a"), "new");
}

// A process that ends cleanly while writers are open (the app's quit during an export or a
// download) takes their temporaries with it, the files a library made at reserved names too.
TEST_F(WholeFileTest, ACleanEndLeavesNoTemporaryOfAnOpenWriter) {
    writeFile(kFolder + "/song.m4a", "earlier");
    struct Case {
        const char* how;
        std::function<void()> end;
    };
    const Case cases[] = {{"exit", [] { std::exit(0); }}, {"quick_exit", [] { std::quick_exit(0); }}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        int status = runInChildProcess([&] {
            WholeFileWriter download, song, library;
            if (download.begin(kFolder + "/movie.mov") != 0 || NSWriteAll(download.fd(), "part", 4) != 0) return 1;
            if (song.reserve(kFolder + "/song.m4a") != 0) return 2;
            if (library.beginAt(AT_FDCWD, host(kFolder + "/" + song.temporaryName())) != 0) return 3;
            if (library.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep) != 0) return 4;
            WholeFileWriter unfinishedByLibrary;
            if (unfinishedByLibrary.beginAt(AT_FDCWD, host(kFolder + "/" + song.temporaryName())) != 0) return 5;
            if (names(kFolder).size() != 4) return 6;
            c.end();
            return 7;
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(names(kFolder), std::set<std::string>{"song.m4a"});
        EXPECT_EQ(readFile(kFolder + "/song.m4a"), "earlier");
    }
}

// A read bounded by a length takes a file of that length and refuses a longer one without
// gathering it.
TEST_F(WholeFileTest, ABoundedReadRefusesALongerFile) {
    writeFile("/tmp/five", "12345");
    struct Case {
        std::size_t maxLength;
        bool read;
    };
    for (Case c : {Case{5, true}, Case{4, false}, Case{0, false}}) {
        NSErrorPtr error;
        auto data = NSData::dataWithContentsOfFile("/tmp/five", &error, c.maxLength);
        EXPECT_EQ(bool(data), c.read) << c.maxLength;
        if (c.read) {
            EXPECT_EQ(data->length(), 5u);
        } else {
            ASSERT_TRUE(error) << c.maxLength;
            EXPECT_EQ(error->code(), NSFileReadTooLargeError);
        }
    }
}

// What is not a regular file is refused at once by every reader of outside files; a hang would
// stop the child, which the alarm then ends.
TEST_F(WholeFileTest, ReadersRefuseWhatIsNotARegularFileAtOnce) {
    constexpr unsigned kWatchdogSeconds = 10;
    ASSERT_EQ(::mkfifo(host("/tmp/fifo").c_str(), 0644), 0);
    makeDirectory("/tmp/folder");
    int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string socketPath = host("/tmp/socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    writeFile("/tmp/regular", "bytes");
    struct Case {
        const char* path;
        bool regular;
        long code;
    };
    const Case cases[] = {{"/tmp/fifo", false, NSFileReadUnknownError},
                          {"/tmp/socket", false, NSFileReadUnknownError},
                          {"/tmp/folder", false, NSFileReadUnknownError},
                          {"/dev-null-missing", false, NSFileReadNoSuchFileError},
                          {"/tmp/regular", true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        int status = runInChildProcess([&] {
            ::alarm(kWatchdogSeconds);
            NSErrorPtr error;
            auto data = NSData::dataWithContentsOfFile(c.path, &error);
            if (bool(data) != c.regular) return 1;
            if (!c.regular && (!error || error->code() != c.code)) return 2;
            auto stream = NSInputStream::inputStreamWithFileAtPath(c.path);
            stream->open();
            if ((stream->streamStatus() == NSStreamStatusOpen) != c.regular) return 3;
            if (bool(NSFileHandle::fileHandleForReadingAtPath(c.path)) != c.regular) return 4;
            return 0;
        });
        EXPECT_EQ(status, 0);
    }
    ::close(sock);
}

TEST_F(WholeFileTest, CopiesKeepHolesAndBytes) {
    constexpr off_t kSize = 64 << 20;
    const std::string source = host("/tmp/sparse"), copy = host("/tmp/copy");
    {
        DeviceRoot::Descriptor out(::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        ASSERT_TRUE(out);
        ASSERT_EQ(::pwrite(out.get(), "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(out.get(), "middle", 6, kSize / 2), 6);
        ASSERT_EQ(::ftruncate(out.get(), kSize), 0);
    }
    DeviceRoot::Descriptor in(::open(source.c_str(), O_RDONLY));
    DeviceRoot::Descriptor out(::open(copy.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644));
    ASSERT_EQ(NSCopyFileContents(in.get(), out.get()), 0);
    struct stat a{}, b{};
    ASSERT_EQ(::fstat(in.get(), &a), 0);
    ASSERT_EQ(::fstat(out.get(), &b), 0);
    EXPECT_EQ(b.st_size, kSize);
    EXPECT_LE(b.st_blocks, a.st_blocks + 64) << "the holes stay holes";
    char buffer[6];
    ASSERT_EQ(::pread(out.get(), buffer, 6, kSize / 2), 6);
    EXPECT_EQ(std::string(buffer, 6), "middle");
    ASSERT_EQ(::pread(out.get(), buffer, 4, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "head");
    ASSERT_EQ(::pread(out.get(), buffer, 4, kSize / 4), 4);
    EXPECT_EQ(std::string(buffer, 4), std::string(4, '\0'));
}

// A source that changes size while it is copied fails the copy (the copy would hold zeros or miss
// a part); one whose size reads 0 but has bytes, as the kernel's generated files do, is copied as
// read.
TEST_F(WholeFileTest, ACopyFailsWhenItsSourceChangesSizeAndTakesGeneratedFilesAsRead) {
    constexpr off_t kStretch = 1 << 20;
    const std::string source = host("/tmp/changing");
    struct Case {
        const char* what;
        off_t sizeMeanwhile;
    };
    for (Case c : {Case{"truncated", kStretch}, Case{"grown", 4 * kStretch}, Case{"unchanged", 3 * kStretch}}) {
        SCOPED_TRACE(c.what);
        {
            // Two stretches of data with a hole between them: the copy reports after each.
            DeviceRoot::Descriptor out(::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
            ASSERT_TRUE(out);
            std::string bytes(kStretch, 'd');
            ASSERT_EQ(::pwrite(out.get(), bytes.data(), bytes.size(), 0), kStretch);
            ASSERT_EQ(::pwrite(out.get(), bytes.data(), bytes.size(), 2 * kStretch), kStretch);
        }
        DeviceRoot::Descriptor in(::open(source.c_str(), O_RDONLY));
        DeviceRoot::Descriptor out(::open(host("/tmp/copy").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644));
        bool changed = false;
        const int e = NSCopyFileContents(in.get(), out.get(), [&](off_t) {
            if (!changed) {
                EXPECT_EQ(::truncate(source.c_str(), c.sizeMeanwhile), 0);
            }
            changed = true;
        });
        EXPECT_TRUE(changed);
        EXPECT_EQ(e, c.sizeMeanwhile == 3 * kStretch ? 0 : ESTALE);
        if (e) {
            EXPECT_EQ(NSCopyFileErrorText(e), "it changed size while it was copied");
        }
    }

    DeviceRoot::Descriptor generated(::open("/proc/self/cmdline", O_RDONLY));
    ASSERT_TRUE(generated);
    struct stat st{};
    ASSERT_EQ(::fstat(generated.get(), &st), 0);
    ASSERT_EQ(st.st_size, 0) << "a generated file's size reads 0";
    char expected[4096];
    const ssize_t length = ::pread(generated.get(), expected, sizeof expected, 0);
    ASSERT_GT(length, 0);
    DeviceRoot::Descriptor out(::open(host("/tmp/copy").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644));
    ASSERT_EQ(NSCopyFileContents(generated.get(), out.get()), 0);
    char copied[4096];
    ASSERT_EQ(::pread(out.get(), copied, sizeof copied, 0), length);
    EXPECT_EQ(std::string(copied, static_cast<std::size_t>(length)), std::string(expected, static_cast<std::size_t>(length)));
}

// The kernel's attribute files give a size (a page) that is not their length (a few bytes); one
// that does not change while it is read is copied as read, to its end.
TEST_F(WholeFileTest, AFileWhoseSizeIsNotItsLengthIsCopiedAsRead) {
    const char* attribute = "/sys/devices/system/cpu/online";
    DeviceRoot::Descriptor in(::open(attribute, O_RDONLY | O_CLOEXEC));
    if (!in) GTEST_SKIP() << attribute << " is not on this system";
    struct stat st{};
    ASSERT_EQ(::fstat(in.get(), &st), 0);
    char expected[8192];
    const ssize_t length = ::pread(in.get(), expected, sizeof expected, 0);
    ASSERT_GT(length, 0);
    if (st.st_size <= length) GTEST_SKIP() << attribute << " gives its length as its size here";
    DeviceRoot::Descriptor out(::open(host("/tmp/copy").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    ASSERT_EQ(NSCopyFileContents(in.get(), out.get()), 0);
    EXPECT_EQ(readFile("/tmp/copy"), std::string(expected, static_cast<std::size_t>(length)));
}

} // namespace
