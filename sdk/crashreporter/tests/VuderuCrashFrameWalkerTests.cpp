// Thread states and the frame-pointer walk: register fixtures and fixture stacks for the
// device's processors, and real threads of this process for the host's.
#include "sdk/crashreporter/VuderuCrashFrameWalker.h"
#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"

#include "platform/system/dyld.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <sys/mman.h>
#include <string>
#include <vector>

TEST(VuderuCrashAsyncThreadState, RegisterNamesAndNumbersPerProcessor) {
    vdcrash_async_thread_state_t arm64, arm32, x86;
    ASSERT_EQ(vdcrash_async_thread_state_init(&arm64, CPU_TYPE_ARM64), VDCRASH_ESUCCESS);
    ASSERT_EQ(vdcrash_async_thread_state_init(&arm32, CPU_TYPE_ARM), VDCRASH_ESUCCESS);
    ASSERT_EQ(vdcrash_async_thread_state_init(&x86, CPU_TYPE_X86_64), VDCRASH_ESUCCESS);
    vdcrash_async_thread_state_t other;
    EXPECT_EQ(vdcrash_async_thread_state_init(&other, CPU_TYPE_X86), VDCRASH_ENOTSUP);

    EXPECT_EQ(arm64.flavor, ARM_THREAD_STATE64);
    EXPECT_EQ(arm64.count, 68);
    EXPECT_EQ(arm32.flavor, ARM_THREAD_STATE32);
    EXPECT_EQ(arm32.count, 17);
    EXPECT_EQ(vdcrash_async_thread_state_get_greg_size(&arm64), 8u);
    EXPECT_EQ(vdcrash_async_thread_state_get_greg_size(&arm32), 4u);
    EXPECT_EQ(vdcrash_async_thread_state_get_stack_direction(&arm64), VDCRASH_ASYNC_THREAD_STACK_DIRECTION_DOWN);
    EXPECT_EQ(arm64.valid_regs, 0u);

    auto names = [](const vdcrash_async_thread_state_t& s) {
        std::string out;
        for (vdcrash_regnum_t r = 0; r < vdcrash_async_thread_state_get_reg_count(&s); ++r)
            out += std::string(vdcrash_async_thread_state_get_reg_name(&s, r)) + " ";
        return out;
    };
    EXPECT_EQ(names(arm64), "pc fp sp x0 x1 x2 x3 x4 x5 x6 x7 x8 x9 x10 x11 x12 x13 x14 x15 x16 x17 x18 x19 x20 x21 "
                            "x22 x23 x24 x25 x26 x27 x28 lr cpsr ");
    EXPECT_EQ(names(arm32), "pc r7 sp r0 r1 r2 r3 r4 r5 r6 r8 r9 r10 r11 r12 lr cpsr ");
    EXPECT_EQ(names(x86), "rip rbp rsp rax rbx rcx rdx rdi rsi r8 r9 r10 r11 r12 r13 r14 r15 rflags cs fs gs ");
}

TEST(VuderuCrashAsyncThreadState, RegistersLandInTheirPlatformFields) {
    vd_arm_mcontext64_t mctx{};
    for (int i = 0; i < 29; ++i) mctx.ss.x[i] = 0x1000 + static_cast<uint64_t>(i);
    mctx.ss.fp = 0xF0;
    mctx.ss.lr = 0x1E;
    mctx.ss.sp = 0x5B;
    mctx.ss.pc = 0x9C;
    mctx.ss.cpsr = 0x60000000;
    vdcrash_async_thread_state_t s;
    vdcrash_async_thread_state_mcontext_init(&s, &mctx);
    EXPECT_EQ(s.flavor, ARM_THREAD_STATE64);
    for (vdcrash_regnum_t r = 0; r < 34; ++r) EXPECT_TRUE(vdcrash_async_thread_state_has_reg(&s, r));
    EXPECT_EQ(vdcrash_async_thread_state_get_reg(&s, VDCRASH_REG_IP), 0x9Cu);
    EXPECT_EQ(vdcrash_async_thread_state_get_reg(&s, VDCRASH_REG_FP), 0xF0u);
    EXPECT_EQ(vdcrash_async_thread_state_get_reg(&s, VDCRASH_REG_SP), 0x5Bu);
    EXPECT_EQ(vdcrash_async_thread_state_get_reg(&s, 3), 0x1000u);   // x0
    EXPECT_EQ(vdcrash_async_thread_state_get_reg(&s, 31), 0x101Cu);  // x28
    EXPECT_EQ(vdcrash_async_thread_state_get_reg(&s, 32), 0x1Eu);    // lr
    EXPECT_EQ(vdcrash_async_thread_state_get_reg(&s, 33), 0x60000000u);

    vdcrash_async_thread_state_t a32;
    vdcrash_async_thread_state_init(&a32, CPU_TYPE_ARM);
    vdcrash_async_thread_state_set_reg(&a32, 1, 0x77);   // r7
    vdcrash_async_thread_state_set_reg(&a32, 10, 0x88);  // r8
    vdcrash_async_thread_state_set_reg(&a32, 9, 0x66);   // r6
    EXPECT_EQ(a32.regs.arm32.r[7], 0x77u);
    EXPECT_EQ(a32.regs.arm32.r[8], 0x88u);
    EXPECT_EQ(a32.regs.arm32.r[6], 0x66u);
    EXPECT_TRUE(vdcrash_async_thread_state_has_reg(&a32, 10));
    EXPECT_FALSE(vdcrash_async_thread_state_has_reg(&a32, 11));
    vdcrash_async_thread_state_clear_reg(&a32, 10);
    EXPECT_FALSE(vdcrash_async_thread_state_has_reg(&a32, 10));
}

TEST(VuderuCrashAsyncThreadState, VolatileRegistersAreCleared) {
    struct Case {
        cpu_type_t cpu;
        uint64_t kept;
    } cases[] = {
        {CPU_TYPE_ARM64, 0xFFCull << 20},                                           // x19-x28 (22-31)
        {CPU_TYPE_ARM, (1u << 7) | (1u << 8) | (1u << 9) | (1u << 1) | (1u << 10) | (1u << 12) | (1u << 13)},
        {CPU_TYPE_X86_64, (1u << 4) | (1u << 1) | (1u << 13) | (1u << 14) | (1u << 15) | (1u << 16)},
    };
    for (const Case& c : cases) {
        vdcrash_async_thread_state_t s;
        vdcrash_async_thread_state_init(&s, c.cpu);
        for (vdcrash_regnum_t r = 0; r < vdcrash_async_thread_state_get_reg_count(&s); ++r)
            vdcrash_async_thread_state_set_reg(&s, r, r);
        vdcrash_async_thread_state_clear_volatile_regs(&s);
        EXPECT_EQ(s.valid_regs, c.kept) << c.cpu;
    }
}

TEST(VuderuCrashAsyncThreadState, DwarfNumbersMapBothWays) {
    struct Case {
        cpu_type_t cpu;
        uint64_t dwarf;
        vdcrash_regnum_t reg;
    } cases[] = {
        {CPU_TYPE_ARM64, 0, 3},  {CPU_TYPE_ARM64, 28, 31}, {CPU_TYPE_ARM64, 29, 1}, {CPU_TYPE_ARM64, 30, 32},
        {CPU_TYPE_ARM64, 31, 2}, {CPU_TYPE_ARM, 7, 1},     {CPU_TYPE_ARM, 8, 10},   {CPU_TYPE_ARM, 13, 2},
        {CPU_TYPE_ARM, 14, 15},  {CPU_TYPE_ARM, 15, 0},    {CPU_TYPE_X86_64, 6, 1}, {CPU_TYPE_X86_64, 7, 2},
        {CPU_TYPE_X86_64, 16, 0}, {CPU_TYPE_X86_64, 3, 4},
    };
    for (const Case& c : cases) {
        vdcrash_async_thread_state_t s;
        vdcrash_async_thread_state_init(&s, c.cpu);
        vdcrash_regnum_t reg = 99;
        uint64_t dwarf = 99;
        EXPECT_TRUE(vdcrash_async_thread_state_map_dwarf_to_reg(&s, c.dwarf, &reg));
        EXPECT_EQ(reg, c.reg);
        EXPECT_TRUE(vdcrash_async_thread_state_map_reg_to_dwarf(&s, c.reg, &dwarf));
        EXPECT_EQ(dwarf, c.dwarf);
    }
    vdcrash_async_thread_state_t s;
    vdcrash_async_thread_state_init(&s, CPU_TYPE_ARM64);
    uint64_t dwarf;
    vdcrash_regnum_t reg;
    EXPECT_FALSE(vdcrash_async_thread_state_map_reg_to_dwarf(&s, 0, &dwarf));  // the pc has no DWARF number
    EXPECT_FALSE(vdcrash_async_thread_state_map_dwarf_to_reg(&s, 99, &reg));
}

TEST(VuderuCrashAsyncThreadStateDeathTest, ARegisterOutsideTheRangeAborts) {
    vdcrash_async_thread_state_t s;
    vdcrash_async_thread_state_init(&s, CPU_TYPE_ARM);
    EXPECT_DEATH(vdcrash_async_thread_state_get_reg(&s, 17), "");
}

namespace {

// A fixture stack of {saved frame pointer, return address} records, walked through the real reads.
struct FixtureStack {
    std::vector<uint64_t> words = std::vector<uint64_t>(64, 0);
    uint64_t at(size_t index) { return reinterpret_cast<uint64_t>(&words[index]); }
    void frame(size_t index, uint64_t savedFp, uint64_t returnAddress) {
        words[index] = savedFp;
        words[index + 1] = returnAddress;
    }
};

std::vector<uint64_t> walk(vdframe_cursor_t* cursor, vdframe_error_t* end) {
    std::vector<uint64_t> pcs;
    vdframe_error_t err;
    while ((err = vdframe_cursor_next(cursor)) == VDFRAME_ESUCCESS) {
        vdcrash_greg_t pc = 0;
        if (vdframe_cursor_get_reg(cursor, VDCRASH_REG_IP, &pc) != VDFRAME_ESUCCESS) break;
        pcs.push_back(pc);
    }
    *end = err;
    return pcs;
}

vdcrash_async_thread_state_t arm64State(uint64_t pc, uint64_t fp) {
    vd_arm_mcontext64_t mctx{};
    mctx.ss.pc = pc;
    mctx.ss.fp = fp;
    mctx.ss.sp = fp - 32;
    mctx.ss.x[0] = 0xAA;
    vdcrash_async_thread_state_t s;
    vdcrash_async_thread_state_mcontext_init(&s, &mctx);
    return s;
}

} // namespace

TEST(VuderuCrashFrameWalker, WalksAFixtureStackOfTheDevice) {
    FixtureStack stack;
    stack.frame(0, stack.at(4), 0x100001000);
    stack.frame(4, stack.at(10), 0x100002000);
    stack.frame(10, 0, 0x100003000);  // the outermost frame: no saved frame pointer
    vdcrash_async_thread_state_t s = arm64State(0x100000500, stack.at(0));
    vdframe_cursor_t cursor;
    ASSERT_EQ(vdframe_cursor_init(&cursor, mach_task_self(), &s, nullptr), VDFRAME_ESUCCESS);

    // The first step is the initial state itself, with all its registers.
    ASSERT_EQ(vdframe_cursor_next(&cursor), VDFRAME_ESUCCESS);
    vdcrash_greg_t value = 0;
    EXPECT_EQ(vdframe_cursor_get_reg(&cursor, 3, &value), VDFRAME_ESUCCESS);
    EXPECT_EQ(value, 0xAAu);
    EXPECT_EQ(vdframe_cursor_get_regcount(&cursor), 34u);
    EXPECT_STREQ(vdframe_cursor_get_regname(&cursor, 32), "lr");

    vdframe_error_t end;
    std::vector<uint64_t> pcs = walk(&cursor, &end);
    EXPECT_EQ(pcs, (std::vector<uint64_t>{0x100001000, 0x100002000, 0x100003000}));
    EXPECT_EQ(end, VDFRAME_ENOFRAME);
    // The reader keeps only the frame and instruction pointers.
    EXPECT_EQ(vdframe_cursor_get_reg(&cursor, 3, &value), VDFRAME_ENOTSUP);
    vdframe_cursor_free(&cursor);
}

TEST(VuderuCrashFrameWalker, DamagedStacksEndTheWalk) {
    struct Case {
        const char* what;
        uint64_t secondReturn;
        bool fpGoesDown;
        bool unreadable;
        size_t frames;
        vdframe_error_t end;
    } cases[] = {
        {"a return address of 0x4000 is not code", 0x4000, false, false, 2, VDFRAME_ENOFRAME},
        {"a frame pointer below the previous one", 0x100002000, true, false, 3, VDFRAME_EBADFRAME},
        {"an unreadable frame pointer", 0x100002000, false, true, 3, VDFRAME_EBADFRAME},
    };
    for (const Case& c : cases) {
        FixtureStack stack;
        stack.frame(10, stack.at(20), 0x100001000);
        uint64_t next = c.fpGoesDown ? stack.at(0) : c.unreadable ? 8 : 0;
        stack.frame(20, next, c.secondReturn);
        stack.frame(0, stack.at(30), 0x100009000);
        vdcrash_async_thread_state_t s = arm64State(0x100000500, stack.at(10));
        vdframe_cursor_t cursor;
        vdframe_cursor_init(&cursor, mach_task_self(), &s, nullptr);
        vdframe_error_t end;
        std::vector<uint64_t> pcs = walk(&cursor, &end);
        EXPECT_EQ(pcs.size(), c.frames) << c.what;
        EXPECT_EQ(end, c.end) << c.what;
        vdframe_cursor_free(&cursor);
    }
}

TEST(VuderuCrashFrameWalker, AFrameRecordThatPointsAtItselfEndsTheWalk) {
    // The second record saves its own address as the caller's frame pointer: a cycle.
    FixtureStack stack;
    stack.frame(10, stack.at(20), 0x100001000);
    stack.frame(20, stack.at(20), 0x100002000);
    vdcrash_async_thread_state_t s = arm64State(0x100000500, stack.at(10));
    vdframe_cursor_t cursor;
    vdframe_cursor_init(&cursor, mach_task_self(), &s, nullptr);
    // Bounded, so that a walker that follows the cycle fails here instead of running for ever.
    constexpr int kMostSteps = 20;
    int steps = 0;
    vdframe_error_t end = VDFRAME_ESUCCESS;
    while (steps < kMostSteps && (end = vdframe_cursor_next(&cursor)) == VDFRAME_ESUCCESS) ++steps;
    EXPECT_EQ(end, VDFRAME_EBADFRAME);
    // The initial state, the first record's caller and the second record's caller; then the cycle.
    EXPECT_EQ(steps, 3);
    vdframe_cursor_free(&cursor);
}

TEST(VuderuCrashFrameWalker, ThirtyTwoBitStacksUseFourByteWords) {
    // A 32-bit frame pointer chain needs addresses below 4 GiB.
    void* low = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    ASSERT_NE(low, MAP_FAILED);
    auto* words = static_cast<uint32_t*>(low);
    auto at = [&](size_t i) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&words[i])); };
    words[0] = at(4);
    words[1] = 0x8001;
    words[4] = 0;
    words[5] = 0x8003;
    vdcrash_async_thread_state_t s;
    vdcrash_async_thread_state_init(&s, CPU_TYPE_ARM);
    vdcrash_async_thread_state_set_reg(&s, VDCRASH_REG_IP, 0x8000);
    vdcrash_async_thread_state_set_reg(&s, VDCRASH_REG_FP, at(0));
    vdframe_cursor_t cursor;
    vdframe_cursor_init(&cursor, mach_task_self(), &s, nullptr);
    vdframe_error_t end;
    std::vector<uint64_t> pcs = walk(&cursor, &end);
    EXPECT_EQ(pcs, (std::vector<uint64_t>{0x8000, 0x8001, 0x8003}));
    EXPECT_EQ(end, VDFRAME_ENOFRAME);
    vdframe_cursor_free(&cursor);
    munmap(low, 4096);
}

TEST(VuderuCrashFrameWalker, ThreadsThatCantBeReadGiveAnInternalError) {
    vdframe_cursor_t cursor;
    EXPECT_EQ(vdframe_cursor_thread_init(&cursor, mach_task_self(), vd_mach_thread_self(), nullptr), VDFRAME_INTERNAL);
    EXPECT_STREQ(vdframe_strerror(VDFRAME_EBADREG), "Invalid register");
    EXPECT_STREQ(vdframe_strerror(static_cast<vdframe_error_t>(8)), "Unhandled error code");
}

// ---- real frames of this process ----

namespace {

vdcrash_async_image_list_t* processImages() {
    static vdcrash_async_image_list_t* list = [] {
        auto* l = new vdcrash_async_image_list_t();
        vdcrash_nasync_image_list_init(l, mach_task_self());
        static vdcrash_async_image_list_t* target;
        target = l;
        _dyld_register_func_for_add_image([](const struct mach_header* header, intptr_t) {
            uint32_t count = _dyld_image_count();
            for (uint32_t i = 0; i < count; ++i)
                if (_dyld_get_image_header(i) == header)
                    vdcrash_nasync_image_list_append(target, reinterpret_cast<vm_address_t>(header), _dyld_get_image_name(i));
        });
        return l;
    }();
    return list;
}

struct WalkResult {
    std::vector<std::string> names;
    size_t registers = 0;
};

void nameSymbol(vm_address_t, const char* name, void* ctx) { static_cast<std::string*>(ctx)->assign(name); }

// Walks from a state and names every frame through the image list; async-signal-safe apart
// from the vector it fills, which the signal test replaces with a fixed buffer.
vdcrash_error_t walkAndName(vdcrash_async_thread_state_t* state, void* ctx) {
    auto* result = static_cast<WalkResult*>(ctx);
    vdcrash_async_image_list_t* images = processImages();
    vdframe_cursor_t cursor;
    vdframe_cursor_init(&cursor, mach_task_self(), state, images);
    vdcrash_async_symbol_cache_t cache;
    vdcrash_async_symbol_cache_init(&cache);
    vdcrash_async_image_list_set_reading(images, true);
    while (vdframe_cursor_next(&cursor) == VDFRAME_ESUCCESS && result->names.size() < 64) {
        if (result->names.empty()) result->registers = vdframe_cursor_get_regcount(&cursor);
        vdcrash_greg_t pc = 0;
        if (vdframe_cursor_get_reg(&cursor, VDCRASH_REG_IP, &pc) != VDFRAME_ESUCCESS) break;
        std::string name = "?";
        if (vdcrash_async_image_t* image = vdcrash_async_image_containing_address(images, pc))
            vdcrash_async_find_symbol(&image->macho_image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, &cache, pc, nameSymbol, &name);
        result->names.push_back(name);
    }
    vdcrash_async_image_list_set_reading(images, false);
    vdcrash_async_symbol_cache_free(&cache);
    vdframe_cursor_free(&cursor);
    return VDCRASH_ESUCCESS;
}

} // namespace

extern "C" {
__attribute__((noinline)) int vdcrash_test_frame_inner(WalkResult* result) {
    return vdcrash_async_thread_state_current(walkAndName, result) + 1;
}
__attribute__((noinline)) int vdcrash_test_frame_middle(WalkResult* result) {
    return vdcrash_test_frame_inner(result) + 1;
}
__attribute__((noinline)) int vdcrash_test_frame_outer(WalkResult* result) {
    return vdcrash_test_frame_middle(result) + 1;
}
}

TEST(VuderuCrashFrameWalker, UnwindsTheCallingThreadThroughTheHostFlavour) {
    processImages();
    WalkResult result;
    EXPECT_EQ(vdcrash_test_frame_outer(&result), 3);
    EXPECT_EQ(result.registers, 21u);
    ASSERT_GE(result.names.size(), 4u);
    // The first frame is the capture's return address, inside the innermost caller.
    EXPECT_EQ(result.names[0], "vdcrash_test_frame_inner");
    EXPECT_EQ(result.names[1], "vdcrash_test_frame_middle");
    EXPECT_EQ(result.names[2], "vdcrash_test_frame_outer");
}

namespace {
char signalNames[8][64];
int signalFrames = 0;

void faultHandler(int, siginfo_t*, void* uap) {
    auto* uc = static_cast<ucontext_t*>(uap);
    vdcrash_async_thread_state_t state;
    vdcrash_async_thread_state_mcontext_init(&state, &uc->uc_mcontext);
    vdcrash_async_image_list_t* images = processImages();
    vdframe_cursor_t cursor;
    vdframe_cursor_init(&cursor, mach_task_self(), &state, images);
    vdcrash_async_symbol_cache_t cache;
    vdcrash_async_symbol_cache_init(&cache);
    vdcrash_async_image_list_set_reading(images, true);
    while (signalFrames < 8 && vdframe_cursor_next(&cursor) == VDFRAME_ESUCCESS) {
        vdcrash_greg_t pc = 0;
        vdframe_cursor_get_reg(&cursor, VDCRASH_REG_IP, &pc);
        struct Out {
            char* buffer;
        } out{signalNames[signalFrames++]};
        if (vdcrash_async_image_t* image = vdcrash_async_image_containing_address(images, pc))
            vdcrash_async_find_symbol(&image->macho_image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, &cache, pc,
                                      [](vm_address_t, const char* name, void* ctx) {
                                          char* b = static_cast<Out*>(ctx)->buffer;
                                          size_t i = 0;
                                          for (; name[i] && i < 63; ++i) b[i] = name[i];
                                          b[i] = 0;
                                      },
                                      &out);
    }
    vdcrash_async_image_list_set_reading(images, false);
    vdcrash_async_symbol_cache_free(&cache);
    for (int i = 0; i < signalFrames; ++i) {
        (void)!write(2, signalNames[i], vdcrash_async_strlen(signalNames[i]));
        (void)!write(2, "\n", 1);
    }
    signal(SIGSEGV, SIG_DFL);
}

int* volatile faultAddress = reinterpret_cast<int*>(8);
void nothing() {}
// Called through a volatile pointer: the faulting function is then not a leaf, and compilers keep
// the frame pointer of non-leaf functions only.
void (*volatile opaqueCall)() = nothing;
}

extern "C" {
__attribute__((noinline)) void vdcrash_test_faulting_function() {
    opaqueCall();
    *faultAddress = 42;
}
__attribute__((noinline)) void vdcrash_test_calls_faulting_function() {
    vdcrash_test_faulting_function();
    faultAddress = nullptr;  // keeps the call from being a tail call
}
}

// A real fault: the machine context of the signal gives the faulting frame and its callers. Runs
// in a child; under AddressSanitizer our handler replaces its SIGSEGV handler for the child only.
TEST(VuderuCrashFrameWalkerDeathTest, UnwindsAFaultFromTheSignalsMachineContext) {
    processImages();
    EXPECT_EXIT(
        {
            struct sigaction sa {};
            sa.sa_sigaction = faultHandler;
            sa.sa_flags = SA_SIGINFO;
            sigaction(SIGSEGV, &sa, nullptr);
            vdcrash_test_calls_faulting_function();
        },
        ::testing::KilledBySignal(SIGSEGV),
        "vdcrash_test_faulting_function\nvdcrash_test_calls_faulting_function\n_ZN\\w*UnwindsAFault");
}

// Another running thread of this process: a signal sent to it captures its machine context, and
// the walk from there names the functions it is in.
namespace {
std::atomic<bool> threadArrived{false}, threadReleased{false}, threadWalked{false};
char threadNames[4][64];

void walkOtherThread(int, siginfo_t*, void* uap) {
    vdcrash_async_thread_state_t state;
    vdcrash_async_thread_state_mcontext_init(&state, &static_cast<ucontext_t*>(uap)->uc_mcontext);
    vdcrash_async_image_list_t* images = processImages();
    vdframe_cursor_t cursor;
    vdframe_cursor_init(&cursor, mach_task_self(), &state, images);
    vdcrash_async_symbol_cache_t cache;
    vdcrash_async_symbol_cache_init(&cache);
    vdcrash_async_image_list_set_reading(images, true);
    for (int i = 0; i < 4 && vdframe_cursor_next(&cursor) == VDFRAME_ESUCCESS; ++i) {
        vdcrash_greg_t pc = 0;
        vdframe_cursor_get_reg(&cursor, VDCRASH_REG_IP, &pc);
        if (vdcrash_async_image_t* image = vdcrash_async_image_containing_address(images, pc))
            vdcrash_async_find_symbol(&image->macho_image, VDCRASH_ASYNC_SYMBOL_STRATEGY_ALL, &cache, pc,
                                      [](vm_address_t, const char* name, void* ctx) {
                                          char* b = static_cast<char*>(ctx);
                                          size_t n = 0;
                                          for (; name[n] && n < 63; ++n) b[n] = name[n];
                                          b[n] = 0;
                                      },
                                      threadNames[i]);
    }
    vdcrash_async_image_list_set_reading(images, false);
    vdcrash_async_symbol_cache_free(&cache);
    vdframe_cursor_free(&cursor);
    threadWalked = true;
    threadReleased = true;
}
} // namespace

extern "C" {
// Not a leaf (the opaque call), so it keeps its frame pointer while it spins.
__attribute__((noinline)) void vdcrash_test_thread_inner() {
    opaqueCall();
    threadArrived = true;
    while (!threadReleased.load()) {
    }
}
__attribute__((noinline)) void vdcrash_test_thread_outer() {
    vdcrash_test_thread_inner();
    opaqueCall();
}
}

TEST(VuderuCrashFrameWalkerDeathTest, UnwindsAnotherRunningThread) {
    processImages();
    EXPECT_EXIT(
        {
            struct sigaction sa {};
            sa.sa_sigaction = walkOtherThread;
            sa.sa_flags = SA_SIGINFO;
            sigaction(SIGUSR1, &sa, nullptr);
            std::thread worker(vdcrash_test_thread_outer);
            while (!threadArrived.load()) {
            }
            pthread_kill(worker.native_handle(), SIGUSR1);
            worker.join();
            bool named = threadWalked && std::string(threadNames[0]) == "vdcrash_test_thread_inner" &&
                         std::string(threadNames[1]) == "vdcrash_test_thread_outer";
            std::_Exit(named ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
