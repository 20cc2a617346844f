// Writes the fuzzers' seed corpora: ad responses and ad-log responses as the tests write them,
// into the two folders given as arguments.
#include "../tests/AdResponseBytes.h"

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
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s AD_RESPONSE_FOLDER SDK_LOG_RESPONSE_FOLDER\n", argv[0]);
        return 2;
    }
    using namespace adresponse;
    const std::string ads = argv[1], logs = argv[2];
    FrameShape duplicate;
    duplicate.duplicateCallback = true;
    bool ok = save(ads, "empty.avro", response(0, false)) && save(ads, "configuration.avro", response(0, true)) &&
              save(ads, "three_units.avro", response(3, true, 20, 2024, duplicate, 0)) &&
              save(ads, "landscape.avro", response(1, false, 0, 0, {}, 1)) &&
              save(logs, "success.avro", AvroBytes().s("success").strings({}).str()) &&
              save(logs, "errors.avro", AvroBytes().s("failure").strings({"bad request", "retry"}).str());
    return ok ? 0 : 1;
}
