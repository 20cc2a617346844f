#include "platform/foundation/NSData.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/WholeFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

NSData::NSData(const void* bytes, std::size_t length) {
    if (length) bytes_.assign(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + length);
}

NSErrorPtr NSFileErrorWithErrno(int errnum, const std::string& path, bool writing) {
    long code;
    switch (errnum) {
    case ENOENT: code = writing ? NSFileNoSuchFileError : NSFileReadNoSuchFileError; break;
    case EACCES: case EPERM: code = writing ? NSFileWriteNoPermissionError : NSFileReadNoPermissionError; break;
    case EEXIST: code = NSFileWriteFileExistsError; break;
    case ENOSPC: case EDQUOT: code = NSFileWriteOutOfSpaceError; break;
    case EROFS: code = NSFileWriteVolumeReadOnlyError; break;
    case EFBIG: code = writing ? NSFileWriteUnknownError : NSFileReadTooLargeError; break;
    case ENAMETOOLONG: case EINVAL: code = writing ? NSFileWriteInvalidFileNameError : NSFileReadInvalidFileNameError; break;
    default: code = writing ? NSFileWriteUnknownError : NSFileReadUnknownError; break;
    }
    Value::Dictionary info{{NSUnderlyingErrorKey, Value(NSError::posixError(errnum))},
                           {NSLocalizedDescriptionKey, std::string("The operation couldn\xE2\x80\x99t be completed. ") + NSFileErrorText(errnum)}};
    if (!path.empty()) info[NSFilePathErrorKey] = path;
    return NSError::errorWithDomain(NSCocoaErrorDomain, code, std::move(info));
}

NSDataPtr NSData::dataWithContentsOfFile(const std::string& path, NSErrorPtr* error, std::size_t maxLength) {
    NSRegularFile file = NSOpenRegularFile(path);
    if (!file) {
        NSErrorSet(error, NSRegularFileError(file, path));
        return nullptr;
    }
    std::vector<std::uint8_t> bytes;
    if (int e = NSReadRegularFile(file, maxLength, bytes)) {
        NSErrorSet(error, NSFileErrorWithErrno(e, path, false));
        return nullptr;
    }
    return std::make_shared<NSData>(std::move(bytes));
}

void NSData::appendBytes(const void* bytes, std::size_t length) {
    if (length) bytes_.insert(bytes_.end(), static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + length);
}

NSDataPtr NSData::subdataWithRange(std::size_t location, std::size_t length) const {
    if (location > bytes_.size() || length > bytes_.size() - location) return nullptr;
    return dataWithBytes(bytes_.data() + location, length);
}

int NSWriteAll(int fd, const void* bytes, std::size_t length) {
    auto p = static_cast<const std::uint8_t*>(bytes);
    while (length) {
        ssize_t n = ::write(fd, p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return 0;
}

int NSAtomicWriteFile(const std::string& hostPath, const void* bytes, std::size_t length) {
    return NSAtomicWriteFileAt(AT_FDCWD, hostPath, bytes, length);
}

int NSAtomicWriteFileAt(int folder, const std::string& name, const void* bytes, std::size_t length) {
    return NSWriteWholeFileAt(folder, name, bytes, length, WholeFileWriter::Sync::Durable);
}

bool NSData::writeToFile(const std::string& path, bool atomically) const {
    return writeToFile(path, atomically ? static_cast<unsigned long>(NSDataWritingAtomic) : 0ul, nullptr);
}

bool NSData::writeToFile(const std::string& path, unsigned long options, NSErrorPtr* error) const {
    int e = 0;
    if (options & NSDataWritingAtomic) {
        auto parent = DeviceRoot::openParent(path);
        WholeFileWriter writer;
        e = parent ? writer.beginAt(parent->folder.get(), parent->name) : errno;
        if (!e) e = NSWriteAll(writer.fd(), bytes_.data(), bytes_.size());
        if (!e) {
            auto existing = (options & NSDataWritingWithoutOverwriting) ? WholeFileWriter::Existing::Keep : WholeFileWriter::Existing::Replace;
            e = writer.commit(WholeFileWriter::Sync::Durable, existing);
        }
    } else {
        int flags = O_WRONLY | O_CREAT | ((options & NSDataWritingWithoutOverwriting) ? O_EXCL : O_TRUNC);
        DeviceRoot::Descriptor fd = DeviceRoot::open(path, flags, 0644);
        if (!fd) {
            e = errno;
        } else {
            e = NSWriteAll(fd.get(), bytes_.data(), bytes_.size());
            if (::close(fd.release()) != 0 && !e) e = errno;
        }
    }
    if (e) NSErrorSet(error, NSFileErrorWithErrno(e, path, true));
    return e == 0;
}

std::string NSData::description() const { return Value(bytes_).description(); }

bool NSData::isEqual(const NSObject* other) const {
    auto d = dynamic_cast<const NSData*>(other);
    return d && d->bytes_ == bytes_;
}

std::size_t NSData::hash() const { return bytes_.size(); }
