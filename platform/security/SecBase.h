#pragma once
// The Security framework's status type and the result codes of its certificate and trust calls.

#include <cstdint>

using OSStatus = std::int32_t;

enum : OSStatus {
    errSecSuccess = 0,
    errSecUnimplemented = -4,
    errSecParam = -50,
    errSecAllocate = -108,
    errSecDecode = -26275,
};
