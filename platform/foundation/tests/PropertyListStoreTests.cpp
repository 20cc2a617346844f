#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/PropertyListStore.h"
#include "platform/foundation/StoreFile.h"
#include "platform/foundation/tests/BinaryPropertyListBytes.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PropertyListStoreTest : public DeviceTest {};

const std::string kStorePath = "/var/mobile/Library/Preferences/store.plist";

using binary_plist::bigEndian;
using binary_plist::bplist;

// A dictionary whose only value is a UTF-16 string holding U+0000.
std::string listWithNulInString() {
    const char utf16[] = {'\x63', 0, 'a', 0, 0, 0, 'b'};
    return bplist({"\xD1\x01\x02", "\x51k", std::string(utf16, sizeof utf16)});
}

std::string listNestedDeep(std::size_t depth) {
    std::vector<std::string> objects;
    for (std::size_t i = 0; i < depth; ++i) objects.push_back("\xA1" + bigEndian(i + 1, 2));
    objects.push_back("\xA0");
    return bplist(objects, 0, 2);
}

TEST_F(PropertyListStoreTest, HostileFilesAreMovedAsideAndTheStoreGoesOn) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string deepXML = "<plist>";
    for (int i = 0; i < 30000; ++i) deepXML += "<array>";
    const Case cases[] = {
        {"U+0000 in a UTF-16 string", listWithNulInString()},
        {"binary list nested 30,000 deep", listNestedDeep(30000)},
        {"XML nested 30,000 deep", deepXML},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(kStorePath, c.bytes);
        log_->clear();
        PropertyListStore store(kStorePath, NSPropertyListBinaryFormat_v1_0);
        EXPECT_TRUE(store.read().empty());
        EXPECT_EQ(readFile(kStorePath + ".corrupt"), c.bytes);
        EXPECT_TRUE(log_->contains("is not a property list of a dictionary; moved to " + kStorePath + ".corrupt"));
        ASSERT_TRUE(store.update([](Value::Dictionary& d) {
            d["after"] = "kept";
            return true;
        }));
        EXPECT_EQ(Value(store.read())["after"].stringValue(), "kept");
        ::unlink(host(kStorePath).c_str());
    }
}

// A store file far larger than any store (a sparse file of 8 GB costs no disk) is refused by its
// size, never read: it is set aside as damaged, with a log line, and the store goes on; a keyed
// archive of that size reads as nothing.
TEST_F(PropertyListStoreTest, AHugeFileIsSetAsideUnreadAndTheStoreGoesOn) {
    constexpr off_t kHuge = 8LL << 30;
    writeFile(kStorePath, "");
    ASSERT_EQ(::truncate(host(kStorePath).c_str(), kHuge), 0);
    log_->clear();
    PropertyListStore store(kStorePath, NSPropertyListBinaryFormat_v1_0);
    EXPECT_TRUE(store.read().empty());
    struct stat aside{};
    ASSERT_EQ(::stat(host(kStorePath + ".corrupt").c_str(), &aside), 0);
    EXPECT_EQ(aside.st_size, kHuge);
    EXPECT_TRUE(log_->contains(kStorePath + " is too large for a store; moved to " + kStorePath + ".corrupt"));
    ASSERT_TRUE(store.update([](Value::Dictionary& d) {
        d["after"] = "kept";
        return true;
    }));
    EXPECT_EQ(Value(store.read())["after"].stringValue(), "kept");

    writeFile("/var/mobile/archive.info", "");
    ASSERT_EQ(::truncate(host("/var/mobile/archive.info").c_str(), kHuge), 0);
    EXPECT_TRUE(NSKeyedUnarchiver::unarchiveObjectWithFile("/var/mobile/archive.info").isNull());
    EXPECT_TRUE(log_->contains("/var/mobile/archive.info is too large for an archive; ignored"));
    NSErrorPtr error;
    EXPECT_FALSE(NSDataWithContentsOfStoreFile("/var/mobile/archive.info", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSFileReadTooLargeError);
}

// A change that meets an empty file, or one that is set aside as damaged, is written.
TEST_F(PropertyListStoreTest, AChangeIsWrittenOverAnEmptyOrSetAsideFile) {
    for (const std::string& bytes : {std::string(), std::string("not a property list"), listWithNulInString()}) {
        SCOPED_TRACE(bytes);
        writeFile(kStorePath, bytes);
        PropertyListStore store(kStorePath, NSPropertyListBinaryFormat_v1_0);
        EXPECT_TRUE(store.update([](Value::Dictionary& d) {
            d["k"] = "v";
            return true;
        }));
        EXPECT_EQ(store.read(), (Value::Dictionary{{"k", "v"}}));
        if (!bytes.empty()) {
            EXPECT_EQ(readFile(kStorePath + ".corrupt"), bytes);
        }
    }
}

// A FIFO, or anything else that is not a regular file, is refused at once: nothing waits for a
// writer. The reads run in a child with an alarm, so that a hang fails the test instead.
TEST_F(PropertyListStoreTest, FilesThatAreNotRegularAreRefusedWithoutWaiting) {
    constexpr unsigned kWatchdogSeconds = 30;
    ASSERT_EQ(::mkfifo(host(kStorePath).c_str(), 0644), 0);
    makeDirectory("/tmp/folder.archive");
    ASSERT_EQ(::mkfifo(host("/tmp/fifo.archive").c_str(), 0644), 0);
    int status = runInChildProcess([&] {
        ::alarm(kWatchdogSeconds);
        PropertyListStore store(kStorePath, NSPropertyListBinaryFormat_v1_0);
        NSErrorPtr error;
        if (store.contents(&error) || !error || error->code() != NSFileReadUnknownError) return 1;
        if (!store.read().empty()) return 2;
        if (store.update([](Value::Dictionary& d) {
                d["k"] = 1;
                return true;
            }))
            return 3;
        if (NSPropertyListSerialization::propertyListWithContentsOfFile(kStorePath)) return 4;
        for (const char* path : {"/tmp/fifo.archive", "/tmp/folder.archive"}) {
            if (!NSKeyedUnarchiver::unarchiveObjectWithFile(path).isNull()) return 5;
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
    struct stat st{};
    ASSERT_EQ(::lstat(host(kStorePath).c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO is neither replaced nor moved";
}

TEST_F(PropertyListStoreTest, AStoreThatCannotBeReadIsNeverOverwritten) {
    const std::string path = "/var/mobile/Library/Preferences/store.plist";
    PropertyListStore store(path, NSPropertyListBinaryFormat_v1_0);
    ASSERT_TRUE(store.update([](Value::Dictionary& d) {
        d["kept"] = "value";
        return true;
    }));
    const std::string before = readFile(path);
    ASSERT_EQ(::chmod(host(path).c_str(), 0), 0);

    // Without root's override the file cannot be read; the change must fail, not replace it.
    int status = runInChildProcess(
        [&] {
            PropertyListStore child(path, NSPropertyListBinaryFormat_v1_0);
            NSErrorPtr error;
            bool written = child.update(
                [](Value::Dictionary& d) {
                    d["other"] = 1;
                    return true;
                },
                &error);
            if (written) return 1;
            if (!error || error->code() != NSFileReadNoPermissionError) return 2;
            return 0;
        },
        true);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(::chmod(host(path).c_str(), 0644), 0);
    EXPECT_EQ(readFile(path), before);
    Value::Dictionary contents = store.read();
    EXPECT_EQ(Value(contents)["kept"].stringValue(), "value");
    EXPECT_EQ(contents.count("other"), 0u);
}

} // namespace
