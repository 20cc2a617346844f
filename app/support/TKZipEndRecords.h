#pragma once
// The end of a zip archive for more entries than its classic end record counts. minizip writes the
// zip64 end records only when sizes or offsets overflow, not when the number of entries does, and
// other tools then read a count cut to 16 bits. Once minizip has closed the archive, this rewrites
// its end: the zip64 end record, its locator, and the classic record with its counts at 0xFFFF.

#include <cstdint>

// The number of entries from which an archive needs the zip64 end records (0xFFFF itself says
// "see the zip64 record").
constexpr std::uint64_t TKZipClassicEntryLimit = 0xFFFF;

// Rewrites the end of the finished archive open read-write at `fd`, which holds `entries` entries.
// NO when its end is not the one minizip writes, or writing fails.
bool TKZipAddZip64EndRecords(int fd, std::uint64_t entries);
