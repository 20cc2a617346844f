#pragma once
// The device's file system. The system names literal device paths ("/", "/var/mobile/Tandrel",
// "/tmp"); the device's "/" is a folder of the host, the device root. Every platform file API
// resolves device paths through it; with the root "/" the mapping is the identity.

#include <string>
#include <string_view>

class DeviceRoot {
public:
    // The host folder that stands for the device's "/". Initially $TANDREL_DEVICE, or "/".
    static std::string root();
    static void setRoot(const std::string& hostFolder);

    // Shows a host folder at a device path whatever the root is: the application's bundle lives
    // in the repository, not in each test's fresh device. A later mount of the same device path
    // replaces the earlier one; an empty host folder removes it.
    static void mount(const std::string& devicePath, const std::string& hostFolder);

    // The host path of a device path. A relative path is taken relative to the device's "/".
    static std::string hostPath(std::string_view devicePath);
    // The device path of a host path below the root; nullopt-like empty string when outside.
    static std::string devicePath(std::string_view hostPath);
};

// The device's fixed folders.
std::string NSHomeDirectory();       // "/var/mobile"
std::string NSTemporaryDirectory();  // "/var/mobile/tmp/"
std::string NSOpenStepRootDirectory(); // "/"

enum NSSearchPathDirectory : unsigned long {
    NSApplicationDirectory = 1,
    NSLibraryDirectory = 5,
    NSUserDirectory = 7,
    NSDocumentDirectory = 9,
    NSCachesDirectory = 13,
    NSApplicationSupportDirectory = 14,
};
enum NSSearchPathDomainMask : unsigned long { NSUserDomainMask = 1, NSLocalDomainMask = 2, NSSystemDomainMask = 8, NSAllDomainsMask = 0xffff };

#include <vector>
// The user domain's folders below NSHomeDirectory(): Library, Library/Caches,
// Library/Application Support, Documents; "~" when not expanded.
std::vector<std::string> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domains,
                                                             bool expandTilde);
