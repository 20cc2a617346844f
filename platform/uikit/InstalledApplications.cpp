#include "platform/uikit/InstalledApplications.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSString.h"

#include <algorithm>

namespace {
constexpr std::string_view kBundleSuffix = ".app";

void appendStrings(const Value& value, std::vector<std::string>& out) {
    if (value.isString()) {
        out.push_back(value.stringValue());
    } else if (value.isArray()) {
        for (const auto& item : value.array())
            if (item.isString()) out.push_back(item.stringValue());
    }
}

// The strings under `key` in each dictionary of the array at `listKey`.
std::vector<std::string> collect(const Value& info, const std::string& listKey, const std::string& key) {
    std::vector<std::string> out;
    const Value& list = info[listKey];
    if (!list.isArray()) return out;
    for (const auto& entry : list.array()) appendStrings(entry[key], out);
    return out;
}

std::string firstString(const Value& info, std::initializer_list<const char*> keys, const std::string& fallback) {
    for (const char* key : keys)
        if (info[key].isString() && !info[key].stringValue().empty()) return info[key].stringValue();
    return fallback;
}
} // namespace

std::vector<InstalledApplication> InstalledApplications::all() {
    std::vector<InstalledApplication> apps;
    auto names = NSFileManager::defaultManager()->contentsOfDirectoryAtPath(kApplicationsFolder, nullptr);
    if (!names) return apps;
    std::sort(names->begin(), names->end());
    for (const auto& name : *names) {
        if (name.size() <= kBundleSuffix.size() || !name.ends_with(kBundleSuffix)) continue;
        std::string bundle = std::string(kApplicationsFolder) + "/" + name;
        NSErrorPtr error;
        auto info = NSPropertyListSerialization::propertyListWithContentsOfFile(bundle + "/Info.plist", &error);
        if (!info || !info->isDictionary()) {
            NSLog("Skipping %@: its Info.plist cannot be read", bundle);
            continue;
        }
        InstalledApplication app;
        app.bundlePath = bundle;
        app.identifier = firstString(*info, {"CFBundleIdentifier"}, "");
        app.displayName = firstString(*info, {"CFBundleDisplayName", "CFBundleName"}, name.substr(0, name.size() - kBundleSuffix.size()));
        app.urlSchemes = collect(*info, "CFBundleURLTypes", "CFBundleURLSchemes");
        app.documentTypes = collect(*info, "CFBundleDocumentTypes", "CFBundleTypeName");
        app.documentContentTypes = collect(*info, "CFBundleDocumentTypes", "LSItemContentTypes");
        app.documentExtensions = collect(*info, "CFBundleDocumentTypes", "CFBundleTypeExtensions");
        apps.push_back(std::move(app));
    }
    return apps;
}

bool InstalledApplications::handlesScheme(const std::string& scheme) {
    if (scheme.empty()) return false;
    const std::string wanted = NSString::lowercaseString(scheme);
    for (const auto& app : all())
        for (const auto& own : app.urlSchemes)
            if (NSString::lowercaseString(own) == wanted) return true;
    return false;
}
