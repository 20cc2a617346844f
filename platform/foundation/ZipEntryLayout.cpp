#include "platform/foundation/ZipEntryLayout.h"

#include "platform/foundation/ZipRecords.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using namespace ZipRecords;
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
        if (ZipRecords::read(&tail[at], 4) == kEndSignature && at + kEndSize + ZipRecords::read(&tail[at + 20], 2) <= tailSize) {
            found = true;
            break;
        }
    }
    if (!found) return false;
    const unsigned char* end = &tail[at];
    std::uint64_t endAt = tailAt + at;
    directory.entries = ZipRecords::read(end + 10, 2);
    directory.size = ZipRecords::read(end + 12, 4);
    directory.offset = ZipRecords::read(end + 16, 4);
    std::uint64_t directoryEnd = endAt;

    unsigned char locator[kZip64LocatorSize];
    if (endAt >= kZip64LocatorSize && readAt(fd, locator, kZip64LocatorSize, endAt - kZip64LocatorSize) &&
        ZipRecords::read(locator, 4) == kZip64LocatorSignature) {
        unsigned char record[kZip64EndSize];
        std::uint64_t recordAt = ZipRecords::read(locator + 8, 8);
        // The locator's offset is the archive's own; with a prefix the record sits just before it.
        std::uint64_t expectedAt = endAt - kZip64LocatorSize - kZip64EndSize;
        if (!readAt(fd, record, kZip64EndSize, recordAt) || ZipRecords::read(record, 4) != kZip64EndSignature) {
            if (recordAt > expectedAt || !readAt(fd, record, kZip64EndSize, expectedAt) || ZipRecords::read(record, 4) != kZip64EndSignature) return false;
            recordAt = expectedAt;
        }
        directory.entries = ZipRecords::read(record + 32, 8);
        directory.size = ZipRecords::read(record + 40, 8);
        directory.offset = ZipRecords::read(record + 48, 8);
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
    if (available < kCentralSize || ZipRecords::read(p, 4) != kCentralSignature) return false;
    std::size_t nameLength = ZipRecords::read(p + 28, 2), extraLength = ZipRecords::read(p + 30, 2), commentLength = ZipRecords::read(p + 32, 2);
    record.length = kCentralSize + nameLength + extraLength + commentLength;
    if (record.length > available) return false;
    std::uint64_t uncompressed = ZipRecords::read(p + 24, 4);
    record.compressedSize = ZipRecords::read(p + 20, 4);
    record.localOffset = ZipRecords::read(p + 42, 4);
    if (uncompressed != kValueInZip64 && record.compressedSize != kValueInZip64 && record.localOffset != kValueInZip64) return true;
    // The zip64 extra field holds, in this order, each value whose field above is full.
    const unsigned char* extra = p + kCentralSize + nameLength;
    for (std::size_t at = 0; at + 4 <= extraLength;) {
        std::size_t id = ZipRecords::read(extra + at, 2), size = ZipRecords::read(extra + at + 2, 2);
        if (at + 4 + size > extraLength) return false;
        if (id == kZip64ExtraId) {
            const unsigned char* value = extra + at + 4;
            std::size_t left = size;
            auto take = [&](std::uint64_t& field) {
                if (field != kValueInZip64) return true;
                if (left < 8) return false;
                field = ZipRecords::read(value, 8);
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
        if (start > fileSize || !readAt(fd, local, kLocalSize, start) || ZipRecords::read(local, 4) != kLocalSignature) return ZipEntryLayout::Damaged;
        std::uint64_t end = start + kLocalSize + ZipRecords::read(local + 26, 2) + ZipRecords::read(local + 28, 2) + record.compressedSize;
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
