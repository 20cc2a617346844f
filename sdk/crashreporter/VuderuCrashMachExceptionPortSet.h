#pragma once
// Exception-port registrations: one registration (a port with its mask, behavior and flavor), a
// set of them, and the fixed-size copy of a set that crash-time code reads.

#include "platform/system/mach.h"

#include <cstdint>

// 13 registrations at most: EXC_TYPES_COUNT.
constexpr uint32_t VDCRASH_EXC_TYPES_COUNT = 13;

// Laid out as the get/swap exception-port calls fill it.
struct vdcrash_mach_exception_port_set {
    uint32_t count;
    uint32_t masks[VDCRASH_EXC_TYPES_COUNT];
    uint32_t ports[VDCRASH_EXC_TYPES_COUNT];
    int32_t behaviors[VDCRASH_EXC_TYPES_COUNT];
    int32_t flavors[VDCRASH_EXC_TYPES_COUNT];
};
