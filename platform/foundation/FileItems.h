#pragma once
// The file manager's work on items through descriptors: each device path is resolved once inside
// the device (DeviceRoot), and everything below it is reached with *at calls that never follow a
// link in an item's place.

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSError.h"

#include <dirent.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>

namespace FileItems {

using Descriptor = DeviceRoot::Descriptor;
using Parent = DeviceRoot::Parent;

struct DirCloser {
    void operator()(DIR* d) const {
        if (d) ::closedir(d);
    }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// Sets the file error for `path` and returns false.
bool fail(NSErrorPtr* error, int errnum, const std::string& path, bool writing);
// The device path of a child, for error reports.
std::string childPath(const std::string& parent, const std::string& name);
bool isDotOrDotDot(const char* name);

// The folder holding the item a device path names, and the item's name; nullopt with the error set.
std::optional<Parent> parentOf(const std::string& path, NSErrorPtr* error, bool writing);
// The same for an item of its own: not the device's "/" nor a path ending in "." or ".." (EINVAL).
std::optional<Parent> namedParentOf(const std::string& path, NSErrorPtr* error, bool writing);
// The item a device path leads to, links followed inside the device, opened as O_PATH.
Descriptor reached(const std::string& path);

// A folder opened relative to its parent without following a link in its place.
DirHandle openDirectoryAt(int parentFd, const char* name, int& errnum);
std::optional<std::string> readLinkAt(int folder, const std::string& name, int& errnum);

// Removes `name` in an open folder, a folder with everything in it, a link as itself.
// `devicePath` names the item for error reports.
bool removeAt(int parentFd, const std::string& name, const std::string& devicePath, NSErrorPtr* error);
// Copies the item `sourceName` of one open folder to `destinationName` in another: a link as a
// link, a folder with everything in it. The device paths are for error reports.
bool copyAt(int sourceFolder, const std::string& sourceName, int destinationFolder, const std::string& destinationName,
            const std::string& source, const std::string& destination, NSErrorPtr* error);
// Whether `inner` is `outer` or lies below it, comparing normalised host paths.
bool isSameOrInside(const std::string& outer, const std::string& inner);
// Each folder of `path` from the top down, made where missing; an existing folder (or a link to
// one) is fine. Returns whether the last one was made, or nullopt with the error set.
std::optional<bool> makeFolders(const std::string& path, mode_t mode, NSErrorPtr* error);

} // namespace FileItems
