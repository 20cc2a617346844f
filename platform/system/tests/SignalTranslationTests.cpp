#include "platform/system/SignalTranslation.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(SignalTranslation, HostSignalsTakeTheDeviceNumbers) {
    struct Case { int host; int device; } cases[] = {
        {SIGBUS, 10}, {SIGSEGV, 11}, {SIGSYS, 12}, {SIGUSR1, 30}, {SIGUSR2, 31}, {SIGCHLD, 20},
        {SIGURG, 16}, {SIGIO, 23}, {SIGABRT, 6}, {SIGTRAP, 5}, {SIGFPE, 8}, {SIGILL, 4},
        {SIGSTKFLT, 100 + SIGSTKFLT},
    };
    for (const Case& c : cases) EXPECT_EQ(vdsys_device_signal_number(c.host), c.device) << c.host;
}

TEST(SignalTranslation, CodesFollowTheDeviceOrder) {
    EXPECT_EQ(vdsys_device_signal_code(SIGFPE, FPE_INTDIV), 7);
    EXPECT_EQ(vdsys_device_signal_code(SIGFPE, FPE_FLTDIV), 1);
    EXPECT_EQ(vdsys_device_signal_code(SIGFPE, FPE_FLTSUB), 6);
    EXPECT_EQ(vdsys_device_signal_code(SIGSEGV, SEGV_ACCERR), 2);
    EXPECT_EQ(vdsys_device_signal_code(SIGBUS, BUS_ADRERR), 2);
    EXPECT_EQ(vdsys_device_signal_code(SIGABRT, SI_TKILL), 0);
}

TEST(SignalTranslation, IllegalInstructionCodesFollowTheDeviceOrder) {
    struct Case { int host; int device; } cases[] = {
        {ILL_ILLOPC, 1}, {ILL_ILLTRP, 2}, {ILL_PRVOPC, 3}, {ILL_ILLOPN, 4},
        {ILL_ILLADR, 5}, {ILL_PRVREG, 6}, {ILL_COPROC, 7}, {ILL_BADSTK, 8},
    };
    for (const Case& c : cases) EXPECT_EQ(vdsys_device_signal_code(SIGILL, c.host), c.device) << c.host;
}

TEST(SignalTranslation, SignalInfoCarriesTheFaultAddress) {
    siginfo_t info{};
    info.si_signo = SIGBUS;
    info.si_code = BUS_ADRALN;
    info.si_addr = reinterpret_cast<void*>(0x1234);
    vdsys_signal_info out{};
    vdsys_signal_info_from_host(SIGBUS, &info, &out);
    EXPECT_EQ(out.signo, 10);
    EXPECT_EQ(out.code, 1);
    EXPECT_EQ(out.address, 0x1234u);
}

// The host reports some faults with SI_KERNEL (128), a code the device does not have.
TEST(SignalTranslation, KernelCodesTakeTheDeviceCodeOfTheSameFault) {
    struct Case { int host; int device; } cases[] = {
        {SIGSEGV, 1}, {SIGBUS, 2}, {SIGILL, 3}, {SIGTRAP, 1}, {SIGFPE, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(vdsys_device_signal_code(c.host, SI_KERNEL), c.device) << c.host;
}

namespace {
void recordCode(int signo, siginfo_t* info, void*) {
    vdsys_signal_info out{};
    vdsys_signal_info_from_host(signo, info, &out);
    _exit(out.signo == 11 && out.code == 1 ? 0 : 10 + (info->si_code & 0xFF) % 100);
}
int* volatile wildPointer = reinterpret_cast<int*>(0xdeadbeefdeadbeefull);
// The processor's fault, not the undefined-behaviour checker's report of a misaligned store.
__attribute__((no_sanitize("undefined"), noinline)) void writeThroughTheWildPointer() { *wildPointer = 1; }
} // namespace

TEST(SignalTranslationDeathTest, AWildPointerReadsAsAnAddressThatIsNotMapped) {
    EXPECT_EXIT(
        {
            struct sigaction sa {};
            sa.sa_sigaction = recordCode;
            sa.sa_flags = SA_SIGINFO;
            sigaction(SIGSEGV, &sa, nullptr);
            writeThroughTheWildPointer();
            _exit(2);
        },
        ::testing::ExitedWithCode(0), "");
}
