#pragma once
// The crash reporter: the one object through which the system uses crash reporting. Enabled once
// per process, it installs the fatal-error handlers; a crash then leaves one pending report file,
// which the next launch loads and purges. Live reports describe the running process on demand.
//
// Files (under the Caches folder): "com.vuderu.crashreporter.data"/<application identifier, every
// "/" made "_">/"live_report.vdcrash", and the "queued_reports" folder beside it. Enabling moves a
// report left by an earlier run into that folder (under a name of its own) before the handlers
// are installed, so that a crash early in this run never writes over it; every queued report and
// the pending one are taken by the next session set-up, each on its own.

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/system/mach.h"
#include "sdk/crashreporter/VuderuCrashMachExceptionServer.h"
#include "sdk/crashreporter/VuderuCrashReporterConfig.h"

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>
#include <ucontext.h>
#include <vector>


// setCrashCallbacks: — called at crash time after the report is written (async-signal-safe code
// only). `version` must be 0.
struct VuderuCrashReporterCallbacks {
    uint16_t version;
    void* context;
    void (*handleSignal)(siginfo_t* info, ucontext_t* uap, void* context);
};


class VuderuCrashReporter : public NSObject {
public:
    // One reporter for the main bundle with the default configuration, made on first use.
    static std::shared_ptr<VuderuCrashReporter> sharedReporter();
    // init: the main bundle and the default configuration.
    static std::shared_ptr<VuderuCrashReporter> init();
    static std::shared_ptr<VuderuCrashReporter> initWithConfiguration(std::shared_ptr<VuderuCrashReporterConfig> config);
    // Raises VuderuCrashReporterException when neither the bundle nor the process has a name.
    static std::shared_ptr<VuderuCrashReporter> initWithBundleConfiguration(const std::shared_ptr<NSBundle>& bundle,
                                                                            std::shared_ptr<VuderuCrashReporterConfig> config);
    // initWithApplicationIdentifier:appVersion:configuration: (designated)
    VuderuCrashReporter(std::string applicationIdentifier, std::string applicationVersion,
                        std::shared_ptr<VuderuCrashReporterConfig> config);

    // YES when a report is pending or queued.
    bool hasPendingCrashReport() const;
    // The queued reports (in name order) and then the pending one, when there are.
    std::vector<std::string> pendingCrashReportPaths() const;
    // Moves the pending report, when there is one, into the queued reports folder under a new name.
    bool queuePendingCrashReportAndReturnError(NSErrorPtr* error) const;
    static NSDataPtr loadCrashReportDataAtPathError(const std::string& path, NSErrorPtr* error);
    static bool purgeCrashReportAtPathError(const std::string& path, NSErrorPtr* error);
    NSDataPtr loadPendingCrashReportDataAndReturnError(NSErrorPtr* error) const;
    NSDataPtr loadPendingCrashReportData() const { return loadPendingCrashReportDataAndReturnError(nullptr); }
    bool purgePendingCrashReportAndReturnError(NSErrorPtr* error) const;
    bool purgePendingCrashReport() const { return purgePendingCrashReportAndReturnError(nullptr); }

    bool enableCrashReporterAndReturnError(NSErrorPtr* error);
    bool enableCrashReporter() { return enableCrashReporterAndReturnError(nullptr); }

    // A report of the running process with `thread` marked as crashed; the calling thread is left
    // out when it is not `thread`.
    NSDataPtr generateLiveReportWithThreadError(thread_t thread, NSErrorPtr* error);
    NSDataPtr generateLiveReportWithThread(thread_t thread) { return generateLiveReportWithThreadError(thread, nullptr); }
    NSDataPtr generateLiveReportAndReturnError(NSErrorPtr* error);
    NSDataPtr generateLiveReport() { return generateLiveReportAndReturnError(nullptr); }

    // Raises VuderuCrashReporterException once the reporter is enabled.
    void setCrashCallbacks(const VuderuCrashReporterCallbacks* callbacks);

    const std::string& crashReportDirectory() const { return crashReportDirectory_; }
    std::string queuedCrashReportDirectory() const;
    std::string crashReportPath() const;
    bool populateCrashReportDirectoryAndReturnError(NSErrorPtr* error) const;

    static uint32_t mapToAsyncSymbolicationStrategy(uint64_t strategy) { return static_cast<uint32_t>(strategy & 3); }

    // Starts an exception server for the own task and registers it; the ports registered before
    // go to *previousPortSet. Null with the error on failure.
    std::shared_ptr<VuderuCrashMachExceptionServer> enableMachExceptionServerWithPreviousPortSetCallbackContextError(
        std::shared_ptr<VuderuCrashMachExceptionPortSet>* previousPortSet, VuderuCrashMachExceptionServerCallback callback,
        void* context, NSErrorPtr* error);

    const std::shared_ptr<VuderuCrashReporterConfig>& config() const { return config_; }
    bool isEnabled() const { return enabled_; }

private:
    static void initialize();
    bool enableMachModeAndReturnError(NSErrorPtr* error);

    std::shared_ptr<VuderuCrashReporterConfig> config_;
    bool enabled_ = false;
    std::shared_ptr<VuderuCrashMachExceptionServer> machServer_;
    std::shared_ptr<VuderuCrashMachExceptionPortSet> previousMachPorts_;
    std::string applicationIdentifier_;
    std::string applicationVersion_;
    std::string crashReportDirectory_;
};
