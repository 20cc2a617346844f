#include "platform/system/sysctl.h"

#include "platform/system/mach.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

int answer(const void* value, std::size_t size, void* oldp, std::size_t* oldlenp) {
    if (!oldlenp) {
        errno = EINVAL;
        return -1;
    }
    if (!oldp) {
        *oldlenp = size;
        return 0;
    }
    if (*oldlenp < size) {
        errno = ENOMEM;
        return -1;
    }
    std::memcpy(oldp, value, size);
    *oldlenp = size;
    return 0;
}

int answerString(const std::string& s, void* oldp, std::size_t* oldlenp) { return answer(s.c_str(), s.size() + 1, oldp, oldlenp); }

int answerInt(std::int32_t v, void* oldp, std::size_t* oldlenp) { return answer(&v, sizeof v, oldp, oldlenp); }

void hostProcessor(cpu_type_t* type, cpu_subtype_t* subtype) {
#if defined(__x86_64__)
    *type = CPU_TYPE_X86_64;
    *subtype = CPU_SUBTYPE_X86_64_ALL;
#elif defined(__aarch64__)
    *type = CPU_TYPE_ARM64;
    *subtype = CPU_SUBTYPE_ARM64_ALL;
#else
    *type = 0;
    *subtype = 0;
#endif
}

// The host's boot time: the "btime" line of /proc/stat, seconds since 1970.
bool bootTime(struct timeval* tv) {
    std::ifstream stat("/proc/stat");
    std::string key;
    long long seconds = 0;
    while (stat >> key) {
        if (key == "btime" && stat >> seconds) {
            tv->tv_sec = static_cast<time_t>(seconds);
            tv->tv_usec = 0;
            return true;
        }
        stat.ignore(1 << 20, '\n');
    }
    return false;
}

int boottime(void* oldp, std::size_t* oldlenp) {
    struct timeval tv{};
    if (!bootTime(&tv)) {
        errno = ENOENT;
        return -1;
    }
    return answer(&tv, sizeof tv, oldp, oldlenp);
}

std::string hostMachine() {
    struct utsname host{};
    uname(&host);
    return host.machine;
}

// Start time of a process from the clock ticks after boot that /proc gives.
struct timeval startTime(unsigned long long ticks) {
    struct timeval boot {};
    bootTime(&boot);
    long perSecond = sysconf(_SC_CLK_TCK);
    if (perSecond <= 0) perSecond = 100;
    struct timeval start {};
    start.tv_sec = boot.tv_sec + static_cast<time_t>(ticks / static_cast<unsigned long long>(perSecond));
    start.tv_usec = static_cast<suseconds_t>((ticks % static_cast<unsigned long long>(perSecond)) * 1000000 /
                                             static_cast<unsigned long long>(perSecond));
    return start;
}

bool readProcess(pid_t pid, struct kinfo_proc* info) {
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (pid <= 0 || !std::getline(statFile, stat)) return false;
    // "pid (comm) state ppid ...": the name may hold blanks and parentheses, the last ')' ends it.
    std::size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    std::string comm = stat.substr(open + 1, close - open - 1);
    std::istringstream rest(stat.substr(close + 1));
    std::string field;
    std::vector<std::string> fields;  // from field 3 (state) on
    while (rest >> field) fields.push_back(field);
    constexpr std::size_t kParent = 1, kStartTime = 19;  // fields 4 and 22
    if (fields.size() <= kStartTime) return false;
    *info = kinfo_proc{};
    info->kp_proc.p_pid = pid;
    std::strncpy(info->kp_proc.p_comm, comm.c_str(), MAXCOMLEN);
    info->kp_eproc.e_ppid = static_cast<pid_t>(std::stol(fields[kParent]));
    info->kp_proc.p_starttime = startTime(std::stoull(fields[kStartTime]));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("TracerPid:", 0) == 0 && std::stol(line.substr(10)) != 0) info->kp_proc.p_flag |= P_TRACED;
    return true;
}

int processInfo(int* name, unsigned namelen, void* oldp, std::size_t* oldlenp) {
    if (namelen != 4 || name[2] != KERN_PROC_PID) {
        errno = EINVAL;
        return -1;
    }
    struct kinfo_proc info {};
    if (!readProcess(static_cast<pid_t>(name[3]), &info)) {
        errno = ESRCH;
        return -1;
    }
    return answer(&info, sizeof info, oldp, oldlenp);
}

} // namespace

int sysctl(int* name, unsigned namelen, void* oldp, std::size_t* oldlenp, void* newp, std::size_t newlen) {
    if (name && namelen >= 2 && name[0] == CTL_KERN && name[1] == KERN_PROC) {
        if (newp) {
            errno = EPERM;
            return -1;
        }
        return processInfo(name, namelen, oldp, oldlenp);
    }
    if (!name || namelen != 2) {
        errno = ENOENT;
        return -1;
    }
    if (name[0] == CTL_HW && name[1] == HW_MACHINE) return sysctlbyname("hw.machine", oldp, oldlenp, newp, newlen);
    if (name[0] == CTL_KERN && name[1] == KERN_BOOTTIME) return sysctlbyname("kern.boottime", oldp, oldlenp, newp, newlen);
    errno = ENOENT;
    return -1;
}

int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, void* newp, std::size_t) {
    if (newp) {
        errno = EPERM;
        return -1;
    }
    std::string key = name ? name : "";
    if (key == "hw.machine") return answerString(hostMachine(), oldp, oldlenp);
    if (key == "kern.boottime") return boottime(oldp, oldlenp);
    if (key == "sysctl.proc_native") return answerInt(1, oldp, oldlenp);
    struct utsname host{};
    uname(&host);
    if (key == "kern.osrelease") return answerString(host.release, oldp, oldlenp);
    if (key == "kern.osversion") return answerString(host.version, oldp, oldlenp);
    cpu_type_t type;
    cpu_subtype_t subtype;
    hostProcessor(&type, &subtype);
    if (key == "hw.cputype") return answerInt(type, oldp, oldlenp);
    if (key == "hw.cpusubtype") return answerInt(subtype, oldp, oldlenp);
    if (key == "hw.physicalcpu_max" || key == "hw.logicalcpu_max")
        return answerInt(static_cast<std::int32_t>(sysconf(_SC_NPROCESSORS_CONF)), oldp, oldlenp);
    errno = ENOENT;
    return -1;
}
