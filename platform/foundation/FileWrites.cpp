#include "platform/foundation/FileWrites.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>

std::size_t NSWriteInPieces(int fd, const void* bytes, std::size_t length) {
    const auto* at = static_cast<const char*>(bytes);
    std::size_t written = 0;
    while (written < length) {
        ssize_t n = ::write(fd, at + written, std::min(length - written, kNSFileWritePiece));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    return written;
}

void NSStartWriteBack(int fd) { ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }

std::vector<std::string> NSSyncFilesTogether(const std::vector<std::string>& devicePaths) {
    std::vector<std::string> failed;
    std::vector<DeviceRoot::Descriptor> files;
    std::vector<const std::string*> opened;
    files.reserve(devicePaths.size());
    for (const std::string& path : devicePaths) {
        // Without blocking: a FIFO put where the file was would otherwise hold the open (and every
        // write waiting for this sync) until something writes into it. It cannot be synced, and
        // answers as a file that failed.
        DeviceRoot::Descriptor fd = DeviceRoot::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (!fd) {
            if (errno != ENOENT) failed.push_back(path);
            continue;
        }
        // Only starts the write-back: every file of the group is on its way before any is waited for.
        NSStartWriteBack(fd.get());
        files.push_back(std::move(fd));
        opened.push_back(&path);
    }
    std::set<std::string> folders;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (::fsync(files[i].get()) != 0) {
            failed.push_back(*opened[i]);
            continue;
        }
        folders.insert(NSString::stringByDeletingLastPathComponent(*opened[i]));
    }
    // The folders' entries that name the files (a folder made for the file is named in its own parent).
    std::set<std::string> parents;
    for (const std::string& folder : folders) parents.insert(NSString::stringByDeletingLastPathComponent(folder));
    folders.merge(parents);
    for (const std::string& folder : folders) {
        DeviceRoot::Descriptor fd = DeviceRoot::open(folder, O_RDONLY | O_DIRECTORY);
        if (fd) ::fsync(fd.get());
    }
    return failed;
}
