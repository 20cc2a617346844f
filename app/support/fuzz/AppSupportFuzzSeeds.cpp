// Writes the seed corpora of the app's fuzz targets: video-information replies and page
// addresses as the tests serve them (first folder), version service replies (second folder).

#include "app/support/tests/VPYoutubeReplies.h"
#include "platform/foundation/fuzz/FuzzSeeds.h"

#include <string>
#include <vector>

namespace {
bool writeSeeds(const std::string& folder, const std::vector<std::string>& seeds) {
    bool ok = true;
    for (std::size_t i = 0; i < seeds.size(); ++i) ok = fuzz_seeds::save(folder, "seed-" + std::to_string(i), seeds[i]) && ok;
    return ok;
}
} // namespace

int main(int argc, char** argv) {
    const auto folders = fuzz_seeds::folders(argc, argv, 2, "VIDEO_INFORMATION_FOLDER VERSION_FOLDER");
    if (!folders) return 2;
    using namespace vpfixture;
    bool ok = writeSeeds((*folders)[0], {
        reply({{.quality = "hd720", .url = "http://cdn/hd?a=1", .itag = "22"}, {.quality = "medium", .url = "http://cdn/m"},
               {.quality = "small", .url = "http://cdn/s", .itag = "36"}}),
        reply({{.quality = "medium", .url = "http://cdn/3d", .extra = "&stereo3d=1"},
               {.quality = "small", .url = "http://cdn/webm", .type = "video/webm"}}),
        reply({{.quality = "", .url = "http://cdn/noquality"}, {.quality = "small", .url = "", .extra = "&url=%25ZZ"}}, ""),
        "status=ok&live_playback=1&hlsvp=http%3A%2F%2Flive%2Fm.m3u8",
        "status=fail&reason=Invalid+parameters.",
        "http://www.youtube.com/watch?v=page1&t=30",
        "http://youtu.be/abc123",
        "http://www.youtube.com/embed/emb42?autoplay=1",
        "https://youtube.googleapis.com/v/api7",
        "www.youtube.com/v/bare9",
    });
    ok = writeSeeds((*folders)[1], {
        R"({"version":{"number":"1.3","install_url":"cydia://package/org.harborstack.tandrel","mandatory":true}})",
        R"({"version":{"number":"1.2b"}})",
        R"({"version":{"number":1.10,"mandatory":false}})",
        R"({"version":{"install_url":"cydia://x"}})",
        R"({"version":{"number":"1","mandatory":"yes"}})",
        R"([1,2])",
    }) && ok;
    return ok ? 0 : 1;
}
