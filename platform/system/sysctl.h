#pragma once
// The kernel's named values, answered with this machine's facts: "hw.machine" is the host's
// machine name (uname), standing for the device's model identifier; "kern.boottime" the host's
// boot time; the kernel release and version, the processor's Mach type and the processor counts.
// Reading follows the system's rules: a null buffer asks for the size; a buffer too small fails
// with ENOMEM; nothing can be written (EPERM); other names fail with ENOENT.

#include <cstddef>
#include <sys/time.h>

inline constexpr int CTL_KERN = 1;
inline constexpr int CTL_HW = 6;
inline constexpr int KERN_BOOTTIME = 21; // struct timeval
inline constexpr int HW_MACHINE = 1;     // string

// 0, or -1 with errno set.
int sysctl(int* name, unsigned namelen, void* oldp, std::size_t* oldlenp, void* newp, std::size_t newlen);
int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, void* newp, std::size_t newlen);
