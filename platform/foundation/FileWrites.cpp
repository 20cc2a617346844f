#include "platform/foundation/FileWrites.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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

namespace {

std::atomic<int> syncsToFail{0};

bool syncFolderAtPath(const std::string& devicePath) {
    DeviceRoot::Descriptor fd = DeviceRoot::open(devicePath, O_RDONLY | O_DIRECTORY);
    return fd && ::fsync(fd.get()) == 0;
}

} // namespace

void NSFailNextFileSyncsForTesting(int count) { syncsToFail = count; }

bool NSSyncFile(const std::string& devicePath) {
    for (int left = syncsToFail.load(); left > 0;) {
        if (syncsToFail.compare_exchange_weak(left, left - 1)) return false;
    }
    {
        // Without blocking: a FIFO put where the file was would otherwise hold the open until
        // something writes into it.
        DeviceRoot::Descriptor fd = DeviceRoot::open(devicePath, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (!fd) return errno == ENOENT;
        struct stat item{};
        if (::fstat(fd.get(), &item) != 0 || !S_ISREG(item.st_mode) || ::fsync(fd.get()) != 0) return false;
    }
    return syncFolderAtPath(NSString::stringByDeletingLastPathComponent(devicePath));
}

void NSSyncParentFolders(const std::vector<std::string>& devicePaths) {
    std::set<std::string> parents;
    for (const std::string& path : devicePaths) {
        parents.insert(NSString::stringByDeletingLastPathComponent(NSString::stringByDeletingLastPathComponent(path)));
    }
    for (const std::string& folder : parents) syncFolderAtPath(folder);
}
