#pragma once
// Facts about one process of the system, read with sysctl.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/time.h>
#include <sys/types.h>

class VuderuCrashProcessInfo : public NSObject {
public:
    // The info of this process.
    static std::shared_ptr<VuderuCrashProcessInfo> currentProcessInfo();
    // initWithProcessID: — null when the process can't be looked up.
    static std::shared_ptr<VuderuCrashProcessInfo> initWithProcessID(pid_t pid);

    pid_t processID() const { return processID_; }
    const std::string& processName() const { return processName_; }
    pid_t parentProcessID() const { return parentProcessID_; }
    const struct timeval& startTime() const { return startTime_; }
    bool isTraced() const { return traced_; }

private:
    pid_t processID_ = 0;
    std::string processName_;
    pid_t parentProcessID_ = 0;
    struct timeval startTime_ {};
    bool traced_ = false;
};
