#include "sdk/crashreporter/VuderuCrashHostInfo.h"

#include "platform/foundation/NSLog.h"
#include "sdk/crashreporter/VuderuCrashSysctl.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

std::shared_ptr<VuderuCrashHostInfo> VuderuCrashHostInfo::currentHostInfo() { return std::make_shared<VuderuCrashHostInfo>(); }

VuderuCrashHostInfo::VuderuCrashHostInfo() {
    char* release = vdcrash_sysctl_string("kern.osrelease");
    if (!release) {
        int err = errno;
        NSLog("Failed to fetch kern.osrelease value %d: %s", err, std::strerror(err));
        abort();
    }
    const std::string text = release;
    free(release);
    // integer "." integer "." integer; what does not fit keeps what was read before it.
    uint64_t* parts[3] = {&darwinVersion_.major, &darwinVersion_.minor, &darwinVersion_.revision};
    size_t at = 0;
    bool complete = true;
    for (int i = 0; i < 3; ++i) {
        size_t digits = 0;
        while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9') ++digits;
        if (digits == 0) {
            complete = false;
            break;
        }
        *parts[i] = std::strtoull(text.substr(at, digits).c_str(), nullptr, 10);
        at += digits;
        if (i < 2) {
            if (at >= text.size() || text[at] != '.') {
                complete = false;
                break;
            }
            ++at;
        }
    }
    if (!complete) NSLog("Unexpected kern.osrelease string format: %@", text);
}
