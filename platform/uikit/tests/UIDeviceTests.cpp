#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSObjCRuntime.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/PropertyListStore.h"
#include "platform/uikit/UIDevice.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

namespace {

class UIDeviceTest : public DeviceTest {
protected:
    Value::Dictionary storedIdentifiers() {
        auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(UIDevice::vendorIdentifiersPath());
        return plist && plist->isDictionary() ? plist->dictionary() : Value::Dictionary{};
    }
};

// The vendor identifier is kept in the device: a relaunch (a new device object) finds the same
// one, another vendor's entry is left as it is, and a fresh device has a different one.
TEST_F(UIDeviceTest, TheVendorIdentifierIsKeptInTheDevice) {
    writeFile(UIDevice::vendorIdentifiersPath(), "");
    PropertyListStore(UIDevice::vendorIdentifiersPath()).update([](Value::Dictionary& d) {
        d["com.othervendor"] = "00000000-0000-4000-8000-000000000001";
        return true;
    });
    auto first = UIDevice::currentDevice()->identifierForVendor();
    ASSERT_TRUE(first);
    EXPECT_EQ(first, UIDevice::currentDevice()->identifierForVendor());
    EXPECT_EQ(first->UUIDString().size(), 36u);
    EXPECT_EQ(storedIdentifiers(), (Value::Dictionary{{"org.harborstack", first->UUIDString()},
                                                      {"com.othervendor", "00000000-0000-4000-8000-000000000001"}}));

    auto relaunched = std::make_shared<UIDevice>()->identifierForVendor();
    ASSERT_TRUE(relaunched);
    EXPECT_EQ(relaunched->UUIDString(), first->UUIDString());

    TemporaryFolder otherDevice;
    DeviceRoot::setRoot(otherDevice.path());
    auto fresh = std::make_shared<UIDevice>()->identifierForVendor();
    DeviceRoot::setRoot(deviceRoot());
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh->UUIDString(), first->UUIDString());
}

TEST_F(UIDeviceTest, NoVendorIdentifierWhileItCannotBeKept) {
    makeDirectory(UIDevice::vendorIdentifiersPath());
    EXPECT_FALSE(std::make_shared<UIDevice>()->identifierForVendor());
}

TEST_F(UIDeviceTest, TheDeviceAndItsIdentifierAnswerByName) {
    Class device = NSClassFromString("UIDevice");
    Value current = NSObjectPerformSelector(device, "currentDevice");
    ASSERT_TRUE(current.isObject());
    EXPECT_EQ(current.object(), UIDevice::currentDevice());
    ASSERT_TRUE(NSObjectRespondsToSelector(current.object(), "identifierForVendor"));
    Value identifier = NSObjectPerformSelector(current.object(), "identifierForVendor");
    ASSERT_TRUE(identifier.isObject());
    EXPECT_EQ(NSObjectPerformSelector(identifier.object(), "UUIDString"), Value(UIDevice::currentDevice()->identifierForVendor()->UUIDString()));
}

TEST(NSUUIDTest, TextFormsAreReadAndWritten) {
    auto parsed = NSUUID::initWithUUIDString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->UUIDString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_TRUE(parsed->isEqual(NSUUID::initWithUUIDString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F").get()));
    for (const char* bad : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5", "G621E1F8-C36C-495A-93FC-0C247A3E6E5F",
                            "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0", "E621E1F8+C36C-495A-93FC-0C247A3E6E5F"}) {
        EXPECT_FALSE(NSUUID::initWithUUIDString(bad)) << bad;
    }
    NSUUID a, b;
    EXPECT_NE(a.UUIDString(), b.UUIDString());
    EXPECT_EQ(a.UUIDString()[14], '4');
    EXPECT_TRUE(NSUUID::initWithUUIDString(a.UUIDString())->isEqual(&a));
}

} // namespace
