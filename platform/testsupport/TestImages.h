#pragma once
// Image files made at test time, so tests need no binary fixtures: PNGs of any size and depth,
// JPEGs in RGB or CMYK, GIFs of several frames, BMPs.

#include <cstdint>
#include <vector>

namespace TestImages {

using Bytes = std::vector<std::uint8_t>;

enum class PNGColour : std::uint8_t { Gray = 0, RGB = 2, RGBAlpha = 6 };

// Every pixel the same colour (components 0–255, scaled up for 16 bits).
Bytes png(int width, int height, int bitDepth = 8, PNGColour colour = PNGColour::RGBAlpha, std::uint8_t red = 10,
          std::uint8_t green = 200, std::uint8_t blue = 30);

// An RGB JPEG of one colour, or a CMYK one (Adobe-inverted, as Photoshop writes them) whose inks
// make that colour.
Bytes jpeg(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue, bool cmyk = false);

// A grey progressive JPEG of 631 scans (each AC coefficient in its own band, a bit per scan).
Bytes manyScanJPEG(int side);

// A 24-bit uncompressed BMP of one colour.
Bytes bmp(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

struct GIFFrame {
    int left = 0, top = 0, width = 1, height = 1;
    std::uint8_t colourIndex = 1;  // every pixel of the frame: 0 transparent, 1 red, 2 green, 3 blue
    int disposal = 1;              // 1 keep, 2 clear to background, 3 restore previous
    int delayHundredths = 10;
    bool interlaced = false;       // rows stored in the four interlace passes
    bool striped = false;          // row y painted with colour 1 + y % 3 instead of colourIndex
};
// A GIF89a of the given frames on a screen of the size, with the palette above.
Bytes gif(int width, int height, const std::vector<GIFFrame>& frames);

} // namespace TestImages
