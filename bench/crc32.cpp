// The toolbox's CRC-32 beside zlib's crc32 over the same 64 MB buffer, in one run: the two take
// turns, several passes each, and the medians of each one's passes are printed in MB/s with their
// ratio; the checksums must agree.

#include "bench/Alternation.h"
#include "sdk/analytics/VuderuUtil.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kBytes = 64u << 20;
constexpr int kPasses = 9;

} // namespace

int main() {
    std::vector<unsigned char> buffer(kBytes);
    std::mt19937_64 random(1);
    for (std::size_t i = 0; i < kBytes; i += 8) {
        std::uint64_t r = random();
        for (int j = 0; j < 8; ++j) buffer[i + static_cast<std::size_t>(j)] = static_cast<unsigned char>(r >> (8 * j));
    }
    volatile std::int32_t ours = 0;
    volatile unsigned long theirs = 0;
    auto runOurs = [&] { ours = VuderuUtil::dataChecksum(buffer.data(), buffer.size()); };
    auto runZlib = [&] { theirs = crc32(0, buffer.data(), static_cast<uInt>(buffer.size())); };
    auto medians = alternate(kPasses, runOurs, runZlib);
    double oursSeconds = medians.ours;
    double zlibSeconds = medians.peer;
    double mb = static_cast<double>(kBytes) / (1 << 20);
    bool same = static_cast<std::uint32_t>(ours) == static_cast<std::uint32_t>(theirs);
    std::printf("crc32 over %.0f MB, %d passes each, alternating; medians:\n"
                "  VuderuUtil dataChecksum: %8.1f MB/s   zlib crc32: %8.1f MB/s   throughput ratio ours/zlib: %.2f   %s\n", mb, kPasses,
                mb / oursSeconds, mb / zlibSeconds, zlibSeconds / oursSeconds, same ? "checksums agree" : "CHECKSUMS DIFFER");
    printSpread(medians);
    return same ? 0 : 1;
}
