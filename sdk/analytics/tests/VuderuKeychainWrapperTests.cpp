#include "platform/security/SecItem.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/VuderuKeychainWrapper.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

class VuderuKeychainWrapperTest : public DeviceTest {};

std::size_t itemsOfService(const std::string& service) {
    Value result;
    OSStatus status = SecItemCopyMatching({{kSecClass, Value(kSecClassGenericPassword)},
                                           {kSecAttrService, Value(service)},
                                           {kSecMatchLimit, Value(kSecMatchLimitAll)},
                                           {kSecReturnAttributes, Value(true)}},
                                          &result);
    return status == errSecSuccess ? result.count() : 0;
}

TEST_F(VuderuKeychainWrapperTest, TheServiceIsTheBundleIdentifierAndTheGivenOne) {
    EXPECT_EQ(VuderuKeychainWrapper::keychainWrapperWithIdentifier(""), nullptr);
    auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier("com.vuderu.analytics");
    ASSERT_TRUE(keychain);
    EXPECT_EQ(keychain->identifier(), "org.harborstack.tandrelcom.vuderu.analytics");
    Value::Dictionary query = keychain->setupSearchForKey("K");
    EXPECT_EQ(query[kSecAttrAccount], Value(Value::Data{'K'}));
    EXPECT_EQ(query[kSecAttrGeneric], Value(Value::Data{'K'}));
    EXPECT_EQ(keychain->setupSearchForKey("").count(kSecAttrAccount), 0u);
}

TEST_F(VuderuKeychainWrapperTest, ValuesAreReplacedAndSurviveANewWrapper) {
    auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier("com.vuderu.analytics");
    EXPECT_EQ(keychain->dataForKey("K"), nullptr);
    EXPECT_TRUE(keychain->setStringForKey("first", "K"));
    EXPECT_TRUE(keychain->setStringForKey("second", "K"));
    EXPECT_EQ(itemsOfService(keychain->identifier()), 1u);
    EXPECT_TRUE(keychain->setObjectForKey(Value(Value::Dictionary{{"n", 3}}), "O"));
    EXPECT_FALSE(keychain->setObjectForKey(Value(), "O"));
    EXPECT_FALSE(keychain->setDataForKey(NSData::dataWithString("x"), ""));
    EXPECT_FALSE(keychain->setDataForKey(nullptr, "K"));

    auto again = VuderuKeychainWrapper::keychainWrapperWithIdentifier("com.vuderu.analytics");
    EXPECT_EQ(again->stringForKey("K"), "second");
    EXPECT_EQ(again->objectForKey("O")["n"], Value(3));
    // An item that holds no archive reads as no object.
    EXPECT_TRUE(again->objectForKey("K").isNull());
    // Bytes that are not UTF-8 are no string.
    EXPECT_TRUE(again->setDataForKey(NSData::dataWithBytes("\xC3\x28\xFF", 3), "B"));
    EXPECT_EQ(again->stringForKey("B"), std::nullopt);
    EXPECT_EQ(again->dataForKey("B")->length(), 3u);
    again->removeObjectForKey("B");
    // Another service does not see them.
    EXPECT_EQ(VuderuKeychainWrapper::keychainWrapperWithIdentifier("other")->dataForKey("K"), nullptr);

    again->removeObjectForKey("K");
    EXPECT_EQ(again->stringForKey("K"), std::nullopt);
    EXPECT_TRUE(again->setStringForKey("x", "K"));
    EXPECT_EQ(itemsOfService(again->identifier()), 2u);
}

// A query without a key reaches every item of the service, so an empty key names no item: it
// reads nothing, updates nothing and removes nothing.
TEST_F(VuderuKeychainWrapperTest, AnItemOperationReachesOnlyItsOwnKey) {
    auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier("com.vuderu.analytics");
    const struct {
        const char* key;
        std::optional<std::string> read;
        bool updated;
        std::size_t itemsLeft;
    } cases[] = {
        {"", std::nullopt, false, 2},
        {"missing", std::nullopt, false, 2},
        {"A", "a", true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        ASSERT_TRUE(keychain->setStringForKey("a", "A"));
        ASSERT_TRUE(keychain->setStringForKey("b", "B"));
        EXPECT_EQ(keychain->stringForKey(c.key), c.read);
        EXPECT_EQ(keychain->updateValueDataForKey(NSData::dataWithString("new"), c.key), c.updated);
        keychain->removeObjectForKey(c.key);
        EXPECT_EQ(itemsOfService(keychain->identifier()), c.itemsLeft);
        EXPECT_EQ(keychain->stringForKey("B"), "b") << "another key's item is untouched";
    }
}

TEST_F(VuderuKeychainWrapperTest, TheOptOutChoiceIsKeptAcrossLaunches) {
    EXPECT_FALSE(VuderuUtil::hasUserOptedOut());
    VuderuUtil::setVuderuOptOut(true);
    EXPECT_TRUE(VuderuUtil::hasUserOptedOut());
    VuderuUtil::setVuderuOptOut(false);
    EXPECT_FALSE(VuderuUtil::hasUserOptedOut());
    VuderuUtil::setVuderuOptOut(true);
    auto keychain = VuderuKeychainWrapper::keychainWrapperWithIdentifier("com.vuderu.analytics");
    EXPECT_EQ(keychain->objectForKey("VuderuUserOptOut"), Value(true));

    keychain->setStringForKey("old identifier", "VuderuDataKey");
    VuderuUtil::cleanupStoredIdentifierForVendor();
    EXPECT_EQ(keychain->dataForKey("VuderuDataKey"), nullptr);
    EXPECT_TRUE(VuderuUtil::hasUserOptedOut());
}

} // namespace
