#pragma once
// File handles on device files: an open descriptor with the platform's reading and writing calls.
// As on the device, a write or synchronize that the file system refuses (a full disk, a closed
// handle) raises NSFileHandleOperationException; closing is idempotent and the descriptor is
// closed when the handle goes.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>

class NSFileHandle : public NSObject {
public:
    // nil when the file does not exist or cannot be opened (the handle does not create it).
    static std::shared_ptr<NSFileHandle> fileHandleForWritingAtPath(const std::string& path);
    static std::shared_ptr<NSFileHandle> fileHandleForReadingAtPath(const std::string& path);

    explicit NSFileHandle(int fileDescriptor);
    ~NSFileHandle() override;

    int fileDescriptor() const { return fd_; }
    // Writes every byte at the current offset.
    void writeData(const NSData& data);
    void writeBytes(const void* bytes, std::size_t length);
    NSDataPtr readDataToEndOfFile();
    std::uint64_t offsetInFile() const;
    std::uint64_t seekToEndOfFile();
    // Flushes what was written to the storage device.
    void synchronizeFile();
    void closeFile();

private:
    [[noreturn]] void fail(const char* operation, int errnum) const;
    int fd_ = -1;
};
