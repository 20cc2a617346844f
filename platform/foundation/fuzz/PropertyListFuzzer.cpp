// libFuzzer target of the property-list reader (XML and binary): any bytes give a value or an
// error, never a crash, a hang or a leak; and what is read is written again and reads back the
// same, so that a store never holds what it cannot save.
#include "platform/foundation/NSPropertyListSerialization.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {
[[noreturn]] void finding(const char* what, const Value& value) {
    std::fprintf(stderr, "%s: %s\n", what, value.description().c_str());
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    NSErrorPtr error;
    auto value = NSPropertyListSerialization::propertyListWithData(input, 0, nullptr, &error);
    if (!value) {
        if (!error) std::abort();
        return 0;
    }
    auto binary = NSPropertyListSerialization::dataWithPropertyList(*value, NSPropertyListBinaryFormat_v1_0, 0, &error);
    if (!binary) finding("read but cannot be written", *value);
    auto again = NSPropertyListSerialization::propertyListWithData(*binary);
    if (!again) finding("written but cannot be read back", *value);
    if (again->description() != value->description()) finding("reads back different", *value);
    return 0;
}
