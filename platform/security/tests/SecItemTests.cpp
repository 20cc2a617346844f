#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/security/SecItem.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

Value bytes(const std::string& s) { return Value(Value::Data(s.begin(), s.end())); }

Value::Dictionary generic(const std::string& service, const std::string& account) {
    Value::Dictionary q{{kSecClass, kSecClassGenericPassword}};
    if (!service.empty()) q[kSecAttrService] = service;
    if (!account.empty()) q[kSecAttrAccount] = account;
    return q;
}

Value::Dictionary with(Value::Dictionary d, const Value::Dictionary& more) {
    for (const auto& [k, v] : more) d[k] = v;
    return d;
}

class SecItemTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        PlatformClock::setManual(1400000000);
        for (const auto& [service, account, secret] : {std::tuple{"A", "1", "a1"}, {"A", "2", "a2"}, {"B", "1", "b1"}}) {
            ASSERT_EQ(SecItemAdd(with(generic(service, account), {{kSecValueData, bytes(secret)}}), nullptr), errSecSuccess);
        }
        ASSERT_EQ(SecItemAdd({{kSecClass, kSecClassInternetPassword},
                              {kSecAttrServer, "example.com"},
                              {kSecAttrAccount, "1"},
                              {kSecValueData, bytes("web")}},
                             nullptr),
                  errSecSuccess);
    }

    // The secret of the item of a service and account, or the status as text.
    std::string secret(const std::string& service, const std::string& account) {
        Value result;
        OSStatus status = SecItemCopyMatching(with(generic(service, account), {{kSecReturnData, true}}), &result);
        if (status != errSecSuccess) return "status " + std::to_string(status);
        return std::string(result.data().begin(), result.data().end());
    }
};

TEST_F(SecItemTest, QueryRules) {
    struct Case {
        const char* name;
        Value::Dictionary query;
        OSStatus status;
        Value result;
    };
    Value::Dictionary a2 = {{kSecAttrService, "A"}, {kSecAttrAccount, "2"}, {kSecAttrAccessible, kSecAttrAccessibleWhenUnlocked},
                            {kSecAttrCreationDate, Value(Value::Date{1400000000})},
                            {kSecAttrModificationDate, Value(Value::Date{1400000000})}};
    const Case cases[] = {
        {"one item's data", with(generic("A", "1"), {{kSecReturnData, true}}), errSecSuccess, bytes("a1")},
        {"left-out account matches all, limit all", with(generic("A", ""), {{kSecReturnData, true}, {kSecMatchLimit, kSecMatchLimitAll}}),
         errSecSuccess, Value::Array{bytes("a1"), bytes("a2")}},
        {"left-out account, limit one", with(generic("A", ""), {{kSecReturnData, true}, {kSecMatchLimit, kSecMatchLimitOne}}),
         errSecSuccess, bytes("a1")},
        {"numeric limit gives an array", with(generic("", "1"), {{kSecReturnData, true}, {kSecMatchLimit, 1}}), errSecSuccess,
         Value::Array{bytes("a1")}},
        {"attributes only", with(generic("A", "2"), {{kSecReturnAttributes, true}}), errSecSuccess, a2},
        {"data and attributes", with(generic("A", "2"), {{kSecReturnAttributes, true}, {kSecReturnData, true}}), errSecSuccess,
         with(a2, {{kSecValueData, bytes("a2")}})},
        {"account as UTF-8 data", with(generic("B", ""), {{kSecAttrAccount, bytes("1")}, {kSecReturnData, true}}), errSecSuccess,
         bytes("b1")},
        {"internet class apart", {{kSecClass, kSecClassInternetPassword}, {kSecAttrAccount, "1"}, {kSecReturnData, true}},
         errSecSuccess, bytes("web")},
        {"no return flags", generic("A", ""), errSecSuccess, Value()},
        {"not found", with(generic("C", ""), {{kSecReturnData, true}}), errSecItemNotFound, Value()},
        {"attribute nobody has", with(generic("A", "1"), {{kSecAttrLabel, "x"}}), errSecItemNotFound, Value()},
        {"no class", {{kSecAttrService, "A"}, {kSecReturnData, true}}, errSecParam, Value()},
        {"class of wrong type", {{kSecClass, 5}}, errSecParam, Value()},
        {"unknown class", {{kSecClass, "nope"}}, errSecNoSuchClass, Value()},
        {"attribute of wrong type", with(generic("", ""), {{kSecAttrService, Value::Array{"A"}}}), errSecParam, Value()},
        {"null attribute", with(generic("", ""), {{kSecAttrAccount, Value()}}), errSecParam, Value()},
        {"bad match limit", with(generic("A", ""), {{kSecMatchLimit, "bogus"}}), errSecParam, Value()},
        {"zero match limit", with(generic("A", ""), {{kSecMatchLimit, 0}}), errSecParam, Value()},
        {"return flag not a boolean", with(generic("A", ""), {{kSecReturnData, "yes"}}), errSecParam, Value()},
    };
    for (const auto& c : cases) {
        Value result("untouched");
        EXPECT_EQ(SecItemCopyMatching(c.query, &result), c.status) << c.name;
        if (c.status == errSecSuccess) {
            EXPECT_EQ(result, c.result) << c.name << ": " << result.description();
        }
    }
    Value all;
    ASSERT_EQ(SecItemCopyMatching({{kSecClass, kSecClassGenericPassword}, {kSecReturnAttributes, true}, {kSecMatchLimit, kSecMatchLimitAll}},
                                  &all),
              errSecSuccess);
    EXPECT_EQ(all.count(), 3u);
    EXPECT_EQ(SecItemCopyMatching(generic("A", "1"), nullptr), errSecSuccess);
}

TEST_F(SecItemTest, DuplicatesAreRefusedByServiceAndAccount) {
    struct Case {
        const char* name;
        Value::Dictionary item;
        OSStatus status;
    };
    const Case cases[] = {
        {"same service and account", with(generic("A", "1"), {{kSecValueData, bytes("other")}}), errSecDuplicateItem},
        {"account given as data", with(generic("A", ""), {{kSecAttrAccount, bytes("1")}}), errSecDuplicateItem},
        {"other attributes do not count", with(generic("A", "2"), {{kSecAttrLabel, "label"}}), errSecDuplicateItem},
        {"no account, first", generic("A", ""), errSecSuccess},
        {"no account, again", generic("A", ""), errSecDuplicateItem},
        {"empty account is no account", with(generic("A", ""), {{kSecAttrAccount, ""}}), errSecDuplicateItem},
        {"other class", {{kSecClass, kSecClassInternetPassword}, {kSecAttrService, "A"}, {kSecAttrAccount, "2"}}, errSecSuccess},
        {"data of wrong type", with(generic("Z", "1"), {{kSecValueData, "text"}}), errSecParam},
        {"unknown accessibility", with(generic("Z", "1"), {{kSecAttrAccessible, "sometimes"}}), errSecParam},
        {"no class", {{kSecAttrService, "Z"}}, errSecParam},
    };
    for (const auto& c : cases) EXPECT_EQ(SecItemAdd(c.item, nullptr), c.status) << c.name;
    EXPECT_EQ(secret("A", "1"), "a1");
}

TEST_F(SecItemTest, AddStoresAccessibilityAndReturnsTheNewItem) {
    Value result;
    ASSERT_EQ(SecItemAdd(with(generic("C", "1"), {{kSecValueData, bytes("c1")},
                                                 {kSecAttrAccessible, kSecAttrAccessibleAfterFirstUnlock},
                                                 {kSecAttrGeneric, bytes("g")},
                                                 {kSecReturnAttributes, true}}),
                         &result),
              errSecSuccess);
    EXPECT_EQ(result[kSecAttrAccessible].string(), "ck");
    EXPECT_EQ(result[kSecAttrGeneric], bytes("g"));
    Value found;
    ASSERT_EQ(SecItemCopyMatching(with(generic("C", "1"), {{kSecReturnAttributes, true}}), &found), errSecSuccess);
    EXPECT_EQ(found, result);
    ASSERT_EQ(SecItemCopyMatching(with(generic("A", "1"), {{kSecReturnAttributes, true}}), &found), errSecSuccess);
    EXPECT_EQ(found[kSecAttrAccessible].string(), kSecAttrAccessibleWhenUnlocked);
}

TEST_F(SecItemTest, UpdateChangesEveryMatchAndKeepsKeysUnique) {
    PlatformClock::advance(60);
    ASSERT_EQ(SecItemUpdate(generic("A", "1"), {{kSecValueData, bytes("new")}}), errSecSuccess);
    EXPECT_EQ(secret("A", "1"), "new");
    Value attributes;
    ASSERT_EQ(SecItemCopyMatching(with(generic("A", "1"), {{kSecReturnAttributes, true}}), &attributes), errSecSuccess);
    EXPECT_DOUBLE_EQ(attributes[kSecAttrModificationDate].date().secondsSince1970, 1400000060);
    EXPECT_DOUBLE_EQ(attributes[kSecAttrCreationDate].date().secondsSince1970, 1400000000);

    ASSERT_EQ(SecItemUpdate(generic("A", ""), {{kSecAttrLabel, "both"}}), errSecSuccess);
    Value labelled;
    ASSERT_EQ(SecItemCopyMatching(with(generic("", ""), {{kSecAttrLabel, "both"}, {kSecReturnData, true}, {kSecMatchLimit, kSecMatchLimitAll}}),
                                  &labelled),
              errSecSuccess);
    EXPECT_EQ(labelled.count(), 2u);

    struct Case {
        const char* name;
        Value::Dictionary query, change;
        OSStatus status;
    };
    const Case cases[] = {
        {"nothing matches", generic("C", ""), {{kSecValueData, bytes("x")}}, errSecItemNotFound},
        {"would duplicate another item", generic("A", "2"), {{kSecAttrAccount, "1"}}, errSecDuplicateItem},
        {"would merge two matches", generic("A", ""), {{kSecAttrAccount, "9"}}, errSecDuplicateItem},
        {"class in the change", generic("A", "1"), {{kSecClass, kSecClassGenericPassword}}, errSecParam},
        {"empty change", generic("A", "1"), {}, errSecParam},
        {"return flag in the change", generic("A", "1"), {{kSecReturnData, true}}, errSecParam},
        {"query without class", {{kSecAttrService, "A"}}, {{kSecAttrLabel, "x"}}, errSecParam},
    };
    for (const auto& c : cases) EXPECT_EQ(SecItemUpdate(c.query, c.change), c.status) << c.name;
    EXPECT_EQ(secret("A", "2"), "a2");
    EXPECT_EQ(secret("A", "1"), "new");
}

TEST_F(SecItemTest, DeleteRemovesEveryMatch) {
    EXPECT_EQ(SecItemDelete({{kSecAttrService, "A"}}), errSecParam);
    ASSERT_EQ(SecItemDelete(generic("A", "")), errSecSuccess);
    EXPECT_EQ(secret("A", "1"), "status -25300");
    EXPECT_EQ(secret("A", "2"), "status -25300");
    EXPECT_EQ(secret("B", "1"), "b1");
    EXPECT_EQ(SecItemDelete(generic("A", "")), errSecItemNotFound);
    ASSERT_EQ(SecItemDelete({{kSecClass, kSecClassInternetPassword}}), errSecSuccess);
    EXPECT_EQ(secret("B", "1"), "b1");
}

TEST_F(SecItemTest, AnotherProcessSeesTheStore) {
    auto stored = NSPropertyListSerialization::propertyListWithContentsOfFile(SecKeychainStorePath);
    ASSERT_TRUE(stored);
    ASSERT_EQ(runInChildProcess([&] {
                  bool ok = SecItemAdd(with(generic("child", "1"), {{kSecValueData, bytes("from child")}}), nullptr) == errSecSuccess &&
                            SecItemDelete(generic("B", "1")) == errSecSuccess;
                  return ok ? 0 : 1;
              }),
              0);
    EXPECT_EQ(secret("child", "1"), "from child");
    EXPECT_EQ(secret("B", "1"), "status -25300");
    EXPECT_EQ(secret("A", "1"), "a1");
}

TEST_F(SecItemTest, ACorruptStoreIsSetAsideAndStartsEmpty) {
    writeFile(SecKeychainStorePath, "garbage");
    EXPECT_EQ(secret("A", "1"), "status -25300");
    EXPECT_EQ(readFile(SecKeychainStorePath + ".corrupt"), "garbage");
    EXPECT_EQ(SecItemAdd(generic("A", "1"), nullptr), errSecSuccess);
    EXPECT_EQ(secret("A", "1"), "");
}

} // namespace
