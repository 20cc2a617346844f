#pragma once
// The crashed process and its parent.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSDate.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportProcessInfo : public NSObject {
public:
    // initWithProcessName:processID:processPath:processStartTime:parentProcessName:parentProcessID:native:
    VuderuCrashReportProcessInfo(std::optional<std::string> processName, uint64_t processID, std::optional<std::string> processPath, std::shared_ptr<NSDate> processStartTime, std::optional<std::string> parentProcessName, uint64_t parentProcessID, bool native)
        : processName_(std::move(processName)), processID_(processID), processPath_(std::move(processPath)), processStartTime_(std::move(processStartTime)), parentProcessName_(std::move(parentProcessName)), parentProcessID_(parentProcessID), native_(native) {}

    const std::optional<std::string>& processName() const { return processName_; }
    uint64_t processID() const { return processID_; }
    const std::optional<std::string>& processPath() const { return processPath_; }
    const std::shared_ptr<NSDate>& processStartTime() const { return processStartTime_; }
    const std::optional<std::string>& parentProcessName() const { return parentProcessName_; }
    uint64_t parentProcessID() const { return parentProcessID_; }
    bool native() const { return native_; }

private:
    std::optional<std::string> processName_;
    uint64_t processID_;
    std::optional<std::string> processPath_;
    std::shared_ptr<NSDate> processStartTime_;
    std::optional<std::string> parentProcessName_;
    uint64_t parentProcessID_;
    bool native_;
};
