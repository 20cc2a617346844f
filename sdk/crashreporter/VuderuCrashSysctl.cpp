#include "sdk/crashreporter/VuderuCrashSysctl.h"

#include "platform/system/sysctl.h"

#include <cerrno>
#include <cstdlib>

char* vdcrash_sysctl_string(const char* name) {
    char* value = nullptr;
    for (;;) {
        size_t size = 0;
        if (sysctlbyname(name, nullptr, &size, nullptr, 0) != 0) break;
        free(value);
        value = static_cast<char*>(malloc(size));
        if (!value) break;
        if (sysctlbyname(name, value, &size, nullptr, 0) == 0) return value;
        // The value grew between the two calls: ask for its size again.
        if (errno != ENOMEM) break;
    }
    int saved = errno;
    free(value);
    errno = saved;
    return nullptr;
}

bool vdcrash_sysctl_int(const char* name, int32_t* result) {
    size_t size = sizeof *result;
    return sysctlbyname(name, result, &size, nullptr, 0) == 0;
}
