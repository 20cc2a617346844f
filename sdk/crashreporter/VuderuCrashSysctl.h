#pragma once
// System facts read with sysctl, for the report's preparation (never at crash time).

#include <cstdint>

// The value of a string sysctl in a malloc'ed buffer the caller frees, or null with errno as the
// failing call left it.
char* vdcrash_sysctl_string(const char* name);
// The value of a 32-bit integer sysctl; NO when it can't be read.
bool vdcrash_sysctl_int(const char* name, int32_t* result);
