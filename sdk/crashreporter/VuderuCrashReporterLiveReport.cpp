// Live reports: a report of the running process written to a temporary file and read back.
#include "sdk/crashreporter/VuderuCrashReporter.h"

#include "platform/system/ElfImage.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "sdk/crashreporter/VuderuCrashReporterContext.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t kTrapSignal = 5;      // SIGTRAP
constexpr int32_t kTrapTraceCode = 2;   // TRAP_TRACE

struct LiveWrite {
    vdcrash_log_writer_t* writer;
    int fd;
    const vdcrash_log_writer_crash_info_t* crash_info;
};

vdcrash_error_t writeWithCurrentState(vdcrash_async_thread_state_t* state, void* context) {
    auto* live = static_cast<LiveWrite*>(context);
    return vdcrash_log_writer_write_to_fd(live->writer, vd_mach_thread_self(), &vdcrash_reporter_context().image_list,
                                          live->fd, live->crash_info, state);
}

std::string crashReporterLiveReportLocalized(const std::string& key) {
    auto bundle = NSBundle::mainBundle();
    return bundle ? bundle->localizedStringForKey(key, "", "") : key;
}

} // namespace

NSDataPtr VuderuCrashReporter::generateLiveReportAndReturnError(NSErrorPtr* error) {
    return generateLiveReportWithThreadError(vd_mach_thread_self(), error);
}

__attribute__((noinline)) NSDataPtr VuderuCrashReporter::generateLiveReportWithThreadError(thread_t thread, NSErrorPtr* error) {
    const uint64_t caller = reinterpret_cast<uint64_t>(__builtin_return_address(0));
    auto manager = NSFileManager::defaultManager();
    // The device always has its temporary folder; a fresh one may lack it.
    manager->createDirectoryAtPath(NSTemporaryDirectory(), true, nullptr, nullptr);
    std::string pattern = manager->fileSystemRepresentationWithPath(NSTemporaryDirectory() + "live_crash_report.XXXXXX");
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back(0);
    int fd = mkstemp(path.data());
    if (fd < 0) {
        vdcrash_populate_posix_error(error, errno, crashReporterLiveReportLocalized("Failed to create temporary path"));
        return nullptr;
    }

    // A live report is not written in a hurry: it names frames with the full symbol tables, which
    // may still be being mapped after the launch.
    vdelf_nasync_wait_for_file_symbols();

    // From here on every path frees the writer and removes the temporary file.
    vdcrash_log_writer_t writer;
    vdcrash_error_t result = vdcrash_log_writer_init(&writer, applicationIdentifier_, applicationVersion_,
                                                     mapToAsyncSymbolicationStrategy(config_->symbolicationStrategy()), true);
    if (result == VDCRASH_ESUCCESS) {
        vdcrash_log_signal_info_t signal = {kTrapSignal, kTrapTraceCode, caller};
        vdcrash_log_writer_crash_info_t crashInfo = {&signal, nullptr};
        LiveWrite live = {&writer, fd, &crashInfo};
        if (thread == vd_mach_thread_self())
            result = vdcrash_async_thread_state_current(writeWithCurrentState, &live);
        else
            result = vdcrash_log_writer_write_to_fd(&writer, thread, &vdcrash_reporter_context().image_list, fd, &crashInfo,
                                                    nullptr);
        vdcrash_log_writer_close(&writer);
    }
    if (close(fd) != 0 && result == VDCRASH_ESUCCESS) result = VDCRASH_EINTERNAL;

    NSDataPtr data;
    if (result != VDCRASH_ESUCCESS) {
        NSLog("Write failed with error %s", vdcrash_async_strerror(result));
        vdcrash_populate_error(error, VuderuCrashReporterErrorUnknown, "Failed to write the crash report to disk");
    } else {
        data = NSData::dataWithContentsOfFile(manager->stringWithFileSystemRepresentation(path.data()));
        if (!data)
            vdcrash_populate_error(error, VuderuCrashReporterErrorUnknown, crashReporterLiveReportLocalized("Unable to open live crash report for reading"));
    }
    vdcrash_log_writer_free(&writer);
    if (unlink(path.data()) != 0) NSLog("Failure occured deleting live crash report: %s", std::strerror(errno));
    return data;
}
