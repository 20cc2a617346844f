#include "platform/foundation/arc4random.h"

#include <cerrno>
#include <mutex>
#include <random>
#include <sys/random.h>

namespace {
std::mutex sourceLock;
PlatformRandom::Source& currentSource() {
    static PlatformRandom::Source source;
    return source;
}

std::uint32_t systemDraw() {
    std::uint32_t value = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&value);
    std::size_t got = 0;
    while (got < sizeof value) {
        ssize_t n = ::getrandom(bytes + got, sizeof value - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR) return static_cast<std::uint32_t>(std::random_device()());
    }
    return value;
}
} // namespace

void PlatformRandom::setSource(Source source) {
    std::lock_guard<std::mutex> guard(sourceLock);
    currentSource() = std::move(source);
}

void PlatformRandom::seed(std::uint32_t seed) {
    setSource([engine = std::mt19937(seed)]() mutable { return static_cast<std::uint32_t>(engine()); });
}

extern "C" std::uint32_t arc4random(void) noexcept {
    {
        std::lock_guard<std::mutex> guard(sourceLock);
        if (auto& source = currentSource()) return source();
    }
    return systemDraw();
}
