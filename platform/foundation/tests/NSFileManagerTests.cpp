#include "platform/foundation/NSFileManager.h"

#include "platform/foundation/DeviceRoot.h"

#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class NSFileManagerTest : public DeviceTest {
protected:
    std::shared_ptr<NSFileManager> fm_ = std::make_shared<NSFileManager>();

    void symlinkHost(const std::string& target, const std::string& devicePath) const {
        ASSERT_EQ(::symlink(target.c_str(), host(devicePath).c_str()), 0);
    }
    mode_t hostMode(const std::string& devicePath) const {
        struct stat st{};
        EXPECT_EQ(::lstat(host(devicePath).c_str(), &st), 0) << devicePath;
        return st.st_mode;
    }
    bool hostExists(const std::string& devicePath) const {
        struct stat st{};
        return ::lstat(host(devicePath).c_str(), &st) == 0;
    }

    // A tree with hidden files, sub-folders, an empty file and links (one to a folder).
    void makeTree(const std::string& top) const {
        writeFile(top + "/a.txt", "alpha");
        writeFile(top + "/.hidden", "secret");
        writeFile(top + "/sub/b.txt", "beta");
        writeFile(top + "/sub/deeper/.c", "gamma");
        writeFile(top + "/sub/deeper/empty", "");
        symlinkHost("sub", top + "/linkToSub");
        symlinkHost("a.txt", top + "/linkToA");
        ::chmod(host(top + "/a.txt").c_str(), 0600);
    }
};

void expectFileError(const NSErrorPtr& error, long code, int posix, const std::string& path) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(error->code(), code);
    NSErrorPtr underlying = error->underlyingError();
    ASSERT_TRUE(underlying);
    EXPECT_EQ(underlying->domain(), NSPOSIXErrorDomain);
    EXPECT_EQ(underlying->code(), posix);
    EXPECT_EQ(error->userInfoValue(NSFilePathErrorKey).stringValue(), path);
}

std::vector<std::string> enumerateAll(NSDirectoryEnumerator& e) {
    std::vector<std::string> paths;
    while (auto p = e.nextObject()) paths.push_back(*p);
    return paths;
}

std::size_t indexOf(const std::vector<std::string>& v, const std::string& s) {
    return static_cast<std::size_t>(std::find(v.begin(), v.end(), s) - v.begin());
}

TEST_F(NSFileManagerTest, ExistenceFollowsLinks) {
    makeTree("/t");
    symlinkHost("nowhere", "/t/dangling");
    bool isDirectory = true;
    EXPECT_TRUE(fm_->fileExistsAtPath("/t/a.txt", &isDirectory));
    EXPECT_FALSE(isDirectory);
    EXPECT_TRUE(fm_->fileExistsAtPath("/t/linkToSub", &isDirectory));
    EXPECT_TRUE(isDirectory);
    EXPECT_FALSE(fm_->fileExistsAtPath("/t/dangling"));
    EXPECT_FALSE(fm_->fileExistsAtPath("/t/missing"));
    EXPECT_TRUE(fm_->isReadableFileAtPath("/t/a.txt"));
    EXPECT_TRUE(fm_->isDeletableFileAtPath("/t/a.txt"));
}

TEST_F(NSFileManagerTest, ContentsOfDirectoryInReaddirOrder) {
    makeTree("/t");
    std::vector<std::string> expected;
    DIR* dir = ::opendir(host("/t").c_str());
    ASSERT_TRUE(dir);
    while (struct dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") expected.push_back(name);
    }
    ::closedir(dir);
    NSErrorPtr error;
    auto names = fm_->contentsOfDirectoryAtPath("/t", &error);
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, expected);
    EXPECT_EQ(names->size(), 5u);

    EXPECT_FALSE(fm_->contentsOfDirectoryAtPath("/t/missing", &error));
    expectFileError(error, NSFileReadNoSuchFileError, ENOENT, "/t/missing");
    EXPECT_FALSE(fm_->contentsOfDirectoryAtPath("/t/a.txt", &error));
    expectFileError(error, NSFileReadUnknownError, ENOTDIR, "/t/a.txt");
}

TEST_F(NSFileManagerTest, EnumeratorWalksTheTreeFolderFirstWithoutFollowingLinks) {
    makeTree("/t");
    writeFile("/t/skip/inside", "x");
    auto e = fm_->enumeratorAtPath("/t");
    ASSERT_TRUE(e);
    std::vector<std::string> paths;
    std::map<std::string, std::size_t> levels;
    std::map<std::string, std::string> types;
    while (auto p = e->nextObject()) {
        paths.push_back(*p);
        levels[*p] = e->level();
        auto attributes = e->fileAttributes();
        ASSERT_TRUE(attributes) << *p;
        types[*p] = attributes->fileType.value_or("");
        if (*p == "skip") e->skipDescendants();
    }
    std::set<std::string> expected{"a.txt", ".hidden", "sub", "sub/b.txt", "sub/deeper", "sub/deeper/.c", "sub/deeper/empty",
                                   "linkToSub", "linkToA", "skip"};
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()), expected);
    EXPECT_EQ(paths.size(), expected.size());
    EXPECT_LT(indexOf(paths, "sub"), indexOf(paths, "sub/b.txt"));
    EXPECT_LT(indexOf(paths, "sub/deeper"), indexOf(paths, "sub/deeper/.c"));
    EXPECT_EQ(levels["a.txt"], 1u);
    EXPECT_EQ(levels["sub/deeper/empty"], 3u);
    EXPECT_EQ(types["linkToSub"], NSFileTypeSymbolicLink);
    EXPECT_EQ(types["sub"], NSFileTypeDirectory);
    EXPECT_EQ(types["sub/deeper/empty"], NSFileTypeRegular);

    auto subpaths = fm_->subpathsOfDirectoryAtPath("/t", nullptr);
    ASSERT_TRUE(subpaths);
    EXPECT_EQ(subpaths->size(), expected.size() + 1); // skip/inside is not skipped there
    EXPECT_FALSE(fm_->enumeratorAtPath("/t/missing"));
}

TEST_F(NSFileManagerTest, EnumeratorStreamsInsteadOfReadingTheTreeFirst) {
    makeDirectory("/t/only");
    auto e = fm_->enumeratorAtPath("/t");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->nextObject(), "only");
    // Made after the walk started: seen, because the folder is read only when entered.
    writeFile("/t/only/late", "");
    EXPECT_EQ(e->nextObject(), "only/late");
    EXPECT_EQ(e->nextObject(), std::nullopt);
}

TEST_F(NSFileManagerTest, UnreadableFolderIsListedButNotEnteredAndCannotBeRemoved) {
    makeTree("/t");
    writeFile("/t/locked/inner", "x");
    ::chmod(host("/t/locked").c_str(), 0);
    int status = runInChildProcess(
        [&] {
            auto e = fm_->enumeratorAtPath("/t");
            if (!e) return 1;
            auto paths = enumerateAll(*e);
            if (std::find(paths.begin(), paths.end(), "locked") == paths.end()) return 2;
            if (std::find(paths.begin(), paths.end(), "locked/inner") != paths.end()) return 3;
            if (std::find(paths.begin(), paths.end(), "sub/deeper/.c") == paths.end()) return 4;
            NSErrorPtr error;
            if (fm_->removeItemAtPath("/t", &error)) return 5;
            if (!error || error->code() != NSFileWriteNoPermissionError || !error->underlyingError() ||
                error->underlyingError()->code() != EACCES || error->userInfoValue(NSFilePathErrorKey).stringValue() != "/t/locked") {
                return 6;
            }
            return 0;
        },
        true);
    EXPECT_EQ(status, 0);
    ::chmod(host("/t/locked").c_str(), 0755);
    EXPECT_EQ(readFile("/t/locked/inner"), "x");
}

TEST_F(NSFileManagerTest, CopyTreeKeepsLinksPermissionsAndDates) {
    makeTree("/t");
    NSFileAttributes dated;
    dated.modificationDate = NSDate::dateWithTimeIntervalSince1970(1394014831);
    ASSERT_TRUE(fm_->setAttributesOfItemAtPath(dated, "/t/sub/b.txt", nullptr));
    NSErrorPtr error;
    ASSERT_TRUE(fm_->copyItemAtPath("/t", "/copy", &error)) << (error ? error->description() : "");
    auto original = fm_->subpathsOfDirectoryAtPath("/t", nullptr);
    auto copied = fm_->subpathsOfDirectoryAtPath("/copy", nullptr);
    ASSERT_TRUE(original && copied);
    EXPECT_EQ(std::set<std::string>(original->begin(), original->end()), std::set<std::string>(copied->begin(), copied->end()));
    EXPECT_EQ(readFile("/copy/sub/deeper/.c"), "gamma");
    EXPECT_TRUE(S_ISLNK(hostMode("/copy/linkToSub")));
    EXPECT_EQ(fm_->destinationOfSymbolicLinkAtPath("/copy/linkToSub", nullptr), "sub");
    EXPECT_EQ(hostMode("/copy/a.txt") & 07777, 0600u);
    auto attributes = fm_->attributesOfItemAtPath("/copy/sub/b.txt", nullptr);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->modificationDate->timeIntervalSince1970(), 1394014831);

    EXPECT_FALSE(fm_->copyItemAtPath("/t/a.txt", "/copy/a.txt", &error));
    expectFileError(error, NSFileWriteFileExistsError, EEXIST, "/copy/a.txt");
    EXPECT_FALSE(fm_->copyItemAtPath("/t/missing", "/elsewhere", &error));
    expectFileError(error, NSFileReadNoSuchFileError, ENOENT, "/t/missing");
    // Into itself would never end.
    EXPECT_FALSE(fm_->copyItemAtPath("/t", "/t/sub/again", &error));
    EXPECT_FALSE(hostExists("/t/sub/again"));
}

TEST_F(NSFileManagerTest, MoveRenamesAndRefusesAnExistingTarget) {
    makeTree("/t");
    NSErrorPtr error;
    ASSERT_TRUE(fm_->moveItemAtPath("/t/sub", "/moved", &error));
    EXPECT_EQ(readFile("/moved/deeper/.c"), "gamma");
    EXPECT_FALSE(hostExists("/t/sub"));

    writeFile("/target", "keep");
    EXPECT_FALSE(fm_->moveItemAtPath("/t/a.txt", "/target", &error));
    expectFileError(error, NSFileWriteFileExistsError, EEXIST, "/target");
    EXPECT_EQ(readFile("/target"), "keep");
    EXPECT_EQ(readFile("/t/a.txt"), "alpha");
    EXPECT_FALSE(fm_->moveItemAtPath("/t/missing", "/new", &error));
    expectFileError(error, NSFileReadNoSuchFileError, ENOENT, "/t/missing");
}

TEST_F(NSFileManagerTest, MoveAcrossFileSystemsCopiesThenRemoves) {
    struct stat tmp{}, shm{};
    if (::stat(deviceRoot().c_str(), &tmp) != 0 || ::stat("/dev/shm", &shm) != 0 || tmp.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system at hand";
    }
    std::string otherFolder = "/dev/shm/tandrel-move-" + std::to_string(::getpid());
    ASSERT_EQ(::mkdir(otherFolder.c_str(), 0755), 0);
    DeviceRoot::mount("/shm", otherFolder);
    makeTree("/t");
    NSErrorPtr error;
    bool moved = fm_->moveItemAtPath("/t", "/shm/t", &error);
    std::string copied = std::string(fm_->contentsAtPath("/shm/t/sub/deeper/.c") ? fm_->contentsAtPath("/shm/t/sub/deeper/.c")->stringView() : "");
    bool linkKept = fm_->attributesOfItemAtPath("/shm/t/linkToSub", nullptr)->fileType == NSFileTypeSymbolicLink;
    DeviceRoot::mount("/shm", "");
    removeHostTree(otherFolder);
    EXPECT_TRUE(moved) << (error ? error->description() : "");
    EXPECT_EQ(copied, "gamma");
    EXPECT_TRUE(linkKept);
    EXPECT_FALSE(hostExists("/t"));
}

TEST_F(NSFileManagerTest, RemoveTakesTheLinkNotItsTarget) {
    makeTree("/t");
    writeFile("/outside/kept", "kept");
    symlinkHost(host("/outside"), "/t/sub/linkOut");
    NSErrorPtr error;
    ASSERT_TRUE(fm_->removeItemAtPath("/t/linkToSub", &error));
    EXPECT_TRUE(hostExists("/t/sub/b.txt"));
    ASSERT_TRUE(fm_->removeItemAtPath("/t", &error));
    EXPECT_FALSE(hostExists("/t"));
    EXPECT_EQ(readFile("/outside/kept"), "kept");
    EXPECT_FALSE(fm_->removeItemAtPath("/t", &error));
    expectFileError(error, NSFileNoSuchFileError, ENOENT, "/t");
}

TEST_F(NSFileManagerTest, CreateDirectoryWithAndWithoutIntermediates) {
    NSErrorPtr error;
    NSFileAttributes attributes;
    attributes.posixPermissions = 0700;
    ASSERT_TRUE(fm_->createDirectoryAtPath("/a/b/c", true, &attributes, &error));
    EXPECT_EQ(hostMode("/a/b/c") & 07777, 0700u);
    EXPECT_TRUE(fm_->createDirectoryAtPath("/a/b/c", true, nullptr, &error));
    EXPECT_FALSE(fm_->createDirectoryAtPath("/a/b/c", false, nullptr, &error));
    expectFileError(error, NSFileWriteFileExistsError, EEXIST, "/a/b/c");
    EXPECT_FALSE(fm_->createDirectoryAtPath("/x/y", false, nullptr, &error));
    expectFileError(error, NSFileNoSuchFileError, ENOENT, "/x/y");
    writeFile("/file", "f");
    EXPECT_FALSE(fm_->createDirectoryAtPath("/file/inside", true, nullptr, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->underlyingError()->code(), ENOTDIR);
}

TEST_F(NSFileManagerTest, CreateFileAndReadItBack) {
    auto data = NSData::dataWithString("contents");
    NSFileAttributes attributes;
    attributes.posixPermissions = 0640;
    EXPECT_TRUE(fm_->createFileAtPath("/tmp/f", data.get(), &attributes));
    EXPECT_EQ(hostMode("/tmp/f") & 07777, 0640u);
    auto back = fm_->contentsAtPath("/tmp/f");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->stringView(), "contents");
    EXPECT_TRUE(fm_->createFileAtPath("/tmp/empty", nullptr, nullptr));
    EXPECT_EQ(fm_->contentsAtPath("/tmp/empty")->length(), 0u);
    EXPECT_FALSE(fm_->createFileAtPath("/nofolder/f", data.get(), nullptr));
    EXPECT_FALSE(fm_->contentsAtPath("/tmp/missing"));
}

TEST_F(NSFileManagerTest, AttributesRoundTrip) {
    writeFile("/f", "12345");
    NSErrorPtr error;
    NSFileAttributes set;
    set.modificationDate = NSDate::dateWithTimeIntervalSince1970(1394014831.25);
    set.posixPermissions = 0640;
    set.ownerAccountID = static_cast<std::uint32_t>(::getuid());
    ASSERT_TRUE(fm_->setAttributesOfItemAtPath(set, "/f", &error));
    auto a = fm_->attributesOfItemAtPath("/f", &error);
    ASSERT_TRUE(a);
    struct stat st{};
    ASSERT_EQ(::stat(host("/f").c_str(), &st), 0);
    EXPECT_EQ(a->fileType, NSFileTypeRegular);
    EXPECT_EQ(a->fileSize, 5u);
    EXPECT_EQ(a->posixPermissions, 0640);
    EXPECT_DOUBLE_EQ(a->modificationDate->timeIntervalSince1970(), 1394014831.25);
    ASSERT_TRUE(a->creationDate);
    EXPECT_GT(a->creationDate->timeIntervalSince1970(), 1394014831.25); // made now, not when it claims to be modified
    EXPECT_EQ(a->ownerAccountID, ::getuid());
    EXPECT_EQ(a->systemFileNumber, st.st_ino);
    EXPECT_EQ(a->systemNumber, st.st_dev);
    EXPECT_EQ(a->referenceCount, 1u);

    ASSERT_TRUE(fm_->linkItemAtPath("/f", "/hard", &error));
    EXPECT_EQ(fm_->attributesOfItemAtPath("/f", nullptr)->referenceCount, 2u);
    EXPECT_FALSE(fm_->linkItemAtPath("/f", "/hard", &error));
    expectFileError(error, NSFileWriteFileExistsError, EEXIST, "/hard");

    EXPECT_FALSE(fm_->attributesOfItemAtPath("/missing", &error));
    expectFileError(error, NSFileReadNoSuchFileError, ENOENT, "/missing");
    EXPECT_FALSE(fm_->setAttributesOfItemAtPath(set, "/missing", &error));
    expectFileError(error, NSFileNoSuchFileError, ENOENT, "/missing");
}

TEST_F(NSFileManagerTest, TypeStringsDescribeTheItemItself) {
    makeDirectory("/d");
    writeFile("/d/file", "");
    symlinkHost("file", "/d/link");
    ASSERT_EQ(::mkfifo(host("/d/fifo").c_str(), 0644), 0);
    const std::pair<const char*, const std::string*> cases[] = {
        {"/d", &NSFileTypeDirectory},          {"/d/file", &NSFileTypeRegular}, {"/d/link", &NSFileTypeSymbolicLink},
        {"/d/fifo", &NSFileTypeUnknown},
    };
    for (const auto& [path, type] : cases) {
        auto a = fm_->attributesOfItemAtPath(path, nullptr);
        ASSERT_TRUE(a) << path;
        EXPECT_EQ(a->fileType, *type) << path;
    }
    EXPECT_EQ(fm_->attributesOfItemAtPath("/dev/null", nullptr), std::nullopt); // the device's, not the host's
    EXPECT_EQ(NSFileManager().attributesOfItemAtPath("/d", nullptr)->fileType, NSFileTypeDirectory);
}

TEST_F(NSFileManagerTest, SymbolicLinksToDevicePaths) {
    writeFile("/var/mobile/target", "t");
    NSErrorPtr error;
    ASSERT_TRUE(fm_->createSymbolicLinkAtPath("/tmp/link", "/var/mobile/target", &error));
    EXPECT_EQ(fm_->destinationOfSymbolicLinkAtPath("/tmp/link", &error), "/var/mobile/target");
    EXPECT_EQ(fm_->contentsAtPath("/tmp/link")->stringView(), "t");
    ASSERT_TRUE(fm_->createSymbolicLinkAtPath("/tmp/relative", "../var/mobile/target", &error));
    EXPECT_EQ(fm_->destinationOfSymbolicLinkAtPath("/tmp/relative", &error), "../var/mobile/target");
    EXPECT_FALSE(fm_->createSymbolicLinkAtPath("/tmp/link", "x", &error));
    expectFileError(error, NSFileWriteFileExistsError, EEXIST, "/tmp/link");
    EXPECT_FALSE(fm_->destinationOfSymbolicLinkAtPath("/var/mobile/target", &error));
    EXPECT_EQ(error->underlyingError()->code(), EINVAL);
}

TEST_F(NSFileManagerTest, FileSystemAttributesAndPathMapping) {
    auto fs = fm_->attributesOfFileSystemForPath("/", nullptr);
    ASSERT_TRUE(fs);
    EXPECT_GT(fs->systemSize, 0u);
    EXPECT_LE(fs->systemFreeSize, fs->systemSize);
    NSErrorPtr error;
    EXPECT_FALSE(fm_->attributesOfFileSystemForPath("/missing", &error));
    expectFileError(error, NSFileReadNoSuchFileError, ENOENT, "/missing");
    EXPECT_EQ(fm_->fileSystemRepresentationWithPath("/tmp/x"), deviceRoot() + "/tmp/x");
    EXPECT_EQ(fm_->stringWithFileSystemRepresentation(deviceRoot() + "/tmp/x"), "/tmp/x");
    EXPECT_EQ(NSFileManager::defaultManager(), NSFileManager::defaultManager());
}

TEST_F(NSFileManagerTest, ParentOfTheDeviceRootIsTheDeviceRoot) {
    // As on the device, ".." at "/" stays at "/": no device path reaches the host outside the root.
    EXPECT_EQ(fm_->fileSystemRepresentationWithPath("/../x"), deviceRoot() + "/x");
    EXPECT_EQ(fm_->fileSystemRepresentationWithPath("/tmp/../../../x/"), deviceRoot() + "/x/");
    EXPECT_EQ(fm_->fileSystemRepresentationWithPath("../.."), deviceRoot());
    EXPECT_EQ(fm_->fileSystemRepresentationWithPath("/a/..b/../c"), deviceRoot() + "/a/..b/../c");
    writeFile("/outside", "kept");
    ASSERT_TRUE(fm_->createDirectoryAtPath("/tmp/inner-of-a-device", true, nullptr, nullptr));
    NSErrorPtr error;
    EXPECT_TRUE(fm_->removeItemAtPath("/tmp/inner-of-a-device/../../../../tmp/inner-of-a-device", &error)) << error->description();
    EXPECT_FALSE(fm_->fileExistsAtPath("/tmp/inner-of-a-device"));
    EXPECT_EQ(readFile("/outside"), "kept");
}

} // namespace
