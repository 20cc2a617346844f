// Thread suspension for the Mach stand-in on Linux: a reserved real-time signal, a fixed table of
// slots and futex waits (see thread_act.h).
#include "platform/system/thread_act.h"

#include "platform/foundation/PrivateSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <mutex>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

// Threads that can be suspended at once; the writer suspends every thread of the task.
constexpr int kSlots = 1024;
// task_threads lists at most this many threads (gathered on the stack first).
constexpr mach_msg_type_number_t kListedThreads = 1024;
// How long thread_suspend waits for a thread to answer.
constexpr long kAcknowledgementNanoseconds = 250L * 1000 * 1000;

// A slot's state is its futex word.
enum : uint32_t {
    kIdle = 0,
    kRequested = 1,  // signalled, not yet answered
    kStopped = 2,    // the handler stored the registers and waits
    kResumed = 3,    // thread_resume let it go
    kAbandoned = 4,  // it did not answer in time; its handler, should it still run, returns at once
};

struct Slot {
    std::atomic<int32_t> tid{0};
    std::atomic<uint32_t> state{kIdle};
    x86_thread_state64_t registers{};
};
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "a futex word");
Slot slots[kSlots];
// The claimed signal; 0 until prepared, -1 when none could be installed.
std::atomic<int> suspendSignal{0};
std::mutex suspendSignalClaim;

int32_t ownThread() { return static_cast<int32_t>(syscall(SYS_gettid)); }

uint32_t* word(Slot& slot) { return reinterpret_cast<uint32_t*>(&slot.state); }

long futexWait(Slot& slot, uint32_t expected, const struct timespec* timeout) {
    return syscall(SYS_futex, word(slot), FUTEX_WAIT_PRIVATE, expected, timeout, nullptr, 0);
}

void futexWake(Slot& slot) { syscall(SYS_futex, word(slot), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0); }

Slot* findSlot(int32_t tid) {
    for (Slot& slot : slots)
        if (slot.tid.load(std::memory_order_acquire) == tid) return &slot;
    return nullptr;
}

void release(Slot& slot) {
    slot.state.store(kIdle, std::memory_order_release);
    slot.tid.store(0, std::memory_order_release);
    futexWake(slot);
}

void storeRegisters(x86_thread_state64_t* r, const ucontext_t* context) {
#if defined(__x86_64__)
    const greg_t* g = context->uc_mcontext.gregs;
    auto reg = [g](int n) { return static_cast<uint64_t>(g[n]); };
    r->rax = reg(REG_RAX), r->rbx = reg(REG_RBX), r->rcx = reg(REG_RCX), r->rdx = reg(REG_RDX);
    r->rdi = reg(REG_RDI), r->rsi = reg(REG_RSI), r->rbp = reg(REG_RBP), r->rsp = reg(REG_RSP);
    r->r8 = reg(REG_R8), r->r9 = reg(REG_R9), r->r10 = reg(REG_R10), r->r11 = reg(REG_R11);
    r->r12 = reg(REG_R12), r->r13 = reg(REG_R13), r->r14 = reg(REG_R14), r->r15 = reg(REG_R15);
    r->rip = reg(REG_RIP), r->rflags = reg(REG_EFL);
    uint64_t segments = reg(REG_CSGSFS);  // cs, gs, fs as 16-bit fields
    r->cs = segments & 0xFFFF;
    r->gs = (segments >> 16) & 0xFFFF;
    r->fs = (segments >> 32) & 0xFFFF;
#else
    (void)r;
    (void)context;
#endif
}

// Runs on the thread being suspended: answers with its registers, then waits to be resumed.
void suspensionHandler(int signo, siginfo_t* info, void* uap) {
    int savedErrno = errno;
    if (!vdsys_private_signal_is_own(info)) {
        // The host's own signal of this number.
        vdsys_private_signal_forward(signo, info, uap);
        errno = savedErrno;
        return;
    }
    Slot* slot = findSlot(ownThread());
    if (slot) {
        storeRegisters(&slot->registers, static_cast<const ucontext_t*>(uap));
        uint32_t expected = kRequested;
        if (slot->state.compare_exchange_strong(expected, kStopped, std::memory_order_acq_rel)) {
            futexWake(*slot);
            while (slot->state.load(std::memory_order_acquire) == kStopped) futexWait(*slot, kStopped, nullptr);
        }
        release(*slot);
    }
    errno = savedErrno;
}

struct timespec now() {
    struct timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

long elapsedNanoseconds(const struct timespec& since) {
    struct timespec t = now();
    return (t.tv_sec - since.tv_sec) * 1000000000L + (t.tv_nsec - since.tv_nsec);
}

// Waits until the thread answered or the acknowledgement time ran out; YES when it answered.
bool awaitAcknowledgement(Slot& slot) {
    const struct timespec start = now();
    for (;;) {
        if (slot.state.load(std::memory_order_acquire) != kRequested) return true;
        long left = kAcknowledgementNanoseconds - elapsedNanoseconds(start);
        if (left <= 0) break;
        struct timespec timeout = {left / 1000000000L, left % 1000000000L};
        futexWait(slot, kRequested, &timeout);
    }
    uint32_t expected = kRequested;
    return !slot.state.compare_exchange_strong(expected, kAbandoned, std::memory_order_acq_rel);
}

// A thread resumed a moment ago may still be leaving its handler: waits (bounded) until it gave
// its slot back.
bool awaitRelease(Slot& slot, int32_t tid) {
    const struct timespec start = now();
    while (slot.tid.load(std::memory_order_acquire) == tid) {
        if (slot.state.load(std::memory_order_acquire) != kResumed) return false;
        long left = kAcknowledgementNanoseconds - elapsedNanoseconds(start);
        if (left <= 0) return false;
        struct timespec timeout = {left / 1000000000L, left % 1000000000L};
        futexWait(slot, kResumed, &timeout);
    }
    return true;
}

// Reads the numeric entries of /proc/self/task into `out` (at most `capacity`); the number of
// threads seen.
mach_msg_type_number_t readThreadIds(int dir, thread_t* out, mach_msg_type_number_t capacity) {
    mach_msg_type_number_t count = 0;
    alignas(8) char buffer[4096];
    for (;;) {
        long n = syscall(SYS_getdents64, dir, buffer, sizeof buffer);
        if (n <= 0) break;
        for (long at = 0; at < n;) {
            auto* entry = reinterpret_cast<struct dirent64*>(buffer + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] < '0' || name[0] > '9') continue;
            thread_t id = 0;
            for (; *name >= '0' && *name <= '9'; ++name) id = id * 10 + static_cast<thread_t>(*name - '0');
            if (count < capacity) out[count] = id;
            ++count;
        }
    }
    return count;
}

} // namespace

int vdsys_thread_suspend_signal() {
    vdsys_thread_suspension_prepare();
    return suspendSignal.load(std::memory_order_acquire);
}

void vdsys_thread_suspension_prepare() {
    if (suspendSignal.load(std::memory_order_acquire) != 0) return;
    std::lock_guard<std::mutex> guard(suspendSignalClaim);
    if (suspendSignal.load(std::memory_order_acquire) != 0) return;
    // Interrupted system calls restart where the kernel allows it; the platform's waits retry
    // the others.
    const int claimed = vdsys_private_signal_claim(SIGRTMAX - 3, suspensionHandler);
    suspendSignal.store(claimed > 0 ? claimed : -1, std::memory_order_release);
}

kern_return_t task_threads(task_t task, thread_act_array_t* threads, mach_msg_type_number_t* count) {
    if (task != mach_task_self() || !threads || !count) return KERN_INVALID_ARGUMENT;
    int dir = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return KERN_FAILURE;
    thread_t ids[kListedThreads];
    mach_msg_type_number_t seen = readThreadIds(dir, ids, kListedThreads);
    close(dir);
    mach_msg_type_number_t listed = seen < kListedThreads ? seen : kListedThreads;
    vm_address_t list = 0;
    // Exactly the listed size, which is what the caller gives back.
    if (listed == 0 || vm_allocate(task, &list, listed * sizeof(thread_t), VM_FLAGS_ANYWHERE) != KERN_SUCCESS)
        return KERN_RESOURCE_SHORTAGE;
    for (mach_msg_type_number_t i = 0; i < listed; ++i) reinterpret_cast<thread_t*>(list)[i] = ids[i];
    *threads = reinterpret_cast<thread_act_array_t>(list);
    *count = listed;
    return KERN_SUCCESS;
}

kern_return_t thread_suspend(thread_t thread) {
    int32_t tid = static_cast<int32_t>(thread);
    if (tid <= 0 || tid == ownThread()) return KERN_INVALID_ARGUMENT;
    const int signo = vdsys_thread_suspend_signal();
    if (signo <= 0) return KERN_FAILURE;
    if (Slot* earlier = findSlot(tid); earlier && !awaitRelease(*earlier, tid))
        return KERN_FAILURE;  // already suspended, or an earlier request is still pending
    Slot* slot = nullptr;
    for (Slot& candidate : slots) {
        int32_t free = 0;
        if (candidate.tid.compare_exchange_strong(free, tid, std::memory_order_acq_rel)) {
            slot = &candidate;
            break;
        }
    }
    if (!slot) return KERN_RESOURCE_SHORTAGE;
    slot->state.store(kRequested, std::memory_order_release);
    if (vdsys_private_signal_send(signo, tid) != 0) {
        release(*slot);
        return KERN_INVALID_ARGUMENT;
    }
    return awaitAcknowledgement(*slot) ? KERN_SUCCESS : KERN_OPERATION_TIMED_OUT;
}

kern_return_t thread_resume(thread_t thread) {
    Slot* slot = findSlot(static_cast<int32_t>(thread));
    if (!slot) return KERN_FAILURE;
    uint32_t expected = kStopped;
    if (!slot->state.compare_exchange_strong(expected, kResumed, std::memory_order_acq_rel)) return KERN_FAILURE;
    futexWake(*slot);
    return KERN_SUCCESS;
}

kern_return_t thread_get_state(thread_t thread, thread_state_flavor_t flavor, uint32_t* state,
                               mach_msg_type_number_t* count) {
    if (flavor != x86_THREAD_STATE64 || !state || !count || *count < x86_THREAD_STATE64_COUNT) return KERN_FAILURE;
    Slot* slot = findSlot(static_cast<int32_t>(thread));
    if (!slot || slot->state.load(std::memory_order_acquire) != kStopped) return KERN_FAILURE;
    const auto* source = reinterpret_cast<const uint32_t*>(&slot->registers);
    for (mach_msg_type_number_t i = 0; i < x86_THREAD_STATE64_COUNT; ++i) state[i] = source[i];
    *count = x86_THREAD_STATE64_COUNT;
    return KERN_SUCCESS;
}
