// Reading a loaded image at registration: the loader's readable segments in place, anything else
// through the fault-free reads, and the same facts either way.
#include "platform/system/ElfImage.h"
#include "platform/system/dyld.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include <elf.h>
#include <sys/mman.h>

namespace {

// Named only by the file's full symbol table: file-local, never exported.
__attribute__((noinline)) int localOnlyFunction(int x) {
    __asm__ volatile("" ::: "memory");
    return x * 3 + 1;
}

std::string nameAt(const vdelf_image& image, uintptr_t pc) {
    uintptr_t address = 0;
    char name[256];
    return vdelf_find_symbol_by_pc(&image, pc, &address, name, sizeof name) == VDELF_OK ? name : "";
}

vdelf_image mainImage() {
    vdelf_image image{};
    EXPECT_EQ(vdelf_image_read(mach_task_self(), reinterpret_cast<uintptr_t>(_dyld_get_image_header(0)), &image), VDELF_OK);
    return image;
}

} // namespace

TEST(ElfImage, TheLoadersReadableSegmentsAreReadInPlaceAndNothingElse) {
    vdelf_image image = mainImage();
    ASSERT_GT(image.readable_count, 0u);
    // The header, the code and the dynamic symbols lie in readable segments.
    EXPECT_EQ(vdelf_nasync_in_place(&image, image.header, sizeof(Elf64_Ehdr)), reinterpret_cast<const void*>(image.header));
    EXPECT_NE(vdelf_nasync_in_place(&image, image.text_start, 16), nullptr);
    ASSERT_NE(image.dynsym, 0u);
    EXPECT_NE(vdelf_nasync_in_place(&image, image.dynsym, image.dynsym_count * sizeof(Elf64_Sym)), nullptr);

    // A page that is not the image's (here: one that is not mapped at all) is not read in place,
    // and reading it fails instead of faulting.
    void* page = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    munmap(page, 4096);
    const auto gone = reinterpret_cast<uintptr_t>(page);
    char out[16];
    EXPECT_EQ(vdelf_nasync_in_place(&image, gone, sizeof out), nullptr);
    EXPECT_FALSE(vdelf_nasync_read(&image, gone, out, sizeof out));

    // A range that starts inside the last readable segment and runs past its end is not either.
    const vdelf_range& last = image.readable[image.readable_count - 1];
    EXPECT_EQ(vdelf_nasync_in_place(&image, last.end - 8, 16), nullptr);
    EXPECT_EQ(vdelf_nasync_in_place(&image, UINTPTR_MAX - 4, 8), nullptr);

    // Another task's image is never read in place.
    vdelf_image other = image;
    other.task = mach_task_self() + 1;
    EXPECT_EQ(vdelf_nasync_in_place(&other, image.header, 4), nullptr);
}

TEST(ElfImage, InPlaceReadsGiveWhatTheFaultFreeReadsGive) {
    vdelf_image image = mainImage();
    ASSERT_NE(image.dynsym, 0u);
    ASSERT_GT(image.build_id_length, 0u);
    const size_t bytes = image.dynsym_count * sizeof(Elf64_Sym);
    std::vector<char> inPlace(bytes), faultFree(bytes);
    ASSERT_TRUE(vdelf_nasync_read(&image, image.dynsym, inPlace.data(), bytes));
    vm_size_t got = 0;
    ASSERT_EQ(vm_read_overwrite(image.task, image.dynsym, bytes, reinterpret_cast<vm_address_t>(faultFree.data()), &got), KERN_SUCCESS);
    EXPECT_EQ(inPlace, faultFree);
}

// Symbols mapped later: until the file's table, the indexes and the unwind sample are complete
// only the dynamic symbols name a frame; once mapped, a file-local function has its name and the
// unwind index its sample; unmapping waits for a mapping still queued and frees them all.
TEST(ElfImage, SymbolsMappedLaterNameFramesOnceTheyAreComplete) {
    vdelf_image image = mainImage();
    const auto pc = reinterpret_cast<uintptr_t>(&localOnlyFunction) + 4;
    EXPECT_EQ(localOnlyFunction(1), 4);
    EXPECT_EQ(nameAt(image, pc).find("localOnlyFunction"), std::string::npos);
    EXPECT_EQ(image.unwind_sample.starts, nullptr);

    vdelf_nasync_map_file_symbols_later(&image, "/proc/self/exe");
    vdelf_nasync_wait_for_file_symbols();
    EXPECT_NE(nameAt(image, pc).find("localOnlyFunction"), std::string::npos) << nameAt(image, pc);
    EXPECT_NE(image.unwind_sample.starts, nullptr);

    vdelf_nasync_map_file_symbols_later(&image, "/proc/self/exe");  // already mapped: nothing to do
    vdelf_nasync_unmap_file_symbols(&image);
    EXPECT_FALSE(image.symbols_ready);
    EXPECT_EQ(image.file_mapping, nullptr);
    EXPECT_EQ(image.unwind_sample.starts, nullptr);
    EXPECT_EQ(nameAt(image, pc).find("localOnlyFunction"), std::string::npos);
}
