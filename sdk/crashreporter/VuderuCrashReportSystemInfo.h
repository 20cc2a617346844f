#pragma once
// The operating system, processor architecture and time of a report.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSDate.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportSystemInfo : public NSObject {
public:
    // initWithOperatingSystem:operatingSystemVersion:operatingSystemBuild:architecture:timestamp:
    VuderuCrashReportSystemInfo(int operatingSystem, std::string operatingSystemVersion, std::optional<std::string> operatingSystemBuild, int architecture, std::shared_ptr<NSDate> timestamp)
        : operatingSystem_(operatingSystem), operatingSystemVersion_(std::move(operatingSystemVersion)), operatingSystemBuild_(std::move(operatingSystemBuild)), architecture_(architecture), timestamp_(std::move(timestamp)) {}
    // Without a build.
    VuderuCrashReportSystemInfo(int operatingSystem, std::string operatingSystemVersion, int architecture,
                                std::shared_ptr<NSDate> timestamp)
        : VuderuCrashReportSystemInfo(operatingSystem, std::move(operatingSystemVersion), std::nullopt, architecture,
                                      std::move(timestamp)) {}

    int operatingSystem() const { return operatingSystem_; }
    const std::string& operatingSystemVersion() const { return operatingSystemVersion_; }
    const std::optional<std::string>& operatingSystemBuild() const { return operatingSystemBuild_; }
    int architecture() const { return architecture_; }
    const std::shared_ptr<NSDate>& timestamp() const { return timestamp_; }

private:
    int operatingSystem_;
    std::string operatingSystemVersion_;
    std::optional<std::string> operatingSystemBuild_;
    int architecture_;
    std::shared_ptr<NSDate> timestamp_;
};
