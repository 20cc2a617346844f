// Writes the page-call fuzzer's seed corpus: call parameters as pages write them with escape().
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
        std::fprintf(stderr, "usage: %s CALL_FOLDER\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    bool ok = save(folder, "event.txt", "event=clicked&guid=g1") &&
              save(folder, "escaped.txt", "event=logEvent&guid=g1&name=Zo%u00EB+%u2713&bytes=%C3%A9%E9&plus=%2B") &&
              save(folder, "surrogates.txt", "event=x&v=%uD83D%uDE00&lone=%uD800&cut=%u12&pct=%") &&
              save(folder, "noevent.txt", "guid=unknown&=empty&novalue&a=b=c?d=e") &&
              save(folder, "raw.txt", std::string("event=\xff\xfe&v=\0x", 16));
    return ok ? 0 : 1;
}
