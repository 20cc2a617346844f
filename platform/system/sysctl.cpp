#include "platform/system/sysctl.h"

#include "platform/system/mach.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
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

} // namespace

int sysctl(int* name, unsigned namelen, void* oldp, std::size_t* oldlenp, void* newp, std::size_t newlen) {
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
