#include "platform/security/SecItem.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/PropertyListStore.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

const std::string kSecClass = "class";
const std::string kSecClassGenericPassword = "genp";
const std::string kSecClassInternetPassword = "inet";

const std::string kSecAttrService = "svce";
const std::string kSecAttrAccount = "acct";
const std::string kSecAttrGeneric = "gena";
const std::string kSecAttrLabel = "labl";
const std::string kSecAttrDescription = "desc";
const std::string kSecAttrComment = "icmt";
const std::string kSecAttrAccessGroup = "agrp";
const std::string kSecAttrCreationDate = "cdat";
const std::string kSecAttrModificationDate = "mdat";
const std::string kSecAttrServer = "srvr";
const std::string kSecAttrSecurityDomain = "sdmn";
const std::string kSecAttrProtocol = "ptcl";
const std::string kSecAttrAuthenticationType = "atyp";
const std::string kSecAttrPort = "port";
const std::string kSecAttrPath = "path";

const std::string kSecAttrAccessible = "pdmn";
const std::string kSecAttrAccessibleWhenUnlocked = "ak";
const std::string kSecAttrAccessibleAfterFirstUnlock = "ck";
const std::string kSecAttrAccessibleAlways = "dk";
const std::string kSecAttrAccessibleWhenUnlockedThisDeviceOnly = "aku";
const std::string kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly = "cku";
const std::string kSecAttrAccessibleAlwaysThisDeviceOnly = "dku";
const std::string kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly = "akpu";

const std::string kSecValueData = "v_Data";
const std::string kSecReturnData = "r_Data";
const std::string kSecReturnAttributes = "r_Attributes";
const std::string kSecMatchLimit = "m_Limit";
const std::string kSecMatchLimitOne = "m_LimitOne";
const std::string kSecMatchLimitAll = "m_LimitAll";

const std::string SecKeychainStorePath = "/var/mobile/Library/Keychains/keychain.plist";

namespace {
// The store file holds {"items": [item, ...]}; an item is its attribute dictionary with the
// class under kSecClass and the secret under kSecValueData.
const std::string kItemsKey = "items";

PropertyListStore& store() {
    static PropertyListStore keychain(SecKeychainStorePath, NSPropertyListBinaryFormat_v1_0);
    return keychain;
}

// Prefixes of the keys that are no attributes: values, return flags, match and use options.
bool isValueKey(std::string_view key) { return key.starts_with("v_"); }
bool isReturnKey(std::string_view key) { return key.starts_with("r_"); }
bool isSearchKey(std::string_view key) { return key.starts_with("m_") || key.starts_with("u_"); }

const std::vector<std::string>& primaryKey(const std::string& itemClass) {
    static const std::vector<std::string> generic{kSecAttrService, kSecAttrAccount, kSecAttrAccessGroup};
    static const std::vector<std::string> internet{kSecAttrAccount, kSecAttrSecurityDomain, kSecAttrServer, kSecAttrProtocol,
                                                   kSecAttrAuthenticationType, kSecAttrPort, kSecAttrPath, kSecAttrAccessGroup};
    return itemClass == kSecClassInternetPassword ? internet : generic;
}

bool isAccessibility(const Value& v) {
    static const std::set<std::string> known{kSecAttrAccessibleWhenUnlocked,
                                             kSecAttrAccessibleAfterFirstUnlock,
                                             kSecAttrAccessibleAlways,
                                             kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
                                             kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly,
                                             kSecAttrAccessibleAlwaysThisDeviceOnly,
                                             kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly};
    return v.isString() && known.count(v.string());
}

bool isAttributeValue(const Value& v) { return v.isString() || v.isData() || v.isNumber() || v.isDate(); }

std::optional<std::string_view> bytesOf(const Value& v) {
    if (v.isString()) return std::string_view(v.string());
    if (v.isData()) return std::string_view(reinterpret_cast<const char*>(v.data().data()), v.data().size());
    return std::nullopt;
}

// String and data attributes compare by their bytes; numbers by value; dates exactly.
bool sameAttribute(const Value& a, const Value& b) {
    auto x = bytesOf(a), y = bytesOf(b);
    if (x && y) return *x == *y;
    return a == b;
}

bool isEmptyAttribute(const Value& v) {
    if (v.isNull()) return true;
    if (auto bytes = bytesOf(v)) return bytes->empty();
    return v.isNumber() && v.integerValue() == 0;
}

Value attributeOf(const Value::Dictionary& item, const std::string& key) {
    auto it = item.find(key);
    return it == item.end() ? Value() : it->second;
}

bool samePrimaryKey(const Value::Dictionary& a, const Value::Dictionary& b) {
    Value ca = attributeOf(a, kSecClass);
    if (!sameAttribute(ca, attributeOf(b, kSecClass))) return false;
    for (const auto& key : primaryKey(ca.stringValue())) {
        Value va = attributeOf(a, key), vb = attributeOf(b, key);
        if (isEmptyAttribute(va) && isEmptyAttribute(vb)) continue;
        if (!sameAttribute(va, vb)) return false;
    }
    return true;
}

struct Request {
    std::string itemClass;
    Value::Dictionary attributes; // the attributes to match or to store
    std::optional<Value::Data> data;
    bool returnData = false;
    bool returnAttributes = false;
    std::optional<std::size_t> limit; // nullopt: one result, not an array
};

// Checks and splits a query or attribute dictionary.
OSStatus parse(const Value::Dictionary& dictionary, Request& request, bool classRequired = true) {
    auto cls = dictionary.find(kSecClass);
    if (cls == dictionary.end()) {
        if (classRequired) return errSecParam;
    } else {
        if (!cls->second.isString()) return errSecParam;
        if (cls->second.string() != kSecClassGenericPassword && cls->second.string() != kSecClassInternetPassword) return errSecNoSuchClass;
        request.itemClass = cls->second.string();
    }
    for (const auto& [key, value] : dictionary) {
        if (key == kSecClass) continue;
        if (key == kSecValueData) {
            if (!value.isData()) return errSecParam;
            request.data = value.data();
        } else if (isValueKey(key)) {
            return errSecUnimplemented;
        } else if (isReturnKey(key)) {
            if (!value.isNumber()) return errSecParam;
            if (key == kSecReturnData) {
                request.returnData = value.boolValue();
            } else if (key == kSecReturnAttributes) {
                request.returnAttributes = value.boolValue();
            } else if (value.boolValue()) {
                return errSecUnimplemented; // references are not kept by this keychain
            }
        } else if (key == kSecMatchLimit) {
            if (value.isString() && value.string() == kSecMatchLimitOne) {
                request.limit.reset();
            } else if (value.isString() && value.string() == kSecMatchLimitAll) {
                request.limit = SIZE_MAX;
            } else if ((value.isInteger() || value.isReal()) && value.integerValue() > 0) {
                request.limit = static_cast<std::size_t>(value.integerValue());
            } else {
                return errSecParam;
            }
        } else if (isSearchKey(key)) {
            continue;
        } else {
            if (!isAttributeValue(value)) return errSecParam;
            if (key == kSecAttrAccessible && !isAccessibility(value)) return errSecParam;
            request.attributes[key] = value;
        }
    }
    return errSecSuccess;
}

bool matches(const Value::Dictionary& item, const Request& query) {
    auto cls = item.find(kSecClass);
    if (cls == item.end() || !cls->second.isString() || cls->second.string() != query.itemClass) return false;
    for (const auto& [key, wanted] : query.attributes) {
        auto it = item.find(key);
        if (it == item.end() || !sameAttribute(it->second, wanted)) return false;
    }
    return true;
}

std::vector<Value::Dictionary> itemsOf(const Value::Dictionary& contents) {
    std::vector<Value::Dictionary> items;
    auto it = contents.find(kItemsKey);
    if (it == contents.end() || !it->second.isArray()) return items;
    for (const auto& item : it->second.array()) {
        if (item.isDictionary()) items.push_back(item.dictionary());
    }
    return items;
}

void storeItems(Value::Dictionary& contents, const std::vector<Value::Dictionary>& items) {
    Value::Array array(items.begin(), items.end());
    contents[kItemsKey] = std::move(array);
}

Value resultFor(const Value::Dictionary& item, const Request& request) {
    auto data = item.find(kSecValueData);
    Value bytes = data != item.end() && data->second.isData() ? data->second : Value(Value::Data{});
    if (!request.returnAttributes) return bytes;
    Value::Dictionary attributes;
    for (const auto& [key, value] : item) {
        if (key != kSecClass && key != kSecValueData) attributes[key] = value;
    }
    if (request.returnData) attributes[kSecValueData] = bytes;
    return attributes;
}

Value results(const std::vector<const Value::Dictionary*>& found, const Request& request) {
    if (!request.returnData && !request.returnAttributes) return Value();
    if (!request.limit) return resultFor(*found.front(), request);
    Value::Array all;
    for (std::size_t i = 0; i < found.size() && i < *request.limit; ++i) all.push_back(resultFor(*found[i], request));
    return all;
}

Value now() { return Value(NSDate::date()->value()); }
} // namespace

OSStatus SecItemAdd(const Value::Dictionary& attributes, Value* result) {
    Request request;
    if (OSStatus status = parse(attributes, request); status != errSecSuccess) return status;
    Value::Dictionary item = request.attributes;
    item[kSecClass] = request.itemClass;
    item[kSecValueData] = request.data ? Value(*request.data) : Value(Value::Data{});
    if (!item.count(kSecAttrAccessible)) item[kSecAttrAccessible] = kSecAttrAccessibleWhenUnlocked;
    Value stamp = now();
    item[kSecAttrCreationDate] = stamp;
    item[kSecAttrModificationDate] = stamp;

    OSStatus status = errSecSuccess;
    bool written = store().update([&](Value::Dictionary& contents) {
        auto items = itemsOf(contents);
        if (std::any_of(items.begin(), items.end(), [&](const Value::Dictionary& other) { return samePrimaryKey(item, other); })) {
            status = errSecDuplicateItem;
            return false;
        }
        items.push_back(item);
        storeItems(contents, items);
        return true;
    });
    if (status != errSecSuccess) return status;
    if (!written) return errSecIO;
    if (result) {
        request.limit.reset();
        *result = results({&item}, request);
    }
    return errSecSuccess;
}

OSStatus SecItemCopyMatching(const Value::Dictionary& query, Value* result) {
    Request request;
    if (OSStatus status = parse(query, request); status != errSecSuccess) return status;
    if (result) *result = Value();
    auto items = itemsOf(store().read());
    std::vector<const Value::Dictionary*> found;
    for (const auto& item : items) {
        if (matches(item, request)) found.push_back(&item);
    }
    if (found.empty()) return errSecItemNotFound;
    if (result) *result = results(found, request);
    return errSecSuccess;
}

OSStatus SecItemUpdate(const Value::Dictionary& query, const Value::Dictionary& attributesToUpdate) {
    Request request;
    if (OSStatus status = parse(query, request); status != errSecSuccess) return status;
    Request change;
    if (attributesToUpdate.empty() || attributesToUpdate.count(kSecClass)) return errSecParam;
    if (OSStatus status = parse(attributesToUpdate, change, false); status != errSecSuccess) return status;
    if (change.returnData || change.returnAttributes || change.limit) return errSecParam;

    OSStatus status = errSecSuccess;
    bool written = store().update([&](Value::Dictionary& contents) {
        auto items = itemsOf(contents);
        std::vector<bool> changed(items.size(), false);
        Value stamp = now();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!matches(items[i], request)) continue;
            for (const auto& [key, value] : change.attributes) items[i][key] = value;
            if (change.data) items[i][kSecValueData] = *change.data;
            items[i][kSecAttrModificationDate] = stamp;
            changed[i] = true;
        }
        if (std::find(changed.begin(), changed.end(), true) == changed.end()) {
            status = errSecItemNotFound;
            return false;
        }
        // A change that gives an item another's key would make two items of one key.
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (!changed[i]) continue;
            for (std::size_t j = 0; j < items.size(); ++j) {
                if (i != j && samePrimaryKey(items[i], items[j])) {
                    status = errSecDuplicateItem;
                    return false;
                }
            }
        }
        storeItems(contents, items);
        return true;
    });
    if (status != errSecSuccess) return status;
    return written ? errSecSuccess : errSecIO;
}

OSStatus SecItemDelete(const Value::Dictionary& query) {
    Request request;
    if (OSStatus status = parse(query, request); status != errSecSuccess) return status;
    OSStatus status = errSecSuccess;
    bool written = store().update([&](Value::Dictionary& contents) {
        auto items = itemsOf(contents);
        auto kept = items.size();
        std::erase_if(items, [&](const Value::Dictionary& item) { return matches(item, request); });
        if (items.size() == kept) {
            status = errSecItemNotFound;
            return false;
        }
        storeItems(contents, items);
        return true;
    });
    if (status != errSecSuccess) return status;
    return written ? errSecSuccess : errSecIO;
}
