#pragma once
// The Security framework's status type and result codes.

#include <cstdint>

using OSStatus = std::int32_t;

enum : OSStatus {
    errSecSuccess = 0,
    errSecUnimplemented = -4,
    errSecIO = -36,
    errSecParam = -50,
    errSecAllocate = -108,
    errSecNotAvailable = -25291,
    errSecAuthFailed = -25293,
    errSecDuplicateItem = -25299,
    errSecItemNotFound = -25300,
    errSecNoSuchClass = -25306,
    errSecInteractionNotAllowed = -25308,
    errSecDecode = -26275,
};
