#pragma once
// The file manager, on real files below the device root. Paths are device paths, and links resolve
// inside the device (see DeviceRoot); each call resolves its paths once and acts through descriptors.
// Failures are NSErrors of NSCocoaErrorDomain with the POSIX error under NSUnderlyingErrorKey.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

extern const std::string NSFileTypeDirectory;        // "NSFileTypeDirectory"
extern const std::string NSFileTypeRegular;          // "NSFileTypeRegular"
extern const std::string NSFileTypeSymbolicLink;     // "NSFileTypeSymbolicLink"
extern const std::string NSFileTypeSocket;           // "NSFileTypeSocket"
extern const std::string NSFileTypeCharacterSpecial; // "NSFileTypeCharacterSpecial"
extern const std::string NSFileTypeBlockSpecial;     // "NSFileTypeBlockSpecial"
extern const std::string NSFileTypeUnknown;          // "NSFileTypeUnknown" (FIFOs among them)

// The attribute dictionary of an item, as a struct of the known keys; a key that is absent is
// an empty optional. setAttributesOfItemAtPath applies only the keys that are present.
struct NSFileAttributes {
    std::optional<std::string> fileType;
    std::optional<std::uint64_t> fileSize;
    std::shared_ptr<NSDate> modificationDate;
    std::shared_ptr<NSDate> creationDate;
    std::optional<std::uint16_t> posixPermissions;
    std::optional<std::uint32_t> ownerAccountID;
    std::optional<std::uint32_t> groupOwnerAccountID;
    std::optional<std::uint64_t> systemNumber;      // device
    std::optional<std::uint64_t> systemFileNumber;  // inode
    std::optional<std::uint64_t> referenceCount;    // links
};

// attributesOfFileSystemForPath: sizes in bytes.
struct NSFileSystemAttributes {
    std::uint64_t systemSize = 0;
    std::uint64_t systemFreeSize = 0;
    std::uint64_t systemNodes = 0;
    std::uint64_t systemFreeNodes = 0;
};

// Recursive enumeration: paths relative to the folder, "/" between levels, hidden items
// included, a folder before its contents. Symbolic links are not followed into.
class NSDirectoryEnumerator : public NSObject {
public:
    // The next relative path, or nullopt at the end.
    virtual std::optional<std::string> nextObject() = 0;
    // Do not descend into the folder nextObject() returned last.
    virtual void skipDescendants() = 0;
    // Attributes of the item nextObject() returned last.
    virtual std::optional<NSFileAttributes> fileAttributes() = 0;
    // Depth of the last item, 1 for the folder's direct children.
    virtual std::size_t level() const = 0;
};

class NSFileManager : public NSObject {
public:
    NSFileManager() = default;
    // The shared instance; `std::make_shared<NSFileManager>()` makes a private one.
    static std::shared_ptr<NSFileManager> defaultManager();

    // Follows symbolic links; isDirectory (when given) tells whether the target is a folder.
    bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;
    bool isReadableFileAtPath(const std::string& path) const;
    bool isWritableFileAtPath(const std::string& path) const;
    bool isExecutableFileAtPath(const std::string& path) const;
    bool isDeletableFileAtPath(const std::string& path) const;

    // The names in a folder (no "." or ".."), in the order the OS returns them; nullopt on error.
    std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error) const;
    // nil when the path is not a readable folder.
    std::shared_ptr<NSDirectoryEnumerator> enumeratorAtPath(const std::string& path) const;
    std::optional<std::vector<std::string>> subpathsOfDirectoryAtPath(const std::string& path, NSErrorPtr* error) const;

    bool createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories, const NSFileAttributes* attributes,
                               NSErrorPtr* error) const;
    // Creates (or truncates) a file with the contents (none: empty).
    bool createFileAtPath(const std::string& path, const NSData* contents, const NSFileAttributes* attributes) const;
    std::shared_ptr<NSData> contentsAtPath(const std::string& path) const;

    // Copies files, folders (recursively) and links (as links); fails when the target exists.
    bool copyItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const;
    // rename(2), or copy and remove across file systems; fails when the target exists.
    bool moveItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const;
    // Removes a file, a link (not its target) or a folder with everything in it.
    bool removeItemAtPath(const std::string& path, NSErrorPtr* error) const;
    bool linkItemAtPath(const std::string& source, const std::string& destination, NSErrorPtr* error) const;
    bool createSymbolicLinkAtPath(const std::string& path, const std::string& destination, NSErrorPtr* error) const;
    std::optional<std::string> destinationOfSymbolicLinkAtPath(const std::string& path, NSErrorPtr* error) const;

    // The item's own attributes (a link is described, not followed).
    std::optional<NSFileAttributes> attributesOfItemAtPath(const std::string& path, NSErrorPtr* error) const;
    bool setAttributesOfItemAtPath(const NSFileAttributes& attributes, const std::string& path, NSErrorPtr* error) const;
    std::optional<NSFileSystemAttributes> attributesOfFileSystemForPath(const std::string& path, NSErrorPtr* error) const;

    std::string currentDirectoryPath() const { return "/"; }
    // The host path for C APIs, resolved inside the device (see DeviceRoot::hostPath).
    std::string fileSystemRepresentationWithPath(const std::string& path) const;
    // The device path of a host path below the device root.
    std::string stringWithFileSystemRepresentation(const std::string& hostPath) const;
};
