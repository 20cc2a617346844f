#pragma once
// The operating system's kernel version ("kern.osrelease", major.minor.revision).

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>

struct VuderuCrashHostInfoVersion {
    uint64_t major;
    uint64_t minor;
    uint64_t revision;
};

class VuderuCrashHostInfo : public NSObject {
public:
    static std::shared_ptr<VuderuCrashHostInfo> currentHostInfo();
    VuderuCrashHostInfo();

    const VuderuCrashHostInfoVersion& darwinVersion() const { return darwinVersion_; }

private:
    VuderuCrashHostInfoVersion darwinVersion_{0, 0, 0};
};
