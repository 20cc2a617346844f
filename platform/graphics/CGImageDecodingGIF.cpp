// GIF decoding with giflib: the whole file is read, then every frame is composed on the logical
// screen in turn, so each bitmap shows what a viewer would show at that frame.
#include "platform/graphics/CGImageDecoding.h"

#include <cairo.h>
#include <gif_lib.h>

#include <cstring>
#include <memory>

namespace CGImageDecoding {
namespace {
// A bound on the logical screen, so a hostile header cannot ask for gigabytes per frame.
constexpr long kMaxCanvasPixels = 64L * 1024 * 1024;
constexpr double kSecondsPerDelayUnit = 0.01;

struct MemorySource {
    const std::uint8_t* bytes;
    std::size_t length;
    std::size_t offset = 0;
};

int readFromMemory(GifFileType* file, GifByteType* out, int wanted) {
    auto* source = static_cast<MemorySource*>(file->UserData);
    std::size_t available = source->length - source->offset;
    std::size_t count = wanted < 0 ? 0 : std::min(available, static_cast<std::size_t>(wanted));
    std::memcpy(out, source->bytes + source->offset, count);
    source->offset += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* file) const {
        int error = 0;
        DGifCloseFile(file, &error);
    }
};

using Canvas = std::vector<std::uint32_t>;

CGImageRef imageOfCanvas(const Canvas& canvas, int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        std::memcpy(data + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
                    canvas.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                    static_cast<std::size_t>(width) * sizeof(std::uint32_t));
    }
    cairo_surface_mark_dirty(surface);
    return std::make_shared<CGImage>(surface);
}

struct Rect {
    int left, top, right, bottom; // clipped to the canvas
};

Rect frameRect(const GifImageDesc& desc, int width, int height) {
    auto clamp = [](int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    return {clamp(desc.Left, width), clamp(desc.Top, height), clamp(desc.Left + desc.Width, width),
            clamp(desc.Top + desc.Height, height)};
}

void drawFrame(Canvas& canvas, int width, const SavedImage& frame, const ColorMapObject& colours, int transparent,
               const Rect& r) {
    const GifImageDesc& desc = frame.ImageDesc;
    for (int y = r.top; y < r.bottom; ++y) {
        const GifByteType* row = frame.RasterBits + static_cast<std::size_t>(y - desc.Top) * static_cast<std::size_t>(desc.Width);
        for (int x = r.left; x < r.right; ++x) {
            int index = row[x - desc.Left];
            if (index == transparent || index >= colours.ColorCount) continue;
            const GifColorType& c = colours.Colors[index];
            canvas[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                0xff000000u | (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
        }
    }
}

void clearRect(Canvas& canvas, int width, const Rect& r) {
    for (int y = r.top; y < r.bottom; ++y) {
        std::fill_n(canvas.begin() + static_cast<std::ptrdiff_t>(y) * width + r.left, r.right - r.left, 0u);
    }
}
} // namespace

std::vector<Frame> framesOfGIFData(const std::uint8_t* bytes, std::size_t length) {
    if (typeOfImageData(bytes, length) != ImageType::GIF) return {};
    MemorySource source{bytes, length};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> file(DGifOpen(&source, readFromMemory, &error));
    if (!file || DGifSlurp(file.get()) != GIF_OK || file->ImageCount < 1) return {};
    const int width = file->SWidth;
    const int height = file->SHeight;
    if (width <= 0 || height <= 0 || static_cast<long>(width) * height > kMaxCanvasPixels) return {};

    Canvas canvas(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    std::vector<Frame> frames;
    for (int i = 0; i < file->ImageCount; ++i) {
        const SavedImage& frame = file->SavedImages[i];
        const ColorMapObject* colours = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : file->SColorMap;
        if (!colours || !frame.RasterBits) return {};
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(file.get(), i, &control);
        Rect r = frameRect(frame.ImageDesc, width, height);
        Canvas before = control.DisposalMode == DISPOSE_PREVIOUS ? canvas : Canvas();
        drawFrame(canvas, width, frame, *colours, control.TransparentColor, r);
        CGImageRef image = imageOfCanvas(canvas, width, height);
        if (!image) return {};
        frames.push_back(Frame{image, control.DelayTime * kSecondsPerDelayUnit});
        if (control.DisposalMode == DISPOSE_BACKGROUND) clearRect(canvas, width, r);
        if (control.DisposalMode == DISPOSE_PREVIOUS) canvas = std::move(before);
    }
    return frames;
}

} // namespace CGImageDecoding
