#include "platform/device/SampleDevice.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/WholeFile.h"
#include "platform/media/SampleMedia.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
constexpr mode_t kFolderMode = 0755;
// Left in the folder when the tree is complete, so a half-made device is made again. It names the
// tree's edition: a device of an older edition (placeholder photos, no videos or songs) is remade.
constexpr const char* kMarker = "/.tandrel-sample-device";
constexpr const char* kEdition = "media 2\n";
// The placeholder photos of the first edition, which no real media replaces by name.
const char* const kPlaceholders[] = {"/var/mobile/Media/DCIM/100APPLE/IMG_0002.JPG"};

bool isCurrentEdition(const std::string& root) {
    std::ifstream in(root + kMarker, std::ios::binary);
    const std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return contents == kEdition;
}

// The photos, videos, album and songs, drawn and encoded here, written through the device's paths.
bool makeMedia(const std::string& root) {
    for (const char* placeholder : kPlaceholders) ::unlink((root + placeholder).c_str());
    const std::string previous = DeviceRoot::root();
    DeviceRoot::setRoot(root);
    const bool made = SampleMedia::makeLibrary();
    DeviceRoot::setRoot(previous);
    return made;
}

bool makeFolders(const std::string& path) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != '/') continue;
        if (::mkdir(path.substr(0, i).c_str(), kFolderMode) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool writeFile(const std::string& path, const std::string& contents) {
    auto slash = path.rfind('/');
    if (slash != std::string::npos && !makeFolders(path.substr(0, slash))) return false;
    // Whole or absent: a run killed while it lays out the device leaves no file cut short.
    return NSWriteWholeFileAt(AT_FDCWD, path, contents.data(), contents.size(), WholeFileWriter::Sync::None) == 0;
}
} // namespace

std::string SampleDevice::defaultFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data) return std::string(data) + "/tandrel/device";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/tandrel/device";
}

bool SampleDevice::ensureAt(const std::string& root) {
    if (isCurrentEdition(root)) return true;
    const std::vector<std::string> folders = {
        "/Applications/Preferences.app", "/Applications/MobileSafari.app", "/System/Library/Frameworks/UIKit.framework",
        "/System/Library/CoreServices", "/Library/Preferences", "/var/mobile/Media/DCIM/100APPLE",
        "/var/mobile/Media/Downloads", "/var/mobile/Documents/Trip", "/var/mobile/Library/Preferences", "/tmp", "/usr/bin"};
    for (auto& f : folders)
        if (!makeFolders(root + f)) return false;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"/Applications/Preferences.app/Info.plist", "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict/></plist>\n"},
        {"/Applications/MobileSafari.app/Info.plist", "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict/></plist>\n"},
        {"/System/Library/CoreServices/SystemVersion.plist",
         "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict><key>ProductVersion</key><string>8.0</string></dict></plist>\n"},
        {"/var/mobile/Documents/Notes.txt", "Pack the charger.\nSend the slides to Anna.\n"},
        {"/var/mobile/Documents/Budget.csv", "item,amount\nrent,800\nfood,250\n"},
        {"/var/mobile/Documents/Trip/Itinerary.txt", "Day 1: Lisbon\nDay 2: Porto\n"},
        {"/var/mobile/Documents/Trip/Tickets.pdf", "%PDF-1.4\n% sample\n%%EOF\n"},
        {"/var/mobile/Documents/.DS_Store", "hidden"},
        {"/usr/bin/true", "#!/bin/sh\nexit 0\n"},
        {"/.fseventsd", "hidden"},
    };
    for (auto& [path, contents] : files)
        if (!writeFile(root + path, contents)) return false;
    // A link to nowhere, as a real device has a few.
    ::symlink("/var/mobile/Media/Removed", (root + "/var/mobile/Media/Old Photos").c_str());
    if (!makeMedia(root)) return false;
    return writeFile(root + kMarker, kEdition);
}
