#pragma once
// The crash reporter's two settings, fixed at creation.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>

// How fatal errors reach the reporter.
enum VuderuCrashReporterSignalHandlerType : uint64_t {
    VuderuCrashReporterSignalHandlerTypeBSD = 0,   // POSIX signal handlers
    VuderuCrashReporterSignalHandlerTypeMach = 1,  // the Mach exception server, plus the signal handlers
    // Any other value installs no fatal-error handler (the uncaught exception hook only).
};

// Which names the reporter gives to frames (a bit set).
enum VuderuCrashReporterSymbolicationStrategy : uint64_t {
    VuderuCrashReporterSymbolicationStrategyNone = 0,
    VuderuCrashReporterSymbolicationStrategySymbolTable = 1,
    VuderuCrashReporterSymbolicationStrategyObjC = 2,
    VuderuCrashReporterSymbolicationStrategyAll = 3,
};

class VuderuCrashReporterConfig : public NSObject {
public:
    static std::shared_ptr<VuderuCrashReporterConfig> defaultConfiguration();

    // init: handler type 0, no symbols.
    VuderuCrashReporterConfig();
    // initWithSignalHandlerType:symbolicationStrategy:
    VuderuCrashReporterConfig(uint64_t signalHandlerType, uint64_t symbolicationStrategy);

    uint64_t signalHandlerType() const { return signalHandlerType_; }
    uint64_t symbolicationStrategy() const { return symbolicationStrategy_; }

private:
    uint64_t signalHandlerType_;
    uint64_t symbolicationStrategy_;
};
