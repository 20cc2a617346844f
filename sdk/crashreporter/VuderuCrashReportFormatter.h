#pragma once
// A formatter turns a decoded crash report into bytes of some text form.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "sdk/crashreporter/VuderuCrashReport.h"

class VuderuCrashReportFormatter {
public:
    virtual ~VuderuCrashReportFormatter() = default;
    virtual NSDataPtr formatReportError(const VuderuCrashReport& report, NSErrorPtr* error) = 0;
};
