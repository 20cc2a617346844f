#include "platform/testsupport/DeviceTest.h"

#include "platform/dispatch/WorkerPool.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PlatformClock.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// How long a test's leftover queue work may run at the end of the test.
constexpr auto kQueueFinishLimit = std::chrono::seconds(2);

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::chmod(path, 0700);
    ::remove(path);
    return 0;
}

void makeHostDirs(const std::string& path) {
    std::string partial;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            partial = path.substr(0, i);
            ::mkdir(partial.c_str(), 0755);
        }
    }
}

// Where tests make their host folders: $TMPDIR, or /tmp without it.
std::string testFoldersHome() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// Why a test's host folder could not be made, naming where.
std::string cannotMakeTestFolder(int errnum) {
    std::string why = "cannot make the test's folder in " + testFoldersHome() + ": " + std::strerror(errnum);
    const char* tmp = std::getenv("TMPDIR");
    if (tmp && *tmp) why += " (TMPDIR is \"" + std::string(tmp) + "\"; it must name a folder the test may write in)";
    return why;
}
} // namespace

void removeHostTree(const std::string& hostPath) {
    if (hostPath.empty() || hostPath == "/") return;
    // Make every folder writable first so unreadable test folders can be removed too.
    ::nftw(hostPath.c_str(), [](const char* p, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_D || type == FTW_DNR) ::chmod(p, (st->st_mode & 07777) | 0700);
        return 0;
    }, 64, FTW_PHYS);
    ::nftw(hostPath.c_str(), removeEntry, 64, FTW_DEPTH | FTW_PHYS);
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = testFoldersHome() + "/tandrel-test-XXXXXX";
    char* made = ::mkdtemp(pattern.data());
    const int failure = errno;
    if (!made) ADD_FAILURE() << cannotMakeTestFolder(failure);
    path_ = made ? made : "";
}

TemporaryFolder::~TemporaryFolder() { removeHostTree(path_); }

void DeviceTest::SetUp() {
    // A table test may start afresh for each row; the device of the row before goes first.
    if (!root_.empty()) removeHostTree(root_);
    std::string pattern = testFoldersHome() + "/tandrel-device-XXXXXX";
    char* made = ::mkdtemp(pattern.data());
    const int failure = errno;
    ASSERT_NE(made, nullptr) << cannotMakeTestFolder(failure);
    root_ = made;
    DeviceRoot::setRoot(root_);
    for (const char* d : {"/tmp", "/var/mobile/Library/Preferences", "/var/mobile/Library/Caches", "/var/mobile/Documents",
                          "/var/mobile/tmp"}) {
        makeHostDirs(root_ + d);
    }
    log_ = std::make_unique<NSLogCapture>(std::getenv("TANDREL_TEST_ECHO_LOG") != nullptr);
    // Each test starts with the defaults of its own fresh device.
    NSUserDefaults::resetStandardUserDefaults();
}

void DeviceTest::TearDown() {
    log_.reset();
    NSUserDefaults::resetStandardUserDefaults();
    if (PlatformClock::isManual()) PlatformClock::setAutomatic();
    // Queue work the test started (a session saved behind, a cache trimmed) ends on this device.
    if (WorkerPool* pool = WorkerPool::existing()) pool->waitUntilIdle(kQueueFinishLimit);
    // What still reaches for the device afterwards finds none: late work neither writes into the
    // host's own folders nor brings the removed root back.
    DeviceRoot::setRoot("");
    removeHostTree(root_);
}

std::string DeviceTest::host(const std::string& devicePath) const { return root_ + (devicePath.empty() || devicePath[0] != '/' ? "/" : "") + devicePath; }

void DeviceTest::writeFile(const std::string& devicePath, const std::string& contents) const {
    std::string h = host(devicePath);
    makeHostDirs(h.substr(0, h.rfind('/')));
    std::ofstream out(h, std::ios::binary);
    out << contents;
}

std::string DeviceTest::readFile(const std::string& devicePath) const {
    std::ifstream in(host(devicePath), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void DeviceTest::makeDirectory(const std::string& devicePath) const { makeHostDirs(host(devicePath)); }
