// Every test that installs a handler runs in a child process (death tests), so that the test
// runner never keeps altered signal handlers.
#include "sdk/crashreporter/VuderuCrashSignalHandler.h"

#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

// What the child saw, in call order; the exit code reports it.
char trail[32];
int trailLength = 0;
void note(char c) {
    if (trailLength < 31) trail[trailLength++] = c;
}
bool trailIs(const char* expected) {
    trail[trailLength] = 0;
    return std::string(trail) == expected;
}

bool forwardingA(int signo, siginfo_t* info, ucontext_t* uap, void* context, VuderuCrashSignalHandlerCallback* next) {
    note(*static_cast<const char*>(context));
    return VuderuCrashSignalHandlerForward(next, signo, info, uap);
}

bool stopping(int, siginfo_t*, ucontext_t*, void* context, VuderuCrashSignalHandlerCallback*) {
    note(*static_cast<const char*>(context));
    return true;
}

// Like the reporter's callback: lets the default action end the process.
bool resettingToDefault(int signo, siginfo_t*, ucontext_t*, void*, VuderuCrashSignalHandlerCallback*) {
    signal(signo, SIG_DFL);
    return false;
}

int previousSigInfoSigno = 0;
int previousSigInfoCalls = 0;
void previousSigInfo(int signo, siginfo_t* info, void*) {
    ++previousSigInfoCalls;
    previousSigInfoSigno = info ? info->si_signo : -1;
    (void)signo;
    note('P');
}
void previousPlain(int signo) {
    previousSigInfoSigno = signo;
    note('H');
}

void installPrevious(int signo, void (*sigInfo)(int, siginfo_t*, void*), void (*plain)(int), void (*disposition)(int)) {
    struct sigaction sa {};
    sigemptyset(&sa.sa_mask);
    if (sigInfo) {
        sa.sa_sigaction = sigInfo;
        sa.sa_flags = SA_SIGINFO;
    } else {
        sa.sa_handler = plain ? plain : disposition;
    }
    sigaction(signo, &sa, nullptr);
}

const char A = 'A', B = 'B';

} // namespace

TEST(VuderuCrashSignalHandlerDeathTest, CallbacksRunNewestFirstThenThePreviousAction) {
    EXPECT_EXIT(
        {
            installPrevious(SIGUSR1, previousSigInfo, nullptr, nullptr);
            auto handler = VuderuCrashSignalHandler::sharedHandler();
            NSErrorPtr error;
            bool ok = handler->registerHandlerForSignalCallbackContextError(SIGUSR1, forwardingA, (void*)&A, &error) &&
                      handler->registerHandlerForSignalCallbackContextError(SIGUSR1, forwardingA, (void*)&B, &error);
            raise(SIGUSR1);  // handled by the previous action: the process goes on
            struct sigaction now {};
            sigaction(SIGUSR1, nullptr, &now);
            bool ours = (now.sa_flags & SA_SIGINFO) && now.sa_sigaction == vuderu_crash_signal_handler &&
                        (now.sa_flags & SA_ONSTACK);
            // Registered twice, yet one previous action is recorded and called once.
            std::_Exit(ok && ours && trailIs("BAP") && previousSigInfoCalls == 1 && previousSigInfoSigno == SIGUSR1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(VuderuCrashSignalHandlerDeathTest, ACallbackThatHandlesTheSignalEndsTheChain) {
    EXPECT_EXIT(
        {
            installPrevious(SIGUSR2, previousSigInfo, nullptr, nullptr);
            auto handler = VuderuCrashSignalHandler::sharedHandler();
            handler->registerHandlerForSignalCallbackContextError(SIGUSR2, forwardingA, (void*)&A, nullptr);
            handler->registerHandlerForSignalCallbackContextError(SIGUSR2, stopping, (void*)&B, nullptr);
            raise(SIGUSR2);
            std::_Exit(trailIs("B") && previousSigInfoCalls == 0 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(VuderuCrashSignalHandlerDeathTest, PreviousPlainHandlerAndIgnoreCountAsHandled) {
    EXPECT_EXIT(
        {
            installPrevious(SIGUSR1, nullptr, previousPlain, nullptr);
            installPrevious(SIGUSR2, nullptr, nullptr, SIG_IGN);
            auto handler = VuderuCrashSignalHandler::sharedHandler();
            handler->registerHandlerForSignalCallbackContextError(SIGUSR1, forwardingA, (void*)&A, nullptr);
            handler->registerHandlerForSignalCallbackContextError(SIGUSR2, forwardingA, (void*)&B, nullptr);
            raise(SIGUSR1);
            raise(SIGUSR2);
            // Callbacks see every registered signal, whichever registration added them.
            std::_Exit(trailIs("BAHBA") && previousSigInfoSigno == SIGUSR1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(VuderuCrashSignalHandlerDeathTest, APreviousDefaultActionIsNotHandledSoTheSignalIsRaisedAgain) {
    EXPECT_EXIT(
        {
            installPrevious(SIGUSR1, nullptr, nullptr, SIG_DFL);
            auto handler = VuderuCrashSignalHandler::sharedHandler();
            handler->registerHandlerForSignalCallbackContextError(SIGUSR1, resettingToDefault, nullptr, nullptr);
            raise(SIGUSR1);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGUSR1), "");
}

// SA_SIGINFO says which slot holds a handler, not that there is one: with SIG_IGN or SIG_DFL in
// the slot there is nothing to call.
TEST(VuderuCrashSignalHandlerDeathTest, APreviousDispositionWithSigInfoFlagIsNotCalled) {
    auto installDisposition = [](int signo, void (*disposition)(int)) {
        struct sigaction sa {};
        sigemptyset(&sa.sa_mask);
        sa.sa_handler = disposition;
        sa.sa_flags = SA_SIGINFO;
        sigaction(signo, &sa, nullptr);
    };
    EXPECT_EXIT(
        {
            installDisposition(SIGUSR1, SIG_IGN);
            VuderuCrashSignalHandler::sharedHandler()->registerHandlerForSignalCallbackContextError(SIGUSR1, forwardingA,
                                                                                                  (void*)&A, nullptr);
            raise(SIGUSR1);  // ignored, as before our handler came
            std::_Exit(trailIs("A") ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            installDisposition(SIGUSR2, SIG_DFL);
            VuderuCrashSignalHandler::sharedHandler()->registerHandlerForSignalCallbackContextError(SIGUSR2, forwardingA,
                                                                                                  (void*)&A, nullptr);
            raise(SIGUSR2);  // not handled: the default action ends the process
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGUSR2), "");
}

namespace {
volatile sig_atomic_t onAlternateStack = 0;
bool checkingStack(int signo, siginfo_t*, ucontext_t*, void*, VuderuCrashSignalHandlerCallback*) {
    stack_t current{};
    sigaltstack(nullptr, &current);
    if (current.ss_flags & SS_ONSTACK) {
        const char text[] = "on the alternate stack\n";
        (void)!write(2, text, sizeof text - 1);
    }
    signal(signo, SIG_DFL);
    return false;
}
int* volatile wildPointer = reinterpret_cast<int*>(16);
} // namespace

// A real fault: the handler runs on the alternate stack, and the re-raised signal ends the
// process. Under AddressSanitizer our sigaction replaces its SIGSEGV handler (allow_user_segv_handler).
TEST(VuderuCrashSignalHandlerDeathTest, ARealFaultRunsTheChainOnTheAlternateStack) {
    EXPECT_EXIT(
        {
            auto handler = VuderuCrashSignalHandler::sharedHandler();
            handler->registerHandlerForSignalCallbackContextError(SIGSEGV, checkingStack, nullptr, nullptr);
            *wildPointer = 1;
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "on the alternate stack");
}

TEST(VuderuCrashSignalHandlerDeathTest, ResetForgetsCallbacksAndPreviousActions) {
    EXPECT_EXIT(
        {
            installPrevious(SIGUSR1, previousSigInfo, nullptr, nullptr);
            auto handler = VuderuCrashSignalHandler::sharedHandler();
            handler->registerHandlerForSignalCallbackContextError(SIGUSR1, forwardingA, (void*)&A, nullptr);
            VuderuCrashSignalHandler::resetHandlers();
            handler->registerHandlerForSignalCallbackContextError(SIGUSR1, stopping, (void*)&B, nullptr);
            raise(SIGUSR1);
            std::_Exit(trailIs("B") ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// With no callback left, or none that handles the signal and none that restores the default
// action, the signal still ends the process instead of coming back to the handler forever.
TEST(VuderuCrashSignalHandlerDeathTest, AnUnhandledSignalEndsTheProcess) {
    EXPECT_EXIT(
        {
            auto handler = VuderuCrashSignalHandler::sharedHandler();
            handler->registerHandlerForSignalCallbackContextError(SIGUSR2, forwardingA, (void*)&A, nullptr);
            VuderuCrashSignalHandler::resetHandlers();
            raise(SIGUSR2);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGUSR2), "");
    EXPECT_EXIT(
        {
            installPrevious(SIGUSR1, nullptr, nullptr, SIG_DFL);
            VuderuCrashSignalHandler::sharedHandler()->registerHandlerForSignalCallbackContextError(SIGUSR1, forwardingA,
                                                                                                  (void*)&A, nullptr);
            raise(SIGUSR1);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGUSR1), "");
}

TEST(VuderuCrashSignalHandlerDeathTest, AFailedSigactionIsAnOperatingSystemError) {
    EXPECT_EXIT(
        {
            NSErrorPtr error;
            bool ok = VuderuCrashSignalHandler::sharedHandler()->registerHandlerForSignalCallbackContextError(
                SIGKILL, stopping, (void*)&A, &error);
            bool right = !ok && error && error->domain() == VuderuCrashReporterErrorDomain && error->code() == 1 &&
                         error->localizedDescription() == "Failed to register signal handler" &&
                         error->underlyingError() && error->underlyingError()->code() == EINVAL;
            std::_Exit(right ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

namespace {
int faultsSeen = 0;
bool countingAndForwarding(int signo, siginfo_t* info, ucontext_t* uap, void*, VuderuCrashSignalHandlerCallback* next) {
    // A handler that came back here would fault for ever; the exit code tells that apart.
    if (++faultsSeen > 1) _exit(3);
    return VuderuCrashSignalHandlerForward(next, signo, info, uap);
}
} // namespace

// Ignoring a fault is no answer to it: the faulting instruction would run again. The chain runs
// once and the default action ends the process.
TEST(VuderuCrashSignalHandlerDeathTest, AnIgnoredFaultIsHandledOnceThenEndsTheProcess) {
    EXPECT_EXIT(
        {
            installPrevious(SIGSEGV, nullptr, nullptr, SIG_IGN);
            VuderuCrashSignalHandler::sharedHandler()->registerHandlerForSignalCallbackContextError(
                SIGSEGV, countingAndForwarding, nullptr, nullptr);
            *wildPointer = 1;
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "");
}

namespace {
bool failingACall(int, siginfo_t*, ucontext_t*, void*, VuderuCrashSignalHandlerCallback*) {
    (void)!close(-1);  // sets errno to EBADF
    return true;
}
} // namespace

TEST(VuderuCrashSignalHandlerDeathTest, TheHandlerLeavesErrnoAsItWas) {
    EXPECT_EXIT(
        {
            VuderuCrashSignalHandler::sharedHandler()->registerHandlerForSignalCallbackContextError(
                SIGUSR1, failingACall, nullptr, nullptr);
            errno = ERANGE;
            raise(SIGUSR1);
            std::_Exit(errno == ERANGE ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
