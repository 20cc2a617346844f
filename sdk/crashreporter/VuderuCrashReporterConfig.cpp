#include "sdk/crashreporter/VuderuCrashReporterConfig.h"

std::shared_ptr<VuderuCrashReporterConfig> VuderuCrashReporterConfig::defaultConfiguration() {
    return std::make_shared<VuderuCrashReporterConfig>();
}

VuderuCrashReporterConfig::VuderuCrashReporterConfig() : VuderuCrashReporterConfig(0, 0) {}

VuderuCrashReporterConfig::VuderuCrashReporterConfig(uint64_t signalHandlerType, uint64_t symbolicationStrategy)
    : signalHandlerType_(signalHandlerType), symbolicationStrategy_(symbolicationStrategy) {}
