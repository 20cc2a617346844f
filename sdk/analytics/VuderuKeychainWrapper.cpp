#include "sdk/analytics/VuderuKeychainWrapper.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/security/SecItem.h"

std::shared_ptr<VuderuKeychainWrapper> VuderuKeychainWrapper::keychainWrapperWithIdentifier(const std::string& identifier) {
    if (identifier.empty()) return nullptr;
    return std::make_shared<VuderuKeychainWrapper>(identifier);
}

VuderuKeychainWrapper::VuderuKeychainWrapper(const std::string& identifier) {
    std::string bundleIdentifier = NSBundle::mainBundle()->objectForInfoDictionaryKey(kCFBundleIdentifierKey).stringValue();
    std::string joined = bundleIdentifier + identifier;
    identifier_ = bundleIdentifier.empty() || joined.empty() ? identifier : joined;
}

Value::Dictionary VuderuKeychainWrapper::setupSearchForKey(const std::string& key) const {
    Value::Dictionary query{{kSecClass, Value(kSecClassGenericPassword)}, {kSecAttrService, Value(identifier_)}};
    if (!key.empty()) {
        Value keyData(Value::Data(key.begin(), key.end()));
        query[kSecAttrGeneric] = keyData;
        query[kSecAttrAccount] = keyData;
    }
    return query;
}

NSDataPtr VuderuKeychainWrapper::dataForKey(const std::string& key) const {
    if (key.empty()) return nullptr;
    Value::Dictionary query = setupSearchForKey(key);
    query[kSecMatchLimit] = Value(kSecMatchLimitOne);
    query[kSecReturnData] = Value(true);
    Value result;
    if (SecItemCopyMatching(query, &result) != errSecSuccess || !result.isData()) return nullptr;
    return std::make_shared<NSData>(result.data());
}

std::optional<std::string> VuderuKeychainWrapper::stringForKey(const std::string& key) const {
    NSDataPtr data = dataForKey(key);
    // Bytes that do not decode as UTF-8 make no string.
    if (!data || !NSString::isValidUTF8(data->stringView())) return std::nullopt;
    return std::string(data->stringView());
}

Value VuderuKeychainWrapper::objectForKey(const std::string& key) const {
    NSDataPtr data = dataForKey(key);
    if (!data) return Value();
    // An item that is no archive reads as absent rather than raising into the caller.
    try {
        return NSKeyedUnarchiver::unarchiveObjectWithData(*data);
    } catch (const NSException&) {
        return Value();
    }
}

bool VuderuKeychainWrapper::setDataForKey(const NSDataPtr& data, const std::string& key) {
    if (key.empty() || !data) return false;
    Value::Dictionary attributes = setupSearchForKey(key);
    attributes[kSecValueData] = Value(data->vector());
    attributes[kSecAttrAccessible] = Value(kSecAttrAccessibleWhenUnlocked);
    OSStatus status = SecItemAdd(attributes, nullptr);
    if (status == errSecSuccess) return true;
    if (status == errSecDuplicateItem) return updateValueDataForKey(data, key);
    return false;
}

bool VuderuKeychainWrapper::updateValueDataForKey(const NSDataPtr& data, const std::string& key) {
    if (key.empty() || !data) return false;
    return SecItemUpdate(setupSearchForKey(key), Value::Dictionary{{kSecValueData, Value(data->vector())}}) == errSecSuccess;
}

bool VuderuKeychainWrapper::setStringForKey(const std::string& string, const std::string& key) {
    return setDataForKey(NSData::dataWithString(string), key);
}

bool VuderuKeychainWrapper::setObjectForKey(const Value& object, const std::string& key) {
    if (object.isNull() || key.empty()) return false;
    return setDataForKey(NSKeyedArchiver::archivedDataWithRootObject(object), key);
}

void VuderuKeychainWrapper::removeObjectForKey(const std::string& key) {
    if (key.empty()) return;
    SecItemDelete(setupSearchForKey(key));
}
