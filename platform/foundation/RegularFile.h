#pragma once
// Opening a file the program did not just create: whatever stands at the path is someone else's
// choice, and a FIFO with no writer, a socket or a device would make a plain open or read wait for
// ever. The file is opened without blocking and checked, through the open descriptor, to be a
// regular file before anything reads it; anything else is refused at once.

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSError.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <vector>

struct NSRegularFile {
    DeviceRoot::Descriptor fd; // open for reading, blocking mode restored; invalid on failure
    struct stat st {};
    int errnum = 0;            // the open's or fstat's error
    bool notRegular = false;   // it opened, but is a FIFO, socket, device or folder

    explicit operator bool() const { return bool(fd); }
};

// A device path, resolved inside the device.
NSRegularFile NSOpenRegularFile(const std::string& devicePath);
// A host path (a file of this machine, outside the device), or a name in an open host folder.
NSRegularFile NSOpenRegularFileAt(int folder, const std::string& path, int extraFlags = 0);
// Reads an opened regular file to its end into `bytes`, refusing with EFBIG one of more than
// `maxLength` bytes (by its size, or by what it yields, should it grow) before more is read.
// Returns 0 or errno.
int NSReadRegularFile(const NSRegularFile& file, std::size_t maxLength, std::vector<std::uint8_t>& bytes);
// The error of a failed open: the file error of the open, or, for what is not a regular file,
// EISDIR's for a folder and "…couldn't be opened because it is not a regular file." otherwise.
NSErrorPtr NSRegularFileError(const NSRegularFile& file, const std::string& path);
// The same as one line of text, for logs and tools.
std::string NSRegularFileErrorText(const NSRegularFile& file, const std::string& path);
