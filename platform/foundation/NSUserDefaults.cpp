#include "platform/foundation/NSUserDefaults.h"

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/SharedInstance.h"

#include <unistd.h>

namespace {
const std::string kPreferencesFolder = "/var/mobile/Library/Preferences";
const std::string kPreferencesExtension = "plist";

void applyChange(Value::Dictionary& contents, const std::string& key, const Value& value) {
    if (value.isNull()) {
        contents.erase(key);
    } else {
        contents[key] = value;
    }
}

// The domain's name when the bundle has no identifier: the executable's name.
std::string processName() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "tandrel";
    return NSString::lastPathComponent(std::string(buffer, static_cast<std::size_t>(n)));
}
} // namespace

NSUserDefaults::NSUserDefaults(const std::string& devicePath) : store_(devicePath, NSPropertyListBinaryFormat_v1_0) {
    persistent_ = store_.read();
}

std::string NSUserDefaults::standardUserDefaultsPath() {
    std::string domain = NSBundle::mainBundle()->bundleIdentifier();
    if (domain.empty()) domain = processName();
    return NSString::stringByAppendingPathComponent(kPreferencesFolder, domain + "." + kPreferencesExtension);
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaults() {
    return SharedInstance<NSUserDefaults>::slot().getOrMake([] { return std::make_shared<NSUserDefaults>(standardUserDefaultsPath()); });
}

void NSUserDefaults::resetStandardUserDefaults() {
    SharedInstance<NSUserDefaults>::slot().take();
}

Value NSUserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard<std::mutex> guard(lock_);
    if (auto it = persistent_.find(key); it != persistent_.end()) return it->second;
    if (auto it = registration_.find(key); it != registration_.end()) return it->second;
    return Value();
}

void NSUserDefaults::setObjectForKey(const Value& value, const std::string& key) {
    if (!value.isNull() && !NSPropertyListSerialization::propertyListIsValidForFormat(value, NSPropertyListBinaryFormat_v1_0)) {
        NSLog("Attempt to set a non-property-list object %@ as an NSUserDefaults/CFPreferences value for key %@", value, key);
        return;
    }
    std::lock_guard<std::mutex> guard(lock_);
    unsaved_[key] = value;
    if (!saveUnsaved(nullptr)) applyChange(persistent_, key, value);
}

bool NSUserDefaults::saveUnsaved(NSErrorPtr* error) {
    Value::Dictionary latest;
    bool saved = store_.update(
        [&](Value::Dictionary& contents) {
            for (const auto& [key, value] : unsaved_) applyChange(contents, key, value);
            latest = contents;
            return !unsaved_.empty();
        },
        error);
    if (!saved) return false;
    unsaved_.clear();
    persistent_ = std::move(latest);
    return true;
}

void NSUserDefaults::removeObjectForKey(const std::string& key) { setObjectForKey(Value(), key); }

std::optional<std::string> NSUserDefaults::stringForKey(const std::string& key) const {
    Value v = objectForKey(key);
    if (v.isString()) return v.string();
    if (v.isNumber()) return v.stringValue();
    return std::nullopt;
}

bool NSUserDefaults::boolForKey(const std::string& key) const {
    Value v = objectForKey(key);
    if (v.isNumber()) return v.boolValue();
    if (!v.isString()) return false;
    // Preferences read "YES" and "true" in any case as YES, any other text by its number.
    std::string word = NSString::lowercaseString(NSString::stringByTrimmingWhitespace(v.string()));
    if (word == "yes" || word == "true") return true;
    return v.integerValue() != 0;
}

std::int64_t NSUserDefaults::integerForKey(const std::string& key) const {
    Value v = objectForKey(key);
    return v.isNumber() || v.isString() ? v.integerValue() : 0;
}

double NSUserDefaults::doubleForKey(const std::string& key) const {
    Value v = objectForKey(key);
    return v.isNumber() || v.isString() ? v.doubleValue() : 0;
}

NSDataPtr NSUserDefaults::dataForKey(const std::string& key) const {
    Value v = objectForKey(key);
    return v.isData() ? std::make_shared<NSData>(v.data()) : nullptr;
}

std::optional<Value::Array> NSUserDefaults::arrayForKey(const std::string& key) const {
    Value v = objectForKey(key);
    if (!v.isArray()) return std::nullopt;
    return v.array();
}

std::optional<Value::Dictionary> NSUserDefaults::dictionaryForKey(const std::string& key) const {
    Value v = objectForKey(key);
    if (!v.isDictionary()) return std::nullopt;
    return v.dictionary();
}

std::optional<std::vector<std::string>> NSUserDefaults::stringArrayForKey(const std::string& key) const {
    Value v = objectForKey(key);
    if (!v.isArray()) return std::nullopt;
    std::vector<std::string> strings;
    for (const auto& item : v.array()) {
        if (!item.isString()) return std::nullopt;
        strings.push_back(item.string());
    }
    return strings;
}

void NSUserDefaults::registerDefaults(const Value::Dictionary& registrationDictionary) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [key, value] : registrationDictionary) registration_[key] = value;
}

bool NSUserDefaults::synchronize() {
    std::lock_guard<std::mutex> guard(lock_);
    NSErrorPtr error;
    if (saveUnsaved(&error)) return true;
    NSLog("NSUserDefaults: cannot synchronize %@: %@; changes of this process are kept in memory", path(),
          error ? error->localizedDescription() : std::string("unknown error"));
    return false;
}

Value::Dictionary NSUserDefaults::dictionaryRepresentation() const {
    std::lock_guard<std::mutex> guard(lock_);
    Value::Dictionary all = registration_;
    for (const auto& [key, value] : persistent_) all[key] = value;
    return all;
}
