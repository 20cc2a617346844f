#include "platform/system/ElfUnwindSample.h"

#include "platform/system/ElfImage.h"
#include "platform/system/ReadOnlyCopy.h"

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint8_t kTableEncoding = 0x3B;  // data-relative signed 4-byte pairs

// The size of an encoded 4- or 8-byte value; 0 for any other encoding.
size_t fixedSize(uint8_t encoding) {
    switch (encoding & 0x0F) {
    case 0x03: case 0x0B: return 4;
    case 0x00: case 0x04: case 0x0C: return 8;
    default: return 0;
    }
}

} // namespace

void vdelf_nasync_unwind_sample_take(const vdelf_image* image, vdelf_unwind_sample* sample) {
    *sample = vdelf_unwind_sample{};
    uintptr_t eh_frame_hdr = image->eh_frame_hdr;
    uint8_t header[4];
    if (!eh_frame_hdr || !vdelf_nasync_read(image, eh_frame_hdr, header, sizeof header)) return;
    size_t frameSize = fixedSize(header[1]);
    if (header[0] != 1 || header[3] != kTableEncoding || frameSize == 0 || header[2] != 0x03) return;
    uint32_t entries = 0;
    uintptr_t countAt = eh_frame_hdr + sizeof header + frameSize;
    if (!vdelf_nasync_read(image, countAt, &entries, sizeof entries) || entries == 0) return;
    uintptr_t table = countAt + sizeof entries;
    if (table > image->image_end || (image->image_end - table) / (2 * sizeof(int32_t)) < entries) return;
    std::vector<int32_t> copy;
    size_t pairBytes = size_t(entries) * 2 * sizeof(int32_t);
    const auto* pairs = static_cast<const int32_t*>(vdelf_nasync_in_place(image, table, pairBytes));
    if (!pairs) {
        copy.resize(size_t(entries) * 2);
        if (!vdelf_nasync_read(image, table, copy.data(), pairBytes)) return;
        pairs = copy.data();
    }

    size_t count = (entries + VDELF_UNWIND_SAMPLE_STRIDE - 1) / VDELF_UNWIND_SAMPLE_STRIDE;
    std::vector<int32_t> starts(count);
    for (size_t i = 0; i < count; ++i) starts[i] = pairs[i * VDELF_UNWIND_SAMPLE_STRIDE * 2];
    size_t bytes = 0;
    void* memory = vdelf_nasync_read_only_copy(starts.data(), count * sizeof(int32_t), &bytes);
    if (!memory) return;
    *sample = {static_cast<const int32_t*>(memory), count, table, entries, bytes};
}

void vdelf_nasync_unwind_sample_free(vdelf_unwind_sample* sample) {
    if (sample->starts) munmap(const_cast<int32_t*>(sample->starts), sample->mapping_size);
    *sample = vdelf_unwind_sample{};
}
