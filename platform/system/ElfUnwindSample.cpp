#include "platform/system/ElfUnwindSample.h"

#include "platform/system/ElfImage.h"

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint8_t kTableEncoding = 0x3B;  // data-relative signed 4-byte pairs

bool sampleReadTask(task_t task, uintptr_t address, void* out, size_t length) {
    vm_size_t got = 0;
    return vm_read_overwrite(task, address, length, reinterpret_cast<vm_address_t>(out), &got) == KERN_SUCCESS;
}

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
    task_t task = image->task;
    uintptr_t eh_frame_hdr = image->eh_frame_hdr;
    uint8_t header[4];
    if (!eh_frame_hdr || !sampleReadTask(task, eh_frame_hdr, header, sizeof header)) return;
    size_t frameSize = fixedSize(header[1]);
    if (header[0] != 1 || header[3] != kTableEncoding || frameSize == 0 || header[2] != 0x03) return;
    uint32_t entries = 0;
    uintptr_t countAt = eh_frame_hdr + sizeof header + frameSize;
    if (!sampleReadTask(task, countAt, &entries, sizeof entries) || entries == 0) return;
    uintptr_t table = countAt + sizeof entries;
    if (table > image->image_end || (image->image_end - table) / (2 * sizeof(int32_t)) < entries) return;
    std::vector<int32_t> pairs(size_t(entries) * 2);
    if (!sampleReadTask(task, table, pairs.data(), pairs.size() * sizeof(int32_t))) return;

    size_t count = (entries + VDELF_UNWIND_SAMPLE_STRIDE - 1) / VDELF_UNWIND_SAMPLE_STRIDE;
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t bytes = (count * sizeof(int32_t) + page - 1) & ~(page - 1);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    auto* starts = static_cast<int32_t*>(memory);
    for (size_t i = 0; i < count; ++i) starts[i] = pairs[i * VDELF_UNWIND_SAMPLE_STRIDE * 2];
    mprotect(memory, bytes, PROT_READ);
    *sample = {starts, count, table, entries, bytes};
}

void vdelf_nasync_unwind_sample_free(vdelf_unwind_sample* sample) {
    if (sample->starts) munmap(const_cast<int32_t*>(sample->starts), sample->mapping_size);
    *sample = vdelf_unwind_sample{};
}
