// Enabling the reporter leaves the host alone: its threads sleep on through it in whatever call
// they sleep in, its handlers on real-time signals keep running for its own signals, and a thread
// the reporter cannot give an alternate stack is named in the warning.
#include "CrashReporterFixture.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/Sanitizers.h"
#include "platform/testsupport/ThreadBeforeTheLibrary.h"
#include "sdk/crashreporter/tests/Faults.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <linux/futex.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <string>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Memory the forked child writes and the parent reads.
template <class T>
T* sharedWithChild() {
    void* memory = mmap(nullptr, sizeof(T), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : new (memory) T();
}

size_t ownAlternateStackSize() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE)) return 0;
    return current.ss_size;
}

// Whether the thread sleeps in the kernel now ("S" in its stat line).
bool isAsleep(pid_t tid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/self/task/%d/stat", static_cast<int>(tid));
    FILE* file = fopen(path, "r");
    if (!file) return false;
    char line[512] = {};
    const bool read = fgets(line, sizeof line, file) != nullptr;
    fclose(file);
    const char* end = read ? strrchr(line, ')') : nullptr;
    return end && end[1] == ' ' && end[2] == 'S';
}

// The host's own wake-up for calls only a signal ends: a handler of its own on SIGUSR1.
thread_local volatile sig_atomic_t wokenByTheHost = 0;
void hostWakeHandler(int) { wokenByTheHost = 1; }

// What one sleeping host thread sleeps on.
struct Sleeper {
    int pipe[2] = {-1, -1};
    int epoll = -1;
    sem_t semaphore;
    std::atomic<uint32_t> futexWord{0};
    std::mutex lock;
    std::condition_variable changed;
    bool released = false;
};

// 0 when the call ended because the host woke it, else what ended it (an errno, or -1).
int endedByTheHost(int result) { return result >= 0 ? 0 : (errno == EINTR && wokenByTheHost ? 0 : errno); }
int readOneByte(int fd) {
    char byte = 0;
    return read(fd, &byte, 1) == 1 ? 0 : errno;
}

struct BlockingCall {
    const char* what;
    int (*sleep)(Sleeper&);  // blocks once; 0 when it returned because the host woke it
    bool wokenBySignal;      // the host ends it with its own signal; else through the sleeper
};

const BlockingCall kBlockingCalls[] = {
    {"nanosleep",
     [](Sleeper&) {
         struct timespec longTime = {1000000, 0}, left{};
         return endedByTheHost(nanosleep(&longTime, &left));
     },
     true},
    {"pause", [](Sleeper&) { return endedByTheHost(pause()); }, true},
    {"poll",
     [](Sleeper& s) {
         struct pollfd fd = {s.pipe[0], POLLIN, 0};
         return poll(&fd, 1, -1) == 1 ? readOneByte(s.pipe[0]) : errno;
     },
     false},
    {"select",
     [](Sleeper& s) {
         fd_set readable;
         FD_ZERO(&readable);
         FD_SET(s.pipe[0], &readable);
         return select(s.pipe[0] + 1, &readable, nullptr, nullptr, nullptr) == 1 ? readOneByte(s.pipe[0]) : errno;
     },
     false},
    {"epoll_wait",
     [](Sleeper& s) {
         struct epoll_event event {};
         return epoll_wait(s.epoll, &event, 1, -1) == 1 ? readOneByte(s.pipe[0]) : errno;
     },
     false},
    {"read on a pipe", [](Sleeper& s) { return readOneByte(s.pipe[0]); }, false},
    {"sem_timedwait",
     [](Sleeper& s) {
         struct timespec deadline {};
         clock_gettime(CLOCK_REALTIME, &deadline);
         deadline.tv_sec += 1000000;
         return sem_timedwait(&s.semaphore, &deadline) == 0 ? 0 : errno;
     },
     false},
    {"futex wait",
     [](Sleeper& s) {
         long result = syscall(SYS_futex, reinterpret_cast<uint32_t*>(&s.futexWord), FUTEX_WAIT_PRIVATE, 0, nullptr, nullptr, 0);
         if (result != 0 && errno != EAGAIN) return errno;
         return s.futexWord.load() == 1 ? 0 : -1;
     },
     false},
    {"condition variable wait",
     [](Sleeper& s) {
         std::unique_lock<std::mutex> guard(s.lock);
         s.changed.wait(guard);
         return s.released ? 0 : -1;
     },
     false},
};
constexpr size_t kBlockingCallCount = sizeof kBlockingCalls / sizeof kBlockingCalls[0];

void wake(Sleeper& s, const BlockingCall& call, pthread_t thread) {
    if (call.wokenBySignal) {
        pthread_kill(thread, SIGUSR1);
        return;
    }
    if (write(s.pipe[1], "x", 1) != 1) return;
    sem_post(&s.semaphore);
    s.futexWord.store(1);
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&s.futexWord), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
    std::lock_guard<std::mutex> guard(s.lock);
    s.released = true;
    s.changed.notify_all();
}

struct SleeperOutcomes {
    int ended[kBlockingCallCount];               // 0: woken by the host only
    int returnedBeforeTheWake[kBlockingCallCount];
    size_t alternateStack[kBlockingCallCount];
    int asleepBeforeEnabling[kBlockingCallCount];
};

} // namespace

// Host threads asleep when the reporter is enabled sleep on until the host wakes them, whatever
// call they sleep in (none of those that a signal cuts short is signalled), and have an alternate
// stack all the same, given when they started.
TEST_F(CrashReporterTest, HostThreadsAsleepWhileEnablingSleepTheirWholeTime) {
    if (TANDREL_ADDRESS_SANITIZER || TANDREL_THREAD_SANITIZER)
        GTEST_SKIP() << "the sanitizer's runtime starts the threads: they are given their stacks by signal";
    auto* outcomes = sharedWithChild<SleeperOutcomes>();
    ASSERT_TRUE(outcomes);
    const int status = runInChildProcess([&] {
        struct sigaction wakeAction {};
        wakeAction.sa_handler = hostWakeHandler;
        sigemptyset(&wakeAction.sa_mask);
        sigaction(SIGUSR1, &wakeAction, nullptr);
        std::vector<Sleeper> sleepers(kBlockingCallCount);
        std::vector<std::atomic<pid_t>> tids(kBlockingCallCount);
        std::vector<std::atomic<bool>> returned(kBlockingCallCount);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < kBlockingCallCount; ++i) {
            Sleeper& s = sleepers[i];
            if (pipe(s.pipe) != 0 || sem_init(&s.semaphore, 0, 0) != 0) return 80;
            s.epoll = epoll_create1(0);
            struct epoll_event event {};
            event.events = EPOLLIN;
            if (s.epoll < 0 || epoll_ctl(s.epoll, EPOLL_CTL_ADD, s.pipe[0], &event) != 0) return 81;
            threads.emplace_back([&, i] {
                tids[i] = static_cast<pid_t>(gettid());
                outcomes->ended[i] = kBlockingCalls[i].sleep(sleepers[i]);
                returned[i] = true;
                outcomes->alternateStack[i] = ownAlternateStackSize();
            });
        }
        // Each asleep in its call before the reporter is enabled.
        for (size_t i = 0; i < kBlockingCallCount; ++i) {
            for (long tries = 0; tries < 100000000L && (tids[i] == 0 || !isAsleep(tids[i])); ++tries) sched_yield();
            outcomes->asleepBeforeEnabling[i] = isAsleep(tids[i]) ? 1 : 0;
        }
        if (!makeReporter()->enableCrashReporter()) return 90;
        for (size_t i = 0; i < kBlockingCallCount; ++i) outcomes->returnedBeforeTheWake[i] = returned[i] ? 1 : 0;
        for (size_t i = 0; i < kBlockingCallCount; ++i) {
            wake(sleepers[i], kBlockingCalls[i], threads[i].native_handle());
            threads[i].join();
        }
        return 0;
    });
    ASSERT_EQ(status, 0);
    for (size_t i = 0; i < kBlockingCallCount; ++i) {
        SCOPED_TRACE(kBlockingCalls[i].what);
        EXPECT_EQ(outcomes->asleepBeforeEnabling[i], 1);
        EXPECT_EQ(outcomes->returnedBeforeTheWake[i], 0);
        EXPECT_EQ(outcomes->ended[i], 0) << strerror(outcomes->ended[i]);
        EXPECT_GE(outcomes->alternateStack[i], 65536u);
    }
    munmap(outcomes, sizeof *outcomes);
}

namespace {

struct HostSignalOutcomes {
    int heldSignals[64];
    int deliveries[64];  // of each held signal, after enabling
    int count = 0;
};
HostSignalOutcomes* hostSignals = nullptr;

void hostRealTimeHandler(int signo, siginfo_t*, void*) {
    for (int i = 0; i < hostSignals->count; ++i)
        if (hostSignals->heldSignals[i] == signo) ++hostSignals->deliveries[i];
}

struct HostHandlersCase {
    const char* what;
    bool everyRealTimeSignal;  // else the two the reporter would take first
};

} // namespace

// A handler the host installed on a real-time signal before enabling still runs for the host's own
// signal afterwards, whether the reporter found free signals or had to share the host's; and the
// reporter's crash path still suspends and walks the other threads.
TEST_F(CrashReporterTest, TheHostsSignalHandlersKeepRunningForItsOwnSignals) {
    const HostHandlersCase cases[] = {
        {"the host holds the signals the reporter prefers", false},
        {"the host holds every real-time signal", true},
    };
    for (const HostHandlersCase& c : cases) {
        SCOPED_TRACE(c.what);
        hostSignals = sharedWithChild<HostSignalOutcomes>();
        ASSERT_TRUE(hostSignals);
        const int status = runInChildProcessForWaitStatus([&] {
            for (int signo = SIGRTMIN; signo <= SIGRTMAX; ++signo) {
                if (!c.everyRealTimeSignal && signo != SIGRTMAX - 4 && signo != SIGRTMAX - 3) continue;
                struct sigaction action {};
                action.sa_sigaction = hostRealTimeHandler;
                sigemptyset(&action.sa_mask);
                action.sa_flags = SA_SIGINFO;
                sigaction(signo, &action, nullptr);
                hostSignals->heldSignals[hostSignals->count++] = signo;
            }
            if (!makeReporter()->enableCrashReporter()) return 90;
            for (int i = 0; i < hostSignals->count; ++i) pthread_kill(pthread_self(), hostSignals->heldSignals[i]);
            // A thread to be suspended while the report is written.
            std::mutex lock;
            std::condition_variable never;
            std::thread([&] {
                std::unique_lock<std::mutex> guard(lock);
                never.wait(guard, [] { return false; });
            }).detach();
            readNull();
            return 91;
        });
        EXPECT_EQ(killedBy(status), SIGSEGV) << status;
        ASSERT_GT(hostSignals->count, 0);
        for (int i = 0; i < hostSignals->count; ++i)
            EXPECT_EQ(hostSignals->deliveries[i], 1) << "signal " << hostSignals->heldSignals[i];
        auto report = pendingReport();
        ASSERT_TRUE(report);
        ASSERT_GE(report->threads().size(), 2u);
        for (const auto& thread : report->threads())
            EXPECT_FALSE(thread->stackFrames().empty()) << "thread " << thread->threadNumber() << " was not walked";
        ASSERT_TRUE(makeReporter()->purgePendingCrashReport());
        munmap(hostSignals, sizeof *hostSignals);
        hostSignals = nullptr;
    }
}

// A thread the reporter cannot give an alternate stack (it ran before the library and blocks every
// signal) is named, by its id and its name, in the warning.
TEST_F(CrashReporterTest, AThreadLeftWithoutAnAlternateStackIsNamedInTheWarning) {
    EXPECT_EQ(runInChildProcess([&] {
                  std::mutex lock;
                  std::condition_variable changed;
                  bool ready = false, done = false;
                  pid_t blocked = 0;
                  pthread_t thread;
                  if (startThreadBeforeTheLibrary(&thread, [&] {
                          sigset_t all;
                          sigfillset(&all);
                          pthread_sigmask(SIG_BLOCK, &all, nullptr);
                          pthread_setname_np(pthread_self(), "vdtest-blocked");
                          std::unique_lock<std::mutex> guard(lock);
                          blocked = static_cast<pid_t>(gettid());
                          ready = true;
                          changed.notify_all();
                          changed.wait(guard, [&] { return done; });
                      }) != 0)
                      return 80;
                  {
                      std::unique_lock<std::mutex> guard(lock);
                      changed.wait(guard, [&] { return ready; });
                  }
                  NSLogCapture log;
                  if (!makeReporter()->enableCrashReporter()) return 90;
                  int result = 0;
                  std::string warning;
                  for (const std::string& line : log.lines())
                      if (line.find("alternate signal stack") != std::string::npos) warning = line;
                  if (warning.rfind("[VuderuCrashReporter] Warning -- ", 0) != 0) result = 1;
                  else if (warning.find(std::to_string(blocked) + " (vdtest-blocked)") == std::string::npos) result = 2;
                  {
                      std::lock_guard<std::mutex> guard(lock);
                      done = true;
                      changed.notify_all();
                  }
                  pthread_join(thread, nullptr);
                  return result;
              }),
              0);
}
