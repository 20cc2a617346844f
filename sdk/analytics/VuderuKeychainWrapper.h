#pragma once
// Small values kept in the device keychain as generic-password items of one service: the main
// bundle's identifier followed by the wrapper's identifier. The key of an item is its account
// and generic attribute (as UTF-8 data).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>

// The identifier of the analytics core's items.
inline constexpr const char* VuderuAnalyticsKeychainIdentifier = "com.vuderu.analytics";

class VuderuKeychainWrapper : public NSObject {
public:
    // nil for an empty identifier.
    static std::shared_ptr<VuderuKeychainWrapper> keychainWrapperWithIdentifier(const std::string& identifier);
    // initWithIdentifier: for a non-empty identifier.
    explicit VuderuKeychainWrapper(const std::string& identifier);

    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    // Class and service; account and generic attribute too for a non-empty key. Without a key the
    // query matches every item of the service, so the item operations below refuse an empty key.
    Value::Dictionary setupSearchForKey(const std::string& key) const;

    // nil when there is no such item (or the keychain fails) and for an empty key.
    NSDataPtr dataForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    // The item's data unarchived; null when absent or not an archive.
    Value objectForKey(const std::string& key) const;

    // NO for an empty key or nil data; an existing item's value is replaced.
    bool setDataForKey(const NSDataPtr& data, const std::string& key);
    bool updateValueDataForKey(const NSDataPtr& data, const std::string& key);
    bool setStringForKey(const std::string& string, const std::string& key);
    // NO for a null object or an empty key.
    bool setObjectForKey(const Value& object, const std::string& key);
    // Nothing for an empty key.
    void removeObjectForKey(const std::string& key);

private:
    std::string identifier_;
};
