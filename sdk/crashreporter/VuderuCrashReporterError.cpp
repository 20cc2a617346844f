#include "sdk/crashreporter/VuderuCrashReporterError.h"

#include "platform/system/mach.h"

const std::string VuderuCrashReporterErrorDomain = "VuderuCrashReporterErrorDomain";
const std::string VuderuCrashReporterException = "VuderuCrashReporterException";

void vdcrash_populate_error(NSErrorPtr* error, VuderuCrashReporterError code, const std::string& description,
                            NSErrorPtr underlying) {
    if (!error) return;
    Value::Dictionary userInfo;
    userInfo[NSLocalizedDescriptionKey] = Value(description);
    if (underlying) userInfo[NSUnderlyingErrorKey] = Value(std::static_pointer_cast<NSObject>(underlying));
    *error = NSError::errorWithDomain(VuderuCrashReporterErrorDomain, code, std::move(userInfo));
}

void vdcrash_populate_posix_error(NSErrorPtr* error, int errnum, const std::string& description) {
    if (!error) return;
    vdcrash_populate_error(error, VuderuCrashReporterErrorOperatingSystem, description, NSError::posixError(errnum));
}

void vdcrash_populate_mach_error(NSErrorPtr* error, int kr, const std::string& description) {
    if (!error) return;
    vdcrash_populate_error(error, VuderuCrashReporterErrorOperatingSystem, description,
                           NSError::errorWithDomain(NSMachErrorDomain, kr));
}
