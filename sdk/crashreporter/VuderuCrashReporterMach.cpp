// The reporter's Mach mode.
#include "sdk/crashreporter/VuderuCrashReporter.h"

#include "sdk/crashreporter/VuderuCrashReporterContext.h"
#include "sdk/crashreporter/VuderuCrashReporterError.h"

bool VuderuCrashReporter::enableMachModeAndReturnError(NSErrorPtr* error) {
    vdcrash_populate_error(error, VuderuCrashReporterErrorOperatingSystem, "Failed to instantiate the Mach exception server.");
    return false;
}
