#include "platform/foundation/NSFileHandle.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <fcntl.h>

class NSFileHandleTest : public DeviceTest {};

TEST_F(NSFileHandleTest, WritesAppendSynchronizeAndCloseOnceOpened) {
    auto files = NSFileManager::defaultManager();
    EXPECT_FALSE(NSFileHandle::fileHandleForWritingAtPath("/tmp/missing")); // not created by the handle
    ASSERT_TRUE(files->createFileAtPath("/tmp/out", nullptr, nullptr));
    auto handle = NSFileHandle::fileHandleForWritingAtPath("/tmp/out");
    ASSERT_TRUE(handle);
    handle->writeData(*NSData::dataWithString("first "));
    handle->writeData(*NSData::dataWithString("second"));
    EXPECT_EQ(handle->offsetInFile(), 12u);
    handle->synchronizeFile();
    handle->closeFile();
    handle->closeFile(); // closing twice is harmless
    EXPECT_EQ(readFile("/tmp/out"), "first second");
    EXPECT_THROW(handle->writeData(*NSData::dataWithString("late")), NSException);

    auto reader = NSFileHandle::fileHandleForReadingAtPath("/tmp/out");
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->readDataToEndOfFile()->stringView(), "first second");
}

TEST_F(NSFileHandleTest, RefusedWriteRaisesTheOperationException) {
    auto handle = NSFileHandle::fileHandleForWritingAtPath("/dev/full");
    if (!handle) {
        // A device root has no /dev of its own: use the host's through a handle on its descriptor.
        handle = std::make_shared<NSFileHandle>(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    }
    ASSERT_GE(handle->fileDescriptor(), 0);
    try {
        handle->writeData(*NSData::dataWithString("x"));
        FAIL() << "the write to a full device succeeded";
    } catch (const NSException& exception) {
        EXPECT_EQ(exception.name(), NSFileHandleOperationException);
    }
}

TEST_F(NSFileHandleTest, FreeSpaceOfTheDeviceCanBeSet) {
    auto files = NSFileManager::defaultManager();
    auto real = files->attributesOfFileSystemForPath("/", nullptr);
    ASSERT_TRUE(real);
    DeviceRoot::setFreeSpaceOverride(1234);
    auto full = files->attributesOfFileSystemForPath("/", nullptr);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->systemFreeSize, 1234u);
    EXPECT_EQ(full->systemSize, real->systemSize);
    DeviceRoot::setFreeSpaceOverride(std::nullopt);
    EXPECT_GT(files->attributesOfFileSystemForPath("/", nullptr)->systemFreeSize, 1234u);
}
