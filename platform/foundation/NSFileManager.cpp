#include "platform/foundation/NSFileManager.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/FileItems.h"
#include "platform/foundation/NSString.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statvfs.h>
#include <unistd.h>

const std::string NSFileTypeDirectory = "NSFileTypeDirectory";
const std::string NSFileTypeRegular = "NSFileTypeRegular";
const std::string NSFileTypeSymbolicLink = "NSFileTypeSymbolicLink";
const std::string NSFileTypeSocket = "NSFileTypeSocket";
const std::string NSFileTypeCharacterSpecial = "NSFileTypeCharacterSpecial";
const std::string NSFileTypeBlockSpecial = "NSFileTypeBlockSpecial";
const std::string NSFileTypeUnknown = "NSFileTypeUnknown";

namespace {

using namespace FileItems;

const std::string& fileTypeOfMode(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFDIR: return NSFileTypeDirectory;
    case S_IFREG: return NSFileTypeRegular;
    case S_IFLNK: return NSFileTypeSymbolicLink;
    case S_IFSOCK: return NSFileTypeSocket;
    case S_IFCHR: return NSFileTypeCharacterSpecial;
    case S_IFBLK: return NSFileTypeBlockSpecial;
    default: return NSFileTypeUnknown;
    }
}

double secondsOf(const struct statx_timestamp& t) { return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9; }

// The attributes of the item `name` in the folder `dirFd` (the folder itself for ""), a link
// described rather than followed. The creation date is the birth time where the file system
// keeps one, and the status-change time elsewhere.
std::optional<NSFileAttributes> attributesAt(int dirFd, const char* name, int& errnum) {
    struct statx sx{};
    int flags = AT_SYMLINK_NOFOLLOW | (*name ? 0 : AT_EMPTY_PATH);
    if (::statx(dirFd, name, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        errnum = errno;
        return std::nullopt;
    }
    NSFileAttributes a;
    a.fileType = fileTypeOfMode(sx.stx_mode);
    a.fileSize = sx.stx_size;
    a.modificationDate = NSDate::dateWithTimeIntervalSince1970(secondsOf(sx.stx_mtime));
    a.creationDate = NSDate::dateWithTimeIntervalSince1970((sx.stx_mask & STATX_BTIME) ? secondsOf(sx.stx_btime) : secondsOf(sx.stx_ctime));
    a.posixPermissions = static_cast<std::uint16_t>(sx.stx_mode & 07777);
    a.ownerAccountID = sx.stx_uid;
    a.groupOwnerAccountID = sx.stx_gid;
    a.systemNumber = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    a.systemFileNumber = sx.stx_ino;
    a.referenceCount = sx.stx_nlink;
    return a;
}

timespec timespecOf(double seconds) {
    double whole = std::floor(seconds);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(whole);
    ts.tv_nsec = static_cast<long>(std::llround((seconds - whole) * 1e9));
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

// Applies the attributes that are present to the item a device path names: the owner to the item
// itself, the permissions and date to where it leads (as chown(2) with no follow, chmod(2) and
// utimensat(2) would). Returns 0 or errno.
int applyAttributes(const NSFileAttributes& attributes, const std::string& path) {
    if (attributes.ownerAccountID || attributes.groupOwnerAccountID) {
        uid_t uid = attributes.ownerAccountID ? static_cast<uid_t>(*attributes.ownerAccountID) : static_cast<uid_t>(-1);
        gid_t gid = attributes.groupOwnerAccountID ? static_cast<gid_t>(*attributes.groupOwnerAccountID) : static_cast<gid_t>(-1);
        auto parent = DeviceRoot::openParent(path);
        if (!parent) return errno;
        int flags = AT_SYMLINK_NOFOLLOW | (parent->name.empty() ? AT_EMPTY_PATH : 0);
        if (::fchownat(parent->folder.get(), parent->name.c_str(), uid, gid, flags) != 0) return errno;
    }
    if (!attributes.posixPermissions && !attributes.modificationDate) return 0;
    Descriptor item = reached(path);
    if (!item) return errno;
    std::string itemPath = DeviceRoot::procPath(item.get());
    if (attributes.posixPermissions && ::chmod(itemPath.c_str(), *attributes.posixPermissions & 07777) != 0) return errno;
    if (attributes.modificationDate) {
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1] = timespecOf(attributes.modificationDate->timeIntervalSince1970());
        if (::utimensat(AT_FDCWD, itemPath.c_str(), times, 0) != 0) return errno;
    }
    // Linux offers no call to set a birth time: the creation date is left as the system keeps it.
    return 0;
}

class POSIXDirectoryEnumerator : public NSDirectoryEnumerator {
public:
    explicit POSIXDirectoryEnumerator(DirHandle root) { stack_.push_back({std::move(root), ""}); }

    std::optional<std::string> nextObject() override {
        if (descendPending_) {
            descendPending_ = false;
            int errnum = 0;
            // An unreadable folder is listed but not entered; the enumeration goes on.
            DirHandle child = openDirectoryAt(::dirfd(stack_.back().dir.get()), lastName_.c_str(), errnum);
            if (child) stack_.push_back({std::move(child), lastPath_ + "/"});
        }
        while (!stack_.empty()) {
            Level& top = stack_.back();
            errno = 0;
            struct dirent* entry = ::readdir(top.dir.get());
            if (!entry) {
                stack_.pop_back();
                continue;
            }
            if (isDotOrDotDot(entry->d_name)) continue;
            lastName_ = entry->d_name;
            lastPath_ = top.prefix + lastName_;
            lastLevel_ = stack_.size();
            bool isDirectory;
            if (entry->d_type != DT_UNKNOWN) {
                isDirectory = entry->d_type == DT_DIR;
            } else {
                struct stat st{};
                isDirectory = ::fstatat(::dirfd(top.dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
            }
            descendPending_ = isDirectory;
            return lastPath_;
        }
        lastName_.clear();
        return std::nullopt;
    }

    void skipDescendants() override { descendPending_ = false; }

    std::optional<NSFileAttributes> fileAttributes() override {
        if (stack_.empty() || lastName_.empty()) return std::nullopt;
        int errnum = 0;
        return attributesAt(::dirfd(stack_.back().dir.get()), lastName_.c_str(), errnum);
    }

    std::size_t level() const override { return lastLevel_; }

private:
    struct Level {
        DirHandle dir;
        std::string prefix;
    };
    // One open folder per level below the root: the walk streams, reading each folder as it goes.
    std::vector<Level> stack_;
    std::string lastName_;
    std::string lastPath_;
    std::size_t lastLevel_ = 0;
    bool descendPending_ = false;
};

} // namespace

std::shared_ptr<NSFileManager> NSFileManager::defaultManager() {
    static const std::shared_ptr<NSFileManager> shared = std::make_shared<NSFileManager>();
    return shared;
}

bool NSFileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
    Descriptor item = reached(path);
    struct stat st{};
    if (!item || ::fstat(item.get(), &st) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

namespace {
bool accessible(const std::string& path, int mode) {
    Descriptor item = reached(path);
    return item && ::access(DeviceRoot::procPath(item.get()).c_str(), mode) == 0;
}
} // namespace

bool NSFileManager::isReadableFileAtPath(const std::string& path) const { return accessible(path, R_OK); }
bool NSFileManager::isWritableFileAtPath(const std::string& path) const { return accessible(path, W_OK); }
bool NSFileManager::isExecutableFileAtPath(const std::string& path) const { return accessible(path, X_OK); }

bool NSFileManager::isDeletableFileAtPath(const std::string& path) const {
    auto parent = namedParentOf(path, nullptr, true);
    struct stat st{};
    if (!parent || ::fstatat(parent->folder.get(), parent->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    return ::access(DeviceRoot::procPath(parent->folder.get()).c_str(), W_OK | X_OK) == 0;
}

namespace {
// The folder a device path leads to, open for reading; null with errnum set.
DirHandle openFolder(const std::string& path, int& errnum) {
    Descriptor fd = DeviceRoot::open(path, O_RDONLY | O_DIRECTORY);
    DIR* dir = fd ? ::fdopendir(fd.get()) : nullptr;
    if (!dir) {
        errnum = errno;
        return nullptr;
    }
    fd.release();
    return DirHandle(dir);
}

// About as many names as a folder holds, from its size, so that its listing is made in place
// instead of being copied each time it outgrows its room: ext4, tmpfs and btrfs give a folder a
// size of 16 to 32 bytes per entry of a short name. Room that is reserved and never filled costs
// no memory (its pages are never touched); a folder that says less grows its listing as it goes.
std::size_t likelyEntryCount(int folder) {
    constexpr std::size_t kSmallestEntryBytes = 16, kMostReserved = std::size_t{1} << 22;
    struct stat st{};
    if (::fstat(folder, &st) != 0 || st.st_size <= 0) return 0;
    return std::min(static_cast<std::size_t>(st.st_size) / kSmallestEntryBytes, kMostReserved);
}
} // namespace

std::optional<std::vector<std::string>> NSFileManager::contentsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error) const {
    int errnum = 0;
    DirHandle dir = openFolder(path, errnum);
    if (!dir) {
        fail(error, errnum, path, false);
        return std::nullopt;
    }
    std::vector<std::string> names;
    names.reserve(likelyEntryCount(::dirfd(dir.get())));
    errno = 0;
    while (struct dirent* entry = ::readdir(dir.get())) {
        if (!isDotOrDotDot(entry->d_name)) names.emplace_back(entry->d_name);
    }
    if (errno != 0) {
        fail(error, errno, path, false);
        return std::nullopt;
    }
    return names;
}

std::shared_ptr<NSDirectoryEnumerator> NSFileManager::enumeratorAtPath(const std::string& path) const {
    // The folder itself may be reached through a link; only links below it are not followed.
    int errnum = 0;
    DirHandle dir = openFolder(path, errnum);
    if (!dir) return nullptr;
    return std::make_shared<POSIXDirectoryEnumerator>(std::move(dir));
}

std::optional<std::vector<std::string>> NSFileManager::subpathsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error) const {
    int errnum = 0;
    DirHandle dir = openFolder(path, errnum);
    if (!dir) {
        fail(error, errnum, path, false);
        return std::nullopt;
    }
    POSIXDirectoryEnumerator enumerator{std::move(dir)};
    std::vector<std::string> paths;
    while (auto next = enumerator.nextObject()) paths.push_back(std::move(*next));
    return paths;
}

bool NSFileManager::createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories, const NSFileAttributes* attributes,
                                          NSErrorPtr* error) const {
    mode_t mode = attributes && attributes->posixPermissions ? static_cast<mode_t>(*attributes->posixPermissions & 07777) : 0777;
    bool created = true;
    if (!withIntermediateDirectories) {
        auto parent = parentOf(path, error, true);
        if (!parent) return false;
        if (parent->name.empty()) return fail(error, EEXIST, path, true);
        if (::mkdirat(parent->folder.get(), parent->name.c_str(), mode) != 0) return fail(error, errno, path, true);
    } else {
        auto made = makeFolders(path, mode, error);
        if (!made) return false;
        created = *made;
    }
    // The attributes are those of the new folder: a folder that was already there keeps its own.
    if (attributes && created) {
        if (int e = applyAttributes(*attributes, path)) return fail(error, e, path, true);
    }
    return true;
}

bool NSFileManager::createFileAtPath(const std::string& path, const NSData* contents, const NSFileAttributes* attributes) const {
    auto parent = namedParentOf(path, nullptr, true);
    if (!parent) return false;
    static const std::uint8_t none = 0;
    if (NSAtomicWriteFileAt(parent->folder.get(), parent->name, contents ? contents->bytes() : &none, contents ? contents->length() : 0) != 0) {
        return false;
    }
    return !attributes || applyAttributes(*attributes, path) == 0;
}

std::shared_ptr<NSData> NSFileManager::contentsAtPath(const std::string& path) const { return NSData::dataWithContentsOfFile(path); }

bool NSFileManager::copyItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const {
    auto from = namedParentOf(source, error, false);
    if (!from) return false;
    struct stat st{};
    if (::fstatat(from->folder.get(), from->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return fail(error, errno, source, false);
    auto to = namedParentOf(destination, error, true);
    if (!to) return false;
    struct stat existing{};
    if (::fstatat(to->folder.get(), to->name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) return fail(error, EEXIST, destination, true);
    if (S_ISDIR(st.st_mode) && isSameOrInside(DeviceRoot::hostPath(source), DeviceRoot::hostPath(destination))) {
        return fail(error, EINVAL, destination, true);
    }
    return copyAt(from->folder.get(), from->name, to->folder.get(), to->name, source, destination, error);
}

bool NSFileManager::moveItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const {
    auto from = namedParentOf(source, error, false);
    if (!from) return false;
    struct stat st{};
    if (::fstatat(from->folder.get(), from->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return fail(error, errno, source, false);
    auto to = namedParentOf(destination, error, true);
    if (!to) return false;
    int f = from->folder.get(), t = to->folder.get();
    const char* fromName = from->name.c_str();
    const char* toName = to->name.c_str();
    if (::renameat2(f, fromName, t, toName, RENAME_NOREPLACE) == 0) return true;
    int e = errno;
    if (e == EINVAL || e == ENOSYS) {
        // A file system without RENAME_NOREPLACE: check, then rename.
        struct stat existing{};
        if (::fstatat(t, toName, &existing, AT_SYMLINK_NOFOLLOW) == 0) return fail(error, EEXIST, destination, true);
        if (::renameat(f, fromName, t, toName) == 0) return true;
        e = errno;
    }
    if (e != EXDEV) return fail(error, e, e == EEXIST ? destination : source, true);
    if (!copyItemAtPath(source, destination, error)) {
        NSErrorPtr ignored;
        removeItemAtPath(destination, &ignored);
        return false;
    }
    return removeItemAtPath(source, error);
}

bool NSFileManager::removeItemAtPath(const std::string& path, NSErrorPtr* error) const {
    auto parent = namedParentOf(path, error, true);
    if (!parent) return false;
    return removeAt(parent->folder.get(), parent->name, path, error);
}

bool NSFileManager::linkItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const {
    auto from = namedParentOf(source, error, true);
    auto to = from ? namedParentOf(destination, error, true) : std::nullopt;
    if (!to) return false;
    if (::linkat(from->folder.get(), from->name.c_str(), to->folder.get(), to->name.c_str(), 0) != 0) {
        int e = errno;
        return fail(error, e, e == EEXIST ? destination : source, true);
    }
    return true;
}

bool NSFileManager::createSymbolicLinkAtPath(const std::string& path, const std::string& destination, NSErrorPtr* error) const {
    // The target is kept as given: an absolute one is a device path, resolved inside the device.
    auto parent = namedParentOf(path, error, true);
    if (!parent) return false;
    if (::symlinkat(destination.c_str(), parent->folder.get(), parent->name.c_str()) != 0) return fail(error, errno, path, true);
    return true;
}

std::optional<std::string> NSFileManager::destinationOfSymbolicLinkAtPath(const std::string& path, NSErrorPtr* error) const {
    auto parent = namedParentOf(path, error, false);
    if (!parent) return std::nullopt;
    int errnum = 0;
    auto target = readLinkAt(parent->folder.get(), parent->name, errnum);
    if (!target) fail(error, errnum, path, false);
    return target;
}

std::optional<NSFileAttributes> NSFileManager::attributesOfItemAtPath(const std::string& path, NSErrorPtr* error) const {
    auto parent = parentOf(path, error, false);
    if (!parent) return std::nullopt;
    int errnum = 0;
    auto attributes = attributesAt(parent->folder.get(), parent->name.c_str(), errnum);
    if (!attributes) fail(error, errnum, path, false);
    return attributes;
}

bool NSFileManager::setAttributesOfItemAtPath(const NSFileAttributes& attributes, const std::string& path, NSErrorPtr* error) const {
    if (int e = applyAttributes(attributes, path)) return fail(error, e, path, true);
    return true;
}

std::optional<NSFileSystemAttributes> NSFileManager::attributesOfFileSystemForPath(const std::string& path, NSErrorPtr* error) const {
    Descriptor item = reached(path);
    struct statvfs vfs{};
    if (!item || ::fstatvfs(item.get(), &vfs) != 0) {
        fail(error, errno, path, false);
        return std::nullopt;
    }
    NSFileSystemAttributes a;
    a.systemSize = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    a.systemFreeSize = DeviceRoot::freeSpaceOverride().value_or(static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize);
    a.systemNodes = vfs.f_files;
    a.systemFreeNodes = vfs.f_ffree;
    return a;
}

std::string NSFileManager::fileSystemRepresentationWithPath(const std::string& path) const { return DeviceRoot::hostPath(path); }

std::string NSFileManager::stringWithFileSystemRepresentation(const std::string& hostPath) const { return DeviceRoot::devicePath(hostPath); }
