#include "platform/system/sysctl.h"

#include "platform/system/DeviceProfile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

namespace {

int answer(const void* value, std::size_t size, void* oldp, std::size_t* oldlenp, void* newp) {
    if (newp) {
        errno = EPERM;
        return -1;
    }
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

int machine(void* oldp, std::size_t* oldlenp, void* newp) {
    std::string model = DeviceProfile::current().model;
    return answer(model.c_str(), model.size() + 1, oldp, oldlenp, newp);
}

int boottime(void* oldp, std::size_t* oldlenp, void* newp) {
    struct timeval tv{};
    if (!bootTime(&tv)) {
        errno = ENOENT;
        return -1;
    }
    return answer(&tv, sizeof tv, oldp, oldlenp, newp);
}

} // namespace

int sysctl(int* name, unsigned namelen, void* oldp, std::size_t* oldlenp, void* newp, std::size_t) {
    if (!name || namelen != 2) {
        errno = ENOENT;
        return -1;
    }
    if (name[0] == CTL_HW && name[1] == HW_MACHINE) return machine(oldp, oldlenp, newp);
    if (name[0] == CTL_KERN && name[1] == KERN_BOOTTIME) return boottime(oldp, oldlenp, newp);
    errno = ENOENT;
    return -1;
}

int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, void* newp, std::size_t) {
    if (name && std::strcmp(name, "hw.machine") == 0) return machine(oldp, oldlenp, newp);
    if (name && std::strcmp(name, "kern.boottime") == 0) return boottime(oldp, oldlenp, newp);
    errno = ENOENT;
    return -1;
}
