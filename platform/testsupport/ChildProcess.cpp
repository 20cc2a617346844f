#include "platform/testsupport/ChildProcess.h"

#include <cerrno>
#include <cstdio>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Exit status of a child whose privileges could not be dropped.
constexpr int kCapabilityFailure = 250;

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
int waitStatusOfChild(const std::function<int()>& body, bool withoutFilePrivileges) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (withoutFilePrivileges && !dropFilePrivileges()) ::_exit(kCapabilityFailure);
        int result = body();
        std::fflush(nullptr);
        ::_exit(result & 0xff);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}
} // namespace

int runInChildProcess(const std::function<int()>& body, bool withoutFilePrivileges) {
    int status = waitStatusOfChild(body, withoutFilePrivileges);
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runInChildProcessForWaitStatus(const std::function<int()>& body) { return waitStatusOfChild(body, false); }
