#pragma once
// The device numbers signals and their codes differently from Linux (SIGBUS is 10 there, 7
// here; the floating-point codes are in another order). The crash reporter keeps the device's
// numbering in its reports and name tables; this is the one place where a signal delivered by
// the host is translated into it. Async-signal-safe.

#include <csignal>
#include <cstdint>

// The device's signal numbers that differ from the host's or that the host lacks.
enum : int {
    VDDeviceSIGHUP = 1, VDDeviceSIGINT = 2, VDDeviceSIGQUIT = 3, VDDeviceSIGILL = 4, VDDeviceSIGTRAP = 5,
    VDDeviceSIGABRT = 6, VDDeviceSIGEMT = 7, VDDeviceSIGFPE = 8, VDDeviceSIGKILL = 9, VDDeviceSIGBUS = 10,
    VDDeviceSIGSEGV = 11, VDDeviceSIGSYS = 12, VDDeviceSIGPIPE = 13, VDDeviceSIGALRM = 14, VDDeviceSIGTERM = 15,
    VDDeviceSIGURG = 16, VDDeviceSIGSTOP = 17, VDDeviceSIGTSTP = 18, VDDeviceSIGCONT = 19, VDDeviceSIGCHLD = 20,
    VDDeviceSIGTTIN = 21, VDDeviceSIGTTOU = 22, VDDeviceSIGIO = 23, VDDeviceSIGXCPU = 24, VDDeviceSIGXFSZ = 25,
    VDDeviceSIGVTALRM = 26, VDDeviceSIGPROF = 27, VDDeviceSIGWINCH = 28, VDDeviceSIGINFO = 29,
    VDDeviceSIGUSR1 = 30, VDDeviceSIGUSR2 = 31,
};

// Signal information in the device's numbering.
struct vdsys_signal_info {
    int32_t signo;
    int32_t code;
    uint64_t address;
};

// The device's number for a host signal; a host signal the device lacks keeps its host number
// shifted past the device's range (100 + host number), so that it is never mistaken for another.
int vdsys_device_signal_number(int hostSignal);
// The device's code for a host code of a host signal. Codes of signals sent by a process
// (si_code at or below 0) become 0, the device's code of a user-sent signal; the host's SI_KERNEL
// becomes the device's code for the same fault.
int vdsys_device_signal_code(int hostSignal, int hostCode);
// The device's {number, code, fault address} of a delivered host signal.
void vdsys_signal_info_from_host(int hostSignal, const siginfo_t* info, vdsys_signal_info* out);
