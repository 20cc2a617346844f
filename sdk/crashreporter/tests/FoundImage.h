// What an image lookup of the async image readers found: the callback's address and name.
#pragma once

#include "sdk/crashreporter/VuderuCrashAsyncImageList.h"

#include <optional>
#include <string>

struct FoundImage {
    vm_address_t address;
    std::string name;
};

// A lookup callback whose context is a std::optional<FoundImage>.
inline void recordFoundImage(vm_address_t address, const char* name, void* ctx) {
    *static_cast<std::optional<FoundImage>*>(ctx) = FoundImage{address, name};
}
