// The version service's fuzz target: the input is a reply body; a record made of it is compared
// with local versions both ways. Nothing may crash or leak; a record equals itself.

#include "app/support/VTVersion.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto record = VTVersion::versionFromServiceReply(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!record) return 0;
    if (record->compare(*record) != NSOrderedSame) std::abort();
    for (const char* local : {"0", "1.0", "1.2", "1.2b", "1.10", "2.0a1", ""}) {
        const VTVersion version(local, "", false);
        (void)record->compare(version);
        (void)version.compare(*record);
    }
    return 0;
}
