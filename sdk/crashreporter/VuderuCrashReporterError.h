#pragma once
// The crash reporter's errors: one domain, four codes, and the builders that the ordinary
// (not crash-time) side uses. Crash-time routines return the plain codes of VuderuCrashAsync.h.

#include "platform/foundation/NSError.h"

#include <string>

extern const std::string VuderuCrashReporterErrorDomain;
// The name of the NSException raised on programming errors.
extern const std::string VuderuCrashReporterException;

enum VuderuCrashReporterError : long {
    VuderuCrashReporterErrorUnknown = 0,
    VuderuCrashReporterErrorOperatingSystem = 1,
    VuderuCrashReporterErrorCrashReportInvalid = 2,
    VuderuCrashReporterErrorResourceBusy = 3,
};

// An error of the domain with the description under NSLocalizedDescriptionKey and, when given,
// the underlying error; nothing when `error` is null.
void vdcrash_populate_error(NSErrorPtr* error, VuderuCrashReporterError code, const std::string& description,
                            NSErrorPtr underlying = nullptr);
// Code 1 with an underlying NSPOSIXErrorDomain error of `errnum`.
void vdcrash_populate_posix_error(NSErrorPtr* error, int errnum, const std::string& description);
// Code 1 with an underlying NSMachErrorDomain error of the kern_return_t.
void vdcrash_populate_mach_error(NSErrorPtr* error, int kr, const std::string& description);
