#pragma once
// Reading the file a store keeps its contents in (defaults, keychain, archives). Whatever the
// device's user left at a store's path is read without hanging: the file is opened without
// blocking, and a FIFO, a device, a socket or a folder is refused rather than read.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"

#include <cstddef>
#include <string>

// What a store may hold: far more than any store's contents, and little enough that a huge file
// left at a store's path (a sparse file of gigabytes costs no disk) is refused at once instead of
// read into memory.
constexpr std::size_t kNSStoreFileMaxLength = 64u << 20;

// The bytes of a regular device file of at most `maxLength` bytes; null and a file error of
// NSCocoaErrorDomain otherwise (NSFileReadNoSuchFileError when there is nothing at the path,
// NSFileReadTooLargeError for a longer file, which is not read).
NSDataPtr NSDataWithContentsOfStoreFile(const std::string& devicePath, NSErrorPtr* error = nullptr,
                                        std::size_t maxLength = kNSStoreFileMaxLength);
