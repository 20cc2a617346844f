#pragma once
// sysctlbyname for the names the crash reporter asks, answered with this machine's facts: the
// kernel release and version, the machine name, the processor's Mach type and the processor
// counts. Other names fail with ENOENT. As on the device, a buffer that is too small fails with
// ENOMEM and a null buffer asks for the size.

#include <cstddef>

int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t newlen);
