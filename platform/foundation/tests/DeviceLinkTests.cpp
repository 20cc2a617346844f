// Symbolic links inside the device resolve inside the device, through every file API: an absolute
// target starts at the device's "/", ".." stops there, and nothing on the host outside the device
// root is listed, read, written, moved or removed through a link. Each shape runs twice: once with
// the kernel's resolution beneath the root and once with the walk component by component.

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/WholeFile.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <set>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct LinkShape {
    const char* name;
    // Links made at /D/<name>, in order; "@" in a target stands for the host folder outside the device.
    std::vector<std::pair<std::string, std::string>> links;
    // The file each case reads, writes and removes: the link itself when it stands for a file.
    std::string probe;
    bool folder;  // /D/l leads to the device's /inside
    bool reaches; // the probe leads to the device's /inside/secret.txt
    bool loop;
};

const char* const kUp = "../../../../../../../../../../../../../../../..";
const char* const kInFolder = "/D/l/secret.txt";

std::vector<LinkShape> shapes() {
    return {
        {"AbsoluteToHostFolder", {{"l", "@"}}, kInFolder, false, false, false},
        {"AbsoluteToHostFile", {{"l", "@/secret.txt"}}, "/D/l", false, false, false},
        {"RelativeClimbingPastRoot", {{"l", std::string(kUp) + "@"}}, kInFolder, false, false, false},
        {"RelativeClimbingToHostFile", {{"l", std::string(kUp) + "@/secret.txt"}}, "/D/l", false, false, false},
        {"RelativeClimbingToDeviceFolder", {{"l", std::string(kUp) + "/inside"}}, kInFolder, true, true, false},
        {"ChainToHost", {{"m", "@"}, {"l", "/D/m"}}, kInFolder, false, false, false},
        {"ChainThroughParentOfRoot", {{"m", kUp}, {"l", "m@"}}, kInFolder, false, false, false},
        {"Loop", {{"l", "/D/m"}, {"m", "/D/l"}}, kInFolder, false, false, true},
        {"Dangling", {{"l", "/nowhere-on-any-system"}}, kInFolder, false, false, false},
        {"ToDeviceFile", {{"l", "/inside/secret.txt"}}, "/D/l", false, true, false},
        {"ToDeviceFolder", {{"l", "/inside"}}, kInFolder, true, true, false},
        {"ChainToDeviceFolder", {{"m", "../inside"}, {"l", "/D/m"}}, kInFolder, true, true, false},
    };
}

struct Param {
    LinkShape shape;
    bool walk;
};

void PrintTo(const Param& p, std::ostream* os) { *os << p.shape.name << (p.walk ? " (walk)" : " (kernel)"); }

class DeviceLinkTest : public DeviceTest, public ::testing::WithParamInterface<Param> {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceRoot::setComponentWalkForced(GetParam().walk);
        outside_ = hostFolder_.path();
        writeHost(outside_ + "/secret.txt", "host");
        ASSERT_EQ(::mkdir((outside_ + "/sub").c_str(), 0755), 0);
        writeHost(outside_ + "/sub/inner.txt", "host inner");
        writeFile("/inside/secret.txt", "device");
        writeFile("/D/other.txt", "other");
        for (const auto& [name, target] : GetParam().shape.links) {
            std::string t = NSString::stringByReplacingOccurrencesOfString(target, "@", outside_);
            ASSERT_EQ(::symlink(t.c_str(), host("/D/" + name).c_str()), 0) << t;
        }
    }
    void TearDown() override {
        DeviceRoot::setComponentWalkForced(false);
        expectHostUntouched();
        DeviceTest::TearDown();
    }

    static void writeHost(const std::string& path, const std::string& contents) { std::ofstream(path, std::ios::binary) << contents; }
    static std::string readHost(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    void expectHostUntouched() const {
        EXPECT_EQ(readHost(outside_ + "/secret.txt"), "host");
        EXPECT_EQ(readHost(outside_ + "/sub/inner.txt"), "host inner");
        DIR* dir = ::opendir(outside_.c_str());
        ASSERT_NE(dir, nullptr);
        std::set<std::string> found;
        while (auto* e = ::readdir(dir)) found.insert(e->d_name);
        ::closedir(dir);
        EXPECT_EQ(found, (std::set<std::string>{".", "..", "secret.txt", "sub"}));
    }

    const LinkShape& shape() const { return GetParam().shape; }
    const std::string& probe() const { return shape().probe; }
    bool probeIsLink() const { return probe() == "/D/l"; }

    TemporaryFolder hostFolder_;
    std::string outside_;
    std::shared_ptr<NSFileManager> fm_ = std::make_shared<NSFileManager>();
};

TEST_P(DeviceLinkTest, ListingAndAttributes) {
    NSErrorPtr error;
    auto names = fm_->contentsOfDirectoryAtPath("/D/l", &error);
    auto enumerator = fm_->enumeratorAtPath("/D/l");
    auto subpaths = fm_->subpathsOfDirectoryAtPath("/D/l", nullptr);
    bool isDirectory = false;
    bool exists = fm_->fileExistsAtPath("/D/l", &isDirectory);
    if (shape().folder) {
        ASSERT_TRUE(names);
        EXPECT_EQ(*names, std::vector<std::string>{"secret.txt"});
        ASSERT_TRUE(enumerator);
        EXPECT_EQ(enumerator->nextObject(), "secret.txt");
        EXPECT_EQ(enumerator->nextObject(), std::nullopt);
        EXPECT_EQ(subpaths, std::vector<std::string>{"secret.txt"});
        EXPECT_TRUE(exists && isDirectory);
    } else {
        EXPECT_FALSE(names);
        if (shape().loop) {
            EXPECT_EQ(error->underlyingError()->code(), ELOOP);
        }
        EXPECT_FALSE(enumerator);
        EXPECT_FALSE(subpaths);
        EXPECT_EQ(exists, probeIsLink() && shape().reaches);
        EXPECT_FALSE(isDirectory);
    }
    auto own = fm_->attributesOfItemAtPath("/D/l", nullptr);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->fileType, NSFileTypeSymbolicLink);
    auto target = fm_->attributesOfItemAtPath(probe(), nullptr);
    EXPECT_EQ(target.has_value(), probeIsLink() || shape().reaches);
    if (target && !probeIsLink()) {
        EXPECT_EQ(target->fileSize, 6u);
    }
    EXPECT_EQ(fm_->attributesOfFileSystemForPath("/D/l", nullptr).has_value(), exists);
    EXPECT_EQ(fm_->isReadableFileAtPath(probe()), shape().reaches);
}

TEST_P(DeviceLinkTest, ReadingThroughDataStreamsAndCLibraries) {
    auto data = NSData::dataWithContentsOfFile(probe());
    auto stream = NSInputStream::inputStreamWithFileAtPath(probe());
    stream->open();
    std::uint8_t buffer[16] = {};
    long n = stream->read(buffer, sizeof buffer);
    std::string host = NSString::fileSystemRepresentation(probe());
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    char cBuffer[16] = {};
    ssize_t cRead = fd >= 0 ? ::read(fd, cBuffer, sizeof cBuffer) : -1;
    if (fd >= 0) ::close(fd);
    if (shape().reaches) {
        ASSERT_TRUE(data);
        EXPECT_EQ(data->stringView(), "device");
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(std::max(n, 0L))), "device");
        EXPECT_EQ(std::string(cBuffer, static_cast<std::size_t>(std::max<ssize_t>(cRead, 0))), "device");
    } else {
        EXPECT_FALSE(data);
        EXPECT_EQ(stream->streamStatus(), NSStreamStatusError);
        EXPECT_LT(cRead, 0) << host << " read " << cBuffer;
    }
}

TEST_P(DeviceLinkTest, WritingThroughDataStreamsAndCLibraries) {
    NSData::dataWithBytes("w", 1)->writeToFile(probe(), 0, nullptr);
    auto out = NSOutputStream::outputStreamToFileAtPath(probe(), true);
    out->open();
    if (out->hasSpaceAvailable()) out->write(reinterpret_cast<const std::uint8_t*>("s"), 1);
    out->close();
    std::string host = NSString::fileSystemRepresentation(probe());
    int fd = ::open(host.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        EXPECT_EQ(::write(fd, "c", 1), 1);
        ::close(fd);
    }
    NSData::dataWithBytes("a", 1)->writeToFile("/D/l/new.txt", NSDataWritingAtomic, nullptr);
    fm_->createFileAtPath("/D/l/created.txt", NSData::dataWithBytes("f", 1).get(), nullptr);
    fm_->createDirectoryAtPath("/D/l/made/deeper", true, nullptr, nullptr);
    EXPECT_EQ(readFile("/inside/secret.txt"), shape().reaches ? "wsc" : "device");
    EXPECT_EQ(readFile("/inside/new.txt"), shape().folder ? "a" : "");
    EXPECT_EQ(readFile("/inside/created.txt"), shape().folder ? "f" : "");
    EXPECT_EQ(fm_->fileExistsAtPath("/inside/made/deeper"), shape().folder);
}

TEST_P(DeviceLinkTest, RemovingMovingAndCopying) {
    NSErrorPtr error;
    EXPECT_EQ(fm_->copyItemAtPath(probe(), "/D/copy", &error), shape().reaches || probeIsLink());
    auto copy = fm_->contentsAtPath("/D/copy");
    EXPECT_EQ(copy ? copy->stringView() : "(none)", shape().reaches ? "device" : "(none)");
    fm_->copyItemAtPath("/D/other.txt", "/D/l/copied.txt", nullptr);
    fm_->moveItemAtPath("/D/other.txt", "/D/l/moved.txt", nullptr);
    fm_->linkItemAtPath("/D/copy", "/D/l/hard.txt", nullptr);
    fm_->createSymbolicLinkAtPath("/D/l/sym", "x", nullptr);
    NSFileAttributes privateMode;
    privateMode.posixPermissions = 0600;
    fm_->setAttributesOfItemAtPath(privateMode, probe(), nullptr);
    EXPECT_EQ(readFile("/inside/moved.txt"), shape().folder ? "other" : "");
    // Each removal takes what the path names inside the device, and nothing else.
    fm_->removeItemAtPath("/D/l/sub/inner.txt", nullptr);
    fm_->removeItemAtPath("/D/l/sub", nullptr);
    EXPECT_EQ(fm_->removeItemAtPath(probe(), &error), shape().reaches || probeIsLink());
    EXPECT_EQ(fm_->fileExistsAtPath("/inside/secret.txt"), !shape().folder);
    fm_->removeItemAtPath("/D/l", nullptr);
    EXPECT_TRUE(fm_->removeItemAtPath("/D", &error));
    EXPECT_TRUE(fm_->fileExistsAtPath("/inside"));
}

TEST_P(DeviceLinkTest, MovingTheLinkKeepsItALink) {
    NSErrorPtr error;
    ASSERT_TRUE(fm_->moveItemAtPath("/D/l", "/D/renamed", &error));
    EXPECT_EQ(fm_->attributesOfItemAtPath("/D/renamed", nullptr)->fileType, NSFileTypeSymbolicLink);
    ASSERT_TRUE(fm_->copyItemAtPath("/D/renamed", "/D/copied", &error));
    EXPECT_EQ(fm_->attributesOfItemAtPath("/D/copied", nullptr)->fileType, NSFileTypeSymbolicLink);
    EXPECT_EQ(fm_->destinationOfSymbolicLinkAtPath("/D/copied", nullptr), fm_->destinationOfSymbolicLinkAtPath("/D/renamed", nullptr));
}

std::vector<Param> params() {
    std::vector<Param> all;
    for (bool walk : {false, true}) {
        for (const auto& s : shapes()) all.push_back({s, walk});
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(Shapes, DeviceLinkTest, ::testing::ValuesIn(params()), [](const auto& info) {
    return std::string(info.param.shape.name) + (info.param.walk ? "_Walk" : "_Kernel");
});

} // namespace

namespace {

class HostPathTest : public DeviceTest {};

// The host path handed to C libraries holds no link but, at most, the item's own name, and that
// only where the host follows it as the device does.
TEST_F(HostPathTest, NamesWhatTheDevicePathReaches) {
    writeFile("/inside/secret.txt", "device");
    makeDirectory("/D");
    const std::vector<std::pair<std::string, std::string>> links = {
        {"rel", "../inside/secret.txt"}, {"abs", "/inside/secret.txt"}, {"up", kUp},         {"dangling", "/nowhere/x"},
        {"loop1", "/D/loop2"},           {"loop2", "/D/loop1"},         {"new", "/inside/new.txt"}, {"relUp", "rel/.."},
    };
    for (const auto& [name, target] : links) ASSERT_EQ(::symlink(target.c_str(), host("/D/" + name).c_str()), 0);
    const std::string root = deviceRoot();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/", root + "/"},
        {"/D/rel", root + "/D/rel"},
        {"/D/abs", root + "/inside/secret.txt"},
        {"/D/up/inside/secret.txt", root + "/inside/secret.txt"},
        {"/D/up/../../inside", root + "/inside"},
        {"/D/dangling", root + "/nowhere/x"},
        {"/D/loop1", ""},
        {"/D/loop1/x", ""},
        {"/D/new", root + "/inside/new.txt"},
        {"/missing/a/../b", root + "/missing/a/../b"},
        {"D/abs", root + "/inside/secret.txt"},
        {"/D/rel/more", root + "/inside/secret.txt/more"},
    };
    for (bool walk : {false, true}) {
        DeviceRoot::setComponentWalkForced(walk);
        for (const auto& [path, expected] : cases) EXPECT_EQ(NSString::fileSystemRepresentation(path), expected) << path;
    }
    DeviceRoot::setComponentWalkForced(false);
    // A C library creating a file through a dangling link creates it inside the device.
    int fd = ::open(NSString::fileSystemRepresentation("/D/new").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath("/inside/new.txt"));
    // With the root "/" the host path is the device path as it stands.
    DeviceRoot::setRoot("/");
    for (const char* path : {"/etc/../x", "relative/path", "/tmp/"}) EXPECT_EQ(NSString::fileSystemRepresentation(path), path);
}

// A library's caller that set no device is told so, and how to set one, wherever the failure is
// described; with a device set, the same error is the system's own text.
TEST_F(HostPathTest, WithoutADeviceTheErrorSaysHowToSetOne) {
    writeFile("/notes.txt", "notes");
    DeviceRoot::setRoot("");
    NSErrorPtr readError, writeError;
    EXPECT_FALSE(NSData::dataWithContentsOfFile("/notes.txt", &readError));
    EXPECT_FALSE(NSData::dataWithString("x")->writeToFile("/notes.txt", NSDataWritingAtomic, &writeError));
    NSErrorPtr folderError;
    EXPECT_FALSE(NSFileManager::defaultManager()->createDirectoryAtPath("/folder", true, nullptr, &folderError));
    for (const NSErrorPtr& error : {readError, writeError, folderError}) {
        ASSERT_TRUE(error);
        EXPECT_EQ(error->underlyingError()->code(), ENODEV);
        EXPECT_NE(error->localizedDescription().find("no device is set"), std::string::npos) << error->localizedDescription();
        EXPECT_NE(error->localizedDescription().find("DeviceRoot::setRoot"), std::string::npos) << error->localizedDescription();
    }
    EXPECT_NE(NSFileErrorText(ENODEV).find("TANDREL_DEVICE"), std::string::npos);
    DeviceRoot::setRoot(deviceRoot());
    EXPECT_EQ(NSFileErrorText(ENODEV), std::strerror(ENODEV));
    EXPECT_EQ(readFile("/notes.txt"), "notes");
}

TEST_F(HostPathTest, ALoopIsReportedAsOne) {
    makeDirectory("/D");
    ASSERT_EQ(::symlink("/D/b", host("/D/a").c_str()), 0);
    ASSERT_EQ(::symlink("/D/a", host("/D/b").c_str()), 0);
    for (bool walk : {false, true}) {
        DeviceRoot::setComponentWalkForced(walk);
        NSErrorPtr error;
        EXPECT_FALSE(NSData::dataWithContentsOfFile("/D/a/x", &error));
        EXPECT_EQ(error->underlyingError()->code(), ELOOP) << walk;
        EXPECT_FALSE(NSData::dataWithContentsOfFile("/D/a", &error));
        EXPECT_EQ(error->underlyingError()->code(), ELOOP) << walk;
        errno = 0;
        EXPECT_FALSE(DeviceRoot::open("/D/a", O_RDONLY));
        EXPECT_EQ(errno, ELOOP);
        // The link itself is still reached by the calls that act on it.
        EXPECT_TRUE(DeviceRoot::open("/D/a", O_PATH | O_NOFOLLOW));
        EXPECT_EQ(NSFileManager::defaultManager()->destinationOfSymbolicLinkAtPath("/D/a", nullptr), "/D/b");
    }
    DeviceRoot::setComponentWalkForced(false);
}

} // namespace
