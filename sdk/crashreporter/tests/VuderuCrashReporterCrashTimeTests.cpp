// What the crash path must hold to: one crash at a time, a report that passes the size limit
// written again smaller, no heap allocation while writing, and a live report that cleans up.
#include "CrashReporterFixture.h"
#include "platform/testsupport/CountedAllocations.h"

#include "platform/foundation/DeviceRoot.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"
#include "sdk/crashreporter/tests/Faults.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <dirent.h>
#include <cstdlib>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Parks the calling thread `depth` frames deep until the process ends.
__attribute__((noinline)) int parkDeep(int depth, std::atomic<int>* parked) {
    if (depth == 0) {
        parked->fetch_add(1);
        // Until the process ends (a pause never returns without a handled signal).
        while (parked->load() > 0) pause();
        return 0;
    }
    int below = parkDeep(depth - 1, parked);
    __asm__ volatile("" ::: "memory");
    return below + 1;
}

} // namespace

using VuderuCrashReporterCrashTimeTest = CrashReporterTest;

TEST_F(VuderuCrashReporterCrashTimeTest, TwoThreadsCrashingAtOnceLeaveOneWholeReport) {
    int status = crashInChild([] {
        std::atomic<int> ready{0};
        auto crasher = [&] {
            ready.fetch_add(1);
            while (ready.load() < 2) {
            }
            readNull();
        };
        std::thread a(crasher), b(crasher);
        a.join();
        b.join();
    });
    EXPECT_EQ(killedBy(status), SIGSEGV);
    auto report = pendingReport();
    ASSERT_TRUE(report);
    int crashed = 0;
    for (const auto& thread : report->threads()) crashed += thread->crashed() ? 1 : 0;
    EXPECT_EQ(crashed, 1);
}

TEST_F(VuderuCrashReporterCrashTimeTest, AReportPastTheSizeLimitIsWrittenAgainWithoutTheOtherThreadsFrames) {
    int status = crashInChild([] {
        std::atomic<int> parked{0};
        constexpr int kThreads = 40;
        for (int i = 0; i < kThreads; ++i) std::thread([&] { parkDeep(150, &parked); }).detach();
        while (parked.load() < kThreads) std::this_thread::yield();
        readNull();
    });
    EXPECT_EQ(killedBy(status), SIGSEGV);
    auto report = pendingReport();
    ASSERT_TRUE(report);
    ASSERT_GT(report->threads().size(), 40u);
    for (const auto& thread : report->threads()) {
        if (thread->crashed())
            EXPECT_FALSE(thread->stackFrames().empty());
        else
            EXPECT_TRUE(thread->stackFrames().empty()) << "thread " << thread->threadNumber();
    }
}

#if TANDREL_COUNTS_ALLOCATIONS
TEST_F(VuderuCrashReporterCrashTimeTest, WritingTheCrashReportAllocatesNothing) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    static int reportFd;
    reportFd = fds[1];
    auto reporter = makeReporter();
    int status = runInChildProcessForWaitStatus([&] {
        VuderuCrashReporterCallbacks callbacks = {0, nullptr, [](siginfo_t*, ucontext_t*, void*) {
                                                      allocation_counting::counting = false;
                                                      long seen = allocation_counting::allocations.load();
                                                      (void)!write(reportFd, &seen, sizeof seen);
                                                  }};
        reporter->setCrashCallbacks(&callbacks);
        if (!reporter->enableCrashReporter()) return 1;
        std::atomic<int> parked{0};
        for (int i = 0; i < 4; ++i) std::thread([&] { parkDeep(20, &parked); }).detach();
        while (parked.load() < 4) std::this_thread::yield();
        allocation_counting::allocations = 0;
        allocation_counting::counting = true;
        readNull();
        return 2;
    });
    close(fds[1]);
    EXPECT_EQ(killedBy(status), SIGSEGV);
    long seen = -1;
    EXPECT_EQ(read(fds[0], &seen, sizeof seen), static_cast<ssize_t>(sizeof seen));
    close(fds[0]);
    EXPECT_EQ(seen, 0);
    EXPECT_TRUE(pendingReport());
}
#endif

TEST_F(VuderuCrashReporterCrashTimeTest, ALiveReportWithoutATemporaryFileFailsWithTheSystemsError) {
    // A file where the temporary folder should be: no temporary file can be made.
    std::string folder = NSTemporaryDirectory();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    removeHostTree(host(folder));
    writeFile(folder, "not a folder");
    NSErrorPtr error;
    EXPECT_FALSE(makeReporter()->generateLiveReportAndReturnError(&error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), VuderuCrashReporterErrorDomain);
    EXPECT_EQ(error->code(), VuderuCrashReporterErrorOperatingSystem);
    EXPECT_EQ(error->localizedDescription(), "Failed to create temporary path");
}

TEST_F(VuderuCrashReporterCrashTimeTest, ALiveReportThatCanNotBeWrittenFailsAndLeavesNoFile) {
    auto reporter = makeReporter();
    const std::string folder = host(NSTemporaryDirectory());
    int result = runInChildProcess([&] {
        // Files of this process can't grow past 64 bytes: the report's writes fail.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {64, 64};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
        NSErrorPtr error;
        if (reporter->generateLiveReportAndReturnError(&error)) return 2;
        if (!error || error->code() != VuderuCrashReporterErrorUnknown ||
            error->localizedDescription() != "Failed to write the crash report to disk")
            return 3;
        return 0;
    });
    EXPECT_EQ(result, 0);
    size_t left = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) left += std::string(entry->d_name).rfind("live_crash_report.", 0) == 0;
        closedir(dir);
    }
    EXPECT_EQ(left, 0u);
}
