#pragma once
// The symbol a frame's address lies in.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportSymbolInfo : public NSObject {
public:
    // initWithSymbolName:startAddress:endAddress:
    VuderuCrashReportSymbolInfo(std::string symbolName, uint64_t startAddress, uint64_t endAddress)
        : symbolName_(std::move(symbolName)), startAddress_(startAddress), endAddress_(endAddress) {}

    const std::string& symbolName() const { return symbolName_; }
    uint64_t startAddress() const { return startAddress_; }
    uint64_t endAddress() const { return endAddress_; }

private:
    std::string symbolName_;
    uint64_t startAddress_;
    uint64_t endAddress_;
};
