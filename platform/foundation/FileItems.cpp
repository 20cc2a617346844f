#include "platform/foundation/FileItems.h"

#include "platform/foundation/FileCopy.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/WholeFile.h"
#include "platform/foundation/NSString.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace FileItems {

namespace {
// The copy appears under its name whole or not at all, and never replaces what another writer put
// there meanwhile.
bool copyRegularFile(int sourceFolder, const std::string& sourceName, int destinationFolder, const std::string& destinationName,
                     const struct stat& st, const std::string& source, const std::string& destination, NSErrorPtr* error) {
    NSRegularFile in = NSOpenRegularFileAt(sourceFolder, sourceName, O_NOFOLLOW);
    if (!in) return fail(error, in.errnum, source, false);
    WholeFileWriter out;
    if (int e = out.beginAt(destinationFolder, destinationName, st.st_mode & 07777)) return fail(error, e, destination, true);
    if (int e = NSCopyFileContents(in.fd.get(), out.fd())) return fail(error, e, destination, true);
    timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.fd(), times);
    if (int e = out.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep)) return fail(error, e, destination, true);
    return true;
}
} // namespace

std::string childPath(const std::string& parent, const std::string& name) { return NSString::stringByAppendingPathComponent(parent, name); }

bool fail(NSErrorPtr* error, int errnum, const std::string& path, bool writing) {
    NSErrorSet(error, NSFileErrorWithErrno(errnum, path, writing));
    return false;
}

std::optional<Parent> parentOf(const std::string& path, NSErrorPtr* error, bool writing) {
    auto parent = DeviceRoot::openParent(path);
    if (!parent) fail(error, errno, path, writing);
    return parent;
}

std::optional<Parent> namedParentOf(const std::string& path, NSErrorPtr* error, bool writing) {
    auto parent = parentOf(path, error, writing);
    if (parent && parent->name.empty()) {
        fail(error, EINVAL, path, writing);
        return std::nullopt;
    }
    return parent;
}

Descriptor reached(const std::string& path) { return DeviceRoot::open(path, O_PATH); }

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

std::optional<std::string> readLinkAt(int folder, const std::string& name, int& errnum) {
    std::string target(PATH_MAX, '\0');
    ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), target.size());
    if (n < 0) {
        errnum = errno;
        return std::nullopt;
    }
    target.resize(static_cast<std::size_t>(n));
    return target;
}

bool copyAt(int sourceFolder, const std::string& sourceName, int destinationFolder, const std::string& destinationName,
            const std::string& source, const std::string& destination, NSErrorPtr* error) {
    struct stat st{};
    if (::fstatat(sourceFolder, sourceName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return fail(error, errno, source, false);
    int errnum = 0;
    if (S_ISLNK(st.st_mode)) {
        auto target = readLinkAt(sourceFolder, sourceName, errnum);
        if (!target) return fail(error, errnum, source, false);
        if (::symlinkat(target->c_str(), destinationFolder, destinationName.c_str()) != 0) return fail(error, errno, destination, true);
        return true;
    }
    if (S_ISREG(st.st_mode)) return copyRegularFile(sourceFolder, sourceName, destinationFolder, destinationName, st, source, destination, error);
    if (S_ISFIFO(st.st_mode)) {
        if (::mkfifoat(destinationFolder, destinationName.c_str(), st.st_mode & 07777) != 0) return fail(error, errno, destination, true);
        return true;
    }
    if (!S_ISDIR(st.st_mode)) return fail(error, ENOTSUP, source, false);

    DirHandle dir = openDirectoryAt(sourceFolder, sourceName.c_str(), errnum);
    if (!dir) return fail(error, errnum, source, false);
    // Owner-writable while it is filled, the source's permissions once complete.
    if (::mkdirat(destinationFolder, destinationName.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0) return fail(error, errno, destination, true);
    Descriptor made(::openat(destinationFolder, destinationName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!made) return fail(error, errno, destination, true);
    std::vector<std::string> names;
    while (struct dirent* entry = ::readdir(dir.get())) {
        if (!isDotOrDotDot(entry->d_name)) names.emplace_back(entry->d_name);
    }
    for (const std::string& name : names) {
        if (!copyAt(::dirfd(dir.get()), name, made.get(), name, childPath(source, name), childPath(destination, name), error)) return false;
    }
    ::fchmod(made.get(), st.st_mode & 07777);
    timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(made.get(), times);
    return true;
}

bool isSameOrInside(const std::string& outer, const std::string& inner) {
    std::string o = NSString::stringByStandardizingPath(outer);
    std::string i = NSString::stringByStandardizingPath(inner);
    return i == o || (i.size() > o.size() && i.compare(0, o.size(), o) == 0 && (o == "/" || i[o.size()] == '/'));
}

std::optional<bool> makeFolders(const std::string& path, mode_t mode, NSErrorPtr* error) {
    if (reached(path + "/")) return false;
    // Most calls make one new folder in a folder that is there (a cache entry's own folder): one
    // mkdirat then, instead of a walk from the root; the walk is for a parent that is missing.
    if (auto parent = DeviceRoot::openParent(path); parent && !parent->name.empty() && parent->name != "." && parent->name != "..") {
        if (::mkdirat(parent->folder.get(), parent->name.c_str(), mode) == 0) return true;
        if (errno == EEXIST && reached(path + "/")) return false;
    }
    auto names = NSString::pathComponents(path);
    std::string prefix;
    bool created = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        prefix = i == 0 ? names[0] : NSString::stringByAppendingPathComponent(prefix, names[i]);
        if (names[i] == "/" || names[i] == "." || names[i] == "..") continue;
        auto parent = DeviceRoot::openParent(prefix);
        if (!parent) {
            fail(error, errno, prefix, true);
            return std::nullopt;
        }
        created = ::mkdirat(parent->folder.get(), parent->name.c_str(), i + 1 == names.size() ? mode : 0777) == 0;
        if (created) continue;
        int e = errno;
        if (e == EEXIST && reached(prefix + "/")) continue;
        fail(error, e == EEXIST ? ENOTDIR : e, prefix, true);
        return std::nullopt;
    }
    return created;
}


} // namespace FileItems
