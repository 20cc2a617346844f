#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace {

class VuderuUtilStorageTest : public DeviceTest {
protected:
    void TearDown() override {
        VuderuGlobalVariableStorage::cleanup();
        VuderuUtil::setShowErrorInLogEnabled(false);
        VuderuUtil::setLogLevel(1);
        DeviceTest::TearDown();
    }
};

// Work a test leaves running (a save behind, a queue that drains late) meets no device once the
// test has ended, and none before a device is set: it can create nothing on the host.
TEST(VuderuWithoutDeviceTest, WorkAfterItsDeviceIsGoneCreatesNothingOnTheHost) {
    const std::string hostFolder = "/var/mobile/Library/Application Support/VuderuFiles";
    struct stat st {};
    const bool hostHadIt = ::stat(hostFolder.c_str(), &st) == 0;
    for (const char* when : {"before a device is set", "after the test's device is gone"}) {
        SCOPED_TRACE(when);
        if (std::string(when).starts_with("after")) {
            TemporaryFolder device;
            DeviceRoot::setRoot(device.path());
            EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath(VuderuUtil::filePathDirectory()));
            DeviceRoot::setRoot("");
        }
        std::string directory = VuderuUtil::filePathDirectory();
        EXPECT_EQ(DeviceRoot::hostPath(directory), "");
        EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(directory));
        errno = 0;
        EXPECT_FALSE(NSData::dataWithBytes("x", 1)->writeToFile(directory + "/late.archive", true));
        EXPECT_FALSE(NSFileManager::defaultManager()->createDirectoryAtPath("/var/mobile/Library/Late", true, nullptr, nullptr));
        if (!hostHadIt) {
            EXPECT_NE(::stat(hostFolder.c_str(), &st), 0);
        }
    }
}

TEST_F(VuderuUtilStorageTest, TheDataDirectoryIsMadeInApplicationSupport) {
    std::string directory = VuderuUtil::filePathDirectory();
    EXPECT_EQ(directory, "/var/mobile/Library/Application Support/VuderuFiles");
    bool isDirectory = false;
    EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath(directory, &isDirectory));
    EXPECT_TRUE(isDirectory);
    char value = 0;
    if (::getxattr(host(directory).c_str(), "user.com.apple.MobileBackup", &value, 1) == 1) {
        EXPECT_EQ(value, 1);
    }
    EXPECT_EQ(VuderuUtil::oldFilePathDirectoryUptilAgentVersion109(), "/var/mobile/Library/VuderuFiles");
    EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath("/var/mobile/Library/VuderuFiles"));
    EXPECT_FALSE(VuderuUtil::addSkipBackupAttributeToItemAtURL(NSURL::fileURLWithPath("/no/such/file")));
}

TEST_F(VuderuUtilStorageTest, ADamagedArchiveIsDeletedAndReported) {
    VuderuUtil::setShowErrorInLogEnabled(true);
    VuderuUtil::setLogLevel(2);
    writeFile("/tmp/damaged.archive", "TDKA\x01\x09");
    EXPECT_TRUE(VuderuUtil::safeUnarchiveObjectWithFile("/tmp/damaged.archive").isNull());
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath("/tmp/damaged.archive"));
    EXPECT_TRUE(log_->contains("Vuderu: Caught Exception in Vuderu Analytics Code"));
    EXPECT_TRUE(log_->contains("Vuderu: Name:NSInvalidUnarchiveOperationException"));
    EXPECT_TRUE(VuderuUtil::safeUnarchiveObjectWithFile("").isNull());
    EXPECT_TRUE(VuderuUtil::safeUnarchiveObjectWithFile("/tmp/missing.archive").isNull());
    NSKeyedArchiver::archiveRootObjectToFile(Value("kept"), "/tmp/good.archive");
    EXPECT_EQ(VuderuUtil::safeUnarchiveObjectWithFile("/tmp/good.archive"), Value("kept"));
}

// An archive too large to rebuild in the memory there is goes like a damaged one.
TEST_F(VuderuUtilStorageTest, AnArchiveThatRunsOutOfMemoryIsDeletedLikeADamagedOne) {
    if (!addressSpaceCanBeLimited()) GTEST_SKIP() << "the address space cannot be limited under this sanitizer";
    constexpr std::uint32_t kElements = 8 << 20;
    constexpr std::size_t kAllowance = 128 << 20;
    std::string archive = "TDKA\x01\x08";
    for (int shift = 24; shift >= 0; shift -= 8) archive += static_cast<char>((kElements >> shift) & 0xFF);
    archive.append(kElements, '\0');
    writeFile("/tmp/huge.archive", archive);
    int status = runInChildProcess([] {
        if (!limitAddressSpace(kAllowance)) return 3;
        VuderuUtil::setShowErrorInLogEnabled(true);
        VuderuUtil::setLogLevel(2);
        if (!VuderuUtil::safeUnarchiveObjectWithFile("/tmp/huge.archive").isNull()) return 1;
        return NSFileManager::defaultManager()->fileExistsAtPath("/tmp/huge.archive") ? 2 : 0;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(VuderuUtilStorageTest, TheVendorIdentifierIsTheDevices) {
    auto identifier = UIDevice::currentDevice()->identifierForVendor();
    ASSERT_TRUE(identifier);
    EXPECT_EQ(VuderuUtil::getIdentifierForVendor(), identifier->UUIDString());
}

TEST_F(VuderuUtilStorageTest, DiskFiguresComeFromTheDocumentsFileSystem) {
    // With its Documents folder, and on a device that has none yet (the nearest folder answers).
    for (bool withDocuments : {true, false}) {
        SCOPED_TRACE(withDocuments);
        auto documents = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true).back();
        if (!withDocuments) NSFileManager::defaultManager()->removeItemAtPath(NSString::stringByDeletingLastPathComponent(documents), nullptr);
        std::uint64_t size = VuderuUtil::getDiskSize();
        std::uint64_t free = VuderuUtil::getFreeDiskspace();
        EXPECT_GT(size, 0u);
        EXPECT_GT(free, 0u);
        EXPECT_LE(free, size);
    }
}

TEST_F(VuderuUtilStorageTest, TheMacAddressIsUsedOnlyWhenAllowed) {
    auto mac = VuderuUtil::MACString();
    auto uid = VuderuUtil::getMACUID();
    if (mac) {
        EXPECT_EQ(mac->size(), 17u);
        ASSERT_TRUE(uid);
        EXPECT_EQ(uid->vector(), VuderuUtil::hashData(*NSData::dataWithString(*mac))->vector());
    } else {
        EXPECT_EQ(uid, nullptr);
    }
    VuderuGlobalVariableStorage::sharedInstance()->setMacAddressEnabled(false);
    EXPECT_EQ(VuderuUtil::MACString(), std::nullopt);
    EXPECT_EQ(VuderuUtil::getMACUID(), nullptr);
}

} // namespace
