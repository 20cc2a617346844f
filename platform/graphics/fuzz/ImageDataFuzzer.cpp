// libFuzzer target of the image decoders: any bytes give frames within the pixel bound, or none,
// without a crash, a leak or an allocation past the bound.
#include "platform/graphics/CGImageDecoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::int64_t pixels = 0;
    for (const auto& frame : CGImageDecoding::framesOfImageData(data, size)) {
        if (!frame.image) std::abort();
        pixels += std::int64_t{frame.image->width()} * frame.image->height();
    }
    if (pixels > CGImageDecoding::kMaximumImagePixels) std::abort();
    (void)CGImageDecoding::createWithJPEGData(data, size, 64);
    return 0;
}
