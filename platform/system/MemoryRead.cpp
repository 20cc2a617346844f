#include "platform/system/MemoryRead.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// One source page at a time: a pipe takes that much without blocking, and the kernel refuses a
// write that runs into an unreadable page as a whole, so a chunk must not reach past its page.
constexpr size_t kPage = 4096;

std::atomic<bool> processVmReadvDenied{false};

// The own process id, asked for once (getpid is a system call on every read otherwise) and
// forgotten in a child made by fork. 0 until first asked.
std::atomic<pid_t> ownPid{0};
[[maybe_unused]] const int forgetPidInChild = pthread_atfork(nullptr, nullptr, [] { ownPid.store(0, std::memory_order_relaxed); });

pid_t currentPid() {
    pid_t pid = ownPid.load(std::memory_order_relaxed);
    if (pid != 0) return pid;
    pid = getpid();
    ownPid.store(pid, std::memory_order_relaxed);
    return pid;
}

// The pipe is made once per process and reused; a reader that finds it in use (another thread,
// or a signal handler that interrupted a read) makes one of its own for the call.
std::atomic<bool> sharedPipeBusy{false};
int sharedPipe[2] = {-1, -1};
pid_t sharedPipeOwner = 0;

void closePipe(int fds[2]) {
    if (fds[0] >= 0) close(fds[0]);
    if (fds[1] >= 0) close(fds[1]);
    fds[0] = fds[1] = -1;
}

bool openPipe(int fds[2]) { return pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0; }

// Moves the bytes through the pipe; false when the pipe is left in an unknown state.
bool copyThroughPipe(const int fds[2], uintptr_t address, char* data, size_t size, ssize_t* result) {
    size_t done = 0;
    while (done < size) {
        size_t toPageEnd = kPage - ((address + done) & (kPage - 1));
        size_t chunk = size - done < toPageEnd ? size - done : toPageEnd;
        ssize_t written = write(fds[1], reinterpret_cast<const void*>(address + done), chunk);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno != EFAULT) return false;
            break;
        }
        for (ssize_t got = 0; got < written;) {
            ssize_t n = read(fds[0], data + done + got, static_cast<size_t>(written - got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            got += n;
        }
        done += static_cast<size_t>(written);
        if (static_cast<size_t>(written) < chunk) break;
    }
    if (done == 0) {
        *result = -1;
        errno = EFAULT;
    } else {
        *result = static_cast<ssize_t>(done);
    }
    return true;
}

ssize_t readThroughPipe(uintptr_t address, void* data, size_t size) {
    ssize_t result = -1;
    char* out = static_cast<char*>(data);
    if (!sharedPipeBusy.exchange(true, std::memory_order_acquire)) {
        // A forked child shares its parent's pipe: it must not read the parent's bytes.
        if (sharedPipeOwner != getpid()) {
            closePipe(sharedPipe);
            if (openPipe(sharedPipe)) sharedPipeOwner = getpid();
        }
        if (sharedPipe[0] < 0) {
            errno = EMFILE;
        } else if (!copyThroughPipe(sharedPipe, address, out, size, &result)) {
            closePipe(sharedPipe);
            sharedPipeOwner = 0;
            result = -1;
        }
        sharedPipeBusy.store(false, std::memory_order_release);
        return result;
    }
    int own[2] = {-1, -1};
    if (!openPipe(own)) return -1;
    if (!copyThroughPipe(own, address, out, size, &result)) result = -1;
    int saved = errno;
    closePipe(own);
    errno = saved;
    return result;
}

} // namespace

ssize_t vdsys_read_own_memory(uintptr_t address, void* data, size_t size) {
    if (!processVmReadvDenied.load(std::memory_order_relaxed)) {
        struct iovec local = {data, size};
        struct iovec remote = {reinterpret_cast<void*>(address), size};
        ssize_t n = process_vm_readv(currentPid(), &local, 1, &remote, 1, 0);
        if (n >= 0 || (errno != EPERM && errno != ENOSYS)) return n;
        processVmReadvDenied.store(true, std::memory_order_relaxed);
    }
    return readThroughPipe(address, data, size);
}
