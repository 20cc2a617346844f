#pragma once
// One thread of a report: its number, frames (innermost first), crashed flag and registers.

#include "platform/foundation/NSObject.h"
#include "sdk/crashreporter/VuderuCrashReportRegisterInfo.h"
#include "sdk/crashreporter/VuderuCrashReportStackFrameInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportThreadInfo : public NSObject {
public:
    // initWithThreadNumber:stackFrames:crashed:registers:
    VuderuCrashReportThreadInfo(int64_t threadNumber, std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>> stackFrames, bool crashed, std::vector<std::shared_ptr<VuderuCrashReportRegisterInfo>> registers)
        : threadNumber_(threadNumber), stackFrames_(std::move(stackFrames)), crashed_(crashed), registers_(std::move(registers)) {}

    int64_t threadNumber() const { return threadNumber_; }
    const std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>>& stackFrames() const { return stackFrames_; }
    bool crashed() const { return crashed_; }
    const std::vector<std::shared_ptr<VuderuCrashReportRegisterInfo>>& registers() const { return registers_; }

private:
    int64_t threadNumber_;
    std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>> stackFrames_;
    bool crashed_;
    std::vector<std::shared_ptr<VuderuCrashReportRegisterInfo>> registers_;
};
