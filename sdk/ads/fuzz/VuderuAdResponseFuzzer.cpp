// libFuzzer target of the ad response decoder: any bytes give units or none, never a crash, a
// leak or an allocation beyond what the bytes can hold.
#include "sdk/ads/VuderuAdResponse.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto response = std::make_shared<VuderuAdResponse>();
    auto units = response->parseAdResponse(NSData(data, size));
    if (units) {
        // Walk what was decoded so that every model object is touched.
        std::size_t seen = 0;
        for (const auto& unit : *units) {
            for (const auto& frame : unit->adFrames()) seen += frame->display().size() + (frame->adCallbacks() ? frame->adCallbacks()->size() : 0);
        }
        (void)seen;
    }
    return 0;
}
