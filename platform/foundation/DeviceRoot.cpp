#include "platform/foundation/DeviceRoot.h"

#include "platform/foundation/NSString.h"

#include <cstdlib>
#include <mutex>

namespace {
std::mutex rootLock;

std::string& rootStorage() {
    static std::string root = [] {
        const char* env = std::getenv("TANDREL_DEVICE");
        return std::string(env && *env ? env : "/");
    }();
    return root;
}

std::string normalizedRoot(const std::string& folder) {
    std::string r = folder.empty() ? "/" : folder;
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r;
}
} // namespace

std::string DeviceRoot::root() {
    std::lock_guard<std::mutex> guard(rootLock);
    return rootStorage();
}

void DeviceRoot::setRoot(const std::string& hostFolder) {
    std::lock_guard<std::mutex> guard(rootLock);
    rootStorage() = normalizedRoot(hostFolder);
}

std::string DeviceRoot::hostPath(std::string_view devicePath) {
    std::string root = DeviceRoot::root();
    if (root == "/") return std::string(devicePath.empty() ? "/" : devicePath);
    if (devicePath.empty()) return root;
    if (devicePath.front() == '/') return root + std::string(devicePath);
    return root + "/" + std::string(devicePath);
}

std::string DeviceRoot::devicePath(std::string_view hostPath) {
    std::string root = DeviceRoot::root();
    if (root == "/") return std::string(hostPath);
    if (hostPath == root) return "/";
    if (hostPath.size() > root.size() && hostPath.substr(0, root.size()) == root && hostPath[root.size()] == '/') {
        return std::string(hostPath.substr(root.size()));
    }
    return {};
}

std::string NSHomeDirectory() { return "/var/mobile"; }
std::string NSTemporaryDirectory() { return "/var/mobile/tmp/"; }
std::string NSOpenStepRootDirectory() { return "/"; }

std::vector<std::string> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domains,
                                                             bool expandTilde) {
    if (!(domains & NSUserDomainMask)) return {};
    std::string relative;
    switch (directory) {
    case NSLibraryDirectory: relative = "Library"; break;
    case NSCachesDirectory: relative = "Library/Caches"; break;
    case NSApplicationSupportDirectory: relative = "Library/Application Support"; break;
    case NSDocumentDirectory: relative = "Documents"; break;
    case NSApplicationDirectory: relative = "Applications"; break;
    case NSUserDirectory: return {expandTilde ? std::string("/var") : std::string("~")};
    default: return {};
    }
    return {NSString::stringByAppendingPathComponent(expandTilde ? NSHomeDirectory() : "~", relative)};
}
