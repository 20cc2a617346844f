#pragma once
// Reading the file a store keeps its contents in (defaults, keychain, archives). Whatever the
// device's user left at a store's path is read without hanging: the file is opened without
// blocking, and a FIFO, a device, a socket or a folder is refused rather than read.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"

#include <string>

// The bytes of a regular device file; null and a file error of NSCocoaErrorDomain otherwise
// (NSFileReadNoSuchFileError when there is nothing at the path).
NSDataPtr NSDataWithContentsOfStoreFile(const std::string& devicePath, NSErrorPtr* error = nullptr);
