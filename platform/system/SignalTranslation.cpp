#include "platform/system/SignalTranslation.h"

namespace {

constexpr int kUnknownSignalBase = 100;

struct SignalPair {
    int host;
    int device;
};

constexpr SignalPair kSignals[] = {
    {SIGHUP, VDDeviceSIGHUP},   {SIGINT, VDDeviceSIGINT},       {SIGQUIT, VDDeviceSIGQUIT},
    {SIGILL, VDDeviceSIGILL},   {SIGTRAP, VDDeviceSIGTRAP},     {SIGABRT, VDDeviceSIGABRT},
    {SIGFPE, VDDeviceSIGFPE},   {SIGKILL, VDDeviceSIGKILL},     {SIGBUS, VDDeviceSIGBUS},
    {SIGSEGV, VDDeviceSIGSEGV}, {SIGSYS, VDDeviceSIGSYS},       {SIGPIPE, VDDeviceSIGPIPE},
    {SIGALRM, VDDeviceSIGALRM}, {SIGTERM, VDDeviceSIGTERM},     {SIGURG, VDDeviceSIGURG},
    {SIGSTOP, VDDeviceSIGSTOP}, {SIGTSTP, VDDeviceSIGTSTP},     {SIGCONT, VDDeviceSIGCONT},
    {SIGCHLD, VDDeviceSIGCHLD}, {SIGTTIN, VDDeviceSIGTTIN},     {SIGTTOU, VDDeviceSIGTTOU},
    {SIGIO, VDDeviceSIGIO},     {SIGXCPU, VDDeviceSIGXCPU},     {SIGXFSZ, VDDeviceSIGXFSZ},
    {SIGVTALRM, VDDeviceSIGVTALRM}, {SIGPROF, VDDeviceSIGPROF}, {SIGWINCH, VDDeviceSIGWINCH},
    {SIGUSR1, VDDeviceSIGUSR1}, {SIGUSR2, VDDeviceSIGUSR2},
};

// The device's floating-point codes: FLTDIV 1, FLTOVF 2, FLTUND 3, FLTRES 4, FLTINV 5, FLTSUB 6,
// INTDIV 7, INTOVF 8.
struct CodePair {
    int host;
    int device;
};
constexpr CodePair kFloatingPointCodes[] = {
    {FPE_FLTDIV, 1}, {FPE_FLTOVF, 2}, {FPE_FLTUND, 3}, {FPE_FLTRES, 4},
    {FPE_FLTINV, 5}, {FPE_FLTSUB, 6}, {FPE_INTDIV, 7}, {FPE_INTOVF, 8},
};

// The device's illegal-instruction codes: ILLOPC 1, ILLTRP 2, PRVOPC 3, ILLOPN 4, ILLADR 5,
// PRVREG 6, COPROC 7, BADSTK 8 (the host puts ILLOPN, ILLADR, ILLTRP and PRVOPC elsewhere).
constexpr CodePair kIllegalInstructionCodes[] = {
    {ILL_ILLOPC, 1}, {ILL_ILLTRP, 2}, {ILL_PRVOPC, 3}, {ILL_ILLOPN, 4},
    {ILL_ILLADR, 5}, {ILL_PRVREG, 6}, {ILL_COPROC, 7}, {ILL_BADSTK, 8},
};

// The host's SI_KERNEL: a fault the processor reports without an address of its own (a general
// protection fault from a non-canonical pointer such as 0xdeadbeefdeadbeef, a privileged
// instruction, an int3 breakpoint). The device has no such code; each signal takes the code the
// device gives the same fault.
struct KernelCodePair {
    int hostSignal;
    int device;
};
constexpr KernelCodePair kKernelCodes[] = {
    {SIGSEGV, 1},  // SEGV_MAPERR: no page can ever be mapped at such an address
    {SIGBUS, 2},   // BUS_ADRERR
    {SIGILL, 3},   // ILL_PRVOPC
    {SIGTRAP, 1},  // TRAP_BRKPT
};

} // namespace

int vdsys_device_signal_number(int hostSignal) {
    for (const SignalPair& pair : kSignals)
        if (pair.host == hostSignal) return pair.device;
    return kUnknownSignalBase + hostSignal;
}

int vdsys_device_signal_code(int hostSignal, int hostCode) {
    if (hostCode <= 0) return 0;
    if (hostCode == SI_KERNEL) {
        for (const KernelCodePair& pair : kKernelCodes)
            if (pair.hostSignal == hostSignal) return pair.device;
        return 0;
    }
    if (hostSignal == SIGFPE) {
        for (const CodePair& pair : kFloatingPointCodes)
            if (pair.host == hostCode) return pair.device;
    }
    if (hostSignal == SIGILL) {
        for (const CodePair& pair : kIllegalInstructionCodes)
            if (pair.host == hostCode) return pair.device;
    }
    // SIGSEGV, SIGBUS and SIGTRAP codes are numbered alike on both systems.
    return hostCode;
}

void vdsys_signal_info_from_host(int hostSignal, const siginfo_t* info, vdsys_signal_info* out) {
    out->signo = vdsys_device_signal_number(hostSignal);
    out->code = info ? vdsys_device_signal_code(hostSignal, info->si_code) : 0;
    out->address = 0;
    if (info && (hostSignal == SIGSEGV || hostSignal == SIGBUS || hostSignal == SIGILL || hostSignal == SIGFPE ||
                 hostSignal == SIGTRAP))
        out->address = reinterpret_cast<uint64_t>(info->si_addr);
}
