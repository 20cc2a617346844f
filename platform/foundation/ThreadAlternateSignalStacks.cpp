#include "platform/foundation/ThreadAlternateSignalStacks.h"

#include "platform/foundation/PrivateSignals.h"
#include "platform/foundation/ScopedAlternateSignalStack.h"
#include "platform/foundation/ThreadAlternateSignalStacksKnown.h"
#include "platform/foundation/SharedInstance.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <mutex>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VDSYS_SANITIZED_THREADS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VDSYS_SANITIZED_THREADS 1
#endif

namespace {

std::atomic<bool> alternateStacksForAllThreads{false};
// The real-time signal that hands running threads their stack; 0 until one is claimed.
std::atomic<int> alternateStackSignal{0};

#ifndef VDSYS_SANITIZED_THREADS
using PthreadCreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

PthreadCreateFunction systemPthreadCreate() {
    static const PthreadCreateFunction found = reinterpret_cast<PthreadCreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    return found;
}

struct ThreadStartWithStack {
    void* (*start)(void*);
    void* argument;
};

#endif

int32_t ownThread() { return static_cast<int32_t>(syscall(SYS_gettid)); }

// Whether the calling thread has an alternate stack, asked of sigaltstack itself. A size of 0
// counts as none whatever the flags say.
bool callingThreadHasAlternateStack() {
    stack_t current{};
    return sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_size > 0;
}

#ifndef VDSYS_SANITIZED_THREADS
// Known for as long as the thread's start routine runs with its stack.
class RememberedThreadWithStack {
public:
    explicit RememberedThreadWithStack(bool hasStack) : tid_(hasStack ? ownThread() : 0) {
        if (tid_) vdsys_known_thread_stack_remember(tid_);
    }
    ~RememberedThreadWithStack() {
        if (tid_) vdsys_known_thread_stack_forget(tid_);
    }
    RememberedThreadWithStack(const RememberedThreadWithStack&) = delete;
    RememberedThreadWithStack& operator=(const RememberedThreadWithStack&) = delete;

private:
    int32_t tid_;
};

void* startWithAlternateSignalStack(void* context) {
    ThreadStartWithStack start = *static_cast<ThreadStartWithStack*>(context);
    delete static_cast<ThreadStartWithStack*>(context);
    // Freed when the routine returns, and when the thread exits or is cancelled (both unwind).
    ScopedAlternateSignalStack stack;
    RememberedThreadWithStack remembered(stack.installed());
    return start.start(start.argument);
}
#endif

// ---- Threads that run already ----------------------------------------------------------------

// Requests that can be outstanding at once: one per thread of the process.
constexpr int kRequests = 1024;
// Stacks held for running threads.
constexpr int kHeldStacks = 1024;
// How long all the threads together have to answer.
constexpr long kAnswerNanoseconds = 1000L * 1000 * 1000;

// A request's state, in the low bits of its word; the bits above hold the request's serial, so
// that a handler that runs late, when its request was given up and the slot serves another
// thread, cannot take the new one.
enum : uint32_t {
    kIdle = 0,
    kRequested = 1,  // signalled, not yet answered
    kWorking = 2,    // the thread's handler is installing the stack
    kInstalled = 3,  // the thread runs with the stack now
    kKept = 4,       // the thread had a stack of its own
    kFailed = 5,     // sigaltstack refused it
    kAbandoned = 6,  // no answer in time; a handler that still runs leaves it alone
};
constexpr uint32_t kStateMask = 7;
constexpr uint32_t kSerialStep = 8;

struct Request {
    std::atomic<int32_t> tid{0};
    std::atomic<uint32_t> word{kIdle};
    std::atomic<void*> stack{nullptr};
    std::atomic<size_t> size{0};
};
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "a futex word");
Request requests[kRequests];

// A stack given to a thread that was running: unmapped once the thread has ended.
struct HeldStack {
    int32_t tid = 0;
    void* mapped = nullptr;
    size_t mappedSize = 0;
};

struct ExistingThreads {
    std::mutex lock;  // one distribution at a time; guards `held`
    HeldStack held[kHeldStacks];
    std::atomic<int> heldCount{0};
    uint32_t serial = 0;
};
ExistingThreads& existingThreads() {
    static NeverDestroyed<ExistingThreads> shared;
    return *shared;
}

uint32_t* futexWord(Request& request) { return reinterpret_cast<uint32_t*>(&request.word); }

// On the thread itself, and async-signal-safe: installs the stack unless the thread has one.
// Inside a signal handler `interrupted` is the handler's context: the return from the handler
// puts back the alternate stack that context holds, so the stack goes there too.
// The handler runs on the thread's own stack (its action has no SA_ONSTACK), so sigaltstack tells
// what the thread has. The saved context does not: the kernel stores its raw flags there, 0 for a
// thread that never had a stack, and a size of 0.
uint32_t installOnThisThread(void* stack, size_t size, ucontext_t* interrupted) {
    if (callingThreadHasAlternateStack()) return kKept;
    stack_t given{};
    given.ss_sp = stack;
    given.ss_size = size;
    given.ss_flags = 0;
    // Checked by the kernel here first: a stack it refused at the handler's return would end
    // the thread.
    if (sigaltstack(&given, nullptr) != 0) return kFailed;
    if (interrupted) interrupted->uc_stack = given;
    return kInstalled;
}

// The signal's handler: system calls and atomics only.
void installHandler(int signo, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    if (!vdsys_private_signal_is_own(info)) {
        // The host's own signal of this number.
        vdsys_private_signal_forward(signo, info, context);
        errno = savedErrno;
        return;
    }
    const int32_t self = ownThread();
    for (Request& request : requests) {
        uint32_t word = request.word.load(std::memory_order_acquire);
        if ((word & kStateMask) != kRequested || request.tid.load(std::memory_order_acquire) != self) continue;
        const uint32_t serial = word & ~kStateMask;
        if (!request.word.compare_exchange_strong(word, serial | kWorking, std::memory_order_acq_rel)) continue;
        uint32_t result = installOnThisThread(request.stack.load(std::memory_order_relaxed),
                                              request.size.load(std::memory_order_relaxed), static_cast<ucontext_t*>(context));
        request.word.store(serial | result, std::memory_order_release);
        syscall(SYS_futex, futexWord(request), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
        break;
    }
    errno = savedErrno;
}

struct timespec monotonicNow() {
    struct timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

long nanosecondsSince(const struct timespec& since) {
    struct timespec t = monotonicNow();
    return (t.tv_sec - since.tv_sec) * 1000000000L + (t.tv_nsec - since.tv_nsec);
}

// The process's threads, from /proc/self/task.
std::vector<int32_t> runningThreads() {
    std::vector<int32_t> threads;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return threads;
    while (struct dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (*name < '0' || *name > '9') continue;
        int32_t tid = 0;
        for (; *name >= '0' && *name <= '9'; ++name) tid = tid * 10 + (*name - '0');
        threads.push_back(tid);
    }
    closedir(dir);
    return threads;
}

// Whether the thread blocks the signal now (its "SigBlk" line); a thread that cannot be looked at
// counts as blocking it.
bool blocksSignal(int32_t tid, int signo) {
    char path[64];
    snprintf(path, sizeof path, "/proc/self/task/%d/status", static_cast<int>(tid));
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    char text[8192];
    ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    if (length <= 0) return true;
    text[length] = '\0';
    const char* line = strstr(text, "\nSigBlk:");
    if (!line) return true;
    unsigned long long mask = 0;
    if (sscanf(line + 8, "%llx", &mask) != 1) return true;
    return signo >= 1 && signo <= 64 && (mask >> (signo - 1)) & 1;
}

// Frees the stacks of threads that have ended. A thread id the kernel still knows may belong to a
// new thread by now: its stack then waits for that one's end, which does no harm. In a forked
// child the one thread runs under a new id with the stack of the thread that forked: that one
// stays, held for the new id.
void reclaimEndedLocked(ExistingThreads& all) {
    const pid_t process = getpid();
    stack_t current{};
    const bool hasCurrent = sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE);
    for (HeldStack& held : all.held) {
        if (!held.mapped) continue;
        if (syscall(SYS_tgkill, process, held.tid, 0) == 0 || errno != ESRCH) continue;
        const char* begin = static_cast<const char*>(held.mapped);
        const char* sp = static_cast<const char*>(current.ss_sp);
        if (hasCurrent && sp >= begin && sp < begin + held.mappedSize) {
            held.tid = ownThread();
            continue;
        }
        munmap(held.mapped, held.mappedSize);
        held = HeldStack{};
        all.heldCount.fetch_sub(1, std::memory_order_relaxed);
    }
}

bool holdLocked(ExistingThreads& all, int32_t tid, void* mapped, size_t mappedSize) {
    for (HeldStack& held : all.held) {
        if (held.mapped) continue;
        held = HeldStack{tid, mapped, mappedSize};
        all.heldCount.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    return false;
}

int freeHeldSlotsLocked(const ExistingThreads& all) {
    int free = 0;
    for (const HeldStack& held : all.held) free += held.mapped ? 0 : 1;
    return free;
}

// For thread starts: skipped while a distribution runs (it reclaims itself), so that a thread
// start never waits for one.
[[maybe_unused]] void reclaimEndedThreadsStacks() {
    ExistingThreads& all = existingThreads();
    if (all.heldCount.load(std::memory_order_relaxed) == 0) return;
    std::unique_lock<std::mutex> guard(all.lock, std::try_to_lock);
    if (guard.owns_lock()) reclaimEndedLocked(all);
}

// One thread's request while the others answer.
struct Pending {
    Request* request;
    int32_t tid;
    uint32_t serial;
    void* mapped;
    size_t mappedSize;
};

} // namespace

int vdsys_alternate_signal_stack_signal() { return alternateStackSignal.load(std::memory_order_acquire); }

vdsys_existing_thread_stacks vdsys_alternate_signal_stacks_for_existing_threads() {
    vdsys_existing_thread_stacks result;
    ExistingThreads& all = existingThreads();
    std::lock_guard<std::mutex> guard(all.lock);
    int signo = alternateStackSignal.load(std::memory_order_acquire);
    if (signo == 0) {
        // Stays installed: a signal that comes late must still find it.
        signo = vdsys_private_signal_claim(SIGRTMAX - 4, installHandler);
        if (signo > 0) alternateStackSignal.store(signo, std::memory_order_release);
    }
    reclaimEndedLocked(all);

    const int32_t self = ownThread();
    int room = freeHeldSlotsLocked(all);
    std::vector<Pending> pending;
    int nextRequest = 0;
    auto unreached = [&result](int32_t tid) {
        ++result.unreached;
        result.unreachedThreads.push_back(tid);
    };
    for (int32_t tid : runningThreads()) {
        const bool calling = tid == self;
        if (!calling && vdsys_known_thread_stack_has(tid)) {
            // Made when it started: it is left alone.
            ++result.fromStart;
            continue;
        }
        if (room == 0 || (!calling && (signo <= 0 || blocksSignal(tid, signo)))) {
            unreached(tid);
            continue;
        }
        Pending p{nullptr, tid, 0, nullptr, 0};
        stack_t stack{};
        if (!ScopedAlternateSignalStack::makeStack(&p.mapped, &p.mappedSize, &stack)) {
            unreached(tid);
            continue;
        }
        if (calling) {
            uint32_t state = installOnThisThread(stack.ss_sp, stack.ss_size, nullptr);
            if (state == kInstalled) {
                holdLocked(all, tid, p.mapped, p.mappedSize);
                --room;
                ++result.given;
            } else {
                munmap(p.mapped, p.mappedSize);
                if (state == kKept)
                    ++result.kept;
                else
                    unreached(tid);
            }
            continue;
        }
        // A slot not used by this call and no handler is working in (a handler that runs late
        // only ever takes its own serial).
        for (; nextRequest < kRequests && !p.request; ++nextRequest) {
            Request& request = requests[nextRequest];
            uint32_t state = request.word.load(std::memory_order_acquire) & kStateMask;
            if (state != kRequested && state != kWorking) p.request = &request;
        }
        if (!p.request) {
            munmap(p.mapped, p.mappedSize);
            unreached(tid);
            continue;
        }
        all.serial += kSerialStep;
        p.serial = all.serial;
        p.request->tid.store(tid, std::memory_order_release);
        p.request->stack.store(stack.ss_sp, std::memory_order_relaxed);
        p.request->size.store(stack.ss_size, std::memory_order_relaxed);
        p.request->word.store(p.serial | kRequested, std::memory_order_release);
        if (const int failed = vdsys_private_signal_send(signo, tid)) {
            p.request->word.store(p.serial | kAbandoned, std::memory_order_release);
            munmap(p.mapped, p.mappedSize);
            // ESRCH: it ended meanwhile.
            if (failed != ESRCH) unreached(tid);
            continue;
        }
        // Held from here on until the answer says otherwise: the room is counted now.
        --room;
        pending.push_back(p);
    }

    const struct timespec start = monotonicNow();
    for (const Pending& p : pending) {
        uint32_t word = p.request->word.load(std::memory_order_acquire);
        for (;;) {
            const uint32_t state = word & kStateMask;
            if (state != kRequested && state != kWorking) break;
            const long left = kAnswerNanoseconds - nanosecondsSince(start);
            if (left <= 0) break;
            struct timespec timeout = {left / 1000000000L, left % 1000000000L};
            syscall(SYS_futex, futexWord(*p.request), FUTEX_WAIT_PRIVATE, word, &timeout, nullptr, 0);
            word = p.request->word.load(std::memory_order_acquire);
        }
        uint32_t expected = p.serial | kRequested;
        if ((word & kStateMask) == kRequested &&
            p.request->word.compare_exchange_strong(expected, p.serial | kAbandoned, std::memory_order_acq_rel)) {
            // Given up before its handler began: the stack was never installed.
            munmap(p.mapped, p.mappedSize);
            unreached(p.tid);
            continue;
        }
        word = p.request->word.load(std::memory_order_acquire);
        switch (word & kStateMask) {
        case kInstalled:
            holdLocked(all, p.tid, p.mapped, p.mappedSize);
            ++result.given;
            break;
        case kKept:
            munmap(p.mapped, p.mappedSize);
            ++result.kept;
            break;
        case kFailed:
            munmap(p.mapped, p.mappedSize);
            unreached(p.tid);
            break;
        default:
            // Its handler is still installing it: the stack is the thread's from now on, and
            // goes when the thread does.
            holdLocked(all, p.tid, p.mapped, p.mappedSize);
            unreached(p.tid);
            break;
        }
    }
    return result;
}

size_t vdsys_alternate_signal_stacks_held() {
    ExistingThreads& all = existingThreads();
    std::lock_guard<std::mutex> guard(all.lock);
    reclaimEndedLocked(all);
    return static_cast<size_t>(all.heldCount.load(std::memory_order_relaxed));
}

void vdsys_alternate_signal_stacks_for_all_threads() {
#ifndef VDSYS_SANITIZED_THREADS
    if (!systemPthreadCreate()) return;
    alternateStacksForAllThreads = true;
#endif
}

bool vdsys_alternate_signal_stacks_for_all_threads_enabled() { return alternateStacksForAllThreads.load(); }

#ifndef VDSYS_SANITIZED_THREADS
// Every pthread_create of the process comes here, the libraries' included (the executable's
// definition comes first in the dynamic lookup).
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument) {
    PthreadCreateFunction create = systemPthreadCreate();
    if (!create) return EAGAIN;
    reclaimEndedThreadsStacks();
    if (!alternateStacksForAllThreads.load(std::memory_order_relaxed)) return create(thread, attributes, start, argument);
    auto* withStack = new (std::nothrow) ThreadStartWithStack{start, argument};
    if (!withStack) return create(thread, attributes, start, argument);
    int result = create(thread, attributes, startWithAlternateSignalStack, withStack);
    if (result != 0) delete withStack;
    return result;
}
#endif

namespace {

// In a forked child the one thread runs under a new id, with the stack of the thread that forked.
void forgetThreadsOfTheParent() {
    vdsys_known_thread_stacks_forget_all();
    if (callingThreadHasAlternateStack()) vdsys_known_thread_stack_remember(ownThread());
}

// From the moment the library is loaded, threads started through pthread_create get their stack
// as they start, and the thread that loads it (the main thread, for a program linked with it) gets
// one now: none of them is ever signalled for one.
__attribute__((constructor)) void giveThreadsAlternateStacksFromLoad() {
    vdsys_alternate_signal_stacks_for_all_threads();
    pthread_atfork(nullptr, nullptr, forgetThreadsOfTheParent);
    ExistingThreads& all = existingThreads();
    std::lock_guard<std::mutex> guard(all.lock);
    const int32_t self = ownThread();
    if (!callingThreadHasAlternateStack()) {
        void* mapped = nullptr;
        size_t mappedSize = 0;
        stack_t stack{};
        if (!ScopedAlternateSignalStack::makeStack(&mapped, &mappedSize, &stack)) return;
        if (sigaltstack(&stack, nullptr) != 0) {
            munmap(mapped, mappedSize);
            return;
        }
        holdLocked(all, self, mapped, mappedSize);
    }
    vdsys_known_thread_stack_remember(self);
}

} // namespace
