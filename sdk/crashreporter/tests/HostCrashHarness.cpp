#include "sdk/crashreporter/tests/HostCrashHarness.h"

#include "sdk/crashreporter/VuderuCrashAsyncSymbolication.h"
#include "sdk/crashreporter/VuderuCrashFrameWalker.h"
#include "sdk/crashreporter/VuderuCrashSignalHandler.h"

#include "platform/system/dyld.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/SeccompFilter.h"

#include <cstdlib>
#include <pthread.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kMostFrames = 48;

// ---- the child's side ----

int reportFd = -1;
vdcrash_async_image_list_t childImages;
vdcrash_async_image_list_t* listBeingFilled = nullptr;

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

void writeLine(const char* key, uint64_t value) {
    writeText(key);
    writeNumber(value);
    writeText("\n");
}

void writeSymbolName(vm_address_t, const char* name, void* found) {
    *static_cast<bool*>(found) = true;
    writeText(name);
}

void writeFrames(ucontext_t* uap) {
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
    vdcrash_async_symbol_cache_free(&cache);
    vdframe_cursor_free(&cursor);
}

bool writeReport(int signo, siginfo_t*, ucontext_t* uap, void*, VuderuCrashSignalHandlerCallback*) {
    writeLine("signal ", static_cast<uint64_t>(signo));
    vdcrash_async_image_list_set_reading(&childImages, true);
    uint64_t images = 0;
    for (auto* image = vdcrash_async_image_list_next(&childImages, nullptr); image;
         image = vdcrash_async_image_list_next(&childImages, image))
        ++images;
    writeLine("images ", images);
    writeFrames(uap);
    vdcrash_async_image_list_set_reading(&childImages, false);
    return false;  // the default action ends the process, as after the reporter's report
}

void runOnABareThread(void (*body)()) {
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

[[noreturn]] void runChild(int fd, void (*body)(), HostCrashOptions options) {
    reportFd = fd;
    if (options.withoutProcessVmReadv && !denyProcessVmReadv()) _exit(90);
    listProcessImages(&childImages);
    auto handler = VuderuCrashSignalHandler::sharedHandler();
    for (int signo : {SIGABRT, SIGSEGV, SIGFPE, SIGBUS, SIGILL, SIGTRAP})
        handler->registerHandlerForSignalCallbackContextError(signo, writeReport, nullptr, nullptr);
    if (options.onABareThread)
        runOnABareThread(body);
    else
        body();
    _exit(91);
}

// ---- the parent's side ----

HostCrashReport parse(const std::string& text, int status) {
    HostCrashReport report;
    report.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("signal ", 0) == 0) report.reportedSignal = std::atoi(line.c_str() + 7);
        if (line.rfind("images ", 0) == 0) report.images = std::atoi(line.c_str() + 7);
        if (line.rfind("frame ", 0) == 0) report.frames.push_back(line.substr(6));
    }
    return report;
}

} // namespace

void listProcessImages(vdcrash_async_image_list_t* list) {
    vdcrash_nasync_image_list_init(list, mach_task_self());
    listBeingFilled = list;
    _dyld_register_func_for_add_image([](const struct mach_header* header, intptr_t) {
        uint32_t count = _dyld_image_count();
        for (uint32_t i = 0; i < count; ++i)
            if (_dyld_get_image_header(i) == header)
                vdcrash_nasync_image_list_append(listBeingFilled, reinterpret_cast<vm_address_t>(header),
                                                 _dyld_get_image_name(i));
    });
    listBeingFilled = nullptr;
}

HostCrashReport crashInAChild(void (*body)(), HostCrashOptions options) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t child = forkWithThreadsAtRest();
    if (child == 0) {
        close(fds[0]);
        runChild(fds[1], body, options);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return parse(text, status);
}
