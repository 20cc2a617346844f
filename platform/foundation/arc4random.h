#pragma once
// arc4random: the C library's random numbers, as every part of the program draws them. They come
// from the system's generator unless a test puts a source of its own in its place, so that a draw
// (a view tag, a cache-busting number) can be known in advance. This definition of arc4random
// replaces the host C library's for the whole process.

#include <cstdint>
#include <functional>
#include <stdlib.h>

class PlatformRandom {
public:
    using Source = std::function<std::uint32_t()>;
    // Every later draw comes from the source; an empty source brings back the system's generator.
    static void setSource(Source source);
    // A repeatable stream: the same seed gives the same draws.
    static void seed(std::uint32_t seed);
};
