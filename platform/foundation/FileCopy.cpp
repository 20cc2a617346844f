#include "platform/foundation/FileCopy.h"

#include "platform/foundation/NSData.h"
#include "platform/foundation/WholeFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// What the copy loops return when the source ended before the size it gave: it shrank, or its size
// never said how long it is (the kernel's attribute files read 4096 and hold a few bytes).
constexpr int kEndedEarly = -1;
constexpr std::size_t kBufferSize = 1 << 17;
// copy_file_range is asked for at most this much at a time, so a signal or a kill is never far off.
constexpr std::size_t kRangeChunk = 1 << 30;

// `offset` is left where the copy has come.
int readWriteRange(int from, int to, off_t& offset, off_t length) {
    std::vector<char> buffer(kBufferSize);
    while (length > 0) {
        ssize_t n = ::pread(from, buffer.data(), std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(length)), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return kEndedEarly;
        if (::lseek(to, offset, SEEK_SET) < 0) return errno;
        if (int e = NSWriteAll(to, buffer.data(), static_cast<std::size_t>(n))) return e;
        offset += n;
        length -= n;
    }
    return 0;
}

// One stretch of data, at the same offset in both files; `offset` is left where the copy has come.
// `kernelCopy` is cleared for good when the kernel cannot copy between these two files.
int copyRange(int from, int to, off_t& offset, off_t length, bool& kernelCopy) {
    while (length > 0 && kernelCopy) {
        off_t in = offset, out = offset;
        ssize_t n = ::copy_file_range(from, &in, to, &out, std::min<std::size_t>(kRangeChunk, static_cast<std::size_t>(length)), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF || errno == EPERM)) {
            kernelCopy = false;
            break;
        }
        if (n < 0) return errno;
        // Nothing copied: the end of the file, or a file the kernel copies nothing of (its
        // generated files): reading tells which.
        if (n == 0) break;
        offset += n;
        length -= n;
    }
    return length > 0 ? readWriteRange(from, to, offset, length) : 0;
}

// A file whose size says nothing of its contents (0 for the kernel's generated files): read to its
// end as it comes.
int copyAsRead(int from, int to) {
    std::vector<char> buffer(kBufferSize);
    off_t offset = 0;
    for (;;) {
        ssize_t n = ::pread(from, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return 0;
        if (int e = NSWriteAll(to, buffer.data(), static_cast<std::size_t>(n))) return e;
        offset += n;
    }
}
} // namespace

int NSCopyFileContents(int from, int to, const std::function<void(off_t copied)>& copied) {
    struct stat st{};
    if (::fstat(from, &st) != 0) return errno;
    const off_t size = st.st_size;
    if (size == 0) {
        if (int e = copyAsRead(from, to)) return e;
        struct stat after{};
        if (::fstat(from, &after) != 0) return errno;
        // A file that grew from empty meanwhile is no generated one: its copy may have missed a part.
        return after.st_size == 0 ? 0 : ESTALE;
    }
    bool kernelCopy = true;
    off_t offset = 0;
    // Where the source's bytes ended, when that came before its size.
    off_t end = size;
    while (offset < size) {
        off_t data = ::lseek(from, offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO) break; // nothing but a hole to the end (or the file shrank)
        if (data < 0) {
            // No SEEK_DATA here: the rest is taken as data.
            int e = copyRange(from, to, offset, size - offset, kernelCopy);
            if (e == kEndedEarly) end = offset;
            else if (e) return e;
            if (copied) copied(offset);
            break;
        }
        off_t hole = ::lseek(from, data, SEEK_HOLE);
        if (hole < 0 || hole > size) hole = size;
        off_t reached = data;
        int e = copyRange(from, to, reached, hole - data, kernelCopy);
        if (e == kEndedEarly) {
            end = reached;
            if (copied) copied(end);
            break;
        }
        if (e) return e;
        offset = hole;
        if (copied) copied(offset);
    }
    // The size it had when the copy began, and nothing past where its bytes ended: a source
    // truncated or grown meanwhile would leave a copy padded with zeros or cut short. A source
    // whose bytes end before its size and whose size stays as it was is one whose size never
    // told its length (the kernel's attribute files): its bytes are the copy.
    struct stat after{};
    if (::fstat(from, &after) != 0) return errno;
    if (after.st_size != size) return ESTALE;
    char past;
    ssize_t more;
    while ((more = ::pread(from, &past, 1, end)) < 0 && errno == EINTR) {}
    if (more != 0) return more < 0 ? errno : ESTALE;
    // A hole at the end is the file's length and nothing more.
    if (::ftruncate(to, end) != 0) return errno;
    return 0;
}

std::string NSCopyFileErrorText(int errnum) {
    if (errnum == ESTALE) return "it changed size while it was copied";
    return NSFileErrorText(errnum);
}
