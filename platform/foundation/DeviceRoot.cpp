#include "platform/foundation/DeviceRoot.h"

#include "platform/foundation/NSString.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

namespace {
std::mutex rootLock;

std::string& rootStorage() {
    static std::string root = [] {
        const char* env = std::getenv("TANDREL_DEVICE");
        return std::string(env && *env ? env : "/");
    }();
    return root;
}

struct Mount {
    std::string devicePath;
    std::string hostFolder;
};

std::vector<Mount>& mounts() {
    static std::vector<Mount> list;
    return list;
}

// The rest of `path` below `prefix` ("" for the prefix itself), or nullopt when outside it.
std::optional<std::string_view> below(std::string_view path, std::string_view prefix) {
    if (path.substr(0, prefix.size()) != prefix) return std::nullopt;
    if (path.size() == prefix.size()) return std::string_view{};
    if (path[prefix.size()] != '/') return std::nullopt;
    return path.substr(prefix.size());
}

// The device's "/" has no parent: a ".." there stays at "/", as on the device, instead of leading
// out of the device root into the host. Every other ".." is left for the kernel to resolve, so
// that links keep their meaning.
std::string withoutParentsOfRoot(std::string_view path) {
    std::string out;
    int depth = 0;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view component = path.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (depth == 0) continue;
            --depth;
        } else {
            ++depth;
        }
        out += '/';
        out += component;
    }
    if (out.empty() || path.back() == '/') out += '/';
    return out;
}

bool hasParentComponent(std::string_view path) {
    for (std::size_t at = path.find(".."); at != std::string_view::npos; at = path.find("..", at + 1)) {
        if ((at == 0 || path[at - 1] == '/') && (at + 2 == path.size() || path[at + 2] == '/')) return true;
    }
    return false;
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

void DeviceRoot::mount(const std::string& devicePath, const std::string& hostFolder) {
    std::lock_guard<std::mutex> guard(rootLock);
    std::string device = normalizedRoot(devicePath);
    auto& list = mounts();
    std::erase_if(list, [&](const Mount& m) { return m.devicePath == device; });
    if (!hostFolder.empty()) list.push_back({device, normalizedRoot(hostFolder)});
}

std::string DeviceRoot::hostPath(std::string_view devicePath) {
    std::string clamped;
    // A relative path on the identity mapping stays relative, as the host resolves it.
    if (hasParentComponent(devicePath) && (devicePath.front() == '/' || root() != "/")) {
        clamped = withoutParentsOfRoot(devicePath);
        devicePath = clamped;
    }
    std::string root;
    {
        std::lock_guard<std::mutex> guard(rootLock);
        for (const auto& m : mounts()) {
            if (auto rest = below(devicePath, m.devicePath)) return m.hostFolder + std::string(*rest);
        }
        root = rootStorage();
    }
    if (root == "/") return std::string(devicePath.empty() ? "/" : devicePath);
    if (devicePath.empty()) return root;
    if (devicePath.front() == '/') return root + std::string(devicePath);
    return root + "/" + std::string(devicePath);
}

std::string DeviceRoot::devicePath(std::string_view hostPath) {
    std::string root;
    {
        std::lock_guard<std::mutex> guard(rootLock);
        for (const auto& m : mounts()) {
            if (auto rest = below(hostPath, m.hostFolder)) return m.devicePath + std::string(*rest);
        }
        root = rootStorage();
    }
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
