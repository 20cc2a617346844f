#include "platform/system/HostStatistics.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr host_t kHostPort = 1;

natural_t pagesOf(unsigned long long kilobytes, unsigned long long pageSize) {
    unsigned long long pages = kilobytes * 1024 / pageSize;
    return static_cast<natural_t>(std::min<unsigned long long>(pages, std::numeric_limits<natural_t>::max()));
}

time_value_t timeValue(double seconds) {
    if (!(seconds >= 0)) seconds = 0;
    if (seconds > std::numeric_limits<integer_t>::max()) seconds = std::numeric_limits<integer_t>::max();
    auto whole = static_cast<integer_t>(seconds);
    return {whole, static_cast<integer_t>((seconds - whole) * 1e6)};
}

// Fields of /proc/<...>/stat after the command name: state is field 3, utime 14, stime 15,
// starttime 22 (1-based, as proc(5) counts them).
struct ProcStat {
    char state = '?';
    unsigned long long utime = 0, stime = 0, starttime = 0;
};

bool readStat(const std::string& path, ProcStat* out) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return false;
    auto close = line.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(line.substr(close + 1));
    std::vector<std::string> f;
    for (std::string s; fields >> s;) f.push_back(s);
    // f[0] is field 3.
    if (f.size() < 20) return false;
    out->state = f[0].empty() ? '?' : f[0][0];
    out->utime = std::strtoull(f[11].c_str(), nullptr, 10);
    out->stime = std::strtoull(f[12].c_str(), nullptr, 10);
    out->starttime = std::strtoull(f[19].c_str(), nullptr, 10);
    return true;
}

double uptimeSeconds() {
    struct timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

template <class T>
kern_return_t copyOut(const T& value, integer_t* info, mach_msg_type_number_t* count, mach_msg_type_number_t needed) {
    if (!info || !count || *count < needed) return KERN_INVALID_ARGUMENT;
    std::memcpy(info, &value, sizeof value);
    *count = needed;
    return KERN_SUCCESS;
}

} // namespace

host_t mach_host_self() { return kHostPort; }

kern_return_t host_page_size(host_t host, vm_size_t* pageSize) {
    if (host != kHostPort || !pageSize) return KERN_INVALID_ARGUMENT;
    long size = sysconf(_SC_PAGESIZE);
    if (size <= 0) return KERN_FAILURE;
    *pageSize = static_cast<vm_size_t>(size);
    return KERN_SUCCESS;
}

kern_return_t host_statistics(host_t host, int flavor, host_info_t info, mach_msg_type_number_t* count) {
    if (host != kHostPort || flavor != HOST_VM_INFO) return KERN_INVALID_ARGUMENT;
    vm_size_t pageSize = 0;
    if (host_page_size(host, &pageSize) != KERN_SUCCESS) return KERN_FAILURE;
    std::ifstream meminfo("/proc/meminfo");
    if (!meminfo) return KERN_FAILURE;
    unsigned long long total = 0, free = 0, active = 0, inactive = 0;
    bool haveTotal = false;
    std::string key;
    unsigned long long kilobytes = 0;
    std::string unit;
    for (std::string line; std::getline(meminfo, line);) {
        std::istringstream fields(line);
        if (!(fields >> key >> kilobytes)) continue;
        if (key == "MemTotal:") total = kilobytes, haveTotal = true;
        else if (key == "MemFree:") free = kilobytes;
        else if (key == "Active:") active = kilobytes;
        else if (key == "Inactive:") inactive = kilobytes;
    }
    if (!haveTotal) return KERN_FAILURE;
    vm_statistics_data_t stats{};
    stats.free_count = pagesOf(free, pageSize);
    stats.active_count = pagesOf(active, pageSize);
    stats.inactive_count = pagesOf(inactive, pageSize);
    unsigned long long counted = free + active + inactive;
    stats.wire_count = pagesOf(total > counted ? total - counted : 0, pageSize);
    return copyOut(stats, info, count, HOST_VM_INFO_COUNT);
}

kern_return_t task_info(task_t task, int flavor, task_info_t info, mach_msg_type_number_t* count) {
    if (task != mach_task_self() || flavor != TASK_BASIC_INFO_64) return KERN_INVALID_ARGUMENT;
    std::ifstream statm("/proc/self/statm");
    unsigned long long virtualPages = 0, residentPages = 0;
    if (!(statm >> virtualPages >> residentPages)) return KERN_FAILURE;
    ProcStat stat;
    if (!readStat("/proc/self/stat", &stat)) return KERN_FAILURE;
    auto page = static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
    double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    task_basic_info_64 basic{};
    basic.virtual_size = virtualPages * page;
    basic.resident_size = residentPages * page;
    basic.user_time = timeValue(static_cast<double>(stat.utime) / ticks);
    basic.system_time = timeValue(static_cast<double>(stat.stime) / ticks);
    return copyOut(basic, info, count, TASK_BASIC_INFO_64_COUNT);
}

// task_threads is in ThreadSuspension.cpp, beside the calls that suspend the threads it lists.

kern_return_t thread_info(thread_act_t thread, int flavor, thread_info_t info, mach_msg_type_number_t* count) {
    if (flavor != THREAD_BASIC_INFO) return KERN_INVALID_ARGUMENT;
    ProcStat stat;
    if (!readStat("/proc/self/task/" + std::to_string(thread) + "/stat", &stat)) return KERN_FAILURE;
    double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    double cpu = static_cast<double>(stat.utime + stat.stime) / ticks;
    double alive = uptimeSeconds() - static_cast<double>(stat.starttime) / ticks;
    thread_basic_info basic{};
    basic.user_time = timeValue(static_cast<double>(stat.utime) / ticks);
    basic.system_time = timeValue(static_cast<double>(stat.stime) / ticks);
    double usage = alive > 0 ? cpu / alive : 0;
    basic.cpu_usage = static_cast<integer_t>(std::clamp(usage, 0.0, 1.0) * TH_USAGE_SCALE);
    basic.run_state = stat.state == 'R' ? TH_STATE_RUNNING : TH_STATE_WAITING;
    basic.flags = 0;
    return copyOut(basic, info, count, THREAD_BASIC_INFO_COUNT);
}
