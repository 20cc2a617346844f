#pragma once
// The Mach exception behind a signal: its type and codes in order.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportMachExceptionInfo : public NSObject {
public:
    // initWithType:codes:
    VuderuCrashReportMachExceptionInfo(uint64_t type, std::vector<uint64_t> codes)
        : type_(type), codes_(std::move(codes)) {}

    uint64_t type() const { return type_; }
    const std::vector<uint64_t>& codes() const { return codes_; }

private:
    uint64_t type_;
    std::vector<uint64_t> codes_;
};
