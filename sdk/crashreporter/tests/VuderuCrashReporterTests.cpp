// The reporter front: paths, pending reports, enabling once, the handler types, live reports and
// the crash callbacks.
#include "CrashReporterFixture.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/system/ElfImage.h"
#include "platform/system/thread_act.h"
#include "sdk/crashreporter/VuderuCrashAsync.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"
#include "sdk/crashreporter/VuderuCrashSignalHandler.h"
#include "crash_report.pb-c.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <dirent.h>
#include <mutex>
#include <thread>

namespace {

// The report message behind the 8-byte header, for the fields the model leaves out.
struct RawReport {
    explicit RawReport(const NSData& data)
        : message(vdcrash__crash_report__unpack(nullptr, data.length() - 8, data.bytes() + 8)) {}
    ~RawReport() {
        if (message) vdcrash__crash_report__free_unpacked(message, nullptr);
    }
    Vdcrash__CrashReport* message;
};

size_t temporaryReports(const std::string& hostFolder) {
    size_t count = 0;
    if (DIR* dir = opendir(hostFolder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name).rfind("live_crash_report.", 0) == 0) ++count;
        closedir(dir);
    }
    return count;
}

std::shared_ptr<VuderuCrashReportThreadInfo> crashedThread(const VuderuCrashReport& report) {
    std::shared_ptr<VuderuCrashReportThreadInfo> found;
    for (const auto& thread : report.threads())
        if (thread->crashed()) {
            EXPECT_FALSE(found) << "two crashed threads";
            found = thread;
        }
    return found;
}

} // namespace

using VuderuCrashReporterFrontTest = CrashReporterTest;

TEST_F(VuderuCrashReporterFrontTest, PathsReplaceSlashesOfTheIdentifier) {
    VuderuCrashReporter reporter("com.example/app/x", "1", nullptr);
    EXPECT_EQ(reporter.crashReportDirectory(), "/var/mobile/Library/Caches/com.vuderu.crashreporter.data/com.example_app_x");
    EXPECT_EQ(reporter.crashReportPath(), reporter.crashReportDirectory() + "/live_report.vdcrash");
    EXPECT_EQ(reporter.queuedCrashReportDirectory(), reporter.crashReportDirectory() + "/queued_reports");
    EXPECT_EQ(VuderuCrashReporter::mapToAsyncSymbolicationStrategy(0xFF), 3u);
}

TEST_F(VuderuCrashReporterFrontTest, PendingReportIsFoundLoadedAndPurged) {
    auto reporter = makeReporter();
    EXPECT_FALSE(reporter->hasPendingCrashReport());
    NSErrorPtr error;
    EXPECT_FALSE(reporter->loadPendingCrashReportDataAndReturnError(&error));
    EXPECT_TRUE(error);
    writeFile(reporter->crashReportPath(), "vdcrash\x01 bytes");
    EXPECT_TRUE(reporter->hasPendingCrashReport());
    NSDataPtr data = reporter->loadPendingCrashReportData();
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->bytes()), data->length()), "vdcrash\x01 bytes");
    EXPECT_TRUE(reporter->purgePendingCrashReport());
    EXPECT_FALSE(reporter->hasPendingCrashReport());
    EXPECT_FALSE(reporter->purgePendingCrashReportAndReturnError(&error));
}

TEST_F(VuderuCrashReporterFrontTest, OnlyTheFirstEnableOfAProcessSucceedsEvenAfterAFailure) {
    // The first enable fails (a file stands where the report folder goes); every later one, on
    // the same or another reporter, is busy.
    auto reporter = makeReporter();
    writeFile(reporter->crashReportDirectory(), "in the way");
    int result = runInChildProcess([&] {
        NSErrorPtr error;
        if (reporter->enableCrashReporterAndReturnError(&error)) return 1;
        removeHostTree(host(reporter->crashReportDirectory()));
        for (auto r : {reporter, makeReporter()}) {
            error = nullptr;
            if (r->enableCrashReporterAndReturnError(&error)) return 2;
            if (!error || error->code() != VuderuCrashReporterErrorResourceBusy ||
                error->domain() != VuderuCrashReporterErrorDomain ||
                error->localizedDescription() != "A VuderuCrashReporter instance has already been enabled")
                return 3;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
}

TEST_F(VuderuCrashReporterFrontTest, EnablingMakesTheFoldersAndInstallsTheHandlersOfItsType) {
    struct Case {
        uint64_t type;
        bool segvHandled;
        bool abortHandled;
    };
    const Case cases[] = {{0, true, true}, {2, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        auto reporter = makeReporter(c.type);
        int result = runInChildProcess([&] {
            if (!reporter->enableCrashReporter()) return 1;
            auto ours = [](int signo) {
                struct sigaction now {};
                sigaction(signo, nullptr, &now);
                return (now.sa_flags & SA_SIGINFO) && now.sa_sigaction == vuderu_crash_signal_handler;
            };
            if (ours(SIGSEGV) != c.segvHandled || ours(SIGABRT) != c.abortHandled) return 2;
            if (!NSGetUncaughtExceptionHandler()) return 3;
            VuderuCrashReporterCallbacks callbacks = {0, nullptr, nullptr};
            try {
                reporter->setCrashCallbacks(&callbacks);
                return 4;
            } catch (const NSException& e) {
                if (e.name() != VuderuCrashReporterException) return 5;
            }
            return 0;
        });
        EXPECT_EQ(result, 0);
        bool isDirectory = false;
        EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath(reporter->queuedCrashReportDirectory(), &isDirectory));
        EXPECT_TRUE(isDirectory);
    }
}

TEST_F(VuderuCrashReporterFrontTest, ALiveReportOfTheCallingThreadIsUserRequestedAndLeavesNoFile) {
    auto reporter = makeReporter();
    NSErrorPtr error;
    NSDataPtr data = reporter->generateLiveReportAndReturnError(&error);
    ASSERT_TRUE(data) << (error ? error->localizedDescription() : "");
    ASSERT_GT(data->length(), 8u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->bytes()), 8), std::string("vdcrash\x01", 8));
    RawReport raw(*data);
    ASSERT_TRUE(raw.message);
    ASSERT_TRUE(raw.message->report_info);
    EXPECT_TRUE(raw.message->report_info->user_requested);
    auto report = VuderuCrashReport::initWithData(*data, &error);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->signalInfo()->name(), "SIGTRAP");
    EXPECT_EQ(report->signalInfo()->code(), "TRAP_TRACE");
    auto crashed = crashedThread(*report);
    ASSERT_TRUE(crashed);
    EXPECT_FALSE(crashed->registers().empty());
    EXPECT_FALSE(crashed->stackFrames().empty());
    EXPECT_EQ(temporaryReports(host(NSTemporaryDirectory())), 0u);
}

TEST_F(VuderuCrashReporterFrontTest, ALiveReportOfAnotherThreadLeavesTheCallerOut) {
    std::mutex lock;
    std::condition_variable changed;
    bool release = false;
    std::atomic<thread_t> other{0};
    std::thread waiter([&] {
        other = vd_mach_thread_self();
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return release; });
    });
    while (other.load() == 0) std::this_thread::yield();
    // Made, and its images' symbols mapped (on a worker that stays), before the threads are counted.
    auto reporter = makeReporter();
    vdelf_nasync_wait_for_file_symbols();
    thread_act_array_t list = nullptr;
    mach_msg_type_number_t threadCount = 0;
    ASSERT_EQ(task_threads(mach_task_self(), &list, &threadCount), KERN_SUCCESS);
    vm_deallocate(mach_task_self(), reinterpret_cast<vm_address_t>(list), threadCount * sizeof(thread_t));

    NSDataPtr data = reporter->generateLiveReportWithThread(other.load());
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    changed.notify_all();
    waiter.join();
    ASSERT_TRUE(data);
    NSErrorPtr error;
    auto report = VuderuCrashReport::initWithData(*data, &error);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->threads().size(), threadCount - 1u);
    auto crashed = crashedThread(*report);
    ASSERT_TRUE(crashed);
    EXPECT_FALSE(crashed->registers().empty()) << "the suspended thread's registers";
    EXPECT_FALSE(crashed->stackFrames().empty());
    EXPECT_EQ(temporaryReports(host(NSTemporaryDirectory())), 0u);
}

TEST_F(VuderuCrashReporterFrontTest, TheCrashCallbackRunsAfterTheReportIsWritten) {
    auto reporter = makeReporter();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    static int writeFd;
    writeFd = fds[1];
    int status = runInChildProcessForWaitStatus([&] {
        VuderuCrashReporterCallbacks callbacks = {0, &writeFd, [](siginfo_t* info, ucontext_t*, void* context) {
                                                      char answer = info && info->si_signo == SIGBUS ? 'B' : '?';
                                                      (void)!write(*static_cast<int*>(context), &answer, 1);
                                                  }};
        reporter->setCrashCallbacks(&callbacks);
        if (!reporter->enableCrashReporter()) return 1;
        raise(SIGBUS);
        return 2;
    });
    close(fds[1]);
    EXPECT_EQ(killedBy(status), SIGBUS);
    char answer = 0;
    EXPECT_EQ(read(fds[0], &answer, 1), 1);
    close(fds[0]);
    EXPECT_EQ(answer, 'B');
    auto report = pendingReport();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->signalInfo()->name(), "SIGBUS");
}

TEST_F(VuderuCrashReporterFrontTest, ABundleWithoutVersionGivesReportsAnEmptyVersion) {
    writeFile("/Applications/Plain.app/Info.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>com.example.plain</string></dict></plist>\n");
    auto bundle = NSBundle::bundleWithPath("/Applications/Plain.app");
    ASSERT_TRUE(bundle);
    auto reporter = VuderuCrashReporter::initWithBundleConfiguration(bundle, nullptr);
    ASSERT_TRUE(reporter);
    EXPECT_TRUE(log_->contains("[VuderuCrashReporter] Warning -- bundle version unavailable"));
    EXPECT_EQ(reporter->crashReportDirectory(), "/var/mobile/Library/Caches/com.vuderu.crashreporter.data/com.example.plain");
    NSDataPtr data = reporter->generateLiveReport();
    ASSERT_TRUE(data);
    auto report = VuderuCrashReport::initWithData(*data, nullptr);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->applicationInfo()->applicationIdentifier(), "com.example.plain");
    EXPECT_EQ(report->applicationInfo()->applicationVersion(), "");
}
