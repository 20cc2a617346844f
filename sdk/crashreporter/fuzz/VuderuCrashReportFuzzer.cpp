// libFuzzer target of the report decoder: any bytes must give a report or an error, never a
// crash or a leak.
#include "sdk/crashreporter/VuderuCrashReport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NSData input(data, size);
    NSErrorPtr error;
    auto report = VuderuCrashReport::initWithData(input, &error);
    if (report) {
        // Walk what was decoded so that every model object is touched.
        size_t frames = 0;
        for (const auto& thread : report->threads()) frames += thread->stackFrames().size() + thread->registers().size();
        for (const auto& image : report->images()) frames += image->imageUUID() ? image->imageUUID()->size() : 0;
        report->imageForAddress(frames);
    }
    return 0;
}
