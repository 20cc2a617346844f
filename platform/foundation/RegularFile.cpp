#include "platform/foundation/RegularFile.h"

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/WholeFile.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <unistd.h>

namespace {
// What stands at a path that would not open: a socket (ENXIO) or a device without its driver
// (ENXIO, ENODEV) is not a regular file, and is refused as such rather than as a failure to read.
// `stat` finds what the open would have reached (a link followed).
NSRegularFile refusedOpen(int errnum, const std::function<bool(struct stat&)>& stat) {
    NSRegularFile file;
    file.errnum = errnum;
    if (errnum == ENXIO || errnum == ENODEV || errnum == EOPNOTSUPP) {
        struct stat st{};
        if (stat(st) && !S_ISREG(st.st_mode)) {
            file.st = st;
            file.notRegular = true;
            file.errnum = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        }
    }
    return file;
}

NSRegularFile checked(DeviceRoot::Descriptor fd) {
    NSRegularFile file;
    if (!fd) {
        file.errnum = errno;
        return file;
    }
    if (::fstat(fd.get(), &file.st) != 0) {
        file.errnum = errno;
        return file;
    }
    if (!S_ISREG(file.st.st_mode)) {
        file.notRegular = true;
        file.errnum = S_ISDIR(file.st.st_mode) ? EISDIR : EINVAL;
        return file;
    }
    // Reads of a regular file never wait for a writer; blocking mode is what later readers expect.
    int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    file.fd = std::move(fd);
    return file;
}

constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
} // namespace

NSRegularFile NSOpenRegularFile(const std::string& devicePath) {
    DeviceRoot::Descriptor fd = DeviceRoot::open(devicePath, kOpenFlags);
    if (fd) return checked(std::move(fd));
    return refusedOpen(errno, [&](struct stat& st) {
        DeviceRoot::Descriptor item = DeviceRoot::open(devicePath, O_PATH);
        return item && ::fstat(item.get(), &st) == 0;
    });
}

NSRegularFile NSOpenRegularFileAt(int folder, const std::string& path, int extraFlags) {
    DeviceRoot::Descriptor fd(::openat(folder, path.c_str(), kOpenFlags | extraFlags));
    if (fd) return checked(std::move(fd));
    return refusedOpen(errno, [&](struct stat& st) {
        DeviceRoot::Descriptor item(::openat(folder, path.c_str(), O_PATH | O_CLOEXEC | (extraFlags & O_NOFOLLOW)));
        return item && ::fstat(item.get(), &st) == 0;
    });
}

int NSReadRegularFile(const NSRegularFile& file, std::size_t maxLength, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (file.st.st_size > 0 && static_cast<std::uint64_t>(file.st.st_size) > maxLength) return EFBIG;
    if (file.st.st_size > 0) bytes.reserve(static_cast<std::size_t>(file.st.st_size));
    std::uint8_t buffer[65536];
    while (true) {
        ssize_t n = ::read(file.fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        // The file may have grown since it was opened.
        if (static_cast<std::size_t>(n) > maxLength - bytes.size()) {
            bytes.clear();
            return EFBIG;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
}

NSErrorPtr NSRegularFileError(const NSRegularFile& file, const std::string& path) {
    if (!file.notRegular || file.errnum == EISDIR) return NSFileErrorWithErrno(file.errnum, path, false);
    return NSError::errorWithDomain(NSCocoaErrorDomain, NSFileReadUnknownError,
                                    {{NSLocalizedDescriptionKey, "The file \xE2\x80\x9C" + NSString::lastPathComponent(path) +
                                                                     "\xE2\x80\x9D couldn\xE2\x80\x99t be opened because it is not a regular file."},
                                     {NSFilePathErrorKey, path}});
}

std::string NSRegularFileErrorText(const NSRegularFile& file, const std::string& path) {
    if (file.notRegular && file.errnum != EISDIR) return path + " is not a regular file";
    return path + ": " + NSFileErrorText(file.errnum);
}
