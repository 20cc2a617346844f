// Real crashes of this host, each in a child process: the reporter's signal handler walks the
// crashed thread from the signal's machine context and names every frame, writing what it found
// into a pipe with async-signal-safe calls. The names are checked against the executable's own
// symbol table, read here in the ordinary way.
#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"
#include "sdk/crashreporter/VuderuCrashFrameWalker.h"
#include "sdk/crashreporter/VuderuCrashSignalHandler.h"

#include "platform/foundation/NSThread.h"
#include "platform/system/dyld.h"
#include "platform/testsupport/SeccompFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <pthread.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#if defined(__clang__)
#define VDCRASH_TEST_FRAME __attribute__((noinline))
#else
#define VDCRASH_TEST_FRAME __attribute__((noipa))
#endif

namespace {

// ---- the child's side: the handler and what it writes ----

int reportFd = -1;
vdcrash_async_image_list_t childImages;

void writeText(const char* text) { vdcrash_async_writen(reportFd, text, vdcrash_async_strlen(text)); }

void writeNumber(uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    char out[24];
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    vdcrash_async_writen(reportFd, out, static_cast<size_t>(n));
}

void writeSymbolName(vm_address_t, const char* name, void* found) {
    *static_cast<bool*>(found) = true;
    writeText(name);
}

constexpr int kMostFrames = 48;

bool writeReport(int signo, siginfo_t*, ucontext_t* uap, void*, VuderuCrashSignalHandlerCallback*) {
    writeText("signal ");
    writeNumber(static_cast<uint64_t>(signo));
    writeText("\n");
    int imageCount = 0;
    vdcrash_async_image_list_set_reading(&childImages, true);
    for (auto* image = vdcrash_async_image_list_next(&childImages, nullptr); image;
         image = vdcrash_async_image_list_next(&childImages, image))
        ++imageCount;
    writeText("images ");
    writeNumber(static_cast<uint64_t>(imageCount));
    writeText("\n");

    vdcrash_async_thread_state_t state;
    vdcrash_async_thread_state_mcontext_init(&state, &uap->uc_mcontext);
    vdframe_cursor_t cursor;
    vdframe_cursor_init(&cursor, mach_task_self(), &state, &childImages);
    vdcrash_async_symbol_cache_t cache;
    vdcrash_async_symbol_cache_init(&cache);
    for (int depth = 0; depth < kMostFrames && vdframe_cursor_next(&cursor) == VDFRAME_ESUCCESS; ++depth) {
        vdcrash_greg_t pc = 0;
        if (vdframe_cursor_get_reg(&cursor, VDCRASH_REG_IP, &pc) != VDFRAME_ESUCCESS) break;
        // A caller's address is where its call returns to, which may lie past the end of a
        // function whose last instruction is a call that never returns.
        vm_address_t lookup = static_cast<vm_address_t>(depth == 0 ? pc : pc - 1);
        writeText("frame ");
        bool found = false;
        if (vdcrash_async_image_t* image = vdcrash_async_image_containing_address(&childImages, lookup))
            vdcrash_async_find_symbol(&image->macho_image, VDCRASH_ASYNC_SYMBOL_STRATEGY_SYMBOL_TABLE, &cache, lookup,
                                      writeSymbolName, &found);
        if (!found) writeText("?");
        writeText("\n");
    }
    vdcrash_async_image_list_set_reading(&childImages, false);
    vdcrash_async_symbol_cache_free(&cache);
    vdframe_cursor_free(&cursor);
    return false;  // the default action ends the process, as after the reporter's report
}

void listImage(const struct mach_header* header, intptr_t) {
    uint32_t count = _dyld_image_count();
    for (uint32_t i = 0; i < count; ++i)
        if (_dyld_get_image_header(i) == header)
            vdcrash_nasync_image_list_append(&childImages, reinterpret_cast<vm_address_t>(header),
                                             _dyld_get_image_name(i));
}

// ---- the crashes ----

void nothing() {}
void (*volatile opaqueCall)() = nothing;
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
__attribute__((no_sanitize("undefined"))) VDCRASH_TEST_FRAME int readThroughNull(int* pointer) {
    return *pointer + 1;
}
VDCRASH_TEST_FRAME void nullReadOuter() {
    readThroughNull(nullPointer);
    opaqueCall();
}

__attribute__((no_sanitize("undefined"))) VDCRASH_TEST_FRAME int divideInLeaf(int a, int b) { return a / b; }
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

// ---- the parent's side ----

// The executable's full symbol table, read from its file.
class ExecutableSymbols {
public:
    ExecutableSymbols() {
        int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
        Elf64_Ehdr ehdr{};
        if (fd < 0 || pread(fd, &ehdr, sizeof ehdr, 0) != sizeof ehdr) return;
        std::vector<Elf64_Shdr> sections(ehdr.e_shnum);
        (void)!pread(fd, sections.data(), sections.size() * sizeof(Elf64_Shdr), static_cast<off_t>(ehdr.e_shoff));
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(&nothing), &info);
        uintptr_t bias = ehdr.e_type == ET_DYN ? reinterpret_cast<uintptr_t>(info.dli_fbase) : 0;
        for (const Elf64_Shdr& section : sections) {
            if (section.sh_type != SHT_SYMTAB) continue;
            std::vector<Elf64_Sym> symbols(section.sh_size / sizeof(Elf64_Sym));
            (void)!pread(fd, symbols.data(), symbols.size() * sizeof(Elf64_Sym), static_cast<off_t>(section.sh_offset));
            const Elf64_Shdr& strings = sections[section.sh_link];
            std::string names(strings.sh_size, '\0');
            (void)!pread(fd, names.data(), names.size(), static_cast<off_t>(strings.sh_offset));
            for (const Elf64_Sym& s : symbols)
                if (ELF64_ST_TYPE(s.st_info) == STT_FUNC && s.st_size > 0)
                    functions_.push_back({bias + s.st_value, s.st_size, names.c_str() + s.st_name});
        }
        close(fd);
    }
    std::string nameOf(const void* code) const {
        auto address = reinterpret_cast<uintptr_t>(code);
        for (const Function& f : functions_)
            if (address >= f.start && address - f.start < f.size) return f.name;
        return "";
    }
    // An address between two functions, in the padding after one of them; 0 when there is none.
    uintptr_t addressBetweenFunctions() const {
        std::vector<Function> sorted = functions_;
        std::sort(sorted.begin(), sorted.end(), [](const Function& a, const Function& b) { return a.start < b.start; });
        uintptr_t reach = 0;
        for (size_t i = 0; i + 1 < sorted.size(); ++i) {
            reach = std::max(reach, sorted[i].start + sorted[i].size);
            if (reach < sorted[i + 1].start && reach > sorted[i].start) return reach;
        }
        return 0;
    }

private:
    struct Function {
        uintptr_t start;
        size_t size;
        std::string name;
    };
    std::vector<Function> functions_;
};

struct CrashReport {
    int signal = 0;  // the signal that ended the child, 0 when it exited
    int reportedSignal = 0;
    int images = 0;
    std::vector<std::string> frames;
};

void runOnABareThread(void (*body)()) {
    // Not on the test's own thread: the test framework would catch the C++ exception there.
    pthread_t thread;
    pthread_create(
        &thread, nullptr,
        [](void* b) -> void* {
            reinterpret_cast<void (*)()>(b)();
            return nullptr;
        },
        reinterpret_cast<void*>(body));
    pthread_join(thread, nullptr);
}

CrashReport crashInAChild(void (*body)(), bool onABareThread, bool withoutProcessVmReadv) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        reportFd = fds[1];
        if (withoutProcessVmReadv && !denyProcessVmReadv()) _exit(90);
        vdcrash_nasync_image_list_init(&childImages, mach_task_self());
        _dyld_register_func_for_add_image(listImage);
        auto handler = VuderuCrashSignalHandler::sharedHandler();
        for (int signo : {SIGABRT, SIGSEGV, SIGFPE, SIGBUS, SIGILL, SIGTRAP})
            handler->registerHandlerForSignalCallbackContextError(signo, writeReport, nullptr, nullptr);
        if (onABareThread)
            runOnABareThread(body);
        else
            body();
        _exit(91);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    CrashReport report;
    report.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("signal ", 0) == 0) report.reportedSignal = std::atoi(line.c_str() + 7);
        if (line.rfind("images ", 0) == 0) report.images = std::atoi(line.c_str() + 7);
        if (line.rfind("frame ", 0) == 0) report.frames.push_back(line.substr(6));
    }
    return report;
}

template <typename Function>
const void* code(Function* function) {
    return reinterpret_cast<const void*>(function);
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
        bool onABareThread;
        bool withoutProcessVmReadv;
        int signal;
        std::vector<const void*> callers;      // innermost first, consecutive in the report
        std::vector<const void*> interrupted;  // further out, below a signal handler's frame
    } cases[] = {
        {"abort()", abortOuter, true, false, SIGABRT, {code(abortInner), code(abortOuter)}, {}},
        {"an uncaught C++ exception", throwOuter, true, false, SIGABRT, {code(throwInner), code(throwOuter)}, {}},
        {"a null read in a file-local function", nullReadOuter, true, false, SIGSEGV,
         {code(readThroughNull), code(nullReadOuter)}, {}},
        {"division by zero in a leaf", divideOuter, true, false, SIGFPE, {code(divideInLeaf), code(divideOuter)}, {}},
        {"a fault after the epilogue's pop", faultAfterPopOuter, true, false, SIGSEGV,
         {code(vdcrash_test_fault_after_pop), code(faultAfterPopOuter)}, {}},
        {"a stack overflow on a platform thread", overflowOnAPlatformThread, false, false, SIGSEGV,
         {code(overflowTheStack), code(overflowTheStack)}, {}},
        {"a null read with process_vm_readv denied", nullReadOuter, true, true, SIGSEGV,
         {code(readThroughNull), code(nullReadOuter)}, {}},
        {"a fault in an application's signal handler", raiseOuter, true, false, SIGSEGV,
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
        std::vector<std::string> expected = names(c.callers), interrupted = names(c.interrupted);
        ASSERT_FALSE(expected.front().empty()) << "the test's own function is in the symbol table";
        CrashReport report = crashInAChild(c.body, c.onABareThread, c.withoutProcessVmReadv);
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
    static vdcrash_async_image_list_t images;
    vdcrash_nasync_image_list_init(&images, mach_task_self());
    static vdcrash_async_image_list_t* target = &images;
    _dyld_register_func_for_add_image([](const struct mach_header* header, intptr_t) {
        uint32_t count = _dyld_image_count();
        for (uint32_t i = 0; i < count; ++i)
            if (_dyld_get_image_header(i) == header)
                vdcrash_nasync_image_list_append(target, reinterpret_cast<vm_address_t>(header),
                                                 _dyld_get_image_name(i));
    });
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
