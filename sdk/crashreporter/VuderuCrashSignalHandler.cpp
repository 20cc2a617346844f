#include "sdk/crashreporter/VuderuCrashSignalHandler.h"

#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

using vdcrash::async::async_list;

namespace {

constexpr size_t kAlternateStackSize = 65536;
// What the handler may use at most: writing a report stays well below the alternate stack's size
// (its buffers are fixed; a thread's frames and symbols are copied into space prepared with the
// writer, not onto the stack). A signal that arrives on a smaller alternate stack, one another
// library gave its thread, is handled on a reserve stack of this size instead.
constexpr size_t kHandlerStackNeed = kAlternateStackSize;
constexpr size_t kReserveStackSize = 4 * kAlternateStackSize;

using callback_list = async_list<vdcrash_signal_user_callback>;
using action_list = async_list<vdcrash_signal_handler_action>;

// The process-wide handler context: what the signal handler walks. It lives to process exit.
struct HandlerContext {
    callback_list callbacks;
    action_list previousActions;
};
HandlerContext& handlerContext() {
    static HandlerContext* context = new HandlerContext();
    return *context;
}
pthread_mutex_t registrationMutex = PTHREAD_MUTEX_INITIALIZER;

class RegistrationLock {
public:
    RegistrationLock() { pthread_mutex_lock(&registrationMutex); }
    ~RegistrationLock() { pthread_mutex_unlock(&registrationMutex); }
    RegistrationLock(const RegistrationLock&) = delete;
    RegistrationLock& operator=(const RegistrationLock&) = delete;
};

// One step of the chain: calls the callback after `context` (the head when it is null).
bool iterateChain(int signo, siginfo_t* info, ucontext_t* uap, void* context) {
    callback_list& list = handlerContext().callbacks;
    list.set_reading(true);
    auto* current = static_cast<callback_list::node*>(context);
    callback_list::node* n = list.next(current);
    if (!n) {
        list.set_reading(false);
        return false;
    }
    VuderuCrashSignalHandlerCallback forward = {iterateChain, n};
    VuderuCrashSignalHandlerCallback* next = n->next() ? &forward : nullptr;
    vdcrash_signal_user_callback entry = n->value();
    bool handled = entry.callback(signo, info, uap, entry.context, next);
    list.set_reading(false);
    return handled;
}

// A fault signal raised by the processor: returning from its handler runs the faulting
// instruction again. The same signals sent by a process (kill, raise) carry a code of 0 or below.
bool isFaultAtAnInstruction(int signo, const siginfo_t* info) {
    bool fault = signo == SIGSEGV || signo == SIGBUS || signo == SIGILL || signo == SIGFPE || signo == SIGTRAP;
    return fault && info && info->si_code > 0;
}

// Stands behind the registered callbacks: hands the signal to the action that was installed
// before ours.
bool previousActionCallback(int signo, siginfo_t* info, ucontext_t* uap, void*, VuderuCrashSignalHandlerCallback* next) {
    if (next && VuderuCrashSignalHandlerForward(next, signo, info, uap)) return true;
    action_list& list = handlerContext().previousActions;
    list.set_reading(true);
    bool found = false;
    struct sigaction previous {};
    for (auto* n = list.next(nullptr); n; n = list.next(n)) {
        if (n->value().signo == signo) {
            previous = n->value().action;
            found = true;
            break;
        }
    }
    list.set_reading(false);
    if (!found) return false;
    // The dispositions come first: an action may carry SA_SIGINFO with SIG_DFL or SIG_IGN in the
    // handler slot, and calling those would jump to address 0 or 1. A fault cannot be ignored:
    // returning would run the faulting instruction again, and fault again, for ever.
    if (previous.sa_handler == SIG_IGN) return !isFaultAtAnInstruction(signo, info);
    if (previous.sa_handler == SIG_DFL) return false;
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signo, info, uap);
        return true;
    }
    previous.sa_handler(signo);
    return true;
}

// The reserve stack, made when the handler is: one signal at a time runs on it.
struct ReserveStack {
    char* top = nullptr;
    std::atomic<bool> taken{false};
};
ReserveStack& reserveStack() {
    static ReserveStack* reserve = [] {
        auto* made = new ReserveStack();
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        // A guard page below it: a handler that outgrows it faults instead of writing over memory.
        void* mapped = mmap(nullptr, kReserveStackSize + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped != MAP_FAILED) {
            mprotect(mapped, page, PROT_NONE);
            made->top = static_cast<char*>(mapped) + page + kReserveStackSize;
        }
        return made;
    }();
    return *reserve;
}

// Whether the signal runs on an alternate stack too small for the handler.
bool onASmallAlternateStack() {
    stack_t current{};
    return sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_ONSTACK) && current.ss_size < kHandlerStackNeed;
}

struct SignalCall {
    int signo;
    siginfo_t* info;
    void* uap;
};

void handleSignal(int signo, siginfo_t* info, void* uapVoid);

void handleSignalCall(void* call) {
    auto* c = static_cast<SignalCall*>(call);
    handleSignal(c->signo, c->info, c->uap);
}

// Calls `function(argument)` with the stack pointer at `top`, and returns on the stack it came from.
__attribute__((noinline)) void callOnStack(char* top, void (*function)(void*), void* argument) {
#if defined(__x86_64__)
    __asm__ volatile(
        "movq %%rsp, %%rbx\n\t"
        "movq %0, %%rsp\n\t"
        "andq $-16, %%rsp\n\t"
        "movq %2, %%rdi\n\t"
        "callq *%1\n\t"
        "movq %%rbx, %%rsp\n\t"
        :
        : "r"(top), "r"(function), "r"(argument)
        : "rax", "rbx", "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11", "memory", "cc", "xmm0", "xmm1", "xmm2",
          "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
#elif defined(__aarch64__)
    __asm__ volatile(
        "mov x19, sp\n\t"
        "and x9, %0, #~15\n\t"
        "mov sp, x9\n\t"
        "mov x0, %2\n\t"
        "blr %1\n\t"
        "mov sp, x19\n\t"
        :
        : "r"(top), "r"(function), "r"(argument)
        : "x0", "x1", "x2", "x3", "x4", "x5", "x6", "x7", "x8", "x9", "x10", "x11", "x12", "x13", "x14", "x15", "x16",
          "x17", "x19", "x30", "memory", "cc", "v0", "v1", "v2", "v3", "v4", "v5", "v6", "v7", "v16", "v17", "v18", "v19",
          "v20", "v21", "v22", "v23", "v24", "v25", "v26", "v27", "v28", "v29", "v30", "v31");
#else
    (void)top;
    function(argument);
#endif
}

} // namespace

bool VuderuCrashSignalHandlerForward(VuderuCrashSignalHandlerCallback* next, int signo, siginfo_t* info,
                                     ucontext_t* uap) {
    if (!next) return false;
    return next->callback(signo, info, uap, next->context);
}

void vuderu_crash_signal_handler(int signo, siginfo_t* info, void* uapVoid) {
    ReserveStack& reserve = reserveStack();
    if (reserve.top && onASmallAlternateStack()) {
        bool expected = false;
        if (reserve.taken.compare_exchange_strong(expected, true)) {
            SignalCall call = {signo, info, uapVoid};
            callOnStack(reserve.top, handleSignalCall, &call);
            reserve.taken.store(false);
            return;
        }
    }
    handleSignal(signo, info, uapVoid);
}

namespace {

void handleSignal(int signo, siginfo_t* info, void* uapVoid) {
    // The interrupted code may be between a failing call and its look at errno.
    const int savedErrno = errno;
    if (iterateChain(signo, info, static_cast<ucontext_t*>(uapVoid), nullptr)) {
        errno = savedErrno;
        return;
    }
    // Nothing handled it: the signal takes its default action. Were our handler still installed,
    // the re-raised signal would come straight back here, forever.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signo, &fallback, nullptr);
    raise(signo);
    errno = savedErrno;
}

} // namespace

VuderuCrashSignalHandler::VuderuCrashSignalHandler() {
    // Made now: the handler allocates nothing.
    reserveStack();
    sigstk_.ss_sp = std::malloc(kAlternateStackSize);
    sigstk_.ss_size = sigstk_.ss_sp ? kAlternateStackSize : 0;
    sigstk_.ss_flags = 0;
}

VuderuCrashSignalHandler::~VuderuCrashSignalHandler() {
    // The stack may still be the thread's alternate stack; it lives as long as the process.
}

std::shared_ptr<VuderuCrashSignalHandler> VuderuCrashSignalHandler::sharedHandler() {
    static std::shared_ptr<VuderuCrashSignalHandler> shared = [] {
        auto handler = std::make_shared<VuderuCrashSignalHandler>();
        return handler->hasStack() ? handler : nullptr;
    }();
    return shared;
}

bool VuderuCrashSignalHandler::registerHandlerForSignalCallbackContextError(
    int signo, VuderuCrashSignalHandlerCallbackFunc callback, void* context, NSErrorPtr* error) {
    if (!registerHandlerWithSignalError(signo, error)) return false;
    handlerContext().callbacks.nasync_prepend({callback, context});
    return true;
}

bool VuderuCrashSignalHandler::registerHandlerWithSignalError(int signo, NSErrorPtr* error) {
    RegistrationLock guard;
    // A thread whose alternate stack is large enough for the handler keeps it: it may be the
    // host's, or one the platform gave the thread as it started.
    stack_t current{};
    const bool keepsItsOwn = sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_sp &&
                             current.ss_size >= kHandlerStackNeed;
    if (!keepsItsOwn && sigaltstack(&sigstk_, nullptr) != 0) {
        vdcrash_populate_posix_error(error, errno, "Could not initialize alternative signal stack");
        return false;
    }
    HandlerContext& ctx = handlerContext();
    ctx.callbacks.nasync_append({previousActionCallback, nullptr});

    bool installed = false;
    ctx.previousActions.set_reading(true);
    for (auto* n = ctx.previousActions.next(nullptr); n; n = ctx.previousActions.next(n)) {
        if (n->value().signo == signo) {
            installed = true;
            break;
        }
    }
    ctx.previousActions.set_reading(false);
    if (installed) return true;

    struct sigaction action {};
    action.sa_sigaction = vuderu_crash_signal_handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK | SA_SIGINFO;
    vdcrash_signal_handler_action previous{};
    previous.signo = signo;
    if (sigaction(signo, &action, &previous.action) != 0) {
        vdcrash_populate_posix_error(error, errno, "Failed to register signal handler");
        return false;
    }
    ctx.previousActions.nasync_append(previous);
    return true;
}

void VuderuCrashSignalHandler::resetHandlers() {
    RegistrationLock guard;
    HandlerContext& ctx = handlerContext();
    while (auto* n = ctx.previousActions.next(nullptr)) ctx.previousActions.nasync_remove_node(n);
    while (auto* n = ctx.callbacks.next(nullptr)) ctx.callbacks.nasync_remove_node(n);
}
