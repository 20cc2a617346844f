// Writes the fuzzer's seed corpus: reports assembled with the crash-time encoder, whole and with
// sections taken out, into the folder given as the only argument.
#include "../tests/CrashReportBuilder.h"
#include "platform/foundation/fuzz/FuzzSeeds.h"

#include <string>

using fuzz_seeds::save;

int main(int argc, char** argv) {
    const auto folders = fuzz_seeds::folders(argc, argv, 1, "CORPUS_FOLDER");
    if (!folders) return 2;
    using crashreport::Message;
    const std::string folder = (*folders)[0];
    Message whole = crashreport::sampleReport();
    Message minimal = crashreport::sampleReport();
    minimal.remove(9).remove(8).remove(7).remove(5);
    Message mach = crashreport::sampleReport();
    mach.at(6).message(4, Message().u64(1, 1).u64(2, 1).u64(2, 0x10));
    bool ok = save(folder, "whole.vdcrash", crashreport::encode(whole)) &&
              save(folder, "minimal.vdcrash", crashreport::encode(minimal)) &&
              save(folder, "mach.vdcrash", crashreport::encode(mach)) &&
              save(folder, "version2.vdcrash", crashreport::encode(minimal, "vdcrash", 2));
    return ok ? 0 : 1;
}
