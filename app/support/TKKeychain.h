#pragma once
// Passwords kept as generic-password items of the keychain, keyed by a service name and an
// account name. Class methods only. nil arguments are std::nullopt (or an empty NSDataPtr);
// an empty string is a given argument.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <optional>
#include <string>
#include <vector>

extern const std::string kTKKeychainErrorDomain; // "com.brennald.tkkeychain"

enum TKKeychainErrorCode : long {
    // A required argument was not given.
    TKKeychainErrorBadArguments = -1001,
};

class TKKeychain : public NSObject {
public:
    using Accounts = std::vector<Value::Dictionary>;

    // The attribute dictionaries of every generic-password item (of a service, when given).
    static std::optional<Accounts> allAccounts();
    static std::optional<Accounts> allAccounts(NSErrorPtr* error);
    static std::optional<Accounts> accountsForService(const std::optional<std::string>& service);
    static std::optional<Accounts> accountsForServiceError(const std::optional<std::string>& service, NSErrorPtr* error);

    // The password as UTF-8 text; nil for a missing item and for empty bytes.
    static std::optional<std::string> passwordForServiceAccount(const std::optional<std::string>& service,
                                                                const std::optional<std::string>& account);
    static std::optional<std::string> passwordForServiceAccountError(const std::optional<std::string>& service,
                                                                     const std::optional<std::string>& account, NSErrorPtr* error);
    static NSDataPtr passwordDataForServiceAccount(const std::optional<std::string>& service, const std::optional<std::string>& account);
    static NSDataPtr passwordDataForServiceAccountError(const std::optional<std::string>& service,
                                                        const std::optional<std::string>& account, NSErrorPtr* error);

    static bool deletePasswordForServiceAccount(const std::optional<std::string>& service, const std::optional<std::string>& account);
    static bool deletePasswordForServiceAccountError(const std::optional<std::string>& service, const std::optional<std::string>& account,
                                                     NSErrorPtr* error);

    // Replaces any password of the service and account.
    static bool setPasswordForServiceAccount(const std::optional<std::string>& password, const std::optional<std::string>& service,
                                             const std::optional<std::string>& account);
    static bool setPasswordForServiceAccountError(const std::optional<std::string>& password, const std::optional<std::string>& service,
                                                  const std::optional<std::string>& account, NSErrorPtr* error);
    static bool setPasswordDataForServiceAccount(const NSDataPtr& password, const std::optional<std::string>& service,
                                                 const std::optional<std::string>& account);
    static bool setPasswordDataForServiceAccountError(const NSDataPtr& password, const std::optional<std::string>& service,
                                                      const std::optional<std::string>& account, NSErrorPtr* error);

    // The accessibility given to new items (a kSecAttrAccessible… value); none by default, and
    // new items then get the keychain's default.
    static std::optional<std::string> accessibilityType();
    // A value must be given: an empty one raises NSInvalidArgumentException.
    static void setAccessibilityType(const std::string& accessibilityType);

    // The query of every operation: the class, and the service and account when given.
    static Value::Dictionary queryForServiceAccount(const std::optional<std::string>& service, const std::optional<std::string>& account);
};
