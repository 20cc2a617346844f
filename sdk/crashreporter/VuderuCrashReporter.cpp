#include "sdk/crashreporter/VuderuCrashReporter.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSUUID.h"
#include "platform/foundation/RegularFile.h"
#include "platform/foundation/ThreadAlternateSignalStacks.h"
#include "platform/foundation/StoreFile.h"
#include "platform/foundation/WholeFile.h"
#include "platform/system/dyld.h"
#include "platform/system/thread_act.h"
#include "sdk/crashreporter/VuderuCrashReporterContext.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include <cassert>
#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <string>

namespace {

const char* const kReportFolderName = "com.vuderu.crashreporter.data";
const char* const kQueuedReportsName = "queued_reports";
const char* const kPendingReportName = "live_report.vdcrash";
const char* const kReservedSuffix = ".reserved";
const char* const kQueuedReportSuffix = ".vdcrash";
constexpr uint16_t kDirectoryPermissions = 0755;

std::mutex enableLock;

// "1234 (name), 1240 (name)": the threads by their id and the name the kernel has for them.
std::string describeThreadsWithoutAlternateStack(const std::vector<int32_t>& threads) {
    std::string text;
    for (int32_t tid : threads) {
        if (!text.empty()) text += ", ";
        text += std::to_string(tid);
        std::vector<uint8_t> name;
        NSRegularFile comm = NSOpenRegularFileAt(AT_FDCWD, "/proc/self/task/" + std::to_string(tid) + "/comm");
        if (comm && NSReadRegularFile(comm, 64, name) == 0) {
            while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
            if (!name.empty()) text += " (" + std::string(name.begin(), name.end()) + ")";
        }
    }
    return text;
}

void imageAddCallback(const struct mach_header* header, intptr_t) {
    Dl_info info{};
    if (dladdr(header, &info) == 0 || !info.dli_fname) {
        NSLog("%s: dladdr(%p, ...) failed", "image_add_callback", static_cast<const void*>(header));
        return;
    }
    vdcrash_nasync_image_list_append(&vdcrash_reporter_context().image_list, reinterpret_cast<vm_address_t>(header),
                                     info.dli_fname);
}

void imageRemoveCallback(const struct mach_header* header, intptr_t) {
    vdcrash_nasync_image_list_remove(&vdcrash_reporter_context().image_list, reinterpret_cast<vm_address_t>(header));
}

std::string replaceSlashes(std::string s) {
    for (char& c : s)
        if (c == '/') c = '_';
    return s;
}

} // namespace

vdcrash_reporter_context_t& vdcrash_reporter_context() {
    static vdcrash_reporter_context_t* context = new vdcrash_reporter_context_t();
    return *context;
}

void VuderuCrashReporter::initialize() {
    static std::once_flag once;
    std::call_once(once, [] {
        vdcrash_nasync_image_list_init(&vdcrash_reporter_context().image_list, mach_task_self());
        // The loaded images are listed at once; their full symbol tables follow in the background,
        // so that the launch does not wait for them.
        vdcrash_reporter_context().image_list.symbols_later = true;
        _dyld_register_func_for_add_image(imageAddCallback);
        _dyld_register_func_for_remove_image(imageRemoveCallback);
    });
}

std::shared_ptr<VuderuCrashReporter> VuderuCrashReporter::sharedReporter() {
    static std::mutex lock;
    static std::shared_ptr<VuderuCrashReporter> shared;
    std::lock_guard<std::mutex> guard(lock);
    if (!shared) shared = initWithBundleConfiguration(NSBundle::mainBundle(), VuderuCrashReporterConfig::defaultConfiguration());
    return shared;
}

std::shared_ptr<VuderuCrashReporter> VuderuCrashReporter::init() {
    return initWithConfiguration(VuderuCrashReporterConfig::defaultConfiguration());
}

std::shared_ptr<VuderuCrashReporter> VuderuCrashReporter::initWithConfiguration(std::shared_ptr<VuderuCrashReporterConfig> config) {
    return initWithBundleConfiguration(NSBundle::mainBundle(), std::move(config));
}

std::shared_ptr<VuderuCrashReporter> VuderuCrashReporter::initWithBundleConfiguration(
    const std::shared_ptr<NSBundle>& bundle, std::shared_ptr<VuderuCrashReporterConfig> config) {
    std::string identifier = bundle ? bundle->bundleIdentifier() : std::string();
    if (identifier.empty()) {
        const char* name = getprogname();
        if (!name || !*name)
            NSException::raise(VuderuCrashReporterException, "Can not determine process identifier or process name");
        NSLog("[VuderuCrashReporter] Warning -- bundle identifier, using process name %s", name);
        identifier = name;
    }
    Value version = bundle ? bundle->objectForInfoDictionaryKey("CFBundleVersion") : Value();
    std::string applicationVersion;
    if (version.isString()) {
        applicationVersion = version.stringValue();
    } else {
        NSLog("[VuderuCrashReporter] Warning -- bundle version unavailable");
    }
    return std::make_shared<VuderuCrashReporter>(identifier, applicationVersion, std::move(config));
}

VuderuCrashReporter::VuderuCrashReporter(std::string applicationIdentifier, std::string applicationVersion,
                                         std::shared_ptr<VuderuCrashReporterConfig> config)
    : config_(config ? std::move(config) : VuderuCrashReporterConfig::defaultConfiguration()),
      applicationIdentifier_(std::move(applicationIdentifier)),
      applicationVersion_(std::move(applicationVersion)) {
    initialize();
    std::vector<std::string> caches = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
    std::string base = caches.empty() ? NSHomeDirectory() + "/Library/Caches" : caches.front();
    crashReportDirectory_ = base + "/" + kReportFolderName + "/" + replaceSlashes(applicationIdentifier_);
}

std::string VuderuCrashReporter::queuedCrashReportDirectory() const { return crashReportDirectory_ + "/" + kQueuedReportsName; }

std::string VuderuCrashReporter::crashReportPath() const { return crashReportDirectory_ + "/" + kPendingReportName; }

bool VuderuCrashReporter::hasPendingCrashReport() const { return !pendingCrashReportPaths().empty(); }

std::vector<std::string> VuderuCrashReporter::pendingCrashReportPaths() const {
    auto manager = NSFileManager::defaultManager();
    std::vector<std::string> paths;
    const std::string queued = queuedCrashReportDirectory();
    for (const std::string& name : manager->contentsOfDirectoryAtPath(queued, nullptr).value_or(std::vector<std::string>{})) {
        // Only what queuePendingCrashReport moved there: a writer's temporary is no report.
        if (name.size() <= std::strlen(kQueuedReportSuffix) || name.front() == '.' ||
            name.compare(name.size() - std::strlen(kQueuedReportSuffix), std::string::npos, kQueuedReportSuffix) != 0)
            continue;
        bool folder = false;
        if (manager->fileExistsAtPath(queued + "/" + name, &folder) && !folder) paths.push_back(queued + "/" + name);
    }
    std::sort(paths.begin(), paths.end());
    if (manager->fileExistsAtPath(crashReportPath())) paths.push_back(crashReportPath());
    return paths;
}

bool VuderuCrashReporter::queuePendingCrashReportAndReturnError(NSErrorPtr* error) const {
    auto manager = NSFileManager::defaultManager();
    if (!manager->fileExistsAtPath(crashReportPath())) return true;
    // A new name each time: the move never replaces a report queued before.
    const std::string queued = queuedCrashReportDirectory() + "/" + NSUUID::UUID()->UUIDString() + kQueuedReportSuffix;
    return manager->moveItemAtPath(crashReportPath(), queued, error);
}

NSDataPtr VuderuCrashReporter::loadCrashReportDataAtPathError(const std::string& path, NSErrorPtr* error) {
    // Bounded like the pending report: a file far larger than any report is refused unread.
    return NSDataWithContentsOfStoreFile(path, error);
}

bool VuderuCrashReporter::purgeCrashReportAtPathError(const std::string& path, NSErrorPtr* error) {
    return NSFileManager::defaultManager()->removeItemAtPath(path, error);
}

NSDataPtr VuderuCrashReporter::loadPendingCrashReportDataAndReturnError(NSErrorPtr* error) const {
    // Bounded: a file far larger than any report is refused (NSFileReadTooLargeError) unread.
    return NSDataWithContentsOfStoreFile(crashReportPath(), error);
}

bool VuderuCrashReporter::purgePendingCrashReportAndReturnError(NSErrorPtr* error) const {
    return NSFileManager::defaultManager()->removeItemAtPath(crashReportPath(), error);
}

bool VuderuCrashReporter::populateCrashReportDirectoryAndReturnError(NSErrorPtr* error) const {
    auto manager = NSFileManager::defaultManager();
    NSFileAttributes attributes;
    attributes.posixPermissions = kDirectoryPermissions;
    for (const std::string& path : {crashReportDirectory_, queuedCrashReportDirectory()}) {
        // Writes of a run killed half-way leave their temporaries behind.
        NSSweepTemporaryFiles(path, NSTemporaryNames::WritersAndEarlierStores);
        if (manager->fileExistsAtPath(path)) continue;
        if (!manager->createDirectoryAtPath(path, true, &attributes, error)) return false;
    }
    return true;
}

void VuderuCrashReporter::setCrashCallbacks(const VuderuCrashReporterCallbacks* callbacks) {
    if (enabled_) NSException::raise(VuderuCrashReporterException, "The crash reporter has alread been enabled");
    assert(callbacks->version == 0);
    vdcrash_reporter_context_t& ctx = vdcrash_reporter_context();
    ctx.callback_context = callbacks->context;
    ctx.signal_callback = callbacks->handleSignal;
}

bool VuderuCrashReporter::enableCrashReporterAndReturnError(NSErrorPtr* error) {
    vdcrash_reporter_context_t& ctx = vdcrash_reporter_context();
    {
        std::lock_guard<std::mutex> guard(enableLock);
        if (ctx.enabled_once) {
            vdcrash_populate_error(error, VuderuCrashReporterErrorResourceBusy,
                                   "A VuderuCrashReporter instance has already been enabled");
            return false;
        }
        ctx.enabled_once = true;
    }
    if (!populateCrashReportDirectoryAndReturnError(error)) return false;
    // The report a previous run left goes aside before this run's handlers can write its own
    // there; the session set-up takes every queued report.
    if (NSErrorPtr queueError; !queuePendingCrashReportAndReturnError(&queueError))
        NSLog("[VuderuCrashReporter] Warning -- could not queue the pending crash report: %s",
              queueError ? queueError->description().c_str() : "unknown error");

    const std::string path = NSFileManager::defaultManager()->fileSystemRepresentationWithPath(crashReportPath());
    if (path.size() >= sizeof ctx.report_path) {
        vdcrash_populate_error(error, VuderuCrashReporterErrorUnknown, "The crash report path is too long");
        return false;
    }
    const std::string reserved = path + kReservedSuffix;
    if (reserved.size() >= sizeof ctx.reserved_path) {
        vdcrash_populate_error(error, VuderuCrashReporterErrorUnknown, "The crash report path is too long");
        return false;
    }
    std::memcpy(ctx.report_path, path.c_str(), path.size() + 1);
    std::memcpy(ctx.reserved_path, reserved.c_str(), reserved.size() + 1);
    // Without the reservation a crash still writes its report when the disk has room then.
    if (!vdcrash_reporter_reserve_report_space(&ctx))
        NSLog("[VuderuCrashReporter] Warning -- could not reserve space for a crash report at %s", reserved.c_str());
    vdcrash_log_writer_init(&ctx.writer, applicationIdentifier_, applicationVersion_,
                            mapToAsyncSymbolicationStrategy(config_->symbolicationStrategy()), false);
    // Suspending the other threads at crash time must install nothing. Its signal is one no
    // handler of the host holds, and the host's own signals of that number still reach the host.
    vdsys_thread_suspension_prepare();
    if (vdsys_thread_suspend_signal() <= 0)
        NSLog("[VuderuCrashReporter] Warning -- no real-time signal to suspend threads with; a crash report will "
              "hold the crashed thread's stack alone");
    // A stack overflow is reported on threads that libraries start, too (on from the library's
    // load; turned on here for a program that loaded it without).
    vdsys_alternate_signal_stacks_for_all_threads();

    auto handler = VuderuCrashSignalHandler::sharedHandler();
    const bool machMode = config_->signalHandlerType() == VuderuCrashReporterSignalHandlerTypeMach;
    if (machMode || config_->signalHandlerType() == VuderuCrashReporterSignalHandlerTypeBSD) {
        // This host's Mach exception ports never see a hardware fault (the kernel delivers those
        // as signals only), so Mach mode catches the fault signals too, not SIGABRT alone; one
        // crash still writes one report.
        for (int signo : vdcrash_monitored_signals)
            if (!handler->registerHandlerForSignalCallbackContextError(signo, vdcrash_reporter_signal_callback, &ctx, error))
                return false;
    }
    if (machMode && !enableMachModeAndReturnError(error)) return false;
    // Threads that ran before the library was loaded (a preloaded library's, say) get theirs now;
    // those started since got theirs as they started and are left alone; the calling thread has
    // the handler's.
    const vdsys_existing_thread_stacks existing = vdsys_alternate_signal_stacks_for_existing_threads();
    if (existing.unreached > 0)
        NSLog("[VuderuCrashReporter] Warning -- %d running threads have no alternate signal stack; a stack overflow on them "
              "gives no report: %s",
              existing.unreached, describeThreadsWithoutAlternateStack(existing.unreachedThreads).c_str());
    NSSetUncaughtExceptionHandler(vdcrash_reporter_uncaught_exception_handler);
    vdcrash_reporter_install_terminate_handler();
    enabled_ = true;
    return true;
}
