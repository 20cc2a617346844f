#pragma once
// A decoded report as a plain-text crash log: header lines, the exception, every thread's
// backtrace, the crashed thread's registers and the binary images. Formatting never fails: every
// missing value prints as "???". Offered to a host; the SDK's own flow never formats a report.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSStringEncoding.h"
#include "sdk/crashreporter/VuderuCrashReportFormatter.h"

#include <string>

// The one text layout.
enum VuderuCrashReportTextFormat : int {
    VuderuCrashReportTextFormatiOS = 0,
};

class VuderuCrashReportTextFormatter : public NSObject, public VuderuCrashReportFormatter {
public:
    // initWithTextFormat:stringEncoding:
    VuderuCrashReportTextFormatter(int textFormat, NSStringEncoding stringEncoding)
        : textFormat_(textFormat), stringEncoding_(stringEncoding) {}

    // The text in the formatter's encoding, characters it can't hold replaced; never fails.
    NSDataPtr formatReportError(const VuderuCrashReport& report, NSErrorPtr* error) override;
    static std::string stringValueForCrashReportWithTextFormat(const VuderuCrashReport& report, int textFormat);

    // Orders images by base address, smaller first.
    static bool binaryImageSort(const std::shared_ptr<VuderuCrashReportBinaryImageInfo>& a,
                                const std::shared_ptr<VuderuCrashReportBinaryImageInfo>& b) {
        return a->imageBaseAddress() < b->imageBaseAddress();
    }

private:
    static std::string formatStackFrameFrameIndexReportLp64(const VuderuCrashReportStackFrameInfo& frame, long frameIndex,
                                                           const VuderuCrashReport& report, bool lp64);

    int textFormat_;
    NSStringEncoding stringEncoding_;
};
