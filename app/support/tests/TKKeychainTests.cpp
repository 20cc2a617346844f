#include "app/support/TKKeychain.h"
#include "platform/foundation/NSException.h"
#include "platform/security/SecItem.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

namespace {

class TKKeychainTest : public DeviceTest {};

TEST_F(TKKeychainTest, StoresReadsAndReplacesPasswords) {
    NSErrorPtr error;
    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccountError("s3cr\xC3\xA9t", "mail", "ann", &error));
    EXPECT_FALSE(error);
    EXPECT_EQ(TKKeychain::passwordForServiceAccount("mail", "ann"), "s3cr\xC3\xA9t");

    // Storing again replaces the item rather than adding a second one.
    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("second", "mail", "ann"));
    EXPECT_EQ(TKKeychain::passwordForServiceAccount("mail", "ann"), "second");
    auto accounts = TKKeychain::accountsForService("mail");
    ASSERT_TRUE(accounts);
    ASSERT_EQ(accounts->size(), 1u);
    EXPECT_EQ(accounts->front().at(kSecAttrAccount).stringValue(), "ann");
    EXPECT_EQ(accounts->front().at(kSecAttrService).stringValue(), "mail");

    auto bytes = NSData::dataWithBytes("\x00\x01\xFF", 3);
    ASSERT_TRUE(TKKeychain::setPasswordDataForServiceAccount(bytes, "mail", "bob"));
    auto read = TKKeychain::passwordDataForServiceAccount("mail", "bob");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->vector(), bytes->vector());

    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("web", "site", "ann"));
    auto all = TKKeychain::allAccounts(&error);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 3u);
    EXPECT_EQ(TKKeychain::accountsForService("mail")->size(), 2u);

    ASSERT_TRUE(TKKeychain::deletePasswordForServiceAccountError("mail", "ann", &error));
    EXPECT_FALSE(TKKeychain::passwordForServiceAccount("mail", "ann"));
    EXPECT_EQ(TKKeychain::passwordForServiceAccount("site", "ann"), "web");
}

TEST_F(TKKeychainTest, EmptyBytesReadAsNoPasswordButAsEmptyData) {
    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("", "svc", "acct"));
    NSErrorPtr error;
    EXPECT_FALSE(TKKeychain::passwordForServiceAccountError("svc", "acct", &error));
    EXPECT_FALSE(error);
    auto data = TKKeychain::passwordDataForServiceAccount("svc", "acct");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->length(), 0u);
}

TEST_F(TKKeychainTest, FailuresCarryTheKeychainStatusOrMissingArgumentCode) {
    struct Case {
        const char* name;
        std::function<bool(NSErrorPtr*)> call;
        long code;
    };
    const auto none = std::nullopt;
    const Case cases[] = {
        {"delete without account", [&](NSErrorPtr* e) { return TKKeychain::deletePasswordForServiceAccountError("svc", none, e); },
         TKKeychainErrorBadArguments},
        {"delete without service", [&](NSErrorPtr* e) { return TKKeychain::deletePasswordForServiceAccountError(none, "acct", e); },
         TKKeychainErrorBadArguments},
        {"delete of a missing item", [](NSErrorPtr* e) { return TKKeychain::deletePasswordForServiceAccountError("svc", "nobody", e); },
         errSecItemNotFound},
        {"read without account", [&](NSErrorPtr* e) { return TKKeychain::passwordForServiceAccountError("svc", none, e).has_value(); },
         TKKeychainErrorBadArguments},
        {"read of a missing item", [](NSErrorPtr* e) { return TKKeychain::passwordDataForServiceAccountError("svc", "nobody", e) != nullptr; },
         errSecItemNotFound},
        {"store without password", [&](NSErrorPtr* e) { return TKKeychain::setPasswordForServiceAccountError(none, "svc", "acct", e); },
         TKKeychainErrorBadArguments},
        {"store without data", [](NSErrorPtr* e) { return TKKeychain::setPasswordDataForServiceAccountError(nullptr, "svc", "acct", e); },
         TKKeychainErrorBadArguments},
        {"store without service", [&](NSErrorPtr* e) { return TKKeychain::setPasswordForServiceAccountError("pw", none, "acct", e); },
         TKKeychainErrorBadArguments},
        {"accounts of an unknown service", [](NSErrorPtr* e) { return TKKeychain::accountsForServiceError("nothing", e).has_value(); },
         errSecItemNotFound},
        {"accounts of an empty keychain", [](NSErrorPtr* e) { return TKKeychain::allAccounts(e).has_value(); }, errSecItemNotFound},
    };
    for (const auto& c : cases) {
        NSErrorPtr error;
        EXPECT_FALSE(c.call(&error)) << c.name;
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->domain(), "com.brennald.tkkeychain") << c.name;
        EXPECT_EQ(error->code(), c.code) << c.name;
        EXPECT_TRUE(error->userInfo().empty()) << c.name;
        // The short forms give the same answer without an error.
        EXPECT_FALSE(c.call(nullptr)) << c.name;
    }
    EXPECT_FALSE(TKKeychain::deletePasswordForServiceAccount("svc", none));
    EXPECT_FALSE(TKKeychain::passwordForServiceAccount(none, "acct"));
    EXPECT_FALSE(TKKeychain::allAccounts());
}

// An empty service or account is a name like any other: it reaches its own item only, never every
// item of the keychain or of a service.
TEST_F(TKKeychainTest, EmptyNamesReachOnlyTheirOwnItem) {
    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("a", "svc", "ann"));
    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("b", "svc", "bob"));
    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("c", "other", "ann"));
    const struct {
        const char* service;
        const char* account;
    } cases[] = {{"svc", ""}, {"", "ann"}, {"", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("service \"") + c.service + "\", account \"" + c.account + "\"");
        NSErrorPtr error;
        EXPECT_FALSE(TKKeychain::deletePasswordForServiceAccountError(c.service, c.account, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), errSecItemNotFound);
        EXPECT_FALSE(TKKeychain::passwordForServiceAccount(c.service, c.account));
        EXPECT_EQ(TKKeychain::allAccounts()->size(), 3u);

        ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("empty", c.service, c.account));
        EXPECT_EQ(TKKeychain::passwordForServiceAccount(c.service, c.account), "empty");
        EXPECT_EQ(TKKeychain::allAccounts()->size(), 4u) << "stored beside the others";
        EXPECT_TRUE(TKKeychain::deletePasswordForServiceAccount(c.service, c.account));
        EXPECT_EQ(TKKeychain::allAccounts()->size(), 3u);
    }
    EXPECT_EQ(TKKeychain::passwordForServiceAccount("svc", "ann"), "a");
}

TEST_F(TKKeychainTest, AccessibilityIsGivenToNewItemsOnceSet) {
    auto accessibilityOf = [](const std::string& account) {
        Value result;
        SecItemCopyMatching({{kSecClass, kSecClassGenericPassword}, {kSecAttrAccount, account}, {kSecReturnAttributes, true}}, &result);
        return result[kSecAttrAccessible].stringValue();
    };
    EXPECT_FALSE(TKKeychain::accessibilityType());
    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("pw", "svc", "before"));
    EXPECT_EQ(accessibilityOf("before"), kSecAttrAccessibleWhenUnlocked);

    TKKeychain::setAccessibilityType(kSecAttrAccessibleAfterFirstUnlock);
    EXPECT_EQ(TKKeychain::accessibilityType(), kSecAttrAccessibleAfterFirstUnlock);
    ASSERT_TRUE(TKKeychain::setPasswordForServiceAccount("pw", "svc", "after"));
    EXPECT_EQ(accessibilityOf("after"), kSecAttrAccessibleAfterFirstUnlock);

    EXPECT_THROW(TKKeychain::setAccessibilityType(""), NSException);
    EXPECT_EQ(TKKeychain::accessibilityType(), kSecAttrAccessibleAfterFirstUnlock);

    // A value the keychain does not know is the keychain's error, not a silent store, and the
    // password stored before stays.
    TKKeychain::setAccessibilityType("bogus");
    NSErrorPtr error;
    EXPECT_FALSE(TKKeychain::setPasswordForServiceAccountError("new", "svc", "after", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), errSecParam);
    EXPECT_EQ(TKKeychain::passwordForServiceAccount("svc", "after"), "pw");
    EXPECT_EQ(accessibilityOf("after"), kSecAttrAccessibleAfterFirstUnlock);
}

} // namespace
