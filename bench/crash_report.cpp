// The crash-time report beside gdb: a process with 20 threads and 200 opened images writes its
// crash report to a file N times (the other threads suspended, every stack walked, every image
// listed), and gdb, attached to the same process in the same run, prints what a user would ask it
// for: "thread apply all bt" and "info sharedlibrary". The two run alternately; the medians, our
// worst time, the heap allocations counted during our writes and the ratio are printed.
//
// Usage: bench_crash_report MODULE — MODULE is a small shared object, copied 200 times and opened.

#include "bench/Alternation.h"
#include "platform/foundation/Sanitizers.h"
#include "platform/system/dyld.h"
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

// Every heap allocation of the process is counted while `counting` is set (not under the
// sanitizer, whose allocator this would displace).
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace
#if !TANDREL_ADDRESS_SANITIZER
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
namespace {
void count() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace
extern "C" void* malloc(size_t size) {
    count();
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t n, size_t size) {
    count();
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, size_t size) {
    count();
    return __libc_realloc(p, size);
}
#endif

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

// gdb attached to this process; its wall time, or a negative value when it could not attach.
double runGdb(std::string* failure) {
    char output[] = "/tmp/bench-crash-gdb-XXXXXX";
    int fd = mkstemp(output);
    const std::string pid = std::to_string(getpid());
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        execlp("gdb", "gdb", "-nx", "-batch", "-p", pid.c_str(), "-ex", "thread apply all bt", "-ex", "info sharedlibrary",
               static_cast<char*>(nullptr));
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
        *failure = "gdb could not be run";
        return -1;
    }
    if (out.find("ptrace:") != std::string::npos || out.find("Could not attach") != std::string::npos) {
        *failure = "ptrace is not allowed here";
        return -1;
    }
    return seconds;
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

    std::vector<double> ours, gdbs;
    ours.reserve(kRounds);
    long mostAllocations = 0;
    std::string gdbFailure;
    bool ok = true;
    for (int round = 0; round < kRounds; ++round) {
        allocations = 0;
        counting = true;
        auto start = std::chrono::steady_clock::now();
        ok = vdcrash_async_thread_state_current(writeReport, &write) == VDCRASH_ESUCCESS && ok;
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        counting = false;
        ours.push_back(seconds);
        mostAllocations = std::max(mostAllocations, allocations.load());
        if (gdbFailure.empty()) {
            double seconds = runGdb(&gdbFailure);
            if (seconds >= 0) gdbs.push_back(seconds);
        }
    }
    off_t reportSize = lseek(fd, 0, SEEK_END);
    close(fd);

    std::printf("crash report, %d threads, %zu opened images (%u images in all), report %lld bytes%s\n", kThreads,
                opened.size(), _dyld_image_count(), static_cast<long long>(reportSize), ok ? "" : "  WRITE FAILED");
    std::printf("  ours: median %8.2f ms   worst %8.2f ms   allocations while writing: %ld\n", median(ours) * 1e3,
                *std::max_element(ours.begin(), ours.end()) * 1e3, mostAllocations);
    if (gdbs.empty()) {
        std::printf("  gdb:  not measured (%s)\n", gdbFailure.c_str());
    } else {
        std::printf("  gdb:  median %8.2f ms (thread apply all bt, info sharedlibrary)\n", median(gdbs) * 1e3);
        std::printf("  ratio gdb / ours: %.1f\n", median(gdbs) / median(ours));
    }

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
