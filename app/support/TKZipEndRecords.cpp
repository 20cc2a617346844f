#include "app/support/TKZipEndRecords.h"

#include "platform/foundation/ZipRecords.h"

#include <array>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace ZipRecords;
constexpr std::uint16_t kZip64Version = 45; // the format version that brought zip64
constexpr std::uint16_t kMadeByUnix = (3u << 8) | kZip64Version;

bool writeAt(int fd, const unsigned char* bytes, std::size_t length, off_t at) {
    while (length) {
        ssize_t n = ::pwrite(fd, bytes, length, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n, length -= static_cast<std::size_t>(n), at += n;
    }
    return true;
}

} // namespace

bool TKZipAddZip64EndRecords(int fd, std::uint64_t entries) {
    struct stat st{};
    if (::fstat(fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) < kEndSize) return false;
    const auto endAt = static_cast<std::uint64_t>(st.st_size) - kEndSize;
    unsigned char end[kEndSize];
    if (!readAt(fd, end, kEndSize, endAt)) return false;
    // minizip writes no comment, so its end record is the last bytes of the file.
    if (ZipRecords::read(end, 4) != kEndSignature || ZipRecords::read(end + 20, 2) != 0) return false;
    const std::uint64_t count = ZipRecords::read(end + 10, 2);
    if (count != (entries & 0xFFFF) && count != kCountInZip64) return false;

    unsigned char locator[kZip64LocatorSize];
    if (endAt >= kZip64LocatorSize && readAt(fd, locator, kZip64LocatorSize, endAt - kZip64LocatorSize) &&
        ZipRecords::read(locator, 4) == kZip64LocatorSignature) {
        // minizip wrote the zip64 records itself (a size or offset overflowed) with the full count;
        // only the classic counts must send readers there.
        put(end + 8, kCountInZip64, 2);
        put(end + 10, kCountInZip64, 2);
        return writeAt(fd, end, kEndSize, static_cast<off_t>(endAt));
    }

    const std::uint64_t directorySize = ZipRecords::read(end + 12, 4);
    const std::uint64_t directoryOffset = ZipRecords::read(end + 16, 4);
    if (directoryOffset + directorySize != endAt) return false;

    std::array<unsigned char, kZip64EndSize + kZip64LocatorSize + kEndSize> tail{};
    unsigned char* record = tail.data();
    put(record, kZip64EndSignature, 4);
    put(record + 4, kZip64EndSize - 12, 8); // the size of what follows this field
    put(record + 12, kMadeByUnix, 2);
    put(record + 14, kZip64Version, 2);
    put(record + 16, 0, 4); // this disk
    put(record + 20, 0, 4); // the disk where the central directory starts
    put(record + 24, entries, 8);
    put(record + 32, entries, 8);
    put(record + 40, directorySize, 8);
    put(record + 48, directoryOffset, 8);
    unsigned char* zip64Locator = record + kZip64EndSize;
    put(zip64Locator, kZip64LocatorSignature, 4);
    put(zip64Locator + 4, 0, 4);
    put(zip64Locator + 8, endAt, 8); // the zip64 end record stands where the classic one stood
    put(zip64Locator + 16, 1, 4);    // disks in all
    unsigned char* classic = zip64Locator + kZip64LocatorSize;
    std::copy(end, end + kEndSize, classic);
    put(classic + 8, kCountInZip64, 2);
    put(classic + 10, kCountInZip64, 2);
    // Neither can overflow here, or minizip would have written the zip64 records itself.
    put(classic + 12, directorySize >= kValueInZip64 ? kValueInZip64 : directorySize, 4);
    put(classic + 16, directoryOffset >= kValueInZip64 ? kValueInZip64 : directoryOffset, 4);
    return writeAt(fd, tail.data(), tail.size(), static_cast<off_t>(endAt));
}
