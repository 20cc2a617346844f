#pragma once
// The kernel's named values, as the device's system answers them: "hw.machine" is the simulated
// device's model (DeviceProfile), "kern.boottime" the host's boot time. Reading follows the
// system's rules: a null buffer asks for the size; a buffer too small fails with ENOMEM.
// Nothing can be written (EPERM).

#include <cstddef>
#include <sys/time.h>

inline constexpr int CTL_KERN = 1;
inline constexpr int CTL_HW = 6;
inline constexpr int KERN_BOOTTIME = 21; // struct timeval
inline constexpr int HW_MACHINE = 1;     // string

// 0, or -1 with errno set.
int sysctl(int* name, unsigned namelen, void* oldp, std::size_t* oldlenp, void* newp, std::size_t newlen);
int sysctlbyname(const char* name, void* oldp, std::size_t* oldlenp, void* newp, std::size_t newlen);
