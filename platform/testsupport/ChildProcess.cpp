#include "platform/testsupport/ChildProcess.h"
#include "platform/foundation/Sanitizers.h"

#include "platform/dispatch/WorkerPool.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <sys/resource.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#if TANDREL_THREAD_SANITIZER
// The forked children run the code under test, which starts threads of its own (the worker pool,
// a sender's queue). ThreadSanitizer would end such a child at its first thread; forkQuietly lets
// the parent's workers finish first, so the child starts from a quiet state.
extern "C" const char* __tsan_default_options() { return "die_after_fork=0"; }
#endif

#if TANDREL_ADDRESS_SANITIZER && defined(__clang__) && __clang_major__ <= 16
// clang's AddressSanitizer runtime before version 18 takes none of its own locks around fork(), so
// a child forked while another thread is inside the allocator, the stack depot or the thread
// registry inherits that lock held for ever. These are the runtime's own lock functions (the leak
// checker stops the world with them); declared weak, so a runtime without them leaves them null
// and the fork goes on without them.
namespace __lsan {
void LockThreadRegistry() __attribute__((weak));
void UnlockThreadRegistry() __attribute__((weak));
void LockAllocator() __attribute__((weak));
void UnlockAllocator() __attribute__((weak));
} // namespace __lsan
namespace __sanitizer {
void StackDepotLockAll() __attribute__((weak));
void StackDepotUnlockAll() __attribute__((weak));
} // namespace __sanitizer
#define TANDREL_FORK_HOLDS_SANITIZER_LOCKS 1
#else
#define TANDREL_FORK_HOLDS_SANITIZER_LOCKS 0
#endif

namespace {
// Exit status of a child whose privileges could not be dropped.
constexpr int kCapabilityFailure = 250;
constexpr auto kIdleBeforeForkLimit = std::chrono::seconds(5);
constexpr auto kRestPollInterval = std::chrono::milliseconds(1);

// Whether every thread of the process but the caller sleeps in the kernel (or is stopped or
// gone): a thread asleep in a system call holds no lock of the user-space allocator.
bool otherThreadsAtRest() {
    const std::string self = std::to_string(::gettid());
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const std::string tid = entry.path().filename();
        if (tid == self) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;  // ended meanwhile
        // The state follows the command name, which may hold spaces and parentheses of its own.
        const auto close = line.rfind(')');
        if (close == std::string::npos || close + 2 >= line.size()) continue;
        const char state = line[close + 2];
        if (state != 'S' && state != 'T' && state != 't' && state != 'Z' && state != 'X') return false;
    }
    return true;
}

// fork() with the sanitizer runtime's locks held across it, in the order its leak checker takes
// them, so that parent and child each find them free afterwards.
pid_t forkHoldingSanitizerLocks() {
#if TANDREL_FORK_HOLDS_SANITIZER_LOCKS
    const bool holds = __lsan::LockThreadRegistry && __lsan::UnlockThreadRegistry && __lsan::LockAllocator &&
                       __lsan::UnlockAllocator && __sanitizer::StackDepotLockAll && __sanitizer::StackDepotUnlockAll;
    if (holds) {
        __lsan::LockThreadRegistry();
        __lsan::LockAllocator();
        __sanitizer::StackDepotLockAll();
    }
    const pid_t pid = ::fork();
    if (holds) {
        __sanitizer::StackDepotUnlockAll();
        __lsan::UnlockAllocator();
        __lsan::UnlockThreadRegistry();
    }
    return pid;
#else
    return ::fork();
#endif
}
} // namespace

pid_t forkWithThreadsAtRest() {
    // The child keeps only the forking thread. Another thread half-way through an allocation or
    // through a lock of ours at the fork would leave that lock held for ever in the child: work
    // already queued finishes first, then every other thread (servers of the test, network
    // threads) is waited for until it sleeps, a few seconds at most. The sanitizer runtime's own
    // locks are held across the fork itself, which closes the moment between the wait and the
    // fork for them.
    const auto deadline = std::chrono::steady_clock::now() + kIdleBeforeForkLimit;
    if (WorkerPool* pool = WorkerPool::existing()) pool->waitUntilIdle(kIdleBeforeForkLimit);
    while (!otherThreadsAtRest() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(kRestPollInterval);
    std::fflush(nullptr);
    return forkHoldingSanitizerLocks();
}

namespace {

bool dropFilePrivileges() {
    if (::geteuid() != 0) return true;
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}
} // namespace

namespace {
// The raw wait status of a child, -1 when there is none to wait for.
int rawWaitStatus(pid_t pid) {
    if (pid < 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

int waitStatusOfChild(const std::function<int()>& body, bool withoutFilePrivileges) {
    pid_t pid = forkWithThreadsAtRest();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (withoutFilePrivileges && !dropFilePrivileges()) ::_exit(kCapabilityFailure);
        int result = body();
        std::fflush(nullptr);
        ::_exit(result & 0xff);
    }
    return rawWaitStatus(pid);
}

int exitStatusOf(int status) { return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
} // namespace

int runInChildProcess(const std::function<int()>& body, bool withoutFilePrivileges) {
    return exitStatusOf(waitStatusOfChild(body, withoutFilePrivileges));
}

int runInChildProcessForWaitStatus(const std::function<int()>& body) { return waitStatusOfChild(body, false); }

pid_t startChildProcess(const std::function<int()>& body) {
    pid_t pid = forkWithThreadsAtRest();
    if (pid == 0) {
        int result = body();
        std::fflush(nullptr);
        ::_exit(result & 0xff);
    }
    return pid < 0 ? -1 : pid;
}

int waitForChildProcess(pid_t pid) { return exitStatusOf(rawWaitStatus(pid)); }

bool killWhenAFileGrowsPast(std::size_t bytes) {
    struct sigaction action{};
    action.sa_handler = [](int) { ::kill(::getpid(), SIGKILL); };
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGXFSZ, &action, nullptr) != 0) return false;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = bytes;
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

bool addressSpaceCanBeLimited() {
    return !TANDREL_ADDRESS_SANITIZER && !TANDREL_THREAD_SANITIZER;
}

bool limitAddressSpace(std::size_t extraBytes) {
    if (!addressSpaceCanBeLimited()) return false;
    std::size_t pages = 0;
    std::ifstream statm("/proc/self/statm");
    if (!(statm >> pages)) return false;
    const std::size_t mapped = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = mapped + extraBytes;
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}
