// Mach-O images and symbolication, on synthetic images built in memory and read through the
// fault-free task reads.
#include "sdk/crashreporter/VuderuCrashAsyncMachOImage.h"
#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"

#include "MachOFixture.h"
#include "sdk/crashreporter/tests/FoundImage.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <sys/mman.h>

namespace {

class MachOImage {
public:
    explicit MachOImage(MachOFixture& fixture) {
        fixture.build();
        result = vdcrash_nasync_macho_init(&image, mach_task_self(), "/usr/lib/libWidget.dylib", fixture.base());
    }
    ~MachOImage() {
        if (result == VDCRASH_ESUCCESS) vdcrash_nasync_macho_free(&image);
    }
    vdcrash_error_t result;
    vdcrash_async_macho_t image{};
};

// The symbol for an address with a strategy: {error, found symbol}.
std::pair<vdcrash_error_t, std::optional<FoundImage>> lookup(const vdcrash_async_macho_t& image, uint32_t strategy,
                                                        vm_address_t pc) {
    vdcrash_async_symbol_cache_t cache;
    vdcrash_async_symbol_cache_init(&cache);
    std::optional<FoundImage> found;
    vdcrash_error_t err = vdcrash_async_find_symbol(&image, strategy, &cache, pc, recordFoundImage, &found);
    vdcrash_async_symbol_cache_free(&cache);
    return {err, found};
}

void addWidgetSymbols(MachOFixture& f) {
    f.symbols = {
        {"_widget_main", 0x1100},
        {"_widget_helper", 0x1200},
        {"_widget_static", 0x1300, false},
    };
}

} // namespace

TEST(VuderuCrashAsyncMachO, ReadsHeaderTextSegmentSlideAndUUID) {
    MachOFixture f;
    addWidgetSymbols(f);
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    EXPECT_TRUE(m.image.m64);
    EXPECT_EQ(vdcrash_async_macho_header_size(&m.image), 32u);
    EXPECT_EQ(vdcrash_async_macho_cpu_type(&m.image), CPU_TYPE_ARM64);
    EXPECT_EQ(m.image.text_vmaddr, f.textVMAddress());
    EXPECT_EQ(m.image.text_size, MachOFixture::kTextSize);
    EXPECT_EQ(m.image.vmaddr_slide, f.base() - f.textVMAddress());
    EXPECT_STREQ(m.image.name, "/usr/lib/libWidget.dylib");
    EXPECT_TRUE(vdcrash_async_macho_contains_address(&m.image, f.base()));
    EXPECT_TRUE(vdcrash_async_macho_contains_address(&m.image, f.at(MachOFixture::kTextSize - 1)));
    EXPECT_FALSE(vdcrash_async_macho_contains_address(&m.image, f.at(MachOFixture::kTextSize)));
    uint8_t uuid[16];
    ASSERT_TRUE(vdcrash_async_macho_uuid(&m.image, uuid));
    EXPECT_EQ(uuid[0], 0x0A);
    EXPECT_EQ(uuid[1], 0xFF);
}

TEST(VuderuCrashAsyncMachO, SwappedAnd32BitImagesReadInTheirByteOrder) {
    MachOFixture f;
    f.is64 = false;
    f.swapped = true;
    f.cpuType = CPU_TYPE_ARM;
    f.cpuSubtype = CPU_SUBTYPE_ARM_V7;
    f.symbols = {{"_thumb_fn", 0x1100, true, N_ARM_THUMB_DEF}, {"_arm_fn", 0x1200}};
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    EXPECT_FALSE(m.image.m64);
    EXPECT_EQ(m.image.byteorder, &vdcrash_async_byteorder_swapped);
    EXPECT_EQ(vdcrash_async_macho_cpu_type(&m.image), CPU_TYPE_ARM);
    EXPECT_EQ(vdcrash_async_macho_cpu_subtype(&m.image), CPU_SUBTYPE_ARM_V7);
    auto [err, found] = lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, f.at(0x1150));
    ASSERT_EQ(err, VDCRASH_ESUCCESS);
    EXPECT_EQ(found->name, "_thumb_fn");
    EXPECT_EQ(found->address, f.at(0x1100) | 1);  // Thumb functions carry bit 0
    vm_address_t pc = 0;
    EXPECT_EQ(vdcrash_async_macho_find_symbol_by_name(&m.image, "_arm_fn", &pc), VDCRASH_ESUCCESS);
    EXPECT_EQ(pc, f.at(0x1200));
}

TEST(VuderuCrashAsyncMachO, HeadersThatAreNotMachOAreRefused) {
    uint32_t junk[16] = {0x12345678};
    vdcrash_async_macho_t image;
    EXPECT_EQ(vdcrash_nasync_macho_init(&image, mach_task_self(), "junk", reinterpret_cast<vm_address_t>(junk)),
              VDCRASH_EINVAL);
    void* unmapped = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    munmap(unmapped, 4096);
    EXPECT_EQ(vdcrash_nasync_macho_init(&image, mach_task_self(), "gone", reinterpret_cast<vm_address_t>(unmapped)),
              VDCRASH_EINTERNAL);
}

TEST(VuderuCrashAsyncMachO, SymbolTableGivesTheBestSymbolAtOrBelowTheAddress) {
    MachOFixture f;
    addWidgetSymbols(f);
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    struct Case {
        uint64_t offset;
        vdcrash_error_t err;
        const char* name;
        uint64_t symbol;
    } cases[] = {
        {0x1100, VDCRASH_ESUCCESS, "_widget_main", 0x1100},
        {0x11FF, VDCRASH_ESUCCESS, "_widget_main", 0x1100},
        {0x1234, VDCRASH_ESUCCESS, "_widget_helper", 0x1200},
        {0x1300, VDCRASH_ESUCCESS, "_widget_static", 0x1300},  // local symbols are searched too
        {0x10FF, VDCRASH_ENOTFOUND, nullptr, 0},                // below every symbol
    };
    for (const Case& c : cases) {
        auto [err, found] = lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_SYMBOL_TABLE, f.at(c.offset));
        EXPECT_EQ(err, c.err) << std::hex << c.offset;
        if (c.name) {
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(found->name, c.name);
            EXPECT_EQ(found->address, f.at(c.symbol));
        } else {
            EXPECT_FALSE(found.has_value());
        }
    }
    EXPECT_EQ(lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_NONE, f.at(0x1100)).first, VDCRASH_ENOTFOUND);
}

TEST(VuderuCrashAsyncMachO, WithoutDysymtabTheWholeTableIsSearched) {
    MachOFixture f;
    addWidgetSymbols(f);
    f.withDysymtab = false;
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    auto [err, found] = lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_SYMBOL_TABLE, f.at(0x1310));
    ASSERT_EQ(err, VDCRASH_ESUCCESS);
    EXPECT_EQ(found->name, "_widget_static");
}

TEST(VuderuCrashAsyncMachO, AnImageWithoutSymbolsOrMetadataGivesNoSymbol) {
    MachOFixture f;
    f.withSymtab = false;
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    EXPECT_EQ(lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, f.at(0x1100)).first, VDCRASH_ENOTFOUND);
    vm_address_t pc;
    EXPECT_EQ(vdcrash_async_macho_find_symbol_by_name(&m.image, "_widget_main", &pc), VDCRASH_ENOTFOUND);
}

TEST(VuderuCrashAsyncMachO, SegmentsAndSectionsMapByName) {
    MachOFixture f;
    f.withObjC = true;
    f.classes = {{"Widget", {{"spin", 0x1400}}, {}}};
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    vdcrash_async_mobject_t section;
    ASSERT_EQ(vdcrash_async_macho_map_section(&m.image, "__DATA", "__objc_classlist", &section), VDCRASH_ESUCCESS);
    uint64_t cls = 0;
    EXPECT_EQ(vdcrash_async_mobject_read_uint64(&section, m.image.byteorder, f.at(MachOFixture::kClassListOffset), 0, &cls),
              VDCRASH_ESUCCESS);
    EXPECT_EQ(cls, f.at(MachOFixture::kObjcDataOffset + 40));  // the class follows its metaclass
    EXPECT_EQ(vdcrash_async_mobject_read_uint64(&section, m.image.byteorder, f.at(MachOFixture::kClassListOffset), 8, &cls),
              VDCRASH_EINVAL);  // past the section
    vdcrash_async_mobject_free(&section);
    EXPECT_EQ(vdcrash_async_macho_map_section(&m.image, "__DATA", "__nothing", &section), VDCRASH_ENOTFOUND);
    EXPECT_EQ(vdcrash_async_macho_map_section(&m.image, "__NOSEG", "__objc_data", &section), VDCRASH_ENOTFOUND);
    vdcrash_async_macho_mapped_segment_t seg;
    ASSERT_EQ(vdcrash_async_macho_map_segment(&m.image, "__LINKEDIT", &seg), VDCRASH_ESUCCESS);
    EXPECT_EQ(seg.fileoff, MachOFixture::kLinkeditOffset);
    vdcrash_async_macho_mapped_segment_free(&seg);
}

namespace {
void objcFixture(MachOFixture& f) {
    f.withObjC = true;
    f.symbols = {{"_widget_helper", 0x1200}};
    f.classes = {
        {"Widget", {{"spin", 0x1400}, {"stop", 0x1500}}, {{"make", 0x1600}}},
        {"Gadget", {{"run", 0x1700}}, {}},
        {"Unrealized", {{"never", 0x1A00}}, {}, false},
    };
    f.categories = {{"Extras", 0, {{"polish", 0x1800}}, {{"shared", 0x1900}}}};
}
} // namespace

TEST(VuderuCrashAsyncObjC, StrippedMethodsAreNamedFromTheClassMetadata) {
    for (bool tagged : {false, true}) {
        MachOFixture f;
        objcFixture(f);
        f.nonPointerIsa = tagged;
        MachOImage m(f);
        ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
        if (tagged && f.base() > 0x1FFFFFFF8ULL) GTEST_SKIP() << "no low address for tagged class pointers";
        struct Case {
            uint64_t offset;
            const char* name;
            uint64_t start;
        } cases[] = {
            {0x1404, "-[Widget spin]", 0x1400},
            {0x1500, "-[Widget stop]", 0x1500},
            {0x1610, "+[Widget make]", 0x1600},
            {0x1700, "-[Gadget run]", 0x1700},
            {0x1810, "-[Widget polish]", 0x1800},  // category methods carry their class's name
            {0x1910, "+[Widget shared]", 0x1900},
            {0x1A10, "+[Widget shared]", 0x1900},  // an unrealized class is skipped
            {0x1250, "_widget_helper", 0x1200},    // the symbol is nearer than any method
        };
        for (const Case& c : cases) {
            auto [err, found] = lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, f.at(c.offset));
            ASSERT_EQ(err, VDCRASH_ESUCCESS) << std::hex << c.offset;
            EXPECT_EQ(found->name, c.name);
            EXPECT_EQ(found->address, f.at(c.start));
        }
        // The symbol table alone names the nearest symbol below.
        auto [err, found] = lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_SYMBOL_TABLE, f.at(0x1404));
        ASSERT_EQ(err, VDCRASH_ESUCCESS);
        EXPECT_EQ(found->name, "_widget_helper");
        // Metadata alone: nothing below the first method.
        EXPECT_EQ(lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_OBJC, f.at(0x1250)).first, VDCRASH_ENOTFOUND);
    }
}

TEST(VuderuCrashAsyncObjC, SymbolNamesAreCutAt255Bytes) {
    MachOFixture f;
    f.withObjC = true;
    std::string longName(300, 'C');
    f.classes = {{longName, {{"go", 0x1400}}, {}}};
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    auto [err, found] = lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, f.at(0x1400));
    ASSERT_EQ(err, VDCRASH_ESUCCESS);
    EXPECT_EQ(found->name, "-[" + std::string(253, 'C'));
}

TEST(VuderuCrashAsyncObjC, The32BitLayoutReadsToo) {
    MachOFixture f;
    objcFixture(f);
    f.is64 = false;
    f.cpuType = CPU_TYPE_ARM;
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    auto [err, found] = lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, f.at(0x1610));
    ASSERT_EQ(err, VDCRASH_ESUCCESS);
    EXPECT_EQ(found->name, "+[Widget make]");
}

TEST(VuderuCrashAsyncObjC, LegacyModuleMetadataNamesMethodsToo) {
    MachOFixture f;
    f.is64 = false;
    f.cpuType = CPU_TYPE_ARM;
    f.withLegacyObjC = true;
    f.symbols = {{"_widget_helper", 0x1200}};
    f.classes = {{"Widget", {{"spin", 0x1400}, {"stop", 0x1500}}, {{"make", 0x1600}}}, {"Gadget", {{"run", 0x1700}}, {}}};
    MachOImage m(f);
    ASSERT_EQ(m.result, VDCRASH_ESUCCESS);
    struct Case {
        uint64_t offset;
        const char* name;
    } cases[] = {{0x1408, "-[Widget spin]"}, {0x1610, "+[Widget make]"}, {0x1710, "-[Gadget run]"}, {0x1300, "_widget_helper"}};
    for (const Case& c : cases) {
        auto [err, found] = lookup(m.image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, f.at(c.offset));
        ASSERT_EQ(err, VDCRASH_ESUCCESS) << std::hex << c.offset;
        EXPECT_EQ(found->name, c.name);
    }
}

TEST(VuderuCrashAsyncMachOString, ReadsAcrossPagesAndStopsAtItsBound) {
    const size_t size = 6 * VDCRASH_ASYNC_MOBJECT_PAGE_SIZE;
    auto* region = static_cast<char*>(mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(region, MAP_FAILED);
    memset(region, 'a', size);
    vdcrash_async_macho_t image{};
    image.task = mach_task_self();

    region[20000] = 0;  // past the first mapping
    vdcrash_async_macho_string_t s;
    vdcrash_async_macho_string_init(&s, &image, reinterpret_cast<vm_address_t>(region));
    size_t length = 0;
    ASSERT_EQ(vdcrash_async_macho_string_get_length(&s, &length), VDCRASH_ESUCCESS);
    EXPECT_EQ(length, 20000u);
    vdcrash_async_macho_string_free(&s);

    region[20000] = 'a';  // no terminator within the bound
    vdcrash_async_macho_string_init(&s, &image, reinterpret_cast<vm_address_t>(region));
    EXPECT_EQ(vdcrash_async_macho_string_get_length(&s, &length), VDCRASH_EINVAL);
    vdcrash_async_macho_string_free(&s);

    // A string that runs into unreadable memory is invalid, not a fault.
    mprotect(region + VDCRASH_ASYNC_MOBJECT_PAGE_SIZE, VDCRASH_ASYNC_MOBJECT_PAGE_SIZE, PROT_NONE);
    vdcrash_async_macho_string_init(&s, &image, reinterpret_cast<vm_address_t>(region + 100));
    EXPECT_EQ(vdcrash_async_macho_string_get_length(&s, &length), VDCRASH_EINVAL);
    vdcrash_async_macho_string_free(&s);
    munmap(region, size);
}
