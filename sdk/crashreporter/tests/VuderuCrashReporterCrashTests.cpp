// A table of children that crash with the reporter enabled; each pending report must decode with
// exactly one crashed thread that has registers, numbered threads with frames, the signal's names,
// the process facts and the images behind the frames.
#include "CrashReporterFixture.h"

#include "platform/foundation/Sanitizers.h"
#include "platform/foundation/NSException.h"
#include "platform/testsupport/ThreadBeforeTheLibrary.h"
#include "sdk/crashreporter/tests/ExecutableSymbols.h"
#include "sdk/crashreporter/tests/Faults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

__attribute__((noinline)) int recurseThenFault(int depth) {
    if (depth == 0) return readNull();
    int below = recurseThenFault(depth - 1);
    __asm__ volatile("" ::: "memory");
    return below + 1;
}

__attribute__((noinline)) void throwUncaught() { throw NSException("VuderuTestException", "the test threw"); }
__attribute__((noinline)) void throwUncaughtStandard() { throw std::runtime_error("x"); }

// Threads that wait while another one faults.
void faultWhileOthersWait() {
    std::mutex lock;
    std::condition_variable never;
    std::vector<std::thread> waiting;
    for (int i = 0; i < 3; ++i)
        waiting.emplace_back([&] {
            std::unique_lock<std::mutex> guard(lock);
            never.wait(guard, [] { return false; });
        });
    std::thread([] { readNull(); }).join();
}

void faultInModule() {
    void* module = dlopen(TANDREL_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!module) return;
    auto fault = reinterpret_cast<int (*)(volatile int*)>(dlsym(module, "vdtest_module_fault"));
    if (fault) fault(nullptr);
}

struct CrashCase {
    const char* name;
    void (*crash)();
    int hostSignal;
    const char* signalName;
    const char* codeName;
    uint64_t handlerType = VuderuCrashReporterSignalHandlerTypeBSD;
    // The uncaught exception's name and reason, when one ended the process.
    const char* exceptionName = nullptr;
    const char* exceptionReason = nullptr;
};

const CrashCase kCrashes[] = {
    {.name = "null read", .crash = [] { readNull(); }, .hostSignal = SIGSEGV, .signalName = "SIGSEGV", .codeName = "SEGV_MAPERR"},
    {.name = "abort", .crash = [] { abort(); }, .hostSignal = SIGABRT, .signalName = "SIGABRT", .codeName = "#0"},
    {.name = "uncaught exception", .crash = [] { std::thread(throwUncaught).join(); }, .hostSignal = SIGABRT,
     .signalName = "SIGABRT", .codeName = "#0", .exceptionName = "VuderuTestException", .exceptionReason = "the test threw"},
    {.name = "uncaught standard exception", .crash = [] { std::thread(throwUncaughtStandard).join(); }, .hostSignal = SIGABRT,
     .signalName = "SIGABRT", .codeName = "#0", .exceptionName = "std::runtime_error", .exceptionReason = "x"},
    {.name = "null read in Mach mode", .crash = [] { readNull(); }, .hostSignal = SIGSEGV, .signalName = "SIGSEGV",
     .codeName = "SEGV_MAPERR", .handlerType = VuderuCrashReporterSignalHandlerTypeMach},
    {.name = "deep stack", .crash = [] { recurseThenFault(700); }, .hostSignal = SIGSEGV, .signalName = "SIGSEGV",
     .codeName = "SEGV_MAPERR"},
    {.name = "second thread", .crash = faultWhileOthersWait, .hostSignal = SIGSEGV, .signalName = "SIGSEGV",
     .codeName = "SEGV_MAPERR"},
    {.name = "opened module", .crash = faultInModule, .hostSignal = SIGSEGV, .signalName = "SIGSEGV",
     .codeName = "SEGV_MAPERR"},
};

void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.name; }

std::string executablePath() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

} // namespace

class VuderuCrashReporterCrashTest : public CrashReporterTest, public ::testing::WithParamInterface<CrashCase> {};

TEST_P(VuderuCrashReporterCrashTest, ThePendingReportDescribesTheCrash) {
    const CrashCase& c = GetParam();
    EXPECT_EQ(killedBy(crashInChild(c.crash, c.handlerType)), c.hostSignal);
    auto report = pendingReport();
    ASSERT_TRUE(report);

    EXPECT_EQ(report->signalInfo()->name(), c.signalName);
    EXPECT_EQ(report->signalInfo()->code(), c.codeName);
    EXPECT_EQ(report->applicationInfo()->applicationIdentifier(), kIdentifier);
    EXPECT_EQ(report->applicationInfo()->applicationVersion(), kVersion);
    ASSERT_TRUE(report->processInfo());
    EXPECT_EQ(report->processInfo()->parentProcessID(), static_cast<uint64_t>(getpid()));
    EXPECT_NE(report->processInfo()->processID(), static_cast<uint64_t>(getpid()));
    EXPECT_EQ(report->processInfo()->processPath(), executablePath());
    EXPECT_TRUE(report->processInfo()->processName().has_value());
    EXPECT_TRUE(report->processInfo()->parentProcessName().has_value());
    EXPECT_TRUE(report->processInfo()->native());
    ASSERT_TRUE(report->machineInfo());
    EXPECT_EQ(report->machineInfo()->processorInfo()->type(), static_cast<uint64_t>(CPU_TYPE_X86_64));

    // Exactly one crashed thread, with registers; every thread numbered in order; the others have
    // frames (each was suspended and walked) but no registers.
    std::shared_ptr<VuderuCrashReportThreadInfo> crashed;
    int64_t expectedNumber = 0;
    for (const auto& thread : report->threads()) {
        EXPECT_EQ(thread->threadNumber(), expectedNumber++);
        if (thread->crashed()) {
            EXPECT_FALSE(crashed) << "two crashed threads";
            crashed = thread;
        } else {
            EXPECT_TRUE(thread->registers().empty());
            EXPECT_FALSE(thread->stackFrames().empty()) << "thread " << thread->threadNumber();
        }
    }
    ASSERT_TRUE(crashed);
    ASSERT_EQ(crashed->registers().size(), 21u);
    EXPECT_EQ(crashed->registers()[0]->registerName(), "rip");
    ASSERT_FALSE(crashed->stackFrames().empty());
    EXPECT_EQ(crashed->stackFrames()[0]->instructionPointer(), crashed->registers()[0]->registerValue());
    // Every frame's image is listed.
    EXPECT_TRUE(report->imageForAddress(crashed->stackFrames()[0]->instructionPointer()));

    const std::string name = c.name;
    if (name == "deep stack") {
        EXPECT_EQ(crashed->stackFrames().size(), 512u);
    }
    if (name == "second thread") {
        EXPECT_NE(crashed->threadNumber(), 0) << "the main thread did not crash";
        EXPECT_GE(report->threads().size(), 5u);
    }
    if (c.exceptionName) {
        ASSERT_TRUE(report->exceptionInfo());
        EXPECT_EQ(report->exceptionInfo()->exceptionName(), c.exceptionName);
        EXPECT_EQ(report->exceptionInfo()->exceptionReason(), c.exceptionReason);
        ASSERT_TRUE(report->exceptionInfo()->stackFrames().has_value());
        EXPECT_FALSE(report->exceptionInfo()->stackFrames()->empty());
    } else {
        EXPECT_FALSE(report->exceptionInfo());
    }
    if (name == "opened module") {
        auto image = report->imageForAddress(crashed->stackFrames()[0]->instructionPointer());
        ASSERT_TRUE(image);
        EXPECT_EQ(image->imageName(), TANDREL_TEST_MODULE);
        ASSERT_TRUE(crashed->stackFrames()[0]->symbolInfo());
        EXPECT_EQ(crashed->stackFrames()[0]->symbolInfo()->symbolName(), "vdtest_module_fault");
    }
}

INSTANTIATE_TEST_SUITE_P(Crashes, VuderuCrashReporterCrashTest, ::testing::ValuesIn(kCrashes),
                         [](const ::testing::TestParamInfo<CrashCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

namespace {

// Keeps changing its stack and calling into the library until the process ends.
__attribute__((noinline)) int churn(int depth) {
    volatile char frame[64];
    frame[0] = static_cast<char>(depth);
    if (depth > 0) return churn(depth - 1) + frame[0];
    std::string text(static_cast<size_t>(frame[0] & 15) + 20, 'x');
    return static_cast<int>(text.size());
}

} // namespace

// A crash at once after enabling, while other threads run flat out and the full symbol tables
// are still being read in the background: every record decodes whole. VDCRASH_EARLY_FAULTS sets
// the number of crashes (a few in CI; 100 by hand).
TEST_F(CrashReporterTest, EarlyFaultsOnABusyProcessLeaveRecordsThatDecode) {
    const char* wanted = std::getenv("VDCRASH_EARLY_FAULTS");
    const int faults = wanted ? std::max(1, std::atoi(wanted)) : 6;
    for (int i = 0; i < faults; ++i) {
        SCOPED_TRACE(i);
        const int busyThreads = 2 + i % 4;
        EXPECT_EQ(killedBy(crashInChild([busyThreads] {
                      for (int t = 0; t < busyThreads; ++t)
                          std::thread([t] {
                              for (int round = 0;; ++round) churn((round + t) % 40);
                          }).detach();
                      readNull();
                  })),
                  SIGSEGV);
        auto report = pendingReport();
        ASSERT_TRUE(report);
        int crashedThreads = 0;
        for (const auto& thread : report->threads()) crashedThreads += thread->crashed() ? 1 : 0;
        EXPECT_EQ(crashedThreads, 1);
        EXPECT_GE(report->threads().size(), static_cast<size_t>(busyThreads + 1));
        ASSERT_TRUE(makeReporter()->purgePendingCrashReport());
    }
}

// A crash early in a launch never writes over the report an earlier run left: enabling moves that
// one aside, and both stay to be taken.
TEST_F(CrashReporterTest, ACrashLoopKeepsEveryReport) {
    std::vector<uint64_t> crashedProcesses;
    for (int launch = 0; launch < 3; ++launch) {
        SCOPED_TRACE(launch);
        EXPECT_EQ(killedBy(crashInChild([] { readNull(); })), SIGSEGV);
    }
    auto reporter = makeReporter();
    const auto paths = reporter->pendingCrashReportPaths();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths.back(), reporter->crashReportPath()) << "the last crash is the pending one";
    for (const std::string& path : paths) {
        NSDataPtr data = VuderuCrashReporter::loadCrashReportDataAtPathError(path, nullptr);
        ASSERT_TRUE(data) << path;
        auto report = VuderuCrashReport::initWithData(*data, nullptr);
        ASSERT_TRUE(report) << path;
        crashedProcesses.push_back(report->processInfo()->processID());
    }
    std::sort(crashedProcesses.begin(), crashedProcesses.end());
    EXPECT_EQ(std::unique(crashedProcesses.begin(), crashedProcesses.end()), crashedProcesses.end()) << "three processes";
    for (const std::string& path : paths) EXPECT_TRUE(VuderuCrashReporter::purgeCrashReportAtPathError(path, nullptr));
    EXPECT_FALSE(reporter->hasPendingCrashReport());
}

namespace {

volatile bool overflowGoesOn = true;

// Kept a real recursion: no compiler may turn it into a loop.
#if defined(__clang__)
__attribute__((noinline))
#else
__attribute__((noipa))
#endif
int recurseUntilTheStackOverflows(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (!overflowGoesOn) return frame[0];
    int below = recurseUntilTheStackOverflows(depth + 1);
    __asm__ volatile("" ::: "memory");
    return below + frame[0];
}

} // namespace

// A thread that was running before the library was loaded, with no alternate stack, as a
// preloaded library starts one from its constructor: its stack overflow is reported too, whether
// it never had a stack or gave up one of its own.
TEST_F(CrashReporterTest, AStackOverflowOnAThreadStartedBeforeEnablingIsReported) {
    for (const bool gaveItsOwnUp : {false, true}) {
        SCOPED_TRACE(gaveItsOwnUp ? "a thread that gave its own stack up" : "a thread that never had one");
        const int status = runInChildProcessForWaitStatus([&] {
            int go[2];
            if (pipe(go) != 0) return 92;
            pthread_t thread;
            const int readEnd = go[0];
            int started = startThreadBeforeTheLibrary(&thread, [readEnd, gaveItsOwnUp] {
                if (gaveItsOwnUp) {
                    std::vector<char> own(65536);
                    stack_t stack{};
                    stack.ss_sp = own.data();
                    stack.ss_size = own.size();
                    sigaltstack(&stack, nullptr);
                    stack_t none{};
                    none.ss_flags = SS_DISABLE;
                    sigaltstack(&none, nullptr);
                }
                char byte = 0;
                while (read(readEnd, &byte, 1) < 0 && errno == EINTR) {
                }
                recurseUntilTheStackOverflows(0);
            });
            if (started != 0) return 93;
            auto reporter = makeReporter();
            if (!reporter->enableCrashReporter()) return 90;
            if (write(go[1], "x", 1) != 1) return 94;
            for (;;) pause();
        });
        EXPECT_EQ(killedBy(status), SIGSEGV) << "status " << status;
        auto report = pendingReport();
        ASSERT_TRUE(report);
        auto crashed = crashedThreadOf(*report);
        ASSERT_TRUE(crashed);
        EXPECT_NE(crashed->threadNumber(), 0) << "the main thread did not crash";
        // The frames are the recursion's (the child is a fork: its code lies where the parent's does).
        ASSERT_GE(crashed->stackFrames().size(), 3u);
        ExecutableSymbols symbols;
        const std::string recursion = symbols.nameOf(code(recurseUntilTheStackOverflows));
        ASSERT_FALSE(recursion.empty());
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(symbols.nameOf(reinterpret_cast<const void*>(crashed->stackFrames()[i]->instructionPointer())), recursion)
                << "frame " << i;
        ASSERT_TRUE(makeReporter()->purgePendingCrashReport());
    }
}

// Whichever thread enables the reporter, a stack overflow on the main thread leaves one report:
// the main thread has its alternate stack from the library's load, and one that has none and is
// unknown to the library (a fork of a thread that ran before it) is given one by signal.
TEST_F(CrashReporterTest, AStackOverflowOnTheMainThreadIsReportedWhenAnotherThreadEnabled) {
    // The sanitizer's runtime gives each thread a small alternate stack, which the enabling thread
    // trades for the reporter's, and unmaps whatever stack a thread has when it ends.
    if (TANDREL_ADDRESS_SANITIZER || TANDREL_THREAD_SANITIZER)
        GTEST_SKIP() << "the sanitizer's runtime unmaps the enabling thread's alternate stack at its end";
    struct MainThreadCase {
        const char* what;
        bool withoutStack;  // forked from a thread without an alternate stack, unknown to the library
    };
    const MainThreadCase cases[] = {
        {"the main thread as it started", false},
        {"a main thread without an alternate stack", true},
    };
    for (const MainThreadCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto overflowOnMain = [&] {
            return runInChildProcessForWaitStatus([&] {
                if (getpid() != static_cast<pid_t>(gettid())) return 95;
                bool enabled = false;
                std::thread([&] { enabled = makeReporter()->enableCrashReporter(); }).join();
                if (!enabled) return 90;
                recurseUntilTheStackOverflows(0);
                return 91;
            });
        };
        int status = -1;
        if (c.withoutStack) {
            // The child's one thread is the copy of the thread that forked it, which never had a
            // stack.
            pthread_t forking;
            ASSERT_EQ(startThreadBeforeTheLibrary(&forking, [&] { status = overflowOnMain(); }), 0);
            pthread_join(forking, nullptr);
        } else {
            status = overflowOnMain();
        }
        EXPECT_EQ(killedBy(status), SIGSEGV) << "status " << status;
        auto reporter = makeReporter();
        EXPECT_EQ(reporter->pendingCrashReportPaths().size(), 1u);
        auto report = pendingReport();
        ASSERT_TRUE(report);
        auto crashed = crashedThreadOf(*report);
        ASSERT_TRUE(crashed);
        ASSERT_GE(crashed->stackFrames().size(), 3u);
        ExecutableSymbols symbols;
        EXPECT_EQ(symbols.nameOf(reinterpret_cast<const void*>(crashed->stackFrames()[1]->instructionPointer())),
                  symbols.nameOf(code(recurseUntilTheStackOverflows)));
        for (const std::string& path : reporter->pendingCrashReportPaths())
            EXPECT_TRUE(VuderuCrashReporter::purgeCrashReportAtPathError(path, nullptr));
    }
}
