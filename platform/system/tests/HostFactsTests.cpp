#include "platform/system/DeviceProfile.h"
#include "platform/system/HostStatistics.h"
#include "platform/system/NetworkInterfaces.h"
#include "platform/system/sysctl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <net/if.h>
#include <sstream>
#include <string>
#include <thread>
#include <sys/utsname.h>
#include <time.h>

namespace {

TEST(SysctlTest, MachineIsTheHostsMachineWithTheSystemsSizeRules) {
    struct utsname host{};
    ASSERT_EQ(uname(&host), 0);
    const std::string expected = host.machine;
    std::size_t size = 0;
    ASSERT_EQ(sysctlbyname("hw.machine", nullptr, &size, nullptr, 0), 0);
    EXPECT_EQ(size, expected.size() + 1);
    char small[3];
    std::size_t smallSize = sizeof small;
    EXPECT_EQ(sysctlbyname("hw.machine", small, &smallSize, nullptr, 0), -1);
    EXPECT_EQ(errno, ENOMEM);
    std::string buffer(size, '\xFF');
    ASSERT_EQ(sysctlbyname("hw.machine", buffer.data(), &size, nullptr, 0), 0);
    EXPECT_EQ(buffer.c_str(), expected);
    int mib[2] = {CTL_HW, HW_MACHINE};
    char viaMib[16];
    std::size_t mibSize = sizeof viaMib;
    ASSERT_EQ(sysctl(mib, 2, viaMib, &mibSize, nullptr, 0), 0);
    EXPECT_EQ(std::string(viaMib), expected);
    char value[8] = "x";
    EXPECT_EQ(sysctlbyname("hw.machine", nullptr, &size, value, 1), -1);
    EXPECT_EQ(errno, EPERM);
    EXPECT_EQ(sysctlbyname("hw.nothing", nullptr, &size, nullptr, 0), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(SysctlTest, BootTimeLiesInThePast) {
    int mib[2] = {CTL_KERN, KERN_BOOTTIME};
    struct timeval boot{};
    std::size_t size = sizeof boot;
    ASSERT_EQ(sysctl(mib, 2, &boot, &size, nullptr, 0), 0);
    EXPECT_GT(boot.tv_sec, 1000000000);
    EXPECT_LE(boot.tv_sec, time(nullptr));
}

TEST(HostStatisticsTest, PageCountsAddUpToTheHostsMemory) {
    vm_size_t page = 0;
    ASSERT_EQ(host_page_size(mach_host_self(), &page), KERN_SUCCESS);
    EXPECT_GT(page, 0u);
    vm_statistics_data_t stats{};
    mach_msg_type_number_t count = HOST_VM_INFO_COUNT;
    ASSERT_EQ(count, 15u);
    ASSERT_EQ(host_statistics(mach_host_self(), HOST_VM_INFO, reinterpret_cast<host_info_t>(&stats), &count), KERN_SUCCESS);
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    unsigned long long totalKB = 0;
    meminfo >> key >> totalKB;
    unsigned long long sum = (static_cast<unsigned long long>(stats.free_count) + stats.active_count + stats.inactive_count +
                              stats.wire_count) * page;
    EXPECT_NEAR(static_cast<double>(sum), static_cast<double>(totalKB * 1024), 4.0 * static_cast<double>(page));
    EXPECT_GT(stats.free_count, 0u);
    mach_msg_type_number_t tooSmall = 3;
    EXPECT_NE(host_statistics(mach_host_self(), HOST_VM_INFO, reinterpret_cast<host_info_t>(&stats), &tooSmall), KERN_SUCCESS);
    EXPECT_NE(host_statistics(mach_host_self(), 99, reinterpret_cast<host_info_t>(&stats), &count), KERN_SUCCESS);
}

TEST(HostStatisticsTest, ThreadsOfTheTaskAndTheirUsage) {
    std::thread other([] {});
    other.join();
    task_basic_info_64 task{};
    mach_msg_type_number_t taskCount = TASK_BASIC_INFO_64_COUNT;
    ASSERT_EQ(task_info(mach_task_self(), TASK_BASIC_INFO_64, reinterpret_cast<task_info_t>(&task), &taskCount), KERN_SUCCESS);
    EXPECT_GT(task.resident_size, 0u);
    thread_act_array_t threads = nullptr;
    mach_msg_type_number_t count = 0;
    ASSERT_EQ(task_threads(mach_task_self(), &threads, &count), KERN_SUCCESS);
    ASSERT_GE(count, 1u);
    for (mach_msg_type_number_t i = 0; i < count; ++i) {
        thread_basic_info info{};
        mach_msg_type_number_t infoCount = THREAD_BASIC_INFO_COUNT;
        ASSERT_EQ(thread_info(threads[i], THREAD_BASIC_INFO, reinterpret_cast<thread_info_t>(&info), &infoCount), KERN_SUCCESS);
        EXPECT_GE(info.cpu_usage, 0);
        EXPECT_LE(info.cpu_usage, TH_USAGE_SCALE);
        EXPECT_EQ(info.flags & TH_FLAGS_IDLE, 0);
    }
    EXPECT_EQ(vm_deallocate(mach_task_self(), reinterpret_cast<vm_address_t>(threads), count * sizeof(thread_act_t)),
              KERN_SUCCESS);
    thread_basic_info info{};
    mach_msg_type_number_t infoCount = THREAD_BASIC_INFO_COUNT;
    EXPECT_NE(thread_info(0x7FFFFFFF, THREAD_BASIC_INFO, reinterpret_cast<thread_info_t>(&info), &infoCount), KERN_SUCCESS);
}

// The interfaces and routes are read once and kept while the kernel announces no change: asked
// again, the same facts come back without reading the host.
TEST(NetworkInterfacesTest, TheHostsNetworkIsReadOnceWhileNothingChanges) {
    auto first = HostNetworkFactsNow();
    auto second = HostNetworkFactsNow();
    EXPECT_EQ(first.get(), second.get());
    bool loopback = false;
    for (const HostInterfaceEntry& entry : first->interfaces)
        loopback = loopback || (entry.name == "lo" && (entry.flags & IFF_LOOPBACK) && entry.ipv4 == 0x7F000001);
    EXPECT_TRUE(loopback);
    // As many routes as the kernel lists.
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::size_t lines = 0;
    while (std::getline(routes, line)) ++lines;
    EXPECT_EQ(first->routes.size() + 1, lines);
}

TEST(NetworkInterfacesTest, OnlyThePrimaryNameIsMapped) {
    EXPECT_EQ(NetworkInterfaceHostName("lo"), "lo");
    EXPECT_NE(NetworkInterfaceHostName("en0"), "en0");
}

} // namespace
