#include "platform/system/dyld.h"
#include "platform/system/sysctl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

int processInfo(pid_t pid, kinfo_proc* info) {
    int name[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, static_cast<int>(pid)};
    size_t size = sizeof *info;
    return sysctl(name, 4, info, &size, nullptr, 0);
}

} // namespace

TEST(ProcessFacts, TheProcessRecordHoldsNameParentStartTimeAndTracing) {
    kinfo_proc info{};
    ASSERT_EQ(processInfo(getpid(), &info), 0);
    EXPECT_EQ(info.kp_proc.p_pid, getpid());
    EXPECT_EQ(std::string(info.kp_proc.p_comm), firstLine("/proc/self/comm"));
    EXPECT_EQ(info.kp_eproc.e_ppid, getppid());
    time_t now = time(nullptr);
    EXPECT_LE(info.kp_proc.p_starttime.tv_sec, now);
    EXPECT_GT(info.kp_proc.p_starttime.tv_sec, now - 3600);
    bool traced = firstLine("/proc/self/status").empty();  // read below
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("TracerPid:", 0) == 0) traced = std::stol(line.substr(10)) != 0;
    EXPECT_EQ((info.kp_proc.p_flag & P_TRACED) != 0, traced);

    kinfo_proc parent{};
    ASSERT_EQ(processInfo(getppid(), &parent), 0);
    EXPECT_EQ(parent.kp_proc.p_pid, getppid());
}

TEST(ProcessFacts, UnknownProcessesAndMalformedNamesFail) {
    kinfo_proc info{};
    errno = 0;
    EXPECT_EQ(processInfo(0x7ffffff0, &info), -1);
    EXPECT_EQ(errno, ESRCH);
    int shortName[3] = {CTL_KERN, KERN_PROC, KERN_PROC_PID};
    size_t size = sizeof info;
    EXPECT_EQ(sysctl(shortName, 3, &info, &size, nullptr, 0), -1);
    // The size rule holds for the record too.
    int name[4] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, static_cast<int>(getpid())};
    size = 0;
    ASSERT_EQ(sysctl(name, 4, nullptr, &size, nullptr, 0), 0);
    EXPECT_EQ(size, sizeof(kinfo_proc));
}

TEST(ProcessFacts, NativeExecutablePathAndProgramName) {
    int32_t native = 0;
    size_t size = sizeof native;
    ASSERT_EQ(sysctlbyname("sysctl.proc_native", &native, &size, nullptr, 0), 0);
    EXPECT_EQ(native, 1);

    char expected[4096];
    ssize_t n = readlink("/proc/self/exe", expected, sizeof expected - 1);
    ASSERT_GT(n, 0);
    expected[n] = 0;
    uint32_t pathSize = 4;
    char tooSmall[4];
    EXPECT_EQ(_NSGetExecutablePath(tooSmall, &pathSize), -1);
    EXPECT_EQ(pathSize, static_cast<uint32_t>(n + 1));
    std::string path(pathSize, '\0');
    ASSERT_EQ(_NSGetExecutablePath(path.data(), &pathSize), 0);
    EXPECT_STREQ(path.c_str(), expected);
    const char* slash = std::strrchr(expected, '/');
    EXPECT_STREQ(getprogname(), slash ? slash + 1 : expected);
}
