// The reporter's crash-time side: the signal callback, the uncaught exception hook and writing the
// pending report file. Async-signal-safe throughout, apart from the exception hook's recording.
#include "sdk/crashreporter/VuderuCrashReporterContext.h"

#include "platform/system/SignalTranslation.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

vdcrash_error_t vdcrash_reporter_write_report(vdcrash_reporter_context_t* context, thread_t crashed_thread,
                                              const vdcrash_log_writer_crash_info_t* crash_info,
                                              const vdcrash_async_thread_state_t* current_state) {
    int fd = open(context->report_path, O_RDWR | O_CREAT | O_TRUNC, kReportFileMode);
    if (fd < 0) return VDCRASH_EINTERNAL;
    vdcrash_error_t result =
        vdcrash_log_writer_write_to_fd(&context->writer, crashed_thread, &context->image_list, fd, crash_info, current_state);
    vdcrash_log_writer_close(&context->writer);
    bool closed = close(fd) == 0;
    if (result == VDCRASH_ESUCCESS && !closed) result = VDCRASH_EINTERNAL;
    // A report that could not be written whole is not left pending.
    if (result != VDCRASH_ESUCCESS) unlink(context->report_path);
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

void vdcrash_reporter_uncaught_exception_handler(const NSException& exception) {
    vdcrash_reporter_context_t& ctx = vdcrash_reporter_context();
    // Two exceptions escaping at once: the first is recorded, the other thread waits for the end.
    bool expected = false;
    if (ctx.exception_recorded.compare_exchange_strong(expected, true))
        vdcrash_log_writer_set_exception(&ctx.writer, exception);
    else
        for (;;) pause();
    abort();
}
