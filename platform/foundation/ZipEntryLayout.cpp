#include "platform/foundation/ZipEntryLayout.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kMaximumComment = 0xFFFF;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kInZip64 = 0xFFFFFFFF;

std::uint64_t le(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

bool readAt(int fd, unsigned char* into, std::size_t length, std::uint64_t at) {
    return ::pread(fd, into, length, static_cast<off_t>(at)) == static_cast<ssize_t>(length);
}

// The central directory as the end records describe it.
struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0; // as recorded, before the prefix
    std::uint64_t prefix = 0; // bytes before the archive proper
};

bool readDirectory(int fd, std::uint64_t fileSize, Directory& directory) {
    if (fileSize < kEndSize) return false;
    std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kEndSize + kMaximumComment));
    std::vector<unsigned char> tail(tailSize);
    std::uint64_t tailAt = fileSize - tailSize;
    if (!readAt(fd, tail.data(), tailSize, tailAt)) return false;
    // The last end record whose comment fits the file.
    std::size_t at = tailSize - kEndSize + 1;
    bool found = false;
    while (at-- > 0) {
        if (le(&tail[at], 4) == kEndSignature && at + kEndSize + le(&tail[at + 20], 2) <= tailSize) {
            found = true;
            break;
        }
    }
    if (!found) return false;
    const unsigned char* end = &tail[at];
    std::uint64_t endAt = tailAt + at;
    directory.entries = le(end + 10, 2);
    directory.size = le(end + 12, 4);
    directory.offset = le(end + 16, 4);
    std::uint64_t directoryEnd = endAt;

    unsigned char locator[kZip64LocatorSize];
    if (endAt >= kZip64LocatorSize && readAt(fd, locator, kZip64LocatorSize, endAt - kZip64LocatorSize) &&
        le(locator, 4) == kZip64LocatorSignature) {
        unsigned char record[kZip64EndSize];
        std::uint64_t recordAt = le(locator + 8, 8);
        // The locator's offset is the archive's own; with a prefix the record sits just before it.
        std::uint64_t expectedAt = endAt - kZip64LocatorSize - kZip64EndSize;
        if (!readAt(fd, record, kZip64EndSize, recordAt) || le(record, 4) != kZip64EndSignature) {
            if (recordAt > expectedAt || !readAt(fd, record, kZip64EndSize, expectedAt) || le(record, 4) != kZip64EndSignature) return false;
            recordAt = expectedAt;
        }
        directory.entries = le(record + 32, 8);
        directory.size = le(record + 40, 8);
        directory.offset = le(record + 48, 8);
        directoryEnd = recordAt;
    }
    if (directory.offset > directoryEnd || directory.size > directoryEnd - directory.offset) return false;
    directory.prefix = directoryEnd - directory.offset - directory.size;
    return true;
}

// One entry's central record: where its local header is, and how many compressed bytes follow it.
struct CentralRecord {
    std::uint64_t localOffset = 0;
    std::uint64_t compressedSize = 0;
    std::size_t length = 0; // of the whole record
};

bool readCentralRecord(const unsigned char* p, std::size_t available, CentralRecord& record) {
    if (available < kCentralSize || le(p, 4) != kCentralSignature) return false;
    std::size_t nameLength = le(p + 28, 2), extraLength = le(p + 30, 2), commentLength = le(p + 32, 2);
    record.length = kCentralSize + nameLength + extraLength + commentLength;
    if (record.length > available) return false;
    std::uint64_t uncompressed = le(p + 24, 4);
    record.compressedSize = le(p + 20, 4);
    record.localOffset = le(p + 42, 4);
    if (uncompressed != kInZip64 && record.compressedSize != kInZip64 && record.localOffset != kInZip64) return true;
    // The zip64 extra field holds, in this order, each value whose field above is full.
    const unsigned char* extra = p + kCentralSize + nameLength;
    for (std::size_t at = 0; at + 4 <= extraLength;) {
        std::size_t id = le(extra + at, 2), size = le(extra + at + 2, 2);
        if (at + 4 + size > extraLength) return false;
        if (id == kZip64ExtraId) {
            const unsigned char* value = extra + at + 4;
            std::size_t left = size;
            auto take = [&](std::uint64_t& field) {
                if (field != kInZip64) return true;
                if (left < 8) return false;
                field = le(value, 8);
                value += 8, left -= 8;
                return true;
            };
            return take(uncompressed) && take(record.compressedSize) && take(record.localOffset);
        }
        at += 4 + size;
    }
    return false;
}

} // namespace

ZipEntryLayout zipEntryLayoutOfArchive(int fd) {
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ZipEntryLayout::Damaged;
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    Directory directory;
    if (!readDirectory(fd, fileSize, directory)) return ZipEntryLayout::Damaged;
    // Each entry's record takes at least its fixed part: a count beyond that is a lie.
    if (directory.entries > directory.size / kCentralSize) return ZipEntryLayout::Damaged;
    std::vector<unsigned char> records(static_cast<std::size_t>(directory.size));
    const std::uint64_t directoryAt = directory.prefix + directory.offset;
    if (!readAt(fd, records.data(), records.size(), directoryAt)) return ZipEntryLayout::Damaged;

    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans; // [start, end) in the file
    spans.reserve(static_cast<std::size_t>(directory.entries));
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < directory.entries; ++i) {
        CentralRecord record;
        if (!readCentralRecord(records.data() + at, records.size() - at, record)) return ZipEntryLayout::Damaged;
        at += record.length;
        unsigned char local[kLocalSize];
        std::uint64_t start = directory.prefix + record.localOffset;
        if (start > fileSize || !readAt(fd, local, kLocalSize, start) || le(local, 4) != kLocalSignature) return ZipEntryLayout::Damaged;
        std::uint64_t end = start + kLocalSize + le(local + 26, 2) + le(local + 28, 2) + record.compressedSize;
        if (end < start) return ZipEntryLayout::Damaged;
        if (end > directoryAt) return ZipEntryLayout::Overlapping;
        spans.emplace_back(start, end);
    }
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first < spans[i - 1].second) return ZipEntryLayout::Overlapping;
    }
    return ZipEntryLayout::Separate;
}
