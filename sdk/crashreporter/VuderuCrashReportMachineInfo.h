#pragma once
// The machine a report was written on.

#include "platform/foundation/NSObject.h"
#include "sdk/crashreporter/VuderuCrashReportProcessorInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportMachineInfo : public NSObject {
public:
    // initWithModelName:processorInfo:processorCount:logicalProcessorCount:
    VuderuCrashReportMachineInfo(std::optional<std::string> modelName, std::shared_ptr<VuderuCrashReportProcessorInfo> processorInfo, uint64_t processorCount, uint64_t logicalProcessorCount)
        : modelName_(std::move(modelName)), processorInfo_(std::move(processorInfo)), processorCount_(processorCount), logicalProcessorCount_(logicalProcessorCount) {}

    const std::optional<std::string>& modelName() const { return modelName_; }
    const std::shared_ptr<VuderuCrashReportProcessorInfo>& processorInfo() const { return processorInfo_; }
    uint64_t processorCount() const { return processorCount_; }
    uint64_t logicalProcessorCount() const { return logicalProcessorCount_; }

private:
    std::optional<std::string> modelName_;
    std::shared_ptr<VuderuCrashReportProcessorInfo> processorInfo_;
    uint64_t processorCount_;
    uint64_t logicalProcessorCount_;
};
