#pragma once
// The device's file system. The system names literal device paths ("/", "/var/mobile/Tandrel",
// "/tmp"); the device's "/" is a folder of the host, the device root. Every platform file API
// resolves device paths through it, as the device itself would: a symbolic link's absolute target
// starts at the device's "/", ".." stops there, and a chain of links ends in a loop error (ELOOP)
// after 40 links. Nothing on the host outside the device root is reached through a device path.
// With the root "/" the mapping is the identity and the host resolves paths as it always does.
//
// Resolution beneath the root uses the kernel's openat2(RESOLVE_IN_ROOT) where it has it, and
// otherwise walks the path one component at a time (openat with O_NOFOLLOW, readlinkat). Callers
// act through the descriptors these calls return (*at calls), so a path is resolved once per call.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

class DeviceRoot {
public:
    // An open file descriptor, closed when it goes.
    class Descriptor {
    public:
        Descriptor() = default;
        explicit Descriptor(int fd) : fd_(fd) {}
        Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
        Descriptor& operator=(Descriptor&& other) noexcept;
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;
        ~Descriptor();
        int get() const { return fd_; }
        explicit operator bool() const { return fd_ >= 0; }
        int release();

    private:
        int fd_ = -1;
    };

    // The host folder that stands for the device's "/". Initially $TANDREL_DEVICE, or none: until
    // a device is set (and after setRoot("") takes it away) the root is "", no device path resolves
    // (ENODEV) and hostPath gives "", so nothing can reach the host's own "/" by default. The host's
    // "/" is the device only when set so explicitly. The folder is held open from its first use
    // until the next setRoot.
    static std::string root();
    static void setRoot(const std::string& hostFolder);

    // The free space the device's file system reports (attributesOfFileSystemForPath:): the host's
    // own figure unless a test or the binary sets one, as a full or nearly full disk.
    static void setFreeSpaceOverride(std::optional<std::uint64_t> bytes);
    static std::optional<std::uint64_t> freeSpaceOverride();

    // Shows a host folder at a device path whatever the root is: the application's bundle lives
    // in the repository, not in each test's fresh device. A later mount of the same device path
    // replaces the earlier one; an empty host folder removes it. A device path is below a mount
    // when it is so by its text (".." taken lexically); its links then resolve inside the mount's
    // folder as they do inside the device root. A host file can be shown at a device path alike.
    static void mount(const std::string& devicePath, const std::string& hostFolder);

    // open(2) on a device path, resolved inside the device. The flags are open(2)'s (O_CLOEXEC is
    // always added): O_NOFOLLOW refuses a link as the last component with ELOOP, or with O_PATH
    // opens the link itself; O_CREAT through a dangling link creates its target inside the device.
    // An invalid descriptor with errno set on failure. A relative path starts at the device's "/"
    // (on the identity mapping, at the current directory).
    static Descriptor open(std::string_view devicePath, int flags, mode_t mode = 0);

    // For calls that act on an item itself (lstat, unlink, rename, readlink, symlink, mkdir, link):
    // the folder holding it, resolved inside the device (an O_PATH descriptor), and the item's own
    // name in that folder, to use with *at calls. The name is empty when the path names the
    // device's "/" or ends in "." or "..": the folder is then the item itself. nullopt with errno
    // set when the folder cannot be reached.
    struct Parent {
        Descriptor folder;
        std::string name;
    };
    static std::optional<Parent> openParent(std::string_view devicePath);

    // The host path of a device path, for C libraries that take a path (minizip, open(2), libplist):
    // a plain host path that reaches the item the device path reaches. It is a string, not a held
    // descriptor: nothing to keep open or close, valid after the call, readable in logs. Every
    // folder on the way is resolved inside the device, so the string holds no link except, at most,
    // the item's own name:
    // - a last name that is not a link, or is missing, is kept: creating, removing and renaming
    //   through the string act where the device would;
    // - a last name that is a link the host follows exactly as the device does (a relative target
    //   that stays below the root) is kept, so lstat and unlink see the link itself;
    // - any other link as the last name gives where it leads inside the device (its target, or the
    //   name a dangling link would create), so that following it stays inside; C calls that act on
    //   such a link itself (lstat, unlink) then act on what it leads to: handle those links through
    //   NSFileManager or openParent;
    // - a path that cannot be resolved (a loop) gives "", which every C call refuses; a missing or
    //   non-folder component keeps the rest of the path after it, so the C call fails alike.
    // The trade-off of a plain string: a folder on the way that another process replaces by a link
    // between this call and the C call would be followed by the host. A trailing "/" is kept.
    static std::string hostPath(std::string_view devicePath);
    // The device path of a host path below the root; nullopt-like empty string when outside.
    static std::string devicePath(std::string_view hostPath);

    // "/proc/self/fd/N": the object a descriptor holds, for calls that take only a path.
    static std::string procPath(int fd);

    // Resolves by the walk component by component even where the kernel offers openat2, so that
    // tests cover both ways.
    static void setComponentWalkForced(bool forced);
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
