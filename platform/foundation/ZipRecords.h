#pragma once
// The fixed records of a zip archive as the format lays them out: their signatures and sizes, and
// their little-endian fields. Whatever reads or rewrites records by hand (the entry-layout check,
// the zip64 end records of the app's writer, the archive that is nothing but its end) takes them
// from here; minizip reads and writes the entries themselves.

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <unistd.h>

namespace ZipRecords {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;

// Fixed parts, before names, extra fields and comments.
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
// The end record's comment length is 16 bits.
constexpr std::size_t kMaximumComment = 0xFFFF;

constexpr std::uint16_t kZip64ExtraId = 0x0001;
// A 16-bit count or a 32-bit size or offset at its maximum says "see the zip64 record".
constexpr std::uint16_t kCountInZip64 = 0xFFFF;
constexpr std::uint32_t kValueInZip64 = 0xFFFFFFFF;

// The little-endian value of `bytes` bytes (at most 8) at p.
inline std::uint64_t read(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Writes the low `bytes` bytes of v at p, little-endian.
inline void put(unsigned char* p, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i, v >>= 8) p[i] = static_cast<unsigned char>(v & 0xFF);
}

// Reads exactly `length` bytes at offset `at` of the file; NO when fewer are there.
inline bool readAt(int fd, unsigned char* into, std::size_t length, std::uint64_t at) {
    return ::pread(fd, into, length, static_cast<off_t>(at)) == static_cast<ssize_t>(length);
}

} // namespace ZipRecords
