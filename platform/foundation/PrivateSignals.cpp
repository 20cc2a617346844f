#include "platform/foundation/PrivateSignals.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Its address is the mark of the platform's own deliveries.
const char privateSignalMark = 0;

struct PrivateSignalClaims {
    std::mutex lock;  // one claim at a time
    // Written before the handler is installed, read by the handler only after.
    struct sigaction previous[_NSIG] = {};
    std::atomic<bool> claimed[_NSIG] = {};
};

PrivateSignalClaims& privateSignalClaims() {
    // Never destroyed: a late signal may still reach a handler while the process exits.
    static PrivateSignalClaims* claims = new PrivateSignalClaims();
    return *claims;
}

bool heldByAHandler(const struct sigaction& action) { return action.sa_handler != SIG_DFL; }

} // namespace

int vdsys_private_signal_claim(int preferred, vdsys_private_signal_handler handler) {
    PrivateSignalClaims& claims = privateSignalClaims();
    std::lock_guard<std::mutex> guard(claims.lock);
    auto current = [](int signo) {
        struct sigaction action {};
        sigaction(signo, nullptr, &action);
        return action;
    };
    auto available = [&](int signo) { return signo >= SIGRTMIN && signo <= SIGRTMAX && !claims.claimed[signo].load(); };
    int chosen = -1;
    if (available(preferred) && !heldByAHandler(current(preferred))) chosen = preferred;
    for (int signo = SIGRTMAX; chosen < 0 && signo >= SIGRTMIN; --signo)
        if (available(signo) && !heldByAHandler(current(signo))) chosen = signo;
    // Every one is held: the host's handler there is forwarded to.
    if (chosen < 0 && available(preferred)) chosen = preferred;
    for (int signo = SIGRTMAX; chosen < 0 && signo >= SIGRTMIN; --signo)
        if (available(signo)) chosen = signo;
    if (chosen < 0) return -1;

    struct sigaction action {};
    action.sa_sigaction = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    struct sigaction previous {};
    if (sigaction(chosen, nullptr, &previous) != 0) return -1;
    claims.previous[chosen] = previous;
    if (sigaction(chosen, &action, nullptr) != 0) return -1;
    claims.claimed[chosen].store(true);
    return chosen;
}

int vdsys_private_signal_send(int signo, pid_t tid) {
    siginfo_t info{};
    info.si_signo = signo;
    info.si_code = SI_QUEUE;
    info.si_pid = getpid();
    info.si_uid = getuid();
    info.si_value.sival_ptr = const_cast<char*>(&privateSignalMark);
    if (syscall(SYS_rt_tgsigqueueinfo, getpid(), tid, signo, &info) == 0) return 0;
    return errno;
}

bool vdsys_private_signal_is_own(const siginfo_t* info) {
    return info && info->si_code == SI_QUEUE && info->si_pid == getpid() &&
           info->si_value.sival_ptr == static_cast<const void*>(&privateSignalMark);
}

void vdsys_private_signal_forward(int signo, siginfo_t* info, void* context) {
    if (signo <= 0 || signo >= _NSIG) return;
    const struct sigaction& previous = privateSignalClaims().previous[signo];
    if (previous.sa_handler == SIG_IGN) return;
    if (previous.sa_handler == SIG_DFL) {
        // What the signal would have done without us. It is blocked while its handler runs, so
        // the one sent here ends the process as the handler returns.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signo, &fallback, nullptr);
        syscall(SYS_tgkill, getpid(), static_cast<pid_t>(syscall(SYS_gettid)), signo);
        return;
    }
    sigset_t saved;
    pthread_sigmask(SIG_BLOCK, &previous.sa_mask, &saved);
    if (previous.sa_flags & SA_SIGINFO)
        previous.sa_sigaction(signo, info, context);
    else
        previous.sa_handler(signo);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}
