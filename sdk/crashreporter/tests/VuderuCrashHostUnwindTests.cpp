// Real crashes of this host, each in a child process (HostCrashHarness): the frames the
// reporter's cursor walks from the signal's machine context, named through the image list and
// checked against the executable's own symbol table.
#include "sdk/crashreporter/tests/ExecutableSymbols.h"
#include "sdk/crashreporter/tests/HostCrashHarness.h"

#include "sdk/crashreporter/VuderuCrashAsyncEhFrame_linux.h"
#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"

#include "platform/foundation/NSThread.h"
#include "platform/foundation/ThreadAlternateSignalStacks.h"

#include "platform/foundation/Sanitizers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <pthread.h>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__clang__)
#define VDCRASH_TEST_FRAME __attribute__((noinline))
#else
#define VDCRASH_TEST_FRAME __attribute__((noipa))
#endif

namespace {

void crashHostUnwindNothing() {}
void (*volatile opaqueCall)() = crashHostUnwindNothing;
int* volatile nullPointer = nullptr;
volatile int zero = 0;

VDCRASH_TEST_FRAME void abortInner() {
    opaqueCall();
    abort();
}
VDCRASH_TEST_FRAME void abortOuter() {
    abortInner();
    opaqueCall();
}

// Cold as a whole: the compiler would otherwise move the throw into a part of its own, which the
// symbol table names "throwInner.cold".
__attribute__((cold)) VDCRASH_TEST_FRAME void throwInner() {
    opaqueCall();
    throw std::runtime_error("not caught by anyone");
}
VDCRASH_TEST_FRAME void throwOuter() {
    throwInner();
    opaqueCall();
}

// The processor's fault, not the undefined-behaviour checker's report.
// The accesses are volatile so that no compiler drops a fault whose value nobody uses.
__attribute__((no_sanitize("undefined"))) VDCRASH_TEST_FRAME int readThroughNull(int* pointer) {
    return *static_cast<volatile int*>(pointer) + 1;
}
VDCRASH_TEST_FRAME void nullReadOuter() {
    readThroughNull(nullPointer);
    opaqueCall();
}

__attribute__((no_sanitize("undefined"))) VDCRASH_TEST_FRAME int divideInLeaf(int a, int b) {
    volatile int quotient = a / b;
    return quotient;
}
VDCRASH_TEST_FRAME void divideOuter() {
    divideInLeaf(7, zero);
    opaqueCall();
}

volatile bool keepRecursing = true;
// An application's own signal handler that crashes: the walk crosses the signal trampoline into
// the code the signal interrupted.
VDCRASH_TEST_FRAME void faultInASignalHandler(int) {
    nullReadOuter();
    opaqueCall();
}
VDCRASH_TEST_FRAME void raiseOuter() {
    struct sigaction action {};
    action.sa_handler = faultInASignalHandler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
    raise(SIGUSR1);
    opaqueCall();
}

VDCRASH_TEST_FRAME int overflowTheStack(int depth) {
    volatile char padding[512];
    padding[0] = static_cast<char>(depth);
    if (!keepRecursing) return padding[0];
    return overflowTheStack(depth + 1) + padding[0];
}
void overflowOnAPlatformThread() {
    NSThread::detachNewThread([] { overflowTheStack(0); }, "overflowing");
    for (;;) pause();
}
// A thread a library starts: plain pthread_create, no stack of the platform's.
void overflowOnAPlainThread() {
    vdsys_alternate_signal_stacks_for_all_threads();
    pthread_t thread;
    pthread_create(
        &thread, nullptr,
        [](void*) -> void* {
            overflowTheStack(0);
            return nullptr;
        },
        nullptr);
    for (;;) pause();
}
// A thread whose library gave it an alternate stack far too small for a report.
void faultOnASmallAlternateStack() {
    static char small[4096];
    stack_t stack{};
    stack.ss_sp = small;
    stack.ss_size = sizeof small;
    sigaltstack(&stack, nullptr);
    nullReadOuter();
}

} // namespace

// Faults after its epilogue has restored the caller's frame pointer: the caller is found only
// through the unwind table, which says that the return address is now on top of the stack.
asm(R"(
    .text
    .p2align 4
    .type vdcrash_test_fault_after_pop, @function
vdcrash_test_fault_after_pop:
    .cfi_startproc
    pushq %rbp
    .cfi_def_cfa_offset 16
    .cfi_offset %rbp, -16
    movq %rsp, %rbp
    .cfi_def_cfa_register %rbp
    popq %rbp
    .cfi_def_cfa %rsp, 8
    movl (%rdi), %eax
    ret
    .cfi_endproc
    .size vdcrash_test_fault_after_pop, .-vdcrash_test_fault_after_pop
)");
extern "C" int vdcrash_test_fault_after_pop(const int* pointer);

namespace {

VDCRASH_TEST_FRAME void faultAfterPopOuter() {
    vdcrash_test_fault_after_pop(nullPointer);
    opaqueCall();
}

// Where `expected` begins as consecutive frames at or after `from`; npos when it does not.
size_t findInOrder(const std::vector<std::string>& frames, const std::vector<std::string>& expected, size_t from) {
    for (size_t i = from; i + expected.size() <= frames.size(); ++i) {
        bool all = true;
        for (size_t k = 0; k < expected.size() && all; ++k) all = frames[i + k] == expected[k];
        if (all) return i;
    }
    return std::string::npos;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += n + "\n";
    return out;
}

} // namespace

// Each crash names the test's own functions in the order they called each other, however many
// frames of the host's runtimes (built without frame pointers) lie above them.
TEST(VuderuCrashHostUnwindDeathTest, CrashesNameTheirCallersFrames) {
    struct Case {
        const char* what;
        void (*body)();
        HostCrashOptions options;
        int signal;
        std::vector<const void*> callers;      // innermost first, consecutive in the report
        std::vector<const void*> interrupted;  // further out, below a signal handler's frame
    } cases[] = {
        {"abort()", abortOuter, {}, SIGABRT, {code(abortInner), code(abortOuter)}, {}},
        {"an uncaught C++ exception", throwOuter, {}, SIGABRT, {code(throwInner), code(throwOuter)}, {}},
        {"a null read in a file-local function", nullReadOuter, {}, SIGSEGV,
         {code(readThroughNull), code(nullReadOuter)}, {}},
        {"division by zero in a leaf", divideOuter, {}, SIGFPE, {code(divideInLeaf), code(divideOuter)}, {}},
        {"a fault after the epilogue's pop", faultAfterPopOuter, {}, SIGSEGV,
         {code(vdcrash_test_fault_after_pop), code(faultAfterPopOuter)}, {}},
        {"a stack overflow on a platform thread", overflowOnAPlatformThread, {.onABareThread = false}, SIGSEGV,
         {code(overflowTheStack), code(overflowTheStack)}, {}},
        {"a stack overflow on a plain pthread", overflowOnAPlainThread, {.onABareThread = false}, SIGSEGV,
         {code(overflowTheStack), code(overflowTheStack)}, {}},
        {"a null read on a thread with a 4 KB alternate stack", faultOnASmallAlternateStack, {}, SIGSEGV,
         {code(readThroughNull), code(nullReadOuter)}, {}},
        {"a null read with process_vm_readv denied", nullReadOuter, {.withoutProcessVmReadv = true}, SIGSEGV,
         {code(readThroughNull), code(nullReadOuter)}, {}},
        {"a fault in an application's signal handler", raiseOuter, {}, SIGSEGV,
         {code(readThroughNull), code(nullReadOuter), code(faultInASignalHandler)}, {code(raiseOuter)}},
    };
    ExecutableSymbols symbols;
    auto names = [&](const std::vector<const void*>& functions) {
        std::vector<std::string> out;
        for (const void* f : functions) out.push_back(symbols.nameOf(f));
        return out;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The handler's move onto its reserve stack is a stack switch AddressSanitizer cannot follow:
        // it takes the reserve for an overflowed stack. The row runs in the other builds.
        if (TANDREL_ADDRESS_SANITIZER && c.body == faultOnASmallAlternateStack) continue;
        std::vector<std::string> expected = names(c.callers), interrupted = names(c.interrupted);
        ASSERT_FALSE(expected.front().empty()) << "the test's own function is in the symbol table";
        HostCrashReport report = crashInAChild(c.body, c.options);
        EXPECT_EQ(report.signal, c.signal);
        EXPECT_EQ(report.reportedSignal, c.signal) << "a report was written";
        EXPECT_GT(report.images, 2);
        size_t at = findInOrder(report.frames, expected, 0);
        EXPECT_NE(at, std::string::npos) << "expected, in order:\n" << joined(expected) << "reported:\n"
                                         << joined(report.frames);
        if (at != std::string::npos && !interrupted.empty()) {
            EXPECT_NE(findInOrder(report.frames, interrupted, at + expected.size()), std::string::npos)
                << "expected further out:\n" << joined(interrupted) << "reported:\n" << joined(report.frames);
        }
    }
}

namespace {
void copyName(vm_address_t, const char* name, void* out) { static_cast<std::string*>(out)->assign(name); }

vdcrash_error_t symbolAt(vdcrash_async_image_list_t* images, const void* code, std::string* name) {
    auto address = reinterpret_cast<vm_address_t>(code);
    vdcrash_async_image_t* image = vdcrash_async_image_containing_address(images, address);
    if (!image) return VDCRASH_ENOTFOUND;
    vdcrash_async_symbol_cache_t cache;
    vdcrash_async_symbol_cache_init(&cache);
    vdcrash_error_t err = vdcrash_async_find_symbol(&image->macho_image, VDCRASH_ASYNC_SYMBOL_STRATEGY_SYMBOL_TABLE,
                                                    &cache, address, copyName, name);
    vdcrash_async_symbol_cache_free(&cache);
    return err;
}
} // namespace

// File-local functions take their own names from the full symbol table, and an address that no
// function's size reaches is not named after the function before it.
TEST(VuderuCrashHostSymbols, NamesComeFromTheFullSymbolTableWithinEachSymbolsSize) {
    vdcrash_async_image_list_t images;
    listProcessImages(&images);
    ExecutableSymbols symbols;
    std::string name;
    ASSERT_EQ(symbolAt(&images, reinterpret_cast<const char*>(code(readThroughNull)) + 1, &name), VDCRASH_ESUCCESS);
    EXPECT_EQ(name, symbols.nameOf(code(readThroughNull)));
    EXPECT_NE(name.find("_GLOBAL__N_"), std::string::npos) << name;

    uintptr_t gap = symbols.addressBetweenFunctions();
    ASSERT_NE(gap, 0u);
    name.clear();
    EXPECT_EQ(symbolAt(&images, reinterpret_cast<const void*>(gap), &name), VDCRASH_ENOTFOUND) << name;
    vdcrash_nasync_image_list_free(&images);
}

namespace {
bool sameRow(const vdcrash_eh_frame_row_t& a, const vdcrash_eh_frame_row_t& b) {
    if (a.cfa_register != b.cfa_register || a.cfa_offset != b.cfa_offset ||
        a.return_address_register != b.return_address_register || a.signal_frame != b.signal_frame)
        return false;
    for (size_t i = 0; i < VDCRASH_EH_FRAME_REGISTER_COUNT; ++i)
        if (a.rules[i].kind != b.rules[i].kind || a.rules[i].value != b.rules[i].value) return false;
    return true;
}
} // namespace

// The sample of an image's unwind index taken with its symbols leads a lookup to the entry that a
// search of the whole index finds, at every address of the image's code.
TEST(VuderuCrashHostUnwind, SampledIndexLookupsMatchWholeIndexSearches) {
    vdcrash_async_image_list_t images;
    listProcessImages(&images);
    for (const void* code : {code(abortOuter), reinterpret_cast<const void*>(&abort)}) {
        vdcrash_async_image_t* image =
            vdcrash_async_image_containing_address(&images, reinterpret_cast<vm_address_t>(code));
        ASSERT_NE(image, nullptr);
        const vdelf_image& elf = image->macho_image.elf_image;
        ASSERT_NE(elf.unwind_sample.starts, nullptr) << image->macho_image.name;
        size_t compared = 0;
        for (vm_address_t pc = elf.text_start; pc < elf.text_end; pc += 251) {
            vdcrash_eh_frame_row_t whole, sampled;
            vdcrash_error_t wholeErr = vdcrash_async_eh_frame_find_row(mach_task_self(), elf.eh_frame_hdr, pc, &whole);
            vdcrash_error_t sampledErr = vdcrash_async_eh_frame_find_row_sampled(mach_task_self(), elf.eh_frame_hdr,
                                                                                 &elf.unwind_sample, pc, &sampled);
            ASSERT_EQ(sampledErr, wholeErr) << std::hex << pc;
            if (wholeErr == VDCRASH_ESUCCESS) {
                ASSERT_TRUE(sameRow(whole, sampled)) << std::hex << pc;
                ++compared;
            }
        }
        EXPECT_GT(compared, 0u);
    }
    vdcrash_nasync_image_list_free(&images);
}
