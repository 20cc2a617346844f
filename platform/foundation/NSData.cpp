#include "platform/foundation/NSData.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"

#include <atomic>
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
    case ENAMETOOLONG: case EINVAL: code = writing ? NSFileWriteInvalidFileNameError : NSFileReadInvalidFileNameError; break;
    default: code = writing ? NSFileWriteUnknownError : NSFileReadUnknownError; break;
    }
    Value::Dictionary info{{NSUnderlyingErrorKey, Value(NSError::posixError(errnum))},
                           {NSLocalizedDescriptionKey, std::string("The operation couldn\xE2\x80\x99t be completed. ") + std::strerror(errnum)}};
    if (!path.empty()) info[NSFilePathErrorKey] = path;
    return NSError::errorWithDomain(NSCocoaErrorDomain, code, std::move(info));
}

NSDataPtr NSData::dataWithContentsOfFile(const std::string& path, NSErrorPtr* error) {
    int fd = DeviceRoot::open(path, O_RDONLY).release();
    if (fd < 0) {
        NSErrorSet(error, NSFileErrorWithErrno(errno, path, false));
        return nullptr;
    }
    struct stat st{};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        NSErrorSet(error, NSFileErrorWithErrno(EISDIR, path, false));
        return nullptr;
    }
    auto data = std::make_shared<NSData>();
    if (st.st_size > 0) data->bytes_.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buffer[65536];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int e = errno;
            ::close(fd);
            NSErrorSet(error, NSFileErrorWithErrno(e, path, false));
            return nullptr;
        }
        if (n == 0) break;
        data->appendBytes(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
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
    if (name.empty()) return EISDIR;
    static std::atomic<unsigned> sequence{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(sequence++);
        fd = ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;
    ::fchmod(fd, 0644);
    int e = NSWriteAll(fd, bytes, length);
    if (!e && ::fsync(fd) != 0) e = errno;
    if (::close(fd) != 0 && !e) e = errno;
    if (!e && ::renameat(folder, temp.c_str(), folder, name.c_str()) != 0) e = errno;
    if (e) ::unlinkat(folder, temp.c_str(), 0);
    return e;
}

bool NSData::writeToFile(const std::string& path, bool atomically) const {
    return writeToFile(path, atomically ? static_cast<unsigned long>(NSDataWritingAtomic) : 0ul, nullptr);
}

bool NSData::writeToFile(const std::string& path, unsigned long options, NSErrorPtr* error) const {
    int e = 0;
    if (options & NSDataWritingAtomic) {
        auto parent = DeviceRoot::openParent(path);
        if (!parent) {
            e = errno;
        } else if (options & NSDataWritingWithoutOverwriting) {
            struct stat st{};
            if (::fstatat(parent->folder.get(), parent->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) e = EEXIST;
        }
        if (!e) e = NSAtomicWriteFileAt(parent->folder.get(), parent->name, bytes_.data(), bytes_.size());
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
