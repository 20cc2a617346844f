// Writes the page-call fuzzer's seed corpus: call parameters as pages write them with escape().
#include "platform/foundation/fuzz/FuzzSeeds.h"

#include <string>

using fuzz_seeds::save;

int main(int argc, char** argv) {
    const auto folders = fuzz_seeds::folders(argc, argv, 1, "CALL_FOLDER");
    if (!folders) return 2;
    std::string folder = (*folders)[0];
    bool ok = save(folder, "event.txt", "event=clicked&guid=g1") &&
              save(folder, "escaped.txt", "event=logEvent&guid=g1&name=Zo%u00EB+%u2713&bytes=%C3%A9%E9&plus=%2B") &&
              save(folder, "surrogates.txt", "event=x&v=%uD83D%uDE00&lone=%uD800&cut=%u12&pct=%") &&
              save(folder, "noevent.txt", "guid=unknown&=empty&novalue&a=b=c?d=e") &&
              save(folder, "raw.txt", std::string("event=\xff\xfe&v=\0x", 13));
    return ok ? 0 : 1;
}
