#include "sdk/analytics/VuderuSessionMeasurements.h"

#include "platform/foundation/NSString.h"
#include "platform/system/DeviceProfile.h"
#include "platform/system/HostStatistics.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

constexpr float kCpuLoadUnknown = -1.0f;
constexpr float kPercent = 100.0f;

struct MemoryFigures {
    std::uint64_t wired = 0, active = 0, inactive = 0, free = 0;
};

// After a failed reading the figures are 0; the failure is logged.
MemoryFigures memoryFigures() {
    MemoryFigures figures;
    host_t host = mach_host_self();
    vm_size_t pageSize = 0;
    vm_statistics_data_t stats{};
    mach_msg_type_number_t count = HOST_VM_INFO_COUNT;
    if (host_page_size(host, &pageSize) != KERN_SUCCESS ||
        host_statistics(host, HOST_VM_INFO, reinterpret_cast<host_info_t>(&stats), &count) != KERN_SUCCESS) {
        VuderuLog("Failed to fetch vm statistics");
        return figures;
    }
    auto page = static_cast<std::uint64_t>(pageSize);
    figures.wired = stats.wire_count * page;
    figures.active = stats.active_count * page;
    figures.inactive = stats.inactive_count * page;
    figures.free = stats.free_count * page;
    return figures;
}

std::string unsignedText(std::uint64_t value) { return NSString::stringWithFormat("%llu", static_cast<unsigned long long>(value)); }

} // namespace

std::uint64_t VuderuSessionMeasurements::wiredMemoryUsage() { return memoryFigures().wired; }
std::uint64_t VuderuSessionMeasurements::activeMemoryUsage() { return memoryFigures().active; }
std::uint64_t VuderuSessionMeasurements::inActiveMemoryUsage() { return memoryFigures().inactive; }
std::uint64_t VuderuSessionMeasurements::freeMemoryUsage() { return memoryFigures().free; }

float VuderuSessionMeasurements::total_cpu_usage() {
    task_basic_info_64 taskInfo{};
    mach_msg_type_number_t taskCount = TASK_BASIC_INFO_64_COUNT;
    if (task_info(mach_task_self(), TASK_BASIC_INFO_64, reinterpret_cast<task_info_t>(&taskInfo), &taskCount) != KERN_SUCCESS) {
        return kCpuLoadUnknown;
    }
    thread_act_array_t threads = nullptr;
    mach_msg_type_number_t threadCount = 0;
    if (task_threads(mach_task_self(), &threads, &threadCount) != KERN_SUCCESS) return kCpuLoadUnknown;
    float total = 0;
    bool failed = false;
    for (mach_msg_type_number_t i = 0; i < threadCount && !failed; ++i) {
        thread_basic_info info{};
        mach_msg_type_number_t infoCount = THREAD_BASIC_INFO_COUNT;
        if (thread_info(threads[i], THREAD_BASIC_INFO, reinterpret_cast<thread_info_t>(&info), &infoCount) != KERN_SUCCESS) {
            failed = true;
        } else if (!(info.flags & TH_FLAGS_IDLE)) {
            total += static_cast<float>(info.cpu_usage) / static_cast<float>(TH_USAGE_SCALE) * kPercent;
        }
    }
    vm_deallocate(mach_task_self(), reinterpret_cast<vm_address_t>(threads), threadCount * sizeof(thread_act_t));
    return failed ? kCpuLoadUnknown : total;
}

void VuderuSessionMeasurements::getSessionParametersAtPhase(int phase, std::map<std::string, std::string>& sessionParams) {
    MemoryFigures memory = memoryFigures();
    sessionParams["memory.total"] = unsignedText(memory.wired + memory.active + memory.inactive + memory.free);
    sessionParams["boot.time"] = NSString::stringWithFormat("%ld", VuderuUtil::lastBootTime());
    std::uint64_t diskSize = VuderuUtil::getDiskSize();
    std::uint64_t diskFree = VuderuUtil::getFreeDiskspace();
    sessionParams["disk.size.total"] = unsignedText(diskSize);
    sessionParams["disk.size.used"] = unsignedText(diskSize >= diskFree ? diskSize - diskFree : 0);

    const char* suffix = phase == kPhaseStart ? ".start" : phase == kPhaseEnd ? ".end" : nullptr;
    if (!suffix) return;
    auto key = [suffix](const char* name) { return std::string(name) + suffix; };
    sessionParams[key("memory.used.wired")] = unsignedText(memory.wired);
    sessionParams[key("memory.used.active")] = unsignedText(memory.active);
    sessionParams[key("memory.used.inactive")] = unsignedText(memory.inactive);
    sessionParams[key("cpu.load")] = NSString::stringWithFormat("%f", total_cpu_usage());
    sessionParams[key("battery.remaining")] = NSString::stringWithFormat("%f", VuderuUtil::getBatteryLevel());
    sessionParams[key("battery.charging")] =
        NSString::stringWithFormat("%d", VuderuUtil::getBatteryState() == UIDeviceBatteryStateCharging ? 1 : 0);
}
