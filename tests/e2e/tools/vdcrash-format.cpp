// Renders a crash report file as the text crash log, for the end-to-end scripts.
//
//   vdcrash-format FILE

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSData.h"
#include "sdk/crashreporter/VuderuCrashReport.h"
#include "sdk/crashreporter/VuderuCrashReportTextFormatter.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vdcrash-format FILE\n";
        return 2;
    }
    // A tool of this machine, not of a device: the file it is given is a host path.
    DeviceRoot::setRoot("/");
    NSDataPtr data = NSData::dataWithContentsOfFile(argv[1]);
    if (!data) {
        std::cerr << "vdcrash-format: cannot read " << argv[1] << "\n";
        return 1;
    }
    NSErrorPtr error;
    auto report = VuderuCrashReport::initWithData(*data, &error);
    if (!report) {
        std::cerr << "vdcrash-format: " << (error ? error->localizedDescription() : std::string("not a crash report")) << "\n";
        return 1;
    }
    std::cout << VuderuCrashReportTextFormatter::stringValueForCrashReportWithTextFormat(*report, VuderuCrashReportTextFormatiOS);
    return 0;
}
