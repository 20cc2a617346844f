#include "platform/foundation/PrivateSignals.h"

#include "platform/testsupport/ChildProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Lock-free: written from the handlers.
std::atomic<int> platformDeliveries{0};
std::atomic<int> hostDeliveries{0};
std::atomic<int> hostSignalSeen{0};

void platformHandler(int signo, siginfo_t* info, void* context) {
    if (!vdsys_private_signal_is_own(info)) {
        vdsys_private_signal_forward(signo, info, context);
        return;
    }
    ++platformDeliveries;
}

void hostHandler(int signo, siginfo_t*, void*) {
    ++hostDeliveries;
    hostSignalSeen = signo;
}

void installHostHandler(int signo) {
    struct sigaction action {};
    action.sa_sigaction = hostHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;
    sigaction(signo, &action, nullptr);
}

// Sent the host's way: tgkill to the calling thread, handled before it returns.
void sendAsTheHost(int signo) { syscall(SYS_tgkill, getpid(), static_cast<pid_t>(gettid()), signo); }

struct ClaimCase {
    const char* what;
    bool hostHoldsPreferred;
    bool hostHoldsEverySignal;
};

} // namespace

// Whatever the host holds, the platform's signals reach the platform's handler and the host's
// reach the host's, on the signal the platform claimed too; a free signal is taken before a held one.
TEST(PrivateSignals, TheHostsHandlersKeepTheirSignals) {
    const ClaimCase cases[] = {
        {"no handler of the host", false, false},
        {"the host holds the preferred signal", true, false},
        {"the host holds every real-time signal", true, true},
    };
    for (const ClaimCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(runInChildProcess([&] {
                      // One no other test of this process has claimed (claims are inherited by a fork).
                      const int preferred = SIGRTMIN + 4;
                      if (c.hostHoldsEverySignal)
                          for (int signo = SIGRTMIN; signo <= SIGRTMAX; ++signo) installHostHandler(signo);
                      else if (c.hostHoldsPreferred)
                          installHostHandler(preferred);
                      const int claimed = vdsys_private_signal_claim(preferred, platformHandler);
                      if (claimed < SIGRTMIN || claimed > SIGRTMAX) return 1;
                      const bool shouldMove = c.hostHoldsPreferred && !c.hostHoldsEverySignal;
                      if ((claimed != preferred) != shouldMove) return 2;
                      // A second claim never takes the same signal.
                      const int second = vdsys_private_signal_claim(preferred, platformHandler);
                      if (second == claimed || second < SIGRTMIN) return 3;

                      if (vdsys_private_signal_send(claimed, static_cast<pid_t>(gettid())) != 0) return 4;
                      if (platformDeliveries != 1 || hostDeliveries != 0) return 5;
                      if (c.hostHoldsPreferred) {
                          sendAsTheHost(preferred);
                          if (hostDeliveries != 1 || hostSignalSeen != preferred) return 6;
                          if (platformDeliveries != 1) return 7;
                      }
                      if (c.hostHoldsEverySignal) {
                          // A signal queued with a value of the host's own is the host's, too.
                          union sigval value {};
                          value.sival_int = 7;
                          sigqueue(getpid(), claimed, value);
                          if (hostDeliveries != 2 || platformDeliveries != 1) return 8;
                      }
                      return 0;
                  }),
                  0);
    }
}

// A signal sent to the claimed number by someone else, with no handler of the host before, does
// what it did without the platform: it ends the process.
TEST(PrivateSignals, AForeignSignalOnAFreeClaimedSignalTakesItsDefaultAction) {
    const int status = runInChildProcessForWaitStatus([] {
        const int claimed = vdsys_private_signal_claim(SIGRTMIN + 4, platformHandler);
        if (claimed < 0) return 1;
        sendAsTheHost(claimed);
        return 2;
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_GE(WTERMSIG(status), SIGRTMIN);
}
