#include "platform/foundation/PropertyListStore.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class PropertyListStoreTest : public DeviceTest {};

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
