// GIF decoding with giflib: the whole file is read, then every frame is composed on the logical
// screen in turn, so each bitmap shows what a viewer would show at that frame.
#include "platform/graphics/CGImageDecoding.h"

#include <cairo.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace CGImageDecoding {
namespace {
// All frames of one file together hold at most this many composed pixels: a file of a few
// kilobytes can otherwise ask for hundreds of full-canvas frames.
constexpr std::int64_t kMaximumFramePixels = kMaximumImagePixels;
constexpr std::int64_t kMinimumFrameCharge = 1024;
const GraphicsControlBlock kNoControl{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
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

void drawFrame(Canvas& canvas, int width, const GifImageDesc& desc, const GifByteType* indices, const ColorMapObject& colours,
               int transparent, const Rect& r) {
    for (int y = r.top; y < r.bottom; ++y) {
        const GifByteType* row = indices + static_cast<std::size_t>(y - desc.Top) * static_cast<std::size_t>(desc.Width);
        for (int x = r.left; x < r.right; ++x) {
            int index = row[x - desc.Left];
            if (index == transparent || index >= colours.ColorCount) continue;
            const GifColorType& c = colours.Colors[index];
            canvas[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                0xff000000u | (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
        }
    }
}

// The frame's colour indices in row order; an interlaced frame's rows arrive in four passes.
bool readIndices(GifFileType* file, const GifImageDesc& desc, std::vector<GifByteType>& indices) {
    const auto rowLength = static_cast<std::size_t>(desc.Width);
    auto readRow = [&](int y) {
        return DGifGetLine(file, indices.data() + static_cast<std::size_t>(y) * rowLength, desc.Width) == GIF_OK;
    };
    if (!desc.Interlace) {
        for (int y = 0; y < desc.Height; ++y)
            if (!readRow(y)) return false;
        return true;
    }
    static constexpr int kPassStart[] = {0, 4, 2, 1}, kPassStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kPassStart[pass]; y < desc.Height; y += kPassStep[pass])
            if (!readRow(y)) return false;
    return true;
}

// Reads an extension's blocks; a graphic control block sets how the next frame is shown.
bool readExtension(GifFileType* file, GraphicsControlBlock& control) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(file, &code, &block) != GIF_OK) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && DGifExtensionToGCB(block[0], block + 1, &control) != GIF_OK)
        control = kNoControl;
    while (block) {
        if (DGifGetExtensionNext(file, &block) != GIF_OK) return false;
    }
    return true;
}

void clearRect(Canvas& canvas, int width, const Rect& r) {
    for (int y = r.top; y < r.bottom; ++y) {
        std::fill_n(canvas.begin() + static_cast<std::ptrdiff_t>(y) * width + r.left, r.right - r.left, 0u);
    }
}
} // namespace

std::vector<Frame> framesOfGIFData(const std::uint8_t* bytes, std::size_t length, std::size_t maxFrames) {
    if (typeOfImageData(bytes, length) != ImageType::GIF || maxFrames == 0) return {};
    MemorySource source{bytes, length};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> file(DGifOpen(&source, readFromMemory, &error));
    if (!file) return {};
    const int width = file->SWidth;
    const int height = file->SHeight;
    if (!isWithinPixelBound(width, height)) return {};

    // Frames are read one at a time and composed as they come, so only one frame's indices are held
    // besides the canvas; each composed frame is charged against the budget (tiny canvases at a
    // minimum, for each bitmap's own cost).
    const std::int64_t charge = std::max<std::int64_t>(std::int64_t{width} * height, kMinimumFrameCharge);
    std::int64_t budget = kMaximumFramePixels;
    Canvas canvas(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    GraphicsControlBlock control = kNoControl;
    std::vector<GifByteType> indices;
    std::vector<Frame> frames;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(file.get(), &record) != GIF_OK) return {};
        if (record == TERMINATE_RECORD_TYPE) break;
        if (record == EXTENSION_RECORD_TYPE) {
            if (!readExtension(file.get(), control)) return {};
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(file.get()) != GIF_OK) return {};
        const GifImageDesc desc = file->Image;
        if (!isWithinPixelBound(desc.Width, desc.Height)) return {};
        indices.resize(static_cast<std::size_t>(desc.Width) * static_cast<std::size_t>(desc.Height));
        if (!readIndices(file.get(), desc, indices)) return {};
        const ColorMapObject* colours = desc.ColorMap ? desc.ColorMap : file->SColorMap;
        if (!colours) return {};

        Rect r = frameRect(desc, width, height);
        Canvas before = control.DisposalMode == DISPOSE_PREVIOUS ? canvas : Canvas();
        drawFrame(canvas, width, desc, indices.data(), *colours, control.TransparentColor, r);
        CGImageRef image = imageOfCanvas(canvas, width, height);
        if (!image) return {};
        frames.push_back(Frame{image, control.DelayTime * kSecondsPerDelayUnit});
        if (control.DisposalMode == DISPOSE_BACKGROUND) clearRect(canvas, width, r);
        if (control.DisposalMode == DISPOSE_PREVIOUS) canvas = std::move(before);
        control = kNoControl;
        budget -= charge;
        // The frames so far stand; an animation longer than the budget ends early.
        if (frames.size() == maxFrames || budget < charge) break;
    }
    return frames;
}

} // namespace CGImageDecoding
