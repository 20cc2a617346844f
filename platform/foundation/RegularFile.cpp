#include "platform/foundation/RegularFile.h"

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSString.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace {
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

NSRegularFile NSOpenRegularFile(const std::string& devicePath) { return checked(DeviceRoot::open(devicePath, kOpenFlags)); }

NSRegularFile NSOpenRegularFileAt(int folder, const std::string& path, int extraFlags) {
    return checked(DeviceRoot::Descriptor(::openat(folder, path.c_str(), kOpenFlags | extraFlags)));
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
    return path + ": " + std::strerror(file.errnum);
}
