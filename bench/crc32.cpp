// The toolbox's CRC-32 beside zlib's crc32 over the same 64 MB buffer, in one run. Prints the
// best of several passes for each, in MB/s, and their ratio; the checksums must agree.

#include "sdk/analytics/VuderuUtil.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kBytes = 64u << 20;
constexpr int kPasses = 5;

template <class F>
double bestSeconds(F&& f) {
    double best = 1e30;
    for (int i = 0; i < kPasses; ++i) {
        auto start = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

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
    double oursSeconds = bestSeconds([&] { ours = VuderuUtil::dataChecksum(buffer.data(), buffer.size()); });
    double zlibSeconds = bestSeconds([&] { theirs = crc32(0, buffer.data(), static_cast<uInt>(buffer.size())); });
    double mb = static_cast<double>(kBytes) / (1 << 20);
    bool same = static_cast<std::uint32_t>(ours) == static_cast<std::uint32_t>(theirs);
    std::printf("crc32 over %.0f MB   VuderuUtil dataChecksum: %8.1f MB/s   zlib crc32: %8.1f MB/s   ratio: %.2f   %s\n", mb,
                mb / oursSeconds, mb / zlibSeconds, zlibSeconds / oursSeconds, same ? "checksums agree" : "CHECKSUMS DIFFER");
    return same ? 0 : 1;
}
