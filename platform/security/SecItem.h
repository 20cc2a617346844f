#pragma once
// The keychain: items kept in one store file of the device
// ("/var/mobile/Library/Keychains/keychain.plist"), shared by every process that uses the device.
// Each call re-reads the store under the store's lock and writes changes back atomically.
//
// Dictionaries are Value::Dictionary keyed by the constants below; booleans are Value(true).
// Rules, as the platform keeps them:
// - kSecClass is required (kSecClassGenericPassword or kSecClassInternetPassword); a missing or
//   non-string class, an attribute of a type that is no attribute value (array, dictionary,
//   null, object), a non-data kSecValueData, a non-boolean return flag, an unknown accessibility
//   or match limit give errSecParam; an unknown class gives errSecNoSuchClass.
// - Generic passwords are unique by service + account, internet passwords by account, security
//   domain, server, protocol, authentication type, port and path; an absent attribute counts
//   as empty. A second item with the same key gives errSecDuplicateItem.
// - An attribute left out of a query matches every item; string and data attributes match by
//   their bytes, so an account given as UTF-8 data matches the same account as a string.
// - SecItemCopyMatching returns the first match (kSecMatchLimitOne, the default) or an array of
//   matches (kSecMatchLimitAll, or a positive number as the most to return); each result is the
//   data (kSecReturnData), the attribute dictionary (kSecReturnAttributes), or with both the
//   attribute dictionary holding the data under kSecValueData. Nothing found: errSecItemNotFound.
// - SecItemUpdate and SecItemDelete act on every matching item.
// - New items get kSecAttrAccessible as given (else kSecAttrAccessibleWhenUnlocked), and the
//   creation and modification dates kSecAttrCreationDate and kSecAttrModificationDate.

#include "platform/foundation/Value.h"
#include "platform/security/SecBase.h"

#include <string>

extern const std::string kSecClass;                  // "class"
extern const std::string kSecClassGenericPassword;   // "genp"
extern const std::string kSecClassInternetPassword;  // "inet"

extern const std::string kSecAttrService;            // "svce"
extern const std::string kSecAttrAccount;            // "acct"
extern const std::string kSecAttrGeneric;            // "gena"
extern const std::string kSecAttrLabel;              // "labl"
extern const std::string kSecAttrDescription;        // "desc"
extern const std::string kSecAttrComment;            // "icmt"
extern const std::string kSecAttrAccessGroup;        // "agrp"
extern const std::string kSecAttrCreationDate;       // "cdat"
extern const std::string kSecAttrModificationDate;   // "mdat"
extern const std::string kSecAttrServer;             // "srvr"
extern const std::string kSecAttrSecurityDomain;     // "sdmn"
extern const std::string kSecAttrProtocol;           // "ptcl"
extern const std::string kSecAttrAuthenticationType; // "atyp"
extern const std::string kSecAttrPort;               // "port"
extern const std::string kSecAttrPath;               // "path"

extern const std::string kSecAttrAccessible;                               // "pdmn"
extern const std::string kSecAttrAccessibleWhenUnlocked;                   // "ak"
extern const std::string kSecAttrAccessibleAfterFirstUnlock;               // "ck"
extern const std::string kSecAttrAccessibleAlways;                         // "dk"
extern const std::string kSecAttrAccessibleWhenUnlockedThisDeviceOnly;     // "aku"
extern const std::string kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly; // "cku"
extern const std::string kSecAttrAccessibleAlwaysThisDeviceOnly;           // "dku"
extern const std::string kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly;  // "akpu"

extern const std::string kSecValueData;        // "v_Data"
extern const std::string kSecReturnData;       // "r_Data"
extern const std::string kSecReturnAttributes; // "r_Attributes"
extern const std::string kSecMatchLimit;       // "m_Limit"
extern const std::string kSecMatchLimitOne;    // "m_LimitOne"
extern const std::string kSecMatchLimitAll;    // "m_LimitAll"

// Adds one item; with return flags in `attributes` and a result given, *result is the new item
// as SecItemCopyMatching would return it.
OSStatus SecItemAdd(const Value::Dictionary& attributes, Value* result);
// Finds items; *result (when given) receives what the return flags ask for, null when none.
OSStatus SecItemCopyMatching(const Value::Dictionary& query, Value* result);
// Changes the attributes (and kSecValueData) of every matching item.
OSStatus SecItemUpdate(const Value::Dictionary& query, const Value::Dictionary& attributesToUpdate);
// Removes every matching item.
OSStatus SecItemDelete(const Value::Dictionary& query);

// The device path of the keychain's store file.
extern const std::string SecKeychainStorePath; // "/var/mobile/Library/Keychains/keychain.plist"
