#include "platform/foundation/DeviceRoot.h"

#include "platform/foundation/DevicePathWalk.h"
#include "platform/foundation/NSString.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/openat2.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {
std::mutex rootLock;
std::atomic<bool> walkForced{false};

using SharedDescriptor = std::shared_ptr<DeviceRoot::Descriptor>;

// A host folder standing for a device folder (or a host file for a device file), held open (O_PATH)
// from its first use.
struct Folder {
    std::string host;
    SharedDescriptor fd;

    SharedDescriptor held() {
        if (!fd) {
            DeviceRoot::Descriptor opened(::open(host.c_str(), O_PATH | O_CLOEXEC));
            if (opened) fd = std::make_shared<DeviceRoot::Descriptor>(std::move(opened));
        }
        return fd;
    }
};

// No device until one is set: an empty host folder, beneath which nothing resolves. Work that runs
// before a device is chosen, or that outlives a test's device, can then never reach the host's "/".
Folder& rootStorage() {
    static Folder root = [] {
        const char* env = std::getenv("TANDREL_DEVICE");
        return Folder{std::string(env && *env ? env : ""), nullptr};
    }();
    return root;
}

struct Mount {
    std::string devicePath;
    Folder folder;
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

// The path with each ".." taken lexically and stopping at "/": only to tell whether a path lies
// below a mount, as its text says.
std::string lexicallyClamped(std::string_view path) {
    std::vector<std::string> names;
    for (auto& c : DevicePathWalk::components(path)) {
        if (c == ".") continue;
        if (c != "..") names.push_back(std::move(c));
        else if (!names.empty()) names.pop_back();
    }
    std::string out;
    for (const auto& n : names) out += "/" + n;
    return out.empty() ? "/" : out;
}

std::string normalizedRoot(const std::string& folder) {
    std::string r = folder;
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r;
}

// Where a device path is resolved: beneath a held folder (the root or a mount), or, on the
// identity mapping, by the host as it stands.
struct Base {
    bool identity = false;
    SharedDescriptor fd;
    std::string host;
    std::string path;
};

Base baseOf(std::string_view devicePath) {
    std::lock_guard<std::mutex> guard(rootLock);
    if (!mounts().empty()) {
        std::string clamped = lexicallyClamped(devicePath);
        for (auto& m : mounts()) {
            if (auto rest = below(clamped, m.devicePath)) return {false, m.folder.held(), m.folder.host, std::string(*rest)};
        }
    }
    Folder& root = rootStorage();
    if (root.host.empty()) return {false, nullptr, "", std::string(devicePath)};
    if (root.host == "/") return {true, nullptr, "/", std::string(devicePath)};
    return {false, root.held(), root.host, std::string(devicePath)};
}

// The error of a path beneath no device; a root folder that cannot be opened has left its own.
void setNoDeviceError(const Base& base) {
    if (base.host.empty()) errno = ENODEV;
}

// openat2 beneath the folder; ENOSYS where the kernel (or a sandbox's filter) lacks it.
int openat2InRoot(int root, const std::string& path, int flags, mode_t mode) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_IN_ROOT;
    const char* p = path.empty() ? "." : path.c_str();
    for (int attempt = 0;; ++attempt) {
        long fd = ::syscall(SYS_openat2, root, p, &how, sizeof how);
        if (fd >= 0) return static_cast<int>(fd);
        // EAGAIN: a rename elsewhere raced with the resolution; it is safe to try again.
        if (errno != EAGAIN || attempt == 8) return -1;
    }
}

// Whether the kernel resolves beneath a root itself; a sandbox's filter may refuse the call (EPERM).
bool kernelHasOpenat2() {
    static const bool has = [] {
        int fd = openat2InRoot(AT_FDCWD, "/", O_PATH, 0);
        if (fd >= 0) ::close(fd);
        return fd >= 0;
    }();
    return has;
}

DeviceRoot::Descriptor openBeneath(const Base& base, int flags, mode_t mode) {
    if (base.identity) return DeviceRoot::Descriptor(::open(base.path.empty() ? "." : base.path.c_str(), flags | O_CLOEXEC, mode));
    if (!base.fd) return {};
    // The base itself, opened anew with the caller's flags (a mounted file among others).
    if (base.path.find_first_not_of('/') == std::string::npos) {
        int fd = ::openat(base.fd->get(), ".", flags | O_CLOEXEC, mode);
        if (fd < 0 && errno == ENOTDIR) fd = ::open(DeviceRoot::procPath(base.fd->get()).c_str(), flags | O_CLOEXEC, mode);
        return DeviceRoot::Descriptor(fd);
    }
    if (!walkForced && kernelHasOpenat2()) return DeviceRoot::Descriptor(openat2InRoot(base.fd->get(), base.path, flags, mode));
    return DevicePathWalk::open(base.fd->get(), base.path, flags, mode);
}

// The base for the folder holding the path's last name, and that name; the name is empty (and the
// base unchanged) when the path names a folder itself: "/", or a last component "." or "..".
Base splitLast(const Base& base, std::string& name) {
    std::string_view path = base.path;
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    std::string last(slash == std::string_view::npos ? path : path.substr(slash + 1));
    name.clear();
    if (last.empty() || last == "." || last == "..") return base;
    Base folder = base;
    folder.path = slash == std::string_view::npos ? "." : slash == 0 ? "/" : std::string(path.substr(0, slash));
    name = std::move(last);
    return folder;
}

std::optional<std::string> realPathOf(int fd) {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(DeviceRoot::procPath(fd).c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
}

// The host path by the kernel's resolution of the folder and the real path it reports: a few calls
// however deep the path is. nullopt where the walk must decide: a folder that cannot be reached
// (its host path names where it fails), a last name that is a link, or a real path that is not
// below the base's.
std::optional<std::string> hostPathByKernel(const Base& base) {
    std::string name;
    Base folderBase = splitLast(base, name);
    DeviceRoot::Descriptor folder(openat2InRoot(base.fd->get(), folderBase.path, O_PATH | O_DIRECTORY, 0));
    if (!folder) return std::nullopt;
    auto real = realPathOf(folder.get());
    auto realBase = realPathOf(base.fd->get());
    if (!real || !realBase) return std::nullopt;
    std::string below;
    if (*realBase == "/") below = *real == "/" ? "" : *real;
    else if (*real == *realBase) below = "";
    else if (real->starts_with(*realBase + "/")) below = real->substr(realBase->size());
    else return std::nullopt;
    std::string host = (base.host == "/" ? "" : base.host) + below;
    if (name.empty()) return host.empty() ? "/" : host;
    struct stat st{};
    if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) return std::nullopt;
    return host + "/" + name;
}
} // namespace

DeviceRoot::Descriptor& DeviceRoot::Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

DeviceRoot::Descriptor::~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
}

int DeviceRoot::Descriptor::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

std::string DeviceRoot::root() {
    std::lock_guard<std::mutex> guard(rootLock);
    return rootStorage().host;
}

void DeviceRoot::setRoot(const std::string& hostFolder) {
    std::lock_guard<std::mutex> guard(rootLock);
    rootStorage() = Folder{normalizedRoot(hostFolder), nullptr};
}

void DeviceRoot::mount(const std::string& devicePath, const std::string& hostFolder) {
    std::lock_guard<std::mutex> guard(rootLock);
    std::string device = normalizedRoot(devicePath);
    auto& list = mounts();
    std::erase_if(list, [&](const Mount& m) { return m.devicePath == device; });
    if (!hostFolder.empty()) list.push_back({device, Folder{normalizedRoot(hostFolder), nullptr}});
}

DeviceRoot::Descriptor DeviceRoot::open(std::string_view devicePath, int flags, mode_t mode) {
    Base base = baseOf(devicePath);
    if (!base.identity && !base.fd) {
        setNoDeviceError(base);
        return {};
    }
    return openBeneath(base, flags, mode);
}

std::optional<DeviceRoot::Parent> DeviceRoot::openParent(std::string_view devicePath) {
    Base base = baseOf(devicePath);
    if (!base.identity && !base.fd) {
        setNoDeviceError(base);
        return std::nullopt;
    }
    Parent parent;
    Base folder = splitLast(base, parent.name);
    parent.folder = openBeneath(folder, O_PATH | O_DIRECTORY, 0);
    if (!parent.folder) return std::nullopt;
    return parent;
}

namespace {
std::string resolvedHostPath(const Base& base) {
    if (base.identity) return base.path.empty() ? "/" : base.path;
    // Without a device there is no host path: "" is refused by every C call.
    if (base.host.empty()) return {};
    // A root that cannot be opened has nothing below it to reach: its plain path fails alike.
    if (!base.fd) return base.host + (base.path.empty() || base.path.front() == '/' ? "" : "/") + base.path;
    if (!walkForced && kernelHasOpenat2()) {
        if (auto host = hostPathByKernel(base)) return *host;
    }
    return DevicePathWalk::hostPath(base.fd->get(), base.host, base.path);
}
} // namespace

std::string DeviceRoot::hostPath(std::string_view devicePath) {
    std::string host = resolvedHostPath(baseOf(devicePath));
    // A trailing "/" keeps asking for a folder.
    if (devicePath.ends_with('/') && !host.empty() && !host.ends_with('/')) host += '/';
    return host;
}

std::string DeviceRoot::devicePath(std::string_view hostPath) {
    std::string root;
    {
        std::lock_guard<std::mutex> guard(rootLock);
        for (const auto& m : mounts()) {
            if (auto rest = below(hostPath, m.folder.host)) return m.devicePath + std::string(*rest);
        }
        root = rootStorage().host;
    }
    if (root.empty()) return {};
    if (root == "/") return std::string(hostPath);
    if (hostPath == root) return "/";
    if (hostPath.size() > root.size() && hostPath.substr(0, root.size()) == root && hostPath[root.size()] == '/') {
        return std::string(hostPath.substr(root.size()));
    }
    return {};
}

std::string DeviceRoot::procPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

void DeviceRoot::setComponentWalkForced(bool forced) { walkForced = forced; }

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

namespace {
std::atomic<std::int64_t> freeSpaceOverrideBytes{-1};
} // namespace

void DeviceRoot::setFreeSpaceOverride(std::optional<std::uint64_t> bytes) {
    freeSpaceOverrideBytes = bytes ? static_cast<std::int64_t>(std::min<std::uint64_t>(*bytes, INT64_MAX)) : -1;
}

std::optional<std::uint64_t> DeviceRoot::freeSpaceOverride() {
    std::int64_t bytes = freeSpaceOverrideBytes;
    if (bytes < 0) return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}
