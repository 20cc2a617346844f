#pragma once
// A sample of an image's unwind-table index (.eh_frame_hdr's sorted table), taken with the
// image's file symbols (vdelf_nasync_map_file_symbols): the start address of every `stride`-th
// entry, in our own read-only memory. A crash-time lookup finds the block of the index that holds
// an address with plain loads and then reads that block alone, instead of reading the index one
// entry at a time.

#include "platform/system/mach.h"

struct vdelf_image;

#include <cstddef>
#include <cstdint>

constexpr size_t VDELF_UNWIND_SAMPLE_STRIDE = 128;

struct vdelf_unwind_sample {
    const int32_t* starts;  // relative to the .eh_frame_hdr, as the index holds them; null when not taken
    size_t count;
    uintptr_t table;  // the index's entries in memory and their number, as sampled
    size_t entries;
    size_t mapping_size;
};

// Not async-signal-safe (registration time). Leaves the sample empty for an image without an
// index, an index laid out otherwise than every linker of this host writes it, or one that would
// reach past the image.
void vdelf_nasync_unwind_sample_take(const vdelf_image* image, vdelf_unwind_sample* sample);
void vdelf_nasync_unwind_sample_free(vdelf_unwind_sample* sample);
