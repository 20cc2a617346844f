#pragma once
// One frame of a call stack: its instruction pointer and, when known, its symbol.

#include "platform/foundation/NSObject.h"
#include "sdk/crashreporter/VuderuCrashReportSymbolInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportStackFrameInfo : public NSObject {
public:
    // initWithInstructionPointer:symbolInfo:
    VuderuCrashReportStackFrameInfo(uint64_t instructionPointer, std::shared_ptr<VuderuCrashReportSymbolInfo> symbolInfo)
        : instructionPointer_(instructionPointer), symbolInfo_(std::move(symbolInfo)) {}

    uint64_t instructionPointer() const { return instructionPointer_; }
    const std::shared_ptr<VuderuCrashReportSymbolInfo>& symbolInfo() const { return symbolInfo_; }

private:
    uint64_t instructionPointer_;
    std::shared_ptr<VuderuCrashReportSymbolInfo> symbolInfo_;
};
