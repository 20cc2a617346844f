#pragma once
// The uncaught exception that ended the process. Its frames are absent (not empty) when
// the exception carried no call stack.

#include "platform/foundation/NSObject.h"
#include "sdk/crashreporter/VuderuCrashReportStackFrameInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportExceptionInfo : public NSObject {
public:
    // initWithExceptionName:reason:stackFrames:
    VuderuCrashReportExceptionInfo(std::string exceptionName, std::string exceptionReason, std::optional<std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>>> stackFrames)
        : exceptionName_(std::move(exceptionName)), exceptionReason_(std::move(exceptionReason)), stackFrames_(std::move(stackFrames)) {}
    // Without frames.
    VuderuCrashReportExceptionInfo(std::string exceptionName, std::string exceptionReason)
        : VuderuCrashReportExceptionInfo(std::move(exceptionName), std::move(exceptionReason), std::nullopt) {}

    const std::string& exceptionName() const { return exceptionName_; }
    const std::string& exceptionReason() const { return exceptionReason_; }
    const std::optional<std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>>>& stackFrames() const { return stackFrames_; }

private:
    std::string exceptionName_;
    std::string exceptionReason_;
    std::optional<std::vector<std::shared_ptr<VuderuCrashReportStackFrameInfo>>> stackFrames_;
};
