// The image list over the real images of this process (ELF, through the loader stand-in), and
// the synthetic Mach-O images added to it.
#include "sdk/crashreporter/VuderuCrashAsyncImageList.h"
#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"

#include "MachOFixture.h"
#include "platform/system/dyld.h"
#include "sdk/crashreporter/tests/FoundImage.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <optional>
#include <string>

// Exported (-rdynamic) so that the dynamic symbol table names it.
extern "C" __attribute__((noinline)) int vdcrash_test_exported_function(int x) {
    return x * 3 + 1;
}

namespace {

vdcrash_async_image_list_t* currentList = nullptr;

void addImage(const struct mach_header* header, intptr_t) {
    uint32_t count = _dyld_image_count();
    for (uint32_t i = 0; i < count; ++i)
        if (_dyld_get_image_header(i) == header)
            vdcrash_nasync_image_list_append(currentList, reinterpret_cast<vm_address_t>(header), _dyld_get_image_name(i));
}

class ProcessImages : public ::testing::Test {
protected:
    void SetUp() override {
        vdcrash_nasync_image_list_init(&list_, mach_task_self());
        currentList = &list_;
        _dyld_register_func_for_add_image(addImage);
    }
    void TearDown() override { vdcrash_nasync_image_list_free(&list_); }
    vdcrash_async_image_list_t list_{};
};

} // namespace

TEST_F(ProcessImages, TheExecutableIsListedWithItsTextSegmentAndBuildId) {
    vdcrash_async_image_list_set_reading(&list_, true);
    auto pc = reinterpret_cast<vm_address_t>(&vdcrash_test_exported_function);
    vdcrash_async_image_t* image = vdcrash_async_image_containing_address(&list_, pc);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(std::string(image->macho_image.name).find("tandrel_crashreporter_tests"), std::string::npos);
    EXPECT_TRUE(image->macho_image.elf);
    EXPECT_EQ(vdcrash_async_macho_cpu_type(&image->macho_image), CPU_TYPE_X86_64);
    uint8_t uuid[16];
    EXPECT_TRUE(vdcrash_async_macho_uuid(&image->macho_image, uuid));
    EXPECT_EQ(image->macho_image.header_addr + 0 - image->macho_image.vmaddr_slide, image->macho_image.text_vmaddr);

    // The C library is listed too, and its functions fall inside it.
    // The C library's own write: a sanitizer's stand-in of that name lives in the executable.
    void* write = dlsym(RTLD_NEXT, "write");
    ASSERT_NE(write, nullptr);
    vdcrash_async_image_t* libc = vdcrash_async_image_containing_address(&list_, reinterpret_cast<vm_address_t>(write));
    ASSERT_NE(libc, nullptr);
    EXPECT_NE(libc, image);
    int images = 0;
    for (vdcrash_async_image_t* i = vdcrash_async_image_list_next(&list_, nullptr); i; i = vdcrash_async_image_list_next(&list_, i))
        ++images;
    EXPECT_GE(images, 3);
    vdcrash_async_image_list_set_reading(&list_, false);
}

TEST_F(ProcessImages, FunctionsOfTheTestBinaryAreNamedFromItsDynamicSymbols) {
    auto start = reinterpret_cast<vm_address_t>(&vdcrash_test_exported_function);
    vdcrash_async_image_list_set_reading(&list_, true);
    vdcrash_async_image_t* image = vdcrash_async_image_containing_address(&list_, start + 4);
    ASSERT_NE(image, nullptr);
    vdcrash_async_symbol_cache_t cache;
    vdcrash_async_symbol_cache_init(&cache);
    std::optional<FoundImage> found;
    EXPECT_EQ(vdcrash_async_find_symbol(&image->macho_image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, &cache, start + 4,
                                        recordFoundImage, &found),
              VDCRASH_ESUCCESS);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->name, "vdcrash_test_exported_function");
    EXPECT_EQ(found->address, start);

    found.reset();
    auto libcWrite = reinterpret_cast<vm_address_t>(&write);
    vdcrash_async_image_t* libc = vdcrash_async_image_containing_address(&list_, libcWrite);
    ASSERT_NE(libc, nullptr);
    EXPECT_EQ(vdcrash_async_find_symbol(&libc->macho_image, VDCRASH_ASYNC_SYMBOL_STRATEGY_SYMBOL_TABLE, &cache,
                                        libcWrite, recordFoundImage, &found),
              VDCRASH_ESUCCESS);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->address, libcWrite);
    vm_address_t byName = 0;
    EXPECT_EQ(vdcrash_async_macho_find_symbol_by_name(&image->macho_image, "vdcrash_test_exported_function", &byName),
              VDCRASH_ESUCCESS);
    EXPECT_EQ(byName, start);
    vdcrash_async_symbol_cache_free(&cache);
    vdcrash_async_image_list_set_reading(&list_, false);
}

TEST(VuderuCrashAsyncImageList, AppendRemoveAndUnparsableHeaders) {
    vdcrash_async_image_list_t list;
    vdcrash_nasync_image_list_init(&list, mach_task_self());
    MachOFixture a, b;
    a.build();
    b.build();
    uint32_t junk[8] = {0xdeadbeef};
    vdcrash_nasync_image_list_append(&list, a.base(), "/a");
    vdcrash_nasync_image_list_append(&list, reinterpret_cast<vm_address_t>(junk), "/junk");
    vdcrash_nasync_image_list_append(&list, b.base(), "/b");

    auto names = [&] {
        std::string out;
        vdcrash_async_image_list_set_reading(&list, true);
        for (auto* i = vdcrash_async_image_list_next(&list, nullptr); i; i = vdcrash_async_image_list_next(&list, i))
            out += i->macho_image.name;
        vdcrash_async_image_list_set_reading(&list, false);
        return out;
    };
    EXPECT_EQ(names(), "/a/b");
    vdcrash_async_image_list_set_reading(&list, true);
    EXPECT_STREQ(vdcrash_async_image_containing_address(&list, b.at(0x1234))->macho_image.name, "/b");
    EXPECT_EQ(vdcrash_async_image_containing_address(&list, b.at(MachOFixture::kTextSize)), nullptr);
    vdcrash_async_image_list_set_reading(&list, false);

    // A record removed while a reader is counted in stays readable until the reader leaves; the
    // list frees it after that (the sanitizer build sees a leak or a use after free otherwise).
    vdcrash_async_image_list_set_reading(&list, true);
    vdcrash_async_image_t* removed = vdcrash_async_image_list_next(&list, nullptr);
    vdcrash_nasync_image_list_remove(&list, a.base());
    EXPECT_STREQ(removed->macho_image.name, "/a");
    vdcrash_async_image_list_set_reading(&list, false);
    EXPECT_EQ(names(), "/b");
    vdcrash_nasync_image_list_remove(&list, b.base());
    EXPECT_EQ(names(), "");
    vdcrash_nasync_image_list_free(&list);
}
