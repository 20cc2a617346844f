#pragma once
// The signal that ended the process, by name and code name, and the fault address.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportSignalInfo : public NSObject {
public:
    // initWithSignalName:code:address:
    VuderuCrashReportSignalInfo(std::string name, std::string code, uint64_t address)
        : name_(std::move(name)), code_(std::move(code)), address_(address) {}

    const std::string& name() const { return name_; }
    const std::string& code() const { return code_; }
    uint64_t address() const { return address_; }

private:
    std::string name_;
    std::string code_;
    uint64_t address_;
};
