#include "platform/testsupport/ChildProcess.h"
#include "platform/foundation/Sanitizers.h"

#include "platform/dispatch/WorkerPool.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Exit status of a child whose privileges could not be dropped.
constexpr int kCapabilityFailure = 250;
constexpr auto kIdleBeforeForkLimit = std::chrono::seconds(5);

// The child keeps only the forking thread. A worker half-way through an allocation at the fork
// would leave the allocator's lock held for ever in the child (the sanitizers' allocator does not
// guard against fork), so work already queued finishes first, a few seconds at most.
pid_t forkQuietly() {
    if (WorkerPool* pool = WorkerPool::existing()) pool->waitUntilIdle(kIdleBeforeForkLimit);
    std::fflush(nullptr);
    return ::fork();
}

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
    pid_t pid = forkQuietly();
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
    pid_t pid = forkQuietly();
    if (pid == 0) {
        int result = body();
        std::fflush(nullptr);
        ::_exit(result & 0xff);
    }
    return pid < 0 ? -1 : pid;
}

int waitForChildProcess(pid_t pid) { return exitStatusOf(rawWaitStatus(pid)); }

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
