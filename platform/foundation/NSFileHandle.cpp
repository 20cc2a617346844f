#include "platform/foundation/NSFileHandle.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/FileWrites.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::shared_ptr<NSFileHandle> openHandle(const std::string& path, int flags) {
    auto descriptor = DeviceRoot::open(path, flags);
    if (!descriptor) return nullptr;
    return std::make_shared<NSFileHandle>(descriptor.release());
}

} // namespace

std::shared_ptr<NSFileHandle> NSFileHandle::fileHandleForWritingAtPath(const std::string& path) {
    return openHandle(path, O_WRONLY);
}

std::shared_ptr<NSFileHandle> NSFileHandle::fileHandleForReadingAtPath(const std::string& path) {
    NSRegularFile file = NSOpenRegularFile(path);
    return file ? std::make_shared<NSFileHandle>(file.fd.release()) : nullptr;
}

NSFileHandle::NSFileHandle(int fileDescriptor) : fd_(fileDescriptor) {}

NSFileHandle::~NSFileHandle() { closeFile(); }

void NSFileHandle::fail(const char* operation, int errnum) const {
    NSException::raise(NSFileHandleOperationException,
                       std::string("*** -[NSFileHandle ") + operation + "]: " + std::strerror(errnum));
}

void NSFileHandle::writeData(const NSData& data) { writeBytes(data.bytes(), data.length()); }

void NSFileHandle::writeBytes(const void* bytes, std::size_t length) {
    if (fd_ < 0) fail("writeData:", EBADF);
    // In the page cache's pieces (see FileWrites.h).
    if (NSWriteInPieces(fd_, bytes, length) != length) fail("writeData:", errno);
}

NSDataPtr NSFileHandle::readDataToEndOfFile() {
    if (fd_ < 0) fail("readDataToEndOfFile", EBADF);
    std::vector<std::uint8_t> bytes;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            fail("readDataToEndOfFile", errno);
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return std::make_shared<NSData>(std::move(bytes));
}

std::uint64_t NSFileHandle::offsetInFile() const {
    off_t at = fd_ < 0 ? -1 : ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) fail("offsetInFile", fd_ < 0 ? EBADF : errno);
    return static_cast<std::uint64_t>(at);
}

std::uint64_t NSFileHandle::seekToEndOfFile() {
    off_t at = fd_ < 0 ? -1 : ::lseek(fd_, 0, SEEK_END);
    if (at < 0) fail("seekToEndOfFile", fd_ < 0 ? EBADF : errno);
    return static_cast<std::uint64_t>(at);
}

void NSFileHandle::synchronizeFile() {
    if (fd_ < 0) fail("synchronizeFile", EBADF);
    if (::fsync(fd_) != 0 && errno != EINVAL) fail("synchronizeFile", errno);
}

void NSFileHandle::closeFile() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}
