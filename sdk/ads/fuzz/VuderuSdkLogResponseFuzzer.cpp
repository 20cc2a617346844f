// libFuzzer target of the ad-log response decoder: any bytes give a result or none, never a
// crash, a leak or an allocation beyond what the bytes can hold.
#include "sdk/ads/VuderuAdLogResponse.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto response = std::make_shared<VuderuAdLogResponse>();
    if (auto parsed = response->parseAdLogResponse(NSData(data, size))) {
        (void)parsed->isResultSuccess();
    }
    return 0;
}
