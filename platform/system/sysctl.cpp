#include "platform/system/sysctl.h"

#include "platform/system/mach.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

int answer(const void* value, size_t size, void* oldp, size_t* oldlenp) {
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

int answerString(const std::string& s, void* oldp, size_t* oldlenp) { return answer(s.c_str(), s.size() + 1, oldp, oldlenp); }

int answerInt(int32_t v, void* oldp, size_t* oldlenp) { return answer(&v, sizeof v, oldp, oldlenp); }

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

} // namespace

int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t) {
    if (newp) {
        errno = EPERM;
        return -1;
    }
    std::string key = name ? name : "";
    struct utsname host {};
    uname(&host);
    cpu_type_t type;
    cpu_subtype_t subtype;
    hostProcessor(&type, &subtype);
    if (key == "kern.osrelease") return answerString(host.release, oldp, oldlenp);
    if (key == "kern.osversion") return answerString(host.version, oldp, oldlenp);
    if (key == "hw.machine") return answerString(host.machine, oldp, oldlenp);
    if (key == "hw.cputype") return answerInt(type, oldp, oldlenp);
    if (key == "hw.cpusubtype") return answerInt(subtype, oldp, oldlenp);
    if (key == "hw.physicalcpu_max" || key == "hw.logicalcpu_max")
        return answerInt(static_cast<int32_t>(sysconf(_SC_NPROCESSORS_CONF)), oldp, oldlenp);
    errno = ENOENT;
    return -1;
}
