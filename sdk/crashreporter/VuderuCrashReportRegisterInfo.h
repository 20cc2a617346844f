#pragma once
// One register of a thread by name and value.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportRegisterInfo : public NSObject {
public:
    // initWithRegisterName:registerValue:
    VuderuCrashReportRegisterInfo(std::string registerName, uint64_t registerValue)
        : registerName_(std::move(registerName)), registerValue_(registerValue) {}

    const std::string& registerName() const { return registerName_; }
    uint64_t registerValue() const { return registerValue_; }

private:
    std::string registerName_;
    uint64_t registerValue_;
};
