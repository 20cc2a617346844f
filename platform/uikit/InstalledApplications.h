#pragma once
// The apps installed beside this one: every "/Applications/NAME.app" of the device whose Info.plist
// can be read. The device's folder is read on each call, so apps put in or taken out while the app
// runs count at once.

#include <string>
#include <vector>

struct InstalledApplication {
    std::string bundlePath;      // "/Applications/NAME.app"
    std::string identifier;      // CFBundleIdentifier
    std::string displayName;     // CFBundleDisplayName, else CFBundleName, else NAME
    std::vector<std::string> urlSchemes;     // every CFBundleURLTypes entry's CFBundleURLSchemes
    std::vector<std::string> documentTypes;  // every CFBundleDocumentTypes entry's CFBundleTypeName
    std::vector<std::string> documentContentTypes;  // … its LSItemContentTypes (type identifiers)
    std::vector<std::string> documentExtensions;    // … its CFBundleTypeExtensions ("*" for any)
};

class InstalledApplications {
public:
    static constexpr const char* kApplicationsFolder = "/Applications";

    // The installed apps in name order. An app whose Info.plist is missing, unreadable or not a
    // dictionary is left out with a log line.
    static std::vector<InstalledApplication> all();
    // Whether an installed app takes URLs of the scheme, compared without case.
    static bool handlesScheme(const std::string& scheme);
};
