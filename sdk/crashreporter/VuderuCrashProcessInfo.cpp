#include "sdk/crashreporter/VuderuCrashProcessInfo.h"

#include "platform/system/sysctl.h"

#include <unistd.h>

std::shared_ptr<VuderuCrashProcessInfo> VuderuCrashProcessInfo::currentProcessInfo() { return initWithProcessID(getpid()); }

std::shared_ptr<VuderuCrashProcessInfo> VuderuCrashProcessInfo::initWithProcessID(pid_t pid) {
    int name[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, static_cast<int>(pid)};
    struct kinfo_proc process {};
    size_t size = sizeof process;
    if (sysctl(name, 4, &process, &size, nullptr, 0) != 0) return nullptr;
    auto info = std::make_shared<VuderuCrashProcessInfo>();
    info->processID_ = pid;
    info->traced_ = (process.kp_proc.p_flag & P_TRACED) != 0;
    info->processName_ = process.kp_proc.p_comm;
    info->parentProcessID_ = process.kp_eproc.e_ppid;
    info->startTime_ = process.kp_proc.p_starttime;
    return info;
}
