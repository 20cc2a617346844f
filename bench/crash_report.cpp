// The crash-time report beside two debuggers: a process with 20 threads and 200 opened images
// writes its crash report to a file N times (the other threads suspended, every stack walked,
// every image listed), and, attached to the same process in the same run, gdb prints what a user
// would ask it for ("thread apply all bt" and "info sharedlibrary") and eu-stack the stacks of
// every thread with their modules. The three take turns, the order changing every round; the
// medians with their fastest and slowest runs, the heap allocations counted during our writes
// and the ratios are printed. gdb's time is mostly its own start-up; eu-stack's is the unwinding.
//
// Usage: bench_crash_report MODULE — MODULE is a small shared object, copied 200 times and opened.

#include "bench/Alternation.h"
#include "platform/system/dyld.h"
#include "platform/testsupport/CountedAllocations.h"
#include "sdk/crashreporter/VuderuCrashLogWriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kThreads = 20;  // the main thread included
constexpr int kImages = 200;
constexpr int kRounds = 7;    // each of ours and gdb's, alternately
constexpr int kParkDepth = 12;

std::mutex parkLock;
std::condition_variable parkChanged;
bool released = false;
int parked = 0;

__attribute__((noinline)) int park(int depth) {
    if (depth > 0) {
        int below = park(depth - 1);
        __asm__ volatile("" ::: "memory");
        return below + 1;
    }
    std::unique_lock<std::mutex> guard(parkLock);
    ++parked;
    parkChanged.notify_all();
    parkChanged.wait(guard, [] { return released; });
    return 0;
}

struct Write {
    vdcrash_log_writer_t* writer;
    vdcrash_async_image_list_t* images;
    int fd;
    const vdcrash_log_writer_crash_info_t* info;
};

vdcrash_error_t writeReport(vdcrash_async_thread_state_t* state, void* context) {
    auto* w = static_cast<Write*>(context);
    return vdcrash_log_writer_write_to_fd(w->writer, vd_mach_thread_self(), w->images, w->fd, w->info, state);
}

// A debugger attached to this process (its arguments, the process id appended where "{pid}"
// stands); its wall time, or a negative value when it could not run or attach.
double runDebugger(const std::vector<std::string>& command, std::string* failure) {
    char output[] = "/tmp/bench-crash-debugger-XXXXXX";
    int fd = mkstemp(output);
    const std::string pid = std::to_string(getpid());
    std::vector<std::string> arguments;
    for (const std::string& a : command) arguments.push_back(a == "{pid}" ? pid : a);
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(fd);
    std::ifstream in(output);
    std::stringstream text;
    text << in.rdbuf();
    unlink(output);
    const std::string out = text.str();
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) {
        *failure = command[0] + " could not be run";
        return -1;
    }
    if (out.find("ptrace") != std::string::npos || out.find("Could not attach") != std::string::npos ||
        out.find("Operation not permitted") != std::string::npos) {
        *failure = "ptrace is not allowed here";
        return -1;
    }
    return seconds;
}

struct Peer {
    const char* label;
    std::vector<std::string> command;
    std::vector<double> runs;
    std::string failure;
};

void printRuns(const char* label, const std::vector<double>& runs, const char* what) {
    std::printf("  %-9s median %8.2f ms   (%.2f..%.2f ms)%s\n", label, median(runs) * 1e3,
                *std::min_element(runs.begin(), runs.end()) * 1e3, *std::max_element(runs.begin(), runs.end()) * 1e3, what);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MODULE\n", argv[0]);
        return 2;
    }
    char folder[] = "/tmp/bench-crash-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::ifstream source(argv[1], std::ios::binary);
    const std::string module((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    std::vector<void*> opened;
    for (int i = 0; i < kImages; ++i) {
        std::string path = std::string(folder) + "/module" + std::to_string(i) + ".so";
        std::ofstream(path, std::ios::binary) << module;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) opened.push_back(handle);
    }
    std::vector<std::thread> threads;
    for (int i = 1; i < kThreads; ++i) threads.emplace_back([] { park(kParkDepth); });
    {
        std::unique_lock<std::mutex> guard(parkLock);
        parkChanged.wait(guard, [] { return parked == kThreads - 1; });
    }

    vdcrash_async_image_list_t images;
    vdcrash_nasync_image_list_init(&images, mach_task_self());
    for (uint32_t i = 0; i < _dyld_image_count(); ++i)
        vdcrash_nasync_image_list_append(&images, reinterpret_cast<vm_address_t>(_dyld_get_image_header(i)),
                                         _dyld_get_image_name(i));
    vdcrash_log_writer_t writer;
    vdcrash_log_writer_init(&writer, "com.example.bench", "1", 3, false);
    const std::string reportPath = std::string(folder) + "/live_report.vdcrash";
    int fd = open(reportPath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    vdcrash_log_signal_info_t signal = {11, 1, 0};
    vdcrash_log_writer_crash_info_t info = {&signal, nullptr};
    Write write = {&writer, &images, fd, &info};

    std::vector<double> ours;
    ours.reserve(kRounds);
    std::vector<Peer> peers = {
        {"gdb:", {"gdb", "-nx", "-batch", "-p", "{pid}", "-ex", "thread apply all bt", "-ex", "info sharedlibrary"}, {}, {}},
        {"eu-stack:", {"eu-stack", "-p", "{pid}", "-m"}, {}, {}},
    };
    long mostAllocations = 0;
    bool ok = true;
    auto runOurs = [&] {
        allocation_counting::allocations = 0;
        allocation_counting::counting = true;
        auto start = std::chrono::steady_clock::now();
        ok = vdcrash_async_thread_state_current(writeReport, &write) == VDCRASH_ESUCCESS && ok;
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocation_counting::counting = false;
        ours.push_back(seconds);
        mostAllocations = std::max(mostAllocations, allocation_counting::allocations.load());
    };
    auto runPeer = [&](Peer& peer) {
        if (!peer.failure.empty()) return;
        double seconds = runDebugger(peer.command, &peer.failure);
        if (seconds >= 0) peer.runs.push_back(seconds);
    };
    for (int round = 0; round < kRounds; ++round) {
        // Ours first, then last, in turn: neither side always runs on the warmer cache.
        if (round % 2 == 0) runOurs();
        for (Peer& peer : peers) runPeer(peer);
        if (round % 2 == 1) runOurs();
    }
    off_t reportSize = lseek(fd, 0, SEEK_END);
    close(fd);

    std::printf("crash report, %d threads, %zu opened images (%u images in all), report %lld bytes, %d rounds%s\n", kThreads,
                opened.size(), _dyld_image_count(), static_cast<long long>(reportSize), kRounds, ok ? "" : "  WRITE FAILED");
    char allocated[64];
    std::snprintf(allocated, sizeof allocated, "   allocations while writing: %ld", mostAllocations);
    printRuns("ours:", ours, allocated);
    for (const Peer& peer : peers) {
        if (peer.runs.empty()) {
            std::printf("  %-9s not measured (%s)\n", peer.label, peer.failure.c_str());
            continue;
        }
        printRuns(peer.label, peer.runs, "");
        std::vector<double> ratios;
        for (std::size_t i = 0; i < peer.runs.size() && i < ours.size(); ++i) ratios.push_back(peer.runs[i] / ours[i]);
        std::printf("  ratio %s / ours (median): %.1f   (pairs: %.1f..%.1f)\n", peer.command[0].c_str(), median(peer.runs) / median(ours),
                    *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    }
    printMachineLoad();

    {
        std::lock_guard<std::mutex> guard(parkLock);
        released = true;
    }
    parkChanged.notify_all();
    for (std::thread& t : threads) t.join();
    vdcrash_log_writer_free(&writer);
    for (void* handle : opened) dlclose(handle);
    std::system((std::string("rm -rf ") + folder).c_str());
    return ok ? 0 : 1;
}
