#pragma once
// A bitmap: premultiplied ARGB pixels in a cairo image surface, sized in pixels.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

class CGImage;
using CGImageRef = std::shared_ptr<CGImage>;

class CGImage : public NSObject {
public:
    // Takes ownership of a cairo image surface.
    explicit CGImage(cairo_surface_t* surface);
    ~CGImage() override;

    // A transparent bitmap; nil for a size of zero or less.
    static CGImageRef createWithSize(int width, int height);
    // nil when the file or bytes are not a PNG image.
    static CGImageRef createWithPNGFile(const std::string& hostPath);
    static CGImageRef createWithPNGData(const std::vector<std::uint8_t>& bytes);

    int width() const;
    int height() const;
    // The image as a PNG file's bytes.
    std::vector<std::uint8_t> pngData() const;

    struct Pixel {
        std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
        bool operator==(const Pixel&) const = default;
    };
    // Un-premultiplied components of the pixel at (x, y); transparent outside the image.
    Pixel pixelAt(int x, int y) const;

    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
};
