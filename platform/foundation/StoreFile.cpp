#include "platform/foundation/StoreFile.h"

#include "platform/foundation/NSString.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

NSErrorPtr notARegularFile(const std::string& path) {
    return NSError::errorWithDomain(NSCocoaErrorDomain, NSFileReadUnknownError,
                                    {{NSLocalizedDescriptionKey, "The file \xE2\x80\x9C" + NSString::lastPathComponent(path) +
                                                                     "\xE2\x80\x9D couldn\xE2\x80\x99t be opened because it is not a regular file."},
                                     {NSFilePathErrorKey, path}});
}
} // namespace

NSDataPtr NSDataWithContentsOfStoreFile(const std::string& devicePath, NSErrorPtr* error) {
    std::string host = NSString::fileSystemRepresentation(devicePath);
    // Without O_NONBLOCK, opening a FIFO that nobody writes waits for a writer forever.
    Descriptor fd(::open(host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        NSErrorSet(error, NSFileErrorWithErrno(errno, devicePath, false));
        return nullptr;
    }
    struct stat st{};
    if (::fstat(fd.get(), &st) != 0) {
        NSErrorSet(error, NSFileErrorWithErrno(errno, devicePath, false));
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        NSErrorSet(error, S_ISDIR(st.st_mode) ? NSFileErrorWithErrno(EISDIR, devicePath, false) : notARegularFile(devicePath));
        return nullptr;
    }
    std::vector<std::uint8_t> bytes;
    if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buffer[65536];
    while (true) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            NSErrorSet(error, NSFileErrorWithErrno(errno, devicePath, false));
            return nullptr;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return std::make_shared<NSData>(std::move(bytes));
}
