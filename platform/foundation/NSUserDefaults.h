#pragma once
// The user defaults: the application's persistent domain, kept as a binary property list at
// "/var/mobile/Library/Preferences/<bundle identifier>.plist" and written atomically after every
// change, over a registration domain that is never persisted. The file is re-read by
// synchronize() and before every change, so values another process wrote are seen and kept.
// A change that cannot be saved stays in memory and is saved with a later one, or by
// synchronize(), once the file can be written again.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/PropertyListStore.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class NSUserDefaults : public NSObject {
public:
    // Defaults kept in the given device file.
    explicit NSUserDefaults(const std::string& devicePath);

    // The application's defaults, made on first use (thread-safe).
    static std::shared_ptr<NSUserDefaults> standardUserDefaults();
    // Drops the shared instance; the next standardUserDefaults() reads the file afresh. The file
    // and what it holds stay.
    static void resetStandardUserDefaults();
    // "/var/mobile/Library/Preferences/<bundle identifier>.plist"
    static std::string standardUserDefaultsPath();

    // The persistent value, else the registered one, else null.
    Value objectForKey(const std::string& key) const;
    // A property-list value; null removes the key. Anything else (an object, or null inside a
    // collection) is refused with the platform's log line and changes nothing.
    void setObjectForKey(const Value& value, const std::string& key);
    void removeObjectForKey(const std::string& key);

    // A string, or a number's text; nullopt for anything else.
    std::optional<std::string> stringForKey(const std::string& key) const;
    // Numbers, and strings read as numbers ("YES" and "true" in any case as YES); 0 / NO otherwise.
    bool boolForKey(const std::string& key) const;
    std::int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    float floatForKey(const std::string& key) const { return static_cast<float>(doubleForKey(key)); }
    NSDataPtr dataForKey(const std::string& key) const;
    std::optional<Value::Array> arrayForKey(const std::string& key) const;
    std::optional<Value::Dictionary> dictionaryForKey(const std::string& key) const;
    // An array holding only strings, else nullopt.
    std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const;

    void setBoolForKey(bool value, const std::string& key) { setObjectForKey(Value(value), key); }
    void setIntegerForKey(std::int64_t value, const std::string& key) { setObjectForKey(Value(static_cast<long long>(value)), key); }
    void setDoubleForKey(double value, const std::string& key) { setObjectForKey(Value(value), key); }
    void setFloatForKey(float value, const std::string& key) { setObjectForKey(Value(value), key); }

    // Adds to the registration domain (entries of later calls replace earlier ones).
    void registerDefaults(const Value::Dictionary& registrationDictionary);
    // Writes the changes that could not be saved yet and re-reads the file; YES when that
    // succeeded (or there is no file yet). NO, logged, when the file cannot be read or written:
    // the values set in this process are then kept in memory and still read back.
    bool synchronize();
    // The registration domain with the persistent domain over it.
    Value::Dictionary dictionaryRepresentation() const;

    const std::string& path() const { return store_.path(); }

private:
    mutable std::mutex lock_;
    PropertyListStore store_;
    // Saves the unsaved changes; false (and the error) when the file cannot be read or written.
    bool saveUnsaved(NSErrorPtr* error);

    Value::Dictionary persistent_;
    // Changes the file has not taken yet, by key; null for a removal.
    Value::Dictionary unsaved_;
    Value::Dictionary registration_;
};
