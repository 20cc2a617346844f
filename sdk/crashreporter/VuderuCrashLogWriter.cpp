// Preparing and releasing the crash log writer (ordinary threads), and writing a report to a file
// within its size limit (crash time). The report's sections are in VuderuCrashLogWriterReport.cpp.
#include "sdk/crashreporter/VuderuCrashLogWriter.h"

#include "platform/system/dyld.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/crashreporter/VuderuCrashProcessInfo.h"
#include "sdk/crashreporter/VuderuCrashSysctl.h"

#include <atomic>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <random>
#include <unistd.h>

namespace {

char* copyString(const std::string& s) { return strdup(s.c_str()); }

// A new random (version 4) UUID.
void makeUUID(uint8_t uuid[16]) {
    std::random_device source;
    for (int i = 0; i < 16; i += 4) {
        uint32_t word = source();
        std::memcpy(uuid + i, &word, 4);
    }
    uuid[6] = static_cast<uint8_t>((uuid[6] & 0x0F) | 0x40);
    uuid[8] = static_cast<uint8_t>((uuid[8] & 0x3F) | 0x80);
}

char* executablePath() {
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    char* path = static_cast<char*>(malloc(size));
    if (path && _NSGetExecutablePath(path, &size) != 0) {
        free(path);
        return nullptr;
    }
    return path;
}

void readMachineFacts(vdcrash_log_writer_t* writer) {
    writer->machine_info.model = vdcrash_sysctl_string("hw.machine");
    writer->system_info.build = vdcrash_sysctl_string("kern.osversion");
    int32_t value = 0;
    if (vdcrash_sysctl_int("hw.cputype", &value)) writer->machine_info.cpu_type = static_cast<uint32_t>(value);
    if (vdcrash_sysctl_int("hw.cpusubtype", &value)) writer->machine_info.cpu_subtype = static_cast<uint32_t>(value);
    if (vdcrash_sysctl_int("hw.physicalcpu_max", &value)) writer->machine_info.processor_count = static_cast<uint32_t>(value);
    if (vdcrash_sysctl_int("hw.logicalcpu_max", &value))
        writer->machine_info.logical_processor_count = static_cast<uint32_t>(value);
    // The version is a required field of the report: a device that can't tell it gives "".
    std::string version = UIDevice::currentDevice()->systemVersion();
    writer->system_info.version = copyString(version);
}

} // namespace

vdcrash_error_t vdcrash_log_writer_init(vdcrash_log_writer_t* writer, const std::string& app_identifier,
                                        const std::string& app_version, uint32_t symbol_strategy,
                                        bool user_requested) {
    std::memset(writer, 0, sizeof *writer);
    writer->capture = vdcrash_nasync_log_writer_capture_alloc();
    if (!writer->capture) return VDCRASH_ENOMEM;
    writer->symbol_strategy = symbol_strategy;
    writer->report_info.user_requested = user_requested;
    makeUUID(writer->report_info.uuid);
    writer->application_info.app_identifier = copyString(app_identifier);
    writer->application_info.app_version = copyString(app_version);

    auto process = VuderuCrashProcessInfo::currentProcessInfo();
    if (!process) return VDCRASH_EINVAL;
    writer->process_info.process_id = process->processID();
    writer->process_info.process_name = copyString(process->processName());
    writer->process_info.start_time = static_cast<uint64_t>(process->startTime().tv_sec);
    writer->process_info.process_path = executablePath();
    writer->process_info.parent_process_id = process->parentProcessID();
    if (auto parent = VuderuCrashProcessInfo::initWithProcessID(process->parentProcessID()))
        writer->process_info.parent_process_name = copyString(parent->processName());
    int32_t native = 1;
    writer->process_info.native = !(vdcrash_sysctl_int("sysctl.proc_native", &native) && native == 0);

    readMachineFacts(writer);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    return VDCRASH_ESUCCESS;
}

void vdcrash_log_writer_set_exception(vdcrash_log_writer_t* writer, const NSException& exception) {
    assert(writer->uncaught_exception.has_exception == false);
    if (writer->uncaught_exception.has_exception) return;
    writer->uncaught_exception.name = copyString(exception.name());
    writer->uncaught_exception.reason = copyString(exception.reason());
    const auto& addresses = exception.callStackReturnAddresses();
    if (!addresses.empty()) {
        auto* stack = static_cast<uint64_t*>(malloc(addresses.size() * sizeof(uint64_t)));
        if (stack) {
            for (size_t i = 0; i < addresses.size(); ++i) stack[i] = addresses[i];
            writer->uncaught_exception.callstack = stack;
            writer->uncaught_exception.callstack_count = addresses.size();
        }
    }
    std::atomic_thread_fence(std::memory_order_seq_cst);
    writer->uncaught_exception.has_exception = true;
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

vdcrash_error_t vdcrash_log_writer_close(vdcrash_log_writer_t*) { return VDCRASH_ESUCCESS; }

void vdcrash_log_writer_free(vdcrash_log_writer_t* writer) {
    char* strings[] = {
        writer->system_info.version,         writer->system_info.build,
        writer->machine_info.model,          writer->application_info.app_identifier,
        writer->application_info.app_version, writer->process_info.process_name,
        writer->process_info.process_path,   writer->process_info.parent_process_name,
        writer->uncaught_exception.name,     writer->uncaught_exception.reason,
    };
    for (char* s : strings) free(s);
    free(writer->uncaught_exception.callstack);
    vdcrash_nasync_log_writer_capture_free(writer->capture);
    std::memset(writer, 0, sizeof *writer);
}

vdcrash_error_t vdcrash_log_writer_write_to_fd(vdcrash_log_writer_t* writer, thread_t crashed_thread,
                                               vdcrash_async_image_list_t* image_list, int fd,
                                               const vdcrash_log_writer_crash_info_t* crash_info,
                                               const vdcrash_async_thread_state_t* current_state,
                                               const vdcrash_log_writer_threads_t* threads) {
    if (!threads) {
        vdcrash_log_writer_threads_t own;
        vdcrash_log_writer_suspend_threads(&own);
        vdcrash_error_t result = vdcrash_log_writer_write_to_fd(writer, crashed_thread, image_list, fd, crash_info, current_state, &own);
        vdcrash_log_writer_resume_threads(&own);
        return result;
    }
    const vdcrash_log_writer_detail_t details[] = {VDCRASH_LOG_WRITER_DETAIL_FULL,
                                                   VDCRASH_LOG_WRITER_DETAIL_CRASHED_FRAMES_ONLY,
                                                   VDCRASH_LOG_WRITER_DETAIL_FRAME_IMAGES_ONLY,
                                                   VDCRASH_LOG_WRITER_DETAIL_NO_SYMBOLS};
    vdcrash_error_t result = VDCRASH_OUTPUT_ERR;
    for (vdcrash_log_writer_detail_t detail : details) {
        // Written over what the file holds and cut to length after: blocks reserved for the report
        // on a disk that has filled up since stay the report's.
        if (lseek(fd, 0, SEEK_SET) != 0) return VDCRASH_OUTPUT_ERR;
        vdcrash_async_file_t file;
        vdcrash_async_file_init(&file, fd, VDCRASH_REPORT_SIZE_LIMIT);
        result = vdcrash_log_writer_write(writer, crashed_thread, image_list, &file, crash_info, current_state, detail, threads);
        if (result == VDCRASH_ESUCCESS && vdcrash_async_file_flush(&file)) {
            off_t length = lseek(fd, 0, SEEK_CUR);
            if (length >= 0 && ftruncate(fd, length) == 0) return VDCRASH_ESUCCESS;
        }
        // A write was refused at the limit (or failed): try again with less.
        if (result == VDCRASH_ESUCCESS) result = VDCRASH_OUTPUT_ERR;
    }
    // Never leave a report that a reader would take for complete.
    if (ftruncate(fd, 0) != 0) return VDCRASH_OUTPUT_ERR;
    return result == VDCRASH_ESUCCESS ? VDCRASH_OUTPUT_ERR : result;
}
