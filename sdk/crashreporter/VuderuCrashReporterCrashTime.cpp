// The reporter's crash-time side: the signal callback, the uncaught exception hook and writing the
// pending report file. Async-signal-safe throughout, apart from the exception hook's recording.
#include "sdk/crashreporter/VuderuCrashReporterContext.h"

#include "platform/system/SignalTranslation.h"

#include <cerrno>
#include <cstdio>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

const int vdcrash_monitored_signals[6] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGTRAP};

namespace {

constexpr mode_t kReportFileMode = 0644;

int32_t ownThread() { return static_cast<int32_t>(syscall(SYS_gettid)); }

// One crash at a time: the first thread to get here writes the report. Another thread that
// crashes meanwhile waits for the process to end, leaving the file to the first.
bool claimCrash(vdcrash_reporter_context_t* context) {
    int32_t expected = 0;
    int32_t self = ownThread();
    if (context->crashing_thread.compare_exchange_strong(expected, self)) return true;
    if (expected == self) return false;
    for (;;) pause();
}

void resetMonitoredSignals() {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    fallback.sa_flags = 0;
    for (int signo : vdcrash_monitored_signals) sigaction(signo, &fallback, nullptr);
}

} // namespace

bool vdcrash_reporter_reserve_report_space(const vdcrash_reporter_context_t* context) {
    int fd = open(context->reserved_path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, kReportFileMode);
    if (fd < 0) return false;
    struct stat status {};
    bool reserved = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && posix_fallocate(fd, 0, VDCRASH_REPORT_SIZE_LIMIT) == 0;
    close(fd);
    return reserved;
}

vdcrash_error_t vdcrash_reporter_write_report(vdcrash_reporter_context_t* context, thread_t crashed_thread,
                                              const vdcrash_log_writer_crash_info_t* crash_info,
                                              const vdcrash_async_thread_state_t* current_state) {
    // Into the space reserved at enable (or a new file of that name), and under the pending
    // report's name only once whole: a report that cannot be written leaves the one before it.
    // The other threads stay suspended until the report stands under its name, so that none of
    // them (a session set-up taking reports, say) ever sees it half-way.
    int fd = open(context->reserved_path, O_RDWR | O_CREAT | O_CLOEXEC, kReportFileMode);
    if (fd < 0) return VDCRASH_EINTERNAL;
    vdcrash_log_writer_threads_t threads;
    vdcrash_log_writer_suspend_threads(&threads);
    vdcrash_error_t result = vdcrash_log_writer_write_to_fd(&context->writer, crashed_thread, &context->image_list, fd,
                                                            crash_info, current_state, &threads);
    vdcrash_log_writer_close(&context->writer);
    bool closed = close(fd) == 0;
    if (result == VDCRASH_ESUCCESS && !closed) result = VDCRASH_EINTERNAL;
    if (result == VDCRASH_ESUCCESS && rename(context->reserved_path, context->report_path) != 0) result = VDCRASH_EINTERNAL;
    if (result != VDCRASH_ESUCCESS) unlink(context->reserved_path);
    vdcrash_log_writer_resume_threads(&threads);
    return result;
}

bool vdcrash_reporter_signal_callback(int signo, siginfo_t* info, ucontext_t* uap, void* context,
                                      VuderuCrashSignalHandlerCallback*) {
    auto* ctx = static_cast<vdcrash_reporter_context_t*>(context);
    // A fault inside the reporter comes back here on this thread and ends the process: the chain
    // raises it again with the default action.
    if (!claimCrash(ctx)) return false;

    vdcrash_async_thread_state_t state;
    vdcrash_async_thread_state_mcontext_init(&state, &uap->uc_mcontext);
    vdsys_signal_info hostSignal;
    vdsys_signal_info_from_host(signo, info, &hostSignal);
    vdcrash_log_signal_info_t signal = {hostSignal.signo, hostSignal.code, hostSignal.address};
    vdcrash_log_writer_crash_info_t crashInfo = {&signal, nullptr};
    vdcrash_error_t result = vdcrash_reporter_write_report(ctx, vd_mach_thread_self(), &crashInfo, &state);
    if (result == VDCRASH_ESUCCESS && ctx->signal_callback) ctx->signal_callback(info, uap, ctx->callback_context);
    // Only now: a thread that faults while the report is written must reach claimCrash and wait,
    // not end the process half-way through the file.
    resetMonitoredSignals();
    return false;
}

namespace {

// Records the exception unless another thread's is already recorded; that thread ends the process.
void recordUncaughtException(const NSException& exception) {
    vdcrash_reporter_context_t& ctx = vdcrash_reporter_context();
    bool expected = false;
    if (ctx.exception_recorded.compare_exchange_strong(expected, true))
        vdcrash_log_writer_set_exception(&ctx.writer, exception);
    else
        for (;;) pause();
}

std::terminate_handler previousTerminateHandler = nullptr;

std::string currentExceptionTypeName() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type) return "unknown";
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(type->name());
}

[[noreturn]] void terminateWithCxxException() {
    if (std::exception_ptr escaping = std::current_exception()) {
        try {
            std::rethrow_exception(escaping);
        } catch (const NSException&) {
            // The uncaught exception handler records it.
        } catch (const std::exception& exception) {
            recordUncaughtException(NSException(currentExceptionTypeName(), exception.what()));
        } catch (...) {
            recordUncaughtException(NSException(currentExceptionTypeName(), ""));
        }
    }
    if (previousTerminateHandler) previousTerminateHandler();
    abort();
}

} // namespace

void vdcrash_reporter_uncaught_exception_handler(const NSException& exception) {
    // Two exceptions escaping at once: the first is recorded, the other thread waits for the end.
    recordUncaughtException(exception);
    abort();
}

void vdcrash_reporter_install_terminate_handler() {
    static std::once_flag installed;
    std::call_once(installed, [] { previousTerminateHandler = std::set_terminate(terminateWithCxxException); });
}
