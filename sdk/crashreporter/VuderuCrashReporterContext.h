#pragma once
// The reporter's process-wide crash context: what the crash-time code reads from a signal handler
// or the exception server thread, prepared while enabling and never freed. Internal to the
// reporter.

#include "sdk/crashreporter/VuderuCrashAsyncImageList.h"
#include "sdk/crashreporter/VuderuCrashLogWriter.h"
#include "sdk/crashreporter/VuderuCrashMachExceptionPortSet.h"
#include "sdk/crashreporter/VuderuCrashReporter.h"
#include "sdk/crashreporter/VuderuCrashSignalHandler.h"

#include <atomic>
#include <climits>

struct vdcrash_reporter_context_t {
    bool enabled_once;
    void* callback_context;
    void (*signal_callback)(siginfo_t* info, ucontext_t* uap, void* context);
    vdcrash_async_image_list_t image_list;
    vdcrash_log_writer_t writer;
    char report_path[PATH_MAX];
    // Beside the report: the file whose blocks are reserved for it while enabling.
    char reserved_path[PATH_MAX];
    vdcrash_mach_exception_port_set previous_ports;
    // The thread writing the crash report; 0 until a crash. Only one crash is written.
    std::atomic<int32_t> crashing_thread;
    std::atomic<bool> exception_recorded;
};

vdcrash_reporter_context_t& vdcrash_reporter_context();

// The monitored signals (host numbers), in registration order.
extern const int vdcrash_monitored_signals[6];

// Crash-time callbacks, installed by the reporter.
bool vdcrash_reporter_signal_callback(int signo, siginfo_t* info, ucontext_t* uap, void* context,
                                      VuderuCrashSignalHandlerCallback* next);
void vdcrash_reporter_uncaught_exception_handler(const NSException& exception);
// Records a C++ exception of another type than NSException that escapes every handler (its type
// and what()) in the same place, then ends the process as the runtime would. Installed once.
void vdcrash_reporter_install_terminate_handler();
kern_return_t vdcrash_reporter_mach_exception_callback(task_t task, thread_t thread, exception_type_t type,
                                                       const mach_exception_data_type_t* code,
                                                       mach_msg_type_number_t code_count, void* context);

// Reserves the report's largest size on disk at the reserved path, so that a crash on a disk that
// fills up later still has room for its report. NO when the space could not be had.
bool vdcrash_reporter_reserve_report_space(const vdcrash_reporter_context_t* context);
// Writes the pending report file whole, or leaves the one there was and returns the error
// (crash time).
vdcrash_error_t vdcrash_reporter_write_report(vdcrash_reporter_context_t* context, thread_t crashed_thread,
                                              const vdcrash_log_writer_crash_info_t* crash_info,
                                              const vdcrash_async_thread_state_t* current_state);
