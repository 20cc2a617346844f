// VuderuUtil's CRC-32: the checksum the SDK's stores and reports carry.

#include "sdk/analytics/VuderuUtil.h"

#include <array>
#include <cstring>
#include <mutex>

namespace {

// The checksum tables. table[0] is the classic byte-at-a-time table; table[k][i] is the register
// after byte i and k zero bytes, which lets the loop fold sixteen bytes per step.
//
// Long data is cut into blocks of kChecksumBraids 8-byte words and run as that many independent
// registers, one per word position ("braids"), so the processor overlaps their lookups: the
// register of braid i after word i of a block is what that word contributes at word i of the
// next block, so it is XORed into that word before the word is looked up. braid[k][b] is the
// register after byte b at position k of a word followed by the zero bytes up to the same
// position of the next block. The last block takes the braids' registers in its words and is
// folded sequentially with the tail.
constexpr std::uint32_t kCRC32Polynomial = 0xEDB88320u; // 0x04C11DB7 reflected
constexpr int kChecksumSlices = 16;
constexpr std::size_t kChecksumBraids = 5;
constexpr std::size_t kChecksumWord = 8;
constexpr std::size_t kChecksumBlock = kChecksumBraids * kChecksumWord;
std::array<std::array<std::uint32_t, 256>, kChecksumSlices> gChecksumTable;
std::array<std::array<std::uint32_t, 256>, kChecksumWord> gBraidTable;
std::once_flag gChecksumTableBuilt;

std::uint32_t checksumOverZeros(std::uint32_t crc, std::size_t zeros) {
    for (std::size_t i = 0; i < zeros; ++i) crc = gChecksumTable[0][crc & 0xFF] ^ (crc >> 8);
    return crc;
}

void buildChecksumTables() {
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ kCRC32Polynomial : c >> 1;
        gChecksumTable[0][i] = c;
    }
    for (int k = 1; k < kChecksumSlices; ++k) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t previous = gChecksumTable[k - 1][i];
            gChecksumTable[k][i] = (previous >> 8) ^ gChecksumTable[0][previous & 0xFF];
        }
    }
    for (std::size_t k = 0; k < kChecksumWord; ++k) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            gBraidTable[k][i] = checksumOverZeros(gChecksumTable[0][i], (kChecksumWord - 1 - k) + (kChecksumBraids - 1) * kChecksumWord);
        }
    }
}

inline std::uint32_t checksumLittleEndian32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t checksumLittleEndian64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(checksumLittleEndian32(p)) | static_cast<std::uint64_t>(checksumLittleEndian32(p + 4)) << 32;
}

// The register after the bytes, without the initial and final complement.
std::uint32_t checksumSequential(std::uint32_t crc, const std::uint8_t* p, std::size_t length) {
    const auto& t = gChecksumTable;
    for (; length >= 16; p += 16, length -= 16) {
        std::uint32_t a = crc ^ checksumLittleEndian32(p);
        std::uint32_t b = checksumLittleEndian32(p + 4);
        std::uint32_t c = checksumLittleEndian32(p + 8);
        std::uint32_t d = checksumLittleEndian32(p + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
    for (; length; ++p, --length) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

inline std::uint32_t checksumBraidStep(std::uint64_t word) {
    const auto& t = gBraidTable;
    return t[0][word & 0xFF] ^ t[1][(word >> 8) & 0xFF] ^ t[2][(word >> 16) & 0xFF] ^ t[3][(word >> 24) & 0xFF] ^
           t[4][(word >> 32) & 0xFF] ^ t[5][(word >> 40) & 0xFF] ^ t[6][(word >> 48) & 0xFF] ^ t[7][word >> 56];
}

std::uint32_t checksumRegister(std::uint32_t crc, const std::uint8_t* p, std::size_t length) {
    if (length < 2 * kChecksumBlock) return checksumSequential(crc, p, length);
    std::uint32_t s0 = crc, s1 = 0, s2 = 0, s3 = 0, s4 = 0;
    std::size_t blocks = length / kChecksumBlock;
    for (std::size_t i = 0; i + 1 < blocks; ++i, p += kChecksumBlock) {
        std::uint64_t w0 = checksumLittleEndian64(p) ^ s0;
        std::uint64_t w1 = checksumLittleEndian64(p + 8) ^ s1;
        std::uint64_t w2 = checksumLittleEndian64(p + 16) ^ s2;
        std::uint64_t w3 = checksumLittleEndian64(p + 24) ^ s3;
        std::uint64_t w4 = checksumLittleEndian64(p + 32) ^ s4;
        s0 = checksumBraidStep(w0);
        s1 = checksumBraidStep(w1);
        s2 = checksumBraidStep(w2);
        s3 = checksumBraidStep(w3);
        s4 = checksumBraidStep(w4);
    }
    std::uint8_t last[kChecksumBlock];
    std::memcpy(last, p, kChecksumBlock);
    const std::uint32_t braids[kChecksumBraids] = {s0, s1, s2, s3, s4};
    for (std::size_t b = 0; b < kChecksumBraids; ++b) {
        for (std::size_t k = 0; k < 4; ++k) last[b * kChecksumWord + k] ^= static_cast<std::uint8_t>(braids[b] >> (8 * k));
    }
    std::uint32_t register0 = checksumSequential(0, last, kChecksumBlock);
    p += kChecksumBlock;
    return checksumSequential(register0, p, length - blocks * kChecksumBlock);
}

} // namespace

void VuderuUtil::generateChecksumTable() { std::call_once(gChecksumTableBuilt, buildChecksumTables); }

std::int32_t VuderuUtil::dataChecksum(const NSData& data) { return dataChecksum(data.bytes(), data.length()); }

std::int32_t VuderuUtil::dataChecksum(const void* bytes, std::size_t length) {
    generateChecksumTable();
    if (length == 0) return 0;
    std::uint32_t crc = checksumRegister(0xFFFFFFFFu, static_cast<const std::uint8_t*>(bytes), length);
    return static_cast<std::int32_t>(crc ^ 0xFFFFFFFFu);
}
