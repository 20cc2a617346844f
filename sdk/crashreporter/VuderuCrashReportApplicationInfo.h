#pragma once
// The application a report belongs to.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class VuderuCrashReportApplicationInfo : public NSObject {
public:
    // initWithApplicationIdentifier:applicationVersion:
    VuderuCrashReportApplicationInfo(std::string applicationIdentifier, std::string applicationVersion)
        : applicationIdentifier_(std::move(applicationIdentifier)), applicationVersion_(std::move(applicationVersion)) {}

    const std::string& applicationIdentifier() const { return applicationIdentifier_; }
    const std::string& applicationVersion() const { return applicationVersion_; }

private:
    std::string applicationIdentifier_;
    std::string applicationVersion_;
};
