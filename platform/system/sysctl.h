#pragma once
// The kernel's named values, answered with this machine's facts: "hw.machine" is the host's
// machine name (uname), standing for the device's model identifier; "kern.boottime" the host's
// boot time; the kernel release and version, the processor's Mach type and the processor counts.
// Reading follows the system's rules: a null buffer asks for the size; a buffer too small fails
// with ENOMEM; nothing can be written (EPERM); other names fail with ENOENT.

#include <cstddef>
#include <sys/time.h>
#include <sys/types.h>

inline constexpr int CTL_KERN = 1;
inline constexpr int CTL_HW = 6;
inline constexpr int KERN_BOOTTIME = 21; // struct timeval
inline constexpr int HW_MACHINE = 1;     // string
inline constexpr int KERN_PROC = 14;     // with KERN_PROC_PID and a process ID: struct kinfo_proc
inline constexpr int KERN_PROC_PID = 1;

inline constexpr int P_TRACED = 0x800;  // a debugger traces the process
inline constexpr int MAXCOMLEN = 16;

// The parts of the kernel's process record that this system reads: the command name, the start
// time and the flags, the parent's process ID. Filled from /proc/PID/stat and status.
struct extern_proc {
    struct timeval p_starttime;
    int p_flag;
    pid_t p_pid;
    char p_comm[MAXCOMLEN + 1];
};
struct eproc {
    pid_t e_ppid;
};
struct kinfo_proc {
    struct extern_proc kp_proc;
    struct eproc kp_eproc;
};

// "sysctl.proc_native" answers 1: the process runs on its processor's own instruction set.
// {CTL_KERN, KERN_PROC, KERN_PROC_PID, pid} fails with ESRCH for a process that does not exist.
// 0, or -1 with errno set.
int sysctl(int* name, unsigned namelen, void* oldp, std::size_t* oldlenp, void* newp, std::size_t newlen);
int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, void* newp, std::size_t newlen);
