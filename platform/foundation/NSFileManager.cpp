#include "platform/foundation/NSFileManager.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"

#include <cerrno>
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

constexpr std::size_t kCopyBufferSize = 1 << 17;

std::string hostOf(const std::string& devicePath) { return NSString::fileSystemRepresentation(devicePath); }

// The device path of a child, for error reports.
std::string childPath(const std::string& parent, const std::string& name) { return NSString::stringByAppendingPathComponent(parent, name); }

bool fail(NSErrorPtr* error, int errnum, const std::string& path, bool writing) {
    NSErrorSet(error, NSFileErrorWithErrno(errnum, path, writing));
    return false;
}

struct FileDescriptor {
    int fd = -1;
    FileDescriptor() = default;
    explicit FileDescriptor(int f) : fd(f) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
    int release() {
        int f = fd;
        fd = -1;
        return f;
    }
};

struct DirCloser {
    void operator()(DIR* d) const {
        if (d) ::closedir(d);
    }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// A folder opened relative to its parent without following a link in its place.
DirHandle openDirectoryAt(int parentFd, const char* name, int& errnum) {
    int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        errnum = errno;
        return nullptr;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        errnum = errno;
        ::close(fd);
        return nullptr;
    }
    return DirHandle(dir);
}

bool isDotOrDotDot(const char* name) { return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)); }

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

// The attributes of the item `name` in the folder `dirFd` (or a path from AT_FDCWD), a link
// described rather than followed. The creation date is the birth time where the file system
// keeps one, and the status-change time elsewhere.
std::optional<NSFileAttributes> attributesAt(int dirFd, const char* name, int& errnum) {
    struct statx sx{};
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
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

// Applies the attributes that are present to a host path; returns 0 or errno.
int applyAttributes(const NSFileAttributes& attributes, const std::string& host) {
    if (attributes.ownerAccountID || attributes.groupOwnerAccountID) {
        uid_t uid = attributes.ownerAccountID ? static_cast<uid_t>(*attributes.ownerAccountID) : static_cast<uid_t>(-1);
        gid_t gid = attributes.groupOwnerAccountID ? static_cast<gid_t>(*attributes.groupOwnerAccountID) : static_cast<gid_t>(-1);
        if (::lchown(host.c_str(), uid, gid) != 0) return errno;
    }
    if (attributes.posixPermissions && ::chmod(host.c_str(), *attributes.posixPermissions & 07777) != 0) return errno;
    if (attributes.modificationDate) {
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1] = timespecOf(attributes.modificationDate->timeIntervalSince1970());
        if (::utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) return errno;
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

// Recursive removal below an open folder. `devicePath` names `name` for error reports.
bool removeAt(int parentFd, const std::string& name, const std::string& devicePath, NSErrorPtr* error) {
    struct stat st{};
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return fail(error, errno, devicePath, true);
    if (S_ISDIR(st.st_mode)) {
        int errnum = 0;
        DirHandle dir = openDirectoryAt(parentFd, name.c_str(), errnum);
        if (!dir) return fail(error, errnum, devicePath, true);
        std::vector<std::string> names;
        while (struct dirent* entry = ::readdir(dir.get())) {
            if (!isDotOrDotDot(entry->d_name)) names.emplace_back(entry->d_name);
        }
        for (const std::string& child : names) {
            if (!removeAt(::dirfd(dir.get()), child, childPath(devicePath, child), error)) return false;
        }
        dir.reset();
        if (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0) return fail(error, errno, devicePath, true);
        return true;
    }
    if (::unlinkat(parentFd, name.c_str(), 0) != 0) return fail(error, errno, devicePath, true);
    return true;
}

bool copyRegularFile(const std::string& sourceHost, const std::string& destinationHost, const struct stat& st, const std::string& source,
                     const std::string& destination, NSErrorPtr* error) {
    FileDescriptor in(::open(sourceHost.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (in.fd < 0) return fail(error, errno, source, false);
    FileDescriptor out(::open(destinationHost.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
    if (out.fd < 0) return fail(error, errno, destination, true);
    std::vector<std::uint8_t> buffer(kCopyBufferSize);
    while (true) {
        ssize_t n = ::read(in.fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(error, errno, source, false);
        if (n == 0) break;
        if (int e = NSWriteAll(out.fd, buffer.data(), static_cast<std::size_t>(n))) return fail(error, e, destination, true);
    }
    ::fchmod(out.fd, st.st_mode & 07777);
    timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.fd, times);
    if (::close(out.release()) != 0) return fail(error, errno, destination, true);
    return true;
}

bool copyItem(const std::string& source, const std::string& destination, NSErrorPtr* error) {
    std::string sourceHost = hostOf(source);
    std::string destinationHost = hostOf(destination);
    struct stat st{};
    if (::lstat(sourceHost.c_str(), &st) != 0) return fail(error, errno, source, false);
    if (S_ISLNK(st.st_mode)) {
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n = ::readlink(sourceHost.c_str(), target.data(), target.size());
        if (n < 0) return fail(error, errno, source, false);
        target.resize(static_cast<std::size_t>(n));
        if (::symlink(target.c_str(), destinationHost.c_str()) != 0) return fail(error, errno, destination, true);
        return true;
    }
    if (S_ISREG(st.st_mode)) return copyRegularFile(sourceHost, destinationHost, st, source, destination, error);
    if (S_ISFIFO(st.st_mode)) {
        if (::mkfifo(destinationHost.c_str(), st.st_mode & 07777) != 0) return fail(error, errno, destination, true);
        return true;
    }
    if (!S_ISDIR(st.st_mode)) return fail(error, ENOTSUP, source, false);

    int errnum = 0;
    DirHandle dir = openDirectoryAt(AT_FDCWD, sourceHost.c_str(), errnum);
    if (!dir) return fail(error, errnum, source, false);
    // Owner-writable while it is filled, the source's permissions once complete.
    if (::mkdir(destinationHost.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0) return fail(error, errno, destination, true);
    std::vector<std::string> names;
    while (struct dirent* entry = ::readdir(dir.get())) {
        if (!isDotOrDotDot(entry->d_name)) names.emplace_back(entry->d_name);
    }
    dir.reset();
    for (const std::string& name : names) {
        if (!copyItem(childPath(source, name), childPath(destination, name), error)) return false;
    }
    ::chmod(destinationHost.c_str(), st.st_mode & 07777);
    timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, destinationHost.c_str(), times, 0);
    return true;
}

// Whether `inner` is `outer` or lies below it, comparing normalised host paths.
bool isSameOrInside(const std::string& outer, const std::string& inner) {
    std::string o = NSString::stringByStandardizingPath(outer);
    std::string i = NSString::stringByStandardizingPath(inner);
    return i == o || (i.size() > o.size() && i.compare(0, o.size(), o) == 0 && (o == "/" || i[o.size()] == '/'));
}

} // namespace

std::shared_ptr<NSFileManager> NSFileManager::defaultManager() {
    static const std::shared_ptr<NSFileManager> shared = std::make_shared<NSFileManager>();
    return shared;
}

bool NSFileManager::fileExistsAtPath(const std::string& path, bool* isDirectory) const {
    struct stat st{};
    if (::stat(hostOf(path).c_str(), &st) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

bool NSFileManager::isReadableFileAtPath(const std::string& path) const { return ::access(hostOf(path).c_str(), R_OK) == 0; }
bool NSFileManager::isWritableFileAtPath(const std::string& path) const { return ::access(hostOf(path).c_str(), W_OK) == 0; }
bool NSFileManager::isExecutableFileAtPath(const std::string& path) const { return ::access(hostOf(path).c_str(), X_OK) == 0; }

bool NSFileManager::isDeletableFileAtPath(const std::string& path) const {
    std::string host = hostOf(path);
    struct stat st{};
    if (::lstat(host.c_str(), &st) != 0) return false;
    std::string parent = NSString::stringByDeletingLastPathComponent(host);
    if (parent.empty()) parent = ".";
    return ::access(parent.c_str(), W_OK | X_OK) == 0;
}

std::optional<std::vector<std::string>> NSFileManager::contentsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error) const {
    int errnum = 0;
    DirHandle dir = openDirectoryAt(AT_FDCWD, hostOf(path).c_str(), errnum);
    if (!dir) {
        // The path names a folder only through a link: list the folder it leads to.
        if (errnum == ELOOP || errnum == ENOTDIR) {
            DIR* followed = ::opendir(hostOf(path).c_str());
            if (followed) dir.reset(followed);
            else errnum = errno;
        }
        if (!dir) {
            fail(error, errnum, path, false);
            return std::nullopt;
        }
    }
    std::vector<std::string> names;
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
    DIR* dir = ::opendir(hostOf(path).c_str());
    if (!dir) return nullptr;
    return std::make_shared<POSIXDirectoryEnumerator>(DirHandle(dir));
}

std::optional<std::vector<std::string>> NSFileManager::subpathsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error) const {
    DIR* dir = ::opendir(hostOf(path).c_str());
    if (!dir) {
        fail(error, errno, path, false);
        return std::nullopt;
    }
    POSIXDirectoryEnumerator enumerator{DirHandle(dir)};
    std::vector<std::string> paths;
    while (auto next = enumerator.nextObject()) paths.push_back(std::move(*next));
    return paths;
}

bool NSFileManager::createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories, const NSFileAttributes* attributes,
                                          NSErrorPtr* error) const {
    std::string host = hostOf(path);
    mode_t mode = attributes && attributes->posixPermissions ? static_cast<mode_t>(*attributes->posixPermissions & 07777) : 0777;
    bool created = true;
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    if (!withIntermediateDirectories) {
        if (::mkdir(host.c_str(), mode) != 0) return fail(error, errno, path, true);
    } else {
        // Each missing folder from the top down; an existing folder (or a link to one) is fine.
        std::string partial;
        for (std::size_t i = 1; i <= host.size(); ++i) {
            if (i != host.size() && host[i] != '/') continue;
            partial.assign(host, 0, i);
            if (partial.empty() || partial.back() == '/') continue;
            created = ::mkdir(partial.c_str(), i == host.size() ? mode : 0777) == 0;
            if (created) continue;
            int e = errno;
            struct stat st{};
            if (e == EEXIST && ::stat(partial.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            std::string device = DeviceRoot::devicePath(partial);
            return fail(error, e == EEXIST ? ENOTDIR : e, device.empty() ? path : device, true);
        }
    }
    // The attributes are those of the new folder: a folder that was already there keeps its own.
    if (attributes && created) {
        if (int e = applyAttributes(*attributes, host)) return fail(error, e, path, true);
    }
    return true;
}

bool NSFileManager::createFileAtPath(const std::string& path, const NSData* contents, const NSFileAttributes* attributes) const {
    std::string host = hostOf(path);
    static const std::uint8_t none = 0;
    if (NSAtomicWriteFile(host, contents ? contents->bytes() : &none, contents ? contents->length() : 0) != 0) return false;
    return !attributes || applyAttributes(*attributes, host) == 0;
}

std::shared_ptr<NSData> NSFileManager::contentsAtPath(const std::string& path) const { return NSData::dataWithContentsOfFile(path); }

bool NSFileManager::copyItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const {
    struct stat st{};
    if (::lstat(hostOf(source).c_str(), &st) != 0) return fail(error, errno, source, false);
    if (::lstat(hostOf(destination).c_str(), &st) == 0) return fail(error, EEXIST, destination, true);
    if (S_ISDIR(st.st_mode) && isSameOrInside(hostOf(source), hostOf(destination))) return fail(error, EINVAL, destination, true);
    return copyItem(source, destination, error);
}

bool NSFileManager::moveItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const {
    std::string sourceHost = hostOf(source);
    std::string destinationHost = hostOf(destination);
    struct stat st{};
    if (::lstat(sourceHost.c_str(), &st) != 0) return fail(error, errno, source, false);
    if (::renameat2(AT_FDCWD, sourceHost.c_str(), AT_FDCWD, destinationHost.c_str(), RENAME_NOREPLACE) == 0) return true;
    int e = errno;
    if (e == EINVAL || e == ENOSYS) {
        // A file system without RENAME_NOREPLACE: check, then rename.
        struct stat existing{};
        if (::lstat(destinationHost.c_str(), &existing) == 0) return fail(error, EEXIST, destination, true);
        if (::rename(sourceHost.c_str(), destinationHost.c_str()) == 0) return true;
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
    std::string host = hostOf(path);
    std::string parent = NSString::stringByDeletingLastPathComponent(host);
    std::string name = NSString::lastPathComponent(host);
    if (name.empty() || name == "/" || name == "." || name == "..") return fail(error, EINVAL, path, true);
    FileDescriptor parentFd(::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parentFd.fd < 0) return fail(error, errno, path, true);
    return removeAt(parentFd.fd, name, path, error);
}

bool NSFileManager::linkItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const {
    if (::link(hostOf(source).c_str(), hostOf(destination).c_str()) != 0) {
        int e = errno;
        return fail(error, e, e == EEXIST ? destination : source, true);
    }
    return true;
}

bool NSFileManager::createSymbolicLinkAtPath(const std::string& path, const std::string& destination, NSErrorPtr* error) const {
    // An absolute target is a device path: the link on the host leads to its host path.
    std::string target = NSString::isAbsolutePath(destination) ? hostOf(destination) : destination;
    if (::symlink(target.c_str(), hostOf(path).c_str()) != 0) return fail(error, errno, path, true);
    return true;
}

std::optional<std::string> NSFileManager::destinationOfSymbolicLinkAtPath(const std::string& path, NSErrorPtr* error) const {
    std::string host = hostOf(path);
    std::string target(4096, '\0');
    ssize_t n = ::readlink(host.c_str(), target.data(), target.size());
    if (n < 0) {
        fail(error, errno, path, false);
        return std::nullopt;
    }
    target.resize(static_cast<std::size_t>(n));
    if (NSString::isAbsolutePath(target)) {
        std::string device = DeviceRoot::devicePath(target);
        if (!device.empty()) return device;
    }
    return target;
}

std::optional<NSFileAttributes> NSFileManager::attributesOfItemAtPath(const std::string& path, NSErrorPtr* error) const {
    int errnum = 0;
    auto attributes = attributesAt(AT_FDCWD, hostOf(path).c_str(), errnum);
    if (!attributes) fail(error, errnum, path, false);
    return attributes;
}

bool NSFileManager::setAttributesOfItemAtPath(const NSFileAttributes& attributes, const std::string& path, NSErrorPtr* error) const {
    if (int e = applyAttributes(attributes, hostOf(path))) return fail(error, e, path, true);
    return true;
}

std::optional<NSFileSystemAttributes> NSFileManager::attributesOfFileSystemForPath(const std::string& path, NSErrorPtr* error) const {
    struct statvfs vfs{};
    if (::statvfs(hostOf(path).c_str(), &vfs) != 0) {
        fail(error, errno, path, false);
        return std::nullopt;
    }
    NSFileSystemAttributes a;
    a.systemSize = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    a.systemFreeSize = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    a.systemNodes = vfs.f_files;
    a.systemFreeNodes = vfs.f_ffree;
    return a;
}

std::string NSFileManager::fileSystemRepresentationWithPath(const std::string& path) const { return hostOf(path); }

std::string NSFileManager::stringWithFileSystemRepresentation(const std::string& hostPath) const { return DeviceRoot::devicePath(hostPath); }
