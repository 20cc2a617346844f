// A crash on a disk that filled up after the reporter was enabled. A child gets a mount namespace
// of its own with a small memory file system over the report folder, fills it to the last byte
// and crashes in a grandchild; it then copies what the folder holds out to the device for the
// test to read.
#include "CrashReporterFixture.h"

#include "platform/foundation/NSFileManager.h"

#include "platform/foundation/NSString.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

volatile int* volatile nullTarget = nullptr;

__attribute__((noinline)) int readNull() {
    int value;
    __asm__ volatile("movl (%1), %0" : "=r"(value) : "r"(nullTarget) : "memory");
    return value;
}

bool writeProcFile(const char* path, const std::string& text) {
    int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

// A mount namespace of this process's own, as root or through a user namespace.
bool enterPrivateMountNamespace() {
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

bool canMountPrivately() {
    return runInChildProcess([] { return enterPrivateMountNamespace() ? 0 : 1; }) == 0;
}

// Writes until the file system refuses another byte.
void fillUp(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, "f", 1) > 0) {
    }
    ::close(fd);
}

using VuderuCrashReporterFullDiskTest = CrashReporterTest;

TEST_F(VuderuCrashReporterFullDiskTest, ACrashOnAFullDiskLeavesAWholeReportOrTheOneBefore) {
    if (!canMountPrivately()) GTEST_SKIP() << "no mount namespace for a small file system";
    struct Case {
        const char* name;
        bool blockReservation;  // a folder stands where the reserved file goes
        bool newReport;         // a whole report of this crash is pending; otherwise none is
    };
    // Either way the report an earlier run left is kept, queued aside at enable.
    const Case cases[] = {
        {"the space reserved at enable takes the report", false, true},
        {"without the reservation the unsent report is kept", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto reporter = makeReporter();
        const std::string reportPath = reporter->crashReportPath();
        const std::string folder = host(NSString::stringByDeletingLastPathComponent(reportPath));
        const std::string copy = "/copied.vdcrash";
        const std::string copyOfQueued = "/copied-queued.vdcrash";
        removeHostTree(host(copy));
        removeHostTree(host(copyOfQueued));
        int status = runInChildProcess([&]() -> int {
            if (!enterPrivateMountNamespace()) return 80;
            makeDirectory(NSString::stringByDeletingLastPathComponent(reportPath));
            if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=256k") != 0) return 81;
            writeFile(reportPath, "the unsent report");
            if (c.blockReservation) makeDirectory(reportPath + ".reserved");
            int crashed = crashInChild([&] {
                fillUp(folder + "/filler");
                struct statvfs space {};
                if (::statvfs(folder.c_str(), &space) != 0 || space.f_bavail != 0) _exit(82);
                readNull();
            });
            if (killedBy(crashed) != SIGSEGV) return 83;
            std::string queued;
            for (const std::string& path : reporter->pendingCrashReportPaths())
                if (path != reportPath) queued += readFile(path);
            writeFile(copyOfQueued, queued);
            writeFile(copy, NSFileManager::defaultManager()->fileExistsAtPath(reportPath) ? readFile(reportPath) : "none");
            return 0;
        });
        ASSERT_EQ(status, 0);
        EXPECT_EQ(readFile(copyOfQueued), "the unsent report");
        const std::string left = readFile(copy);
        if (!c.newReport) {
            EXPECT_EQ(left, "none");
            continue;
        }
        NSErrorPtr error;
        auto report = VuderuCrashReport::initWithData(NSData(left.data(), left.size()), &error);
        ASSERT_TRUE(report) << (error ? error->localizedDescription() : std::string());
        EXPECT_EQ(report->signalInfo()->name(), "SIGSEGV");
    }
}

} // namespace
