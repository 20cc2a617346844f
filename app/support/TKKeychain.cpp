#include "app/support/TKKeychain.h"

#include "platform/foundation/NSException.h"
#include "platform/security/SecItem.h"

#include <mutex>

const std::string kTKKeychainErrorDomain = "com.brennald.tkkeychain";

namespace {
// The setting is read by whichever thread stores a password; a lock keeps a concurrent change
// from tearing the string.
std::mutex accessibilityLock;
std::optional<std::string>& accessibilitySetting() {
    static std::optional<std::string> setting;
    return setting;
}

void fail(NSErrorPtr* error, long code) { NSErrorSet(error, NSError::errorWithDomain(kTKKeychainErrorDomain, code)); }
} // namespace

Value::Dictionary TKKeychain::queryForServiceAccount(const std::optional<std::string>& service, const std::optional<std::string>& account) {
    Value::Dictionary query{{kSecClass, kSecClassGenericPassword}};
    if (service) query[kSecAttrService] = *service;
    if (account) query[kSecAttrAccount] = *account;
    return query;
}

std::optional<TKKeychain::Accounts> TKKeychain::allAccounts() { return allAccounts(nullptr); }

std::optional<TKKeychain::Accounts> TKKeychain::allAccounts(NSErrorPtr* error) { return accountsForServiceError(std::nullopt, error); }

std::optional<TKKeychain::Accounts> TKKeychain::accountsForService(const std::optional<std::string>& service) {
    return accountsForServiceError(service, nullptr);
}

std::optional<TKKeychain::Accounts> TKKeychain::accountsForServiceError(const std::optional<std::string>& service, NSErrorPtr* error) {
    Value::Dictionary query = queryForServiceAccount(service, std::nullopt);
    query[kSecReturnAttributes] = true;
    query[kSecMatchLimit] = kSecMatchLimitAll;
    Value result;
    OSStatus status = SecItemCopyMatching(query, &result);
    if (status != errSecSuccess) {
        fail(error, status);
        return std::nullopt;
    }
    Accounts accounts;
    if (result.isArray()) {
        for (const auto& item : result.array()) {
            if (item.isDictionary()) accounts.push_back(item.dictionary());
        }
    }
    return accounts;
}

std::optional<std::string> TKKeychain::passwordForServiceAccount(const std::optional<std::string>& service,
                                                                 const std::optional<std::string>& account) {
    return passwordForServiceAccountError(service, account, nullptr);
}

std::optional<std::string> TKKeychain::passwordForServiceAccountError(const std::optional<std::string>& service,
                                                                      const std::optional<std::string>& account, NSErrorPtr* error) {
    NSDataPtr data = passwordDataForServiceAccountError(service, account, error);
    if (!data || data->length() == 0) return std::nullopt;
    return std::string(data->stringView());
}

NSDataPtr TKKeychain::passwordDataForServiceAccount(const std::optional<std::string>& service, const std::optional<std::string>& account) {
    return passwordDataForServiceAccountError(service, account, nullptr);
}

NSDataPtr TKKeychain::passwordDataForServiceAccountError(const std::optional<std::string>& service,
                                                         const std::optional<std::string>& account, NSErrorPtr* error) {
    if (!service || !account) {
        fail(error, TKKeychainErrorBadArguments);
        return nullptr;
    }
    Value::Dictionary query = queryForServiceAccount(service, account);
    query[kSecReturnData] = true;
    query[kSecMatchLimit] = kSecMatchLimitOne;
    Value result;
    OSStatus status = SecItemCopyMatching(query, &result);
    if (status != errSecSuccess) {
        fail(error, status);
        return nullptr;
    }
    return result.isData() ? std::make_shared<NSData>(result.data()) : NSData::data();
}

bool TKKeychain::deletePasswordForServiceAccount(const std::optional<std::string>& service, const std::optional<std::string>& account) {
    return deletePasswordForServiceAccountError(service, account, nullptr);
}

bool TKKeychain::deletePasswordForServiceAccountError(const std::optional<std::string>& service,
                                                      const std::optional<std::string>& account, NSErrorPtr* error) {
    if (!service || !account) {
        fail(error, TKKeychainErrorBadArguments);
        return false;
    }
    OSStatus status = SecItemDelete(queryForServiceAccount(service, account));
    if (status != errSecSuccess) fail(error, status);
    return status == errSecSuccess;
}

bool TKKeychain::setPasswordForServiceAccount(const std::optional<std::string>& password, const std::optional<std::string>& service,
                                              const std::optional<std::string>& account) {
    return setPasswordForServiceAccountError(password, service, account, nullptr);
}

bool TKKeychain::setPasswordForServiceAccountError(const std::optional<std::string>& password, const std::optional<std::string>& service,
                                                   const std::optional<std::string>& account, NSErrorPtr* error) {
    NSDataPtr data = password ? NSData::dataWithString(*password) : nullptr;
    return setPasswordDataForServiceAccountError(data, service, account, error);
}

bool TKKeychain::setPasswordDataForServiceAccount(const NSDataPtr& password, const std::optional<std::string>& service,
                                                  const std::optional<std::string>& account) {
    return setPasswordDataForServiceAccountError(password, service, account, nullptr);
}

bool TKKeychain::setPasswordDataForServiceAccountError(const NSDataPtr& password, const std::optional<std::string>& service,
                                                       const std::optional<std::string>& account, NSErrorPtr* error) {
    if (!password || !service || !account) {
        fail(error, TKKeychainErrorBadArguments);
        return false;
    }
    // Replace rather than update: whatever was stored under the key goes first. The old item is
    // kept aside so that a new one the keychain refuses does not cost the stored password.
    Value::Dictionary query = queryForServiceAccount(service, account);
    Value::Dictionary lookup = query;
    lookup[kSecReturnAttributes] = true;
    lookup[kSecReturnData] = true;
    Value previous;
    bool hadPrevious = SecItemCopyMatching(lookup, &previous) == errSecSuccess && previous.isDictionary();
    deletePasswordForServiceAccountError(service, account, nullptr);

    query[kSecValueData] = password->vector();
    if (auto accessibility = accessibilityType()) query[kSecAttrAccessible] = *accessibility;
    OSStatus status = SecItemAdd(query, nullptr);
    if (status != errSecSuccess) {
        if (hadPrevious) {
            Value::Dictionary restore = previous.dictionary();
            restore[kSecClass] = kSecClassGenericPassword;
            SecItemAdd(restore, nullptr);
        }
        fail(error, status);
    }
    return status == errSecSuccess;
}

std::optional<std::string> TKKeychain::accessibilityType() {
    std::lock_guard<std::mutex> guard(accessibilityLock);
    return accessibilitySetting();
}

void TKKeychain::setAccessibilityType(const std::string& accessibilityType) {
    if (accessibilityType.empty()) NSException::raise(NSInvalidArgumentException, "Invalid parameter not satisfying: accessibilityType");
    std::lock_guard<std::mutex> guard(accessibilityLock);
    accessibilitySetting() = accessibilityType;
}
