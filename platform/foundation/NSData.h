#pragma once
// A byte buffer. NSMutableData is the same class: the design's mutable and immutable data differ
// only in which methods the program calls.

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class NSData;
using NSMutableData = NSData;
using NSDataPtr = std::shared_ptr<NSData>;

enum NSDataWritingOptions : unsigned long { NSDataWritingAtomic = 1, NSDataWritingWithoutOverwriting = 2 };

class NSData : public NSObject {
public:
    NSData() = default;
    explicit NSData(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    NSData(const void* bytes, std::size_t length);

    static NSDataPtr data() { return std::make_shared<NSData>(); }
    static NSDataPtr dataWithBytes(const void* bytes, std::size_t length) { return std::make_shared<NSData>(bytes, length); }
    static NSDataPtr dataWithString(std::string_view s) { return std::make_shared<NSData>(s.data(), s.size()); }
    static NSDataPtr dataWithLength(std::size_t length) { return std::make_shared<NSData>(std::vector<std::uint8_t>(length)); }
    // The contents of a device file, or nil (with the error) when it cannot be read. The file is
    // opened without blocking: what is not a regular file is refused at once, and one of more than
    // `maxLength` bytes with NSFileReadTooLargeError, before more than that is read.
    static NSDataPtr dataWithContentsOfFile(const std::string& path, NSErrorPtr* error = nullptr,
                                            std::size_t maxLength = std::numeric_limits<std::size_t>::max());

    std::size_t length() const { return bytes_.size(); }
    const std::uint8_t* bytes() const { return bytes_.data(); }
    std::uint8_t* mutableBytes() { return bytes_.data(); }
    const std::vector<std::uint8_t>& vector() const { return bytes_; }
    std::vector<std::uint8_t>& mutableVector() { return bytes_; }
    std::string_view stringView() const { return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()}; }

    void appendBytes(const void* bytes, std::size_t length);
    void appendData(const NSData& other) { appendBytes(other.bytes(), other.length()); }
    void setLength(std::size_t length) { bytes_.resize(length); }
    NSDataPtr subdataWithRange(std::size_t location, std::size_t length) const;

    // Writes to a device path. Atomically: into a temporary file beside it, then renamed.
    bool writeToFile(const std::string& path, bool atomically) const;
    bool writeToFile(const std::string& path, unsigned long options, NSErrorPtr* error) const;

    std::string description() const override;
    bool isEqual(const NSObject* other) const override;
    std::size_t hash() const override;

private:
    std::vector<std::uint8_t> bytes_;
};

// Writes bytes to a host path through a temporary file in the same folder, synced, then renamed
// (WholeFileWriter); the target is either the old or the complete new file, never a partial one.
// Returns 0 or errno.
int NSAtomicWriteFile(const std::string& hostPath, const void* bytes, std::size_t length);
// The same for the item `name` in an open folder (see DeviceRoot::openParent); a link standing at
// the name is replaced, not written through.
int NSAtomicWriteFileAt(int folder, const std::string& name, const void* bytes, std::size_t length);
// Writes all bytes to a descriptor, retrying short writes and EINTR. Returns 0 or errno.
int NSWriteAll(int fd, const void* bytes, std::size_t length);
// An NSError of NSCocoaErrorDomain for a failed file operation, the POSIX error underneath.
NSErrorPtr NSFileErrorWithErrno(int errnum, const std::string& path, bool writing);
