#pragma once
// The crash log writer: one report file in the "vdcrash" format. Everything that needs the full
// system libraries (process facts, sysctl values, strings from objects) is gathered when the
// writer is prepared or an uncaught exception is recorded; writing only reads that prepared data,
// suspends the other threads, walks their stacks and encodes, all async-signal-safe: no heap, no
// locks, stack buffers only.

#include "platform/foundation/NSException.h"
#include "platform/system/mach.h"
#include "platform/system/thread_act.h"
#include "sdk/crashreporter/VuderuCrashAsync.h"
#include "sdk/crashreporter/VuderuCrashAsyncImageList.h"
#include "sdk/crashreporter/VuderuCrashAsyncThreadState.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

// A thread walk or an exception's call stack holds at most this many frames.
constexpr uint32_t VDCRASH_MAX_FRAMES = 512;

struct vdcrash_log_writer_capture_t;

struct vdcrash_log_writer_t {
    uint32_t symbol_strategy;
    // Where a thread's frames (with their symbols) are copied before its entry is sized and
    // written: allocated when the writer is prepared, so that the crash path allocates nothing.
    vdcrash_log_writer_capture_t* capture;
    struct {
        bool user_requested;
        uint8_t uuid[16];
    } report_info;
    struct {
        char* version;  // never null once prepared ("" when unknown)
        char* build;    // null when unknown
    } system_info;
    struct {
        char* model;  // null when unknown
        uint64_t cpu_type;
        uint64_t cpu_subtype;
        uint32_t processor_count;
        uint32_t logical_processor_count;
    } machine_info;
    struct {
        char* app_identifier;
        char* app_version;
    } application_info;
    struct {
        char* process_name;  // null when unknown
        pid_t process_id;
        char* process_path;  // null when unknown
        uint64_t start_time;
        char* parent_process_name;  // null when unknown
        pid_t parent_process_id;
        bool native;
    } process_info;
    struct {
        bool has_exception;
        char* name;    // never null when recorded ("" for a missing name)
        char* reason;  // never null when recorded ("" for a missing reason)
        size_t callstack_count;
        uint64_t* callstack;
    } uncaught_exception;
};

// The signal a report describes, in the device's numbering.
struct vdcrash_log_signal_info_t {
    int32_t signo;
    int32_t code;
    uint64_t address;
};

// The Mach exception a report describes (Mach mode only).
struct vdcrash_log_mach_info_t {
    exception_type_t type;
    const mach_exception_data_type_t* code;
    mach_msg_type_number_t code_count;
};

struct vdcrash_log_writer_crash_info_t {
    const vdcrash_log_signal_info_t* signal_info;
    const vdcrash_log_mach_info_t* mach_info;  // null outside Mach mode
};

// How much a report holds. A report that does not fit the file's size limit is written again
// with less detail.
enum vdcrash_log_writer_detail_t : int {
    VDCRASH_LOG_WRITER_DETAIL_FULL = 0,
    // Only the crashed thread (and the exception) keep their frames.
    VDCRASH_LOG_WRITER_DETAIL_CRASHED_FRAMES_ONLY = 1,
    // As above, and only the images that hold one of the written frames.
    VDCRASH_LOG_WRITER_DETAIL_FRAME_IMAGES_ONLY = 2,
    // As above, and frames without symbol names: a deep stack of long names still fits.
    VDCRASH_LOG_WRITER_DETAIL_NO_SYMBOLS = 3,
};

// The threads of the task, listed and (but for the calling one) suspended for a whole write, so
// that a report can be written, and renamed into place, before any of them runs again.
struct vdcrash_log_writer_threads_t {
    task_t task;
    thread_t self;
    thread_act_array_t list;
    mach_msg_type_number_t count;
};
// Lists and suspends the task's other threads (async-safe); on failure the list is empty.
void vdcrash_log_writer_suspend_threads(vdcrash_log_writer_threads_t* threads);
// Resumes them and releases the list (async-safe).
void vdcrash_log_writer_resume_threads(vdcrash_log_writer_threads_t* threads);

// The writer's copy space (not async-safe; used by the writer alone).
vdcrash_log_writer_capture_t* vdcrash_nasync_log_writer_capture_alloc();
void vdcrash_nasync_log_writer_capture_free(vdcrash_log_writer_capture_t* capture);

// Prepares a writer (not async-safe): 0, or 5 when the process facts can't be read.
vdcrash_error_t vdcrash_log_writer_init(vdcrash_log_writer_t* writer, const std::string& app_identifier,
                                        const std::string& app_version, uint32_t symbol_strategy,
                                        bool user_requested);
// Records an uncaught exception, once per writer (not async-safe).
void vdcrash_log_writer_set_exception(vdcrash_log_writer_t* writer, const NSException& exception);

// Writes the report (async-safe). `current_state` is the calling thread's state, or null, in which
// case the calling thread is left out. `threads`, the suspended threads of the caller; null
// suspends them for this write alone. Every entry is written from a copy of what it describes,
// sized and written in one go, so that the record decodes whatever changes meanwhile.
vdcrash_error_t vdcrash_log_writer_write(vdcrash_log_writer_t* writer, thread_t crashed_thread,
                                         vdcrash_async_image_list_t* image_list, vdcrash_async_file_t* file,
                                         const vdcrash_log_writer_crash_info_t* crash_info,
                                         const vdcrash_async_thread_state_t* current_state,
                                         vdcrash_log_writer_detail_t detail = VDCRASH_LOG_WRITER_DETAIL_FULL,
                                         const vdcrash_log_writer_threads_t* threads = nullptr);
vdcrash_error_t vdcrash_log_writer_close(vdcrash_log_writer_t* writer);
void vdcrash_log_writer_free(vdcrash_log_writer_t* writer);

// Writes the report to `fd` (from its start, cut to the report's length) under the 65536-byte limit. When the report does not
// fit, it is written again with less detail; when even the smallest does not fit, or writing
// fails, the error is returned and the descriptor holds no report (async-safe). The descriptor
// stays open. Every attempt sees the same suspended threads: `threads`, or, when null, the
// threads suspended here for all the attempts.
vdcrash_error_t vdcrash_log_writer_write_to_fd(vdcrash_log_writer_t* writer, thread_t crashed_thread,
                                               vdcrash_async_image_list_t* image_list, int fd,
                                               const vdcrash_log_writer_crash_info_t* crash_info,
                                               const vdcrash_async_thread_state_t* current_state,
                                               const vdcrash_log_writer_threads_t* threads = nullptr);

constexpr off_t VDCRASH_REPORT_SIZE_LIMIT = 65536;
