#pragma once
// One loaded image of a report: its base address, text size, path, UUID (lower-case hex) and
// processor.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "sdk/crashreporter/VuderuCrashReportProcessorInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class VuderuCrashReportBinaryImageInfo : public NSObject {
public:
    // initWithCodeType:baseAddress:size:name:uuid: (the UUID bytes, null when absent)
    VuderuCrashReportBinaryImageInfo(std::shared_ptr<VuderuCrashReportProcessorInfo> codeType, uint64_t baseAddress,
                                     uint64_t size, std::string name, const NSDataPtr& uuid);

    const std::shared_ptr<VuderuCrashReportProcessorInfo>& codeType() const { return codeType_; }
    uint64_t imageBaseAddress() const { return imageBaseAddress_; }
    uint64_t imageSize() const { return imageSize_; }
    const std::string& imageName() const { return imageName_; }
    bool hasImageUUID() const { return hasImageUUID_; }
    const std::optional<std::string>& imageUUID() const { return imageUUID_; }

private:
    std::shared_ptr<VuderuCrashReportProcessorInfo> codeType_;
    uint64_t imageBaseAddress_;
    uint64_t imageSize_;
    std::string imageName_;
    bool hasImageUUID_;
    std::optional<std::string> imageUUID_;
};
