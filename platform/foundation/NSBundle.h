#pragma once
// Bundles. The main bundle is the application's folder, installed on the device at
// "/Applications/Tandrel.app" and backed by the repository's resources/ folder (see
// mainBundleHostFolder). Every path a bundle returns is a device path: hand it to the platform's
// file calls, or to a C API through NSString::fileSystemRepresentation.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The device path of the application's bundle.
extern const std::string NSBundleMainBundlePath; // "/Applications/Tandrel.app"
// Info.plist keys.
extern const std::string kCFBundleIdentifierKey;      // "CFBundleIdentifier"
extern const std::string kCFBundleNameKey;            // "CFBundleName"
extern const std::string kCFBundleVersionKey;         // "CFBundleVersion"
extern const std::string kCFBundleExecutableKey;      // "CFBundleExecutable"
extern const std::string kCFBundleInfoDictionaryVersionKey; // "CFBundleInfoDictionaryVersion"

class NSBundle : public NSObject {
public:
    // A bundle at a device folder; use bundleWithPath (nil for a missing folder) or mainBundle.
    explicit NSBundle(std::string devicePath);

    // The shared main bundle, made on first use (thread-safe); mounts the resources folder at
    // NSBundleMainBundlePath.
    static std::shared_ptr<NSBundle> mainBundle();
    static std::shared_ptr<NSBundle> bundleWithPath(const std::string& devicePath);

    // The host folder standing for the main bundle, the first that exists of: $TANDREL_RESOURCES,
    // <executable's folder>/resources, <executable's folder>/../resources, and the source tree's
    // resources folder.
    static std::string mainBundleHostFolder();

    const std::string& bundlePath() const { return path_; }
    // The folder of the bundle's resources; the bundle's own folder, as in an iOS application.
    const std::string& resourcePath() const { return path_; }
    std::string bundleIdentifier() const;

    // The path of an existing resource "name.type" (type may be empty or carry its dot, or name
    // may already hold the extension), looked up in the folder and then in en.lproj; empty when
    // there is none.
    std::string pathForResource(const std::string& name, const std::string& type) const;
    std::string pathForResource(const std::string& name, const std::string& type, const std::string& subdirectory) const;
    // The paths of all resources with an extension (every file when empty), sorted.
    std::vector<std::string> pathsForResourcesOfType(const std::string& type, const std::string& subdirectory = {}) const;
    // The file URL of pathForResource, or nil.
    NSURLPtr URLForResource(const std::string& name, const std::string& extension) const;
    NSURLPtr URLForResource(const std::string& name, const std::string& extension, const std::string& subdirectory) const;

    // The contents of the bundle's Info.plist; empty when it has none.
    Value::Dictionary infoDictionary() const;
    // The Info.plist value under a key, or null.
    Value objectForInfoDictionaryKey(const std::string& key) const;

    // The text of a key in en.lproj/<table>.strings (table "Localizable" when empty). A key the
    // table lacks (or a missing table) gives `value` when it is not empty, else the key itself.
    std::string localizedStringForKey(const std::string& key, const std::string& value, const std::string& table) const;

    std::string description() const override;

private:
    const Value::Dictionary& strings(const std::string& table) const;

    std::string path_;
    mutable std::mutex lock_;
    mutable std::optional<Value::Dictionary> info_;
    mutable std::map<std::string, Value::Dictionary> tables_;
};

// Parses the text of a .strings file ("key" = "value"; with comments, escapes and unquoted
// words) or a property list of strings; nullopt when it is neither.
std::optional<Value::Dictionary> NSBundleParseStringsFile(const std::string& contents);
