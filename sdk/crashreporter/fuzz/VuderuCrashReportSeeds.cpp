// Writes the fuzzer's seed corpus: reports assembled with the crash-time encoder, whole and with
// sections taken out, into the folder given as the only argument.
#include "../tests/CrashReportBuilder.h"

#include <cstdio>
#include <string>

namespace {
bool save(const std::string& folder, const std::string& name, const std::string& bytes) {
    FILE* out = std::fopen((folder + "/" + name).c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    using crashreport::Message;
    const std::string folder = argv[1];
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
