// The video-page parser's fuzz target: the input is a video-information reply and, as text, a
// page address. Nothing may crash or leak, and a lookup that gives no stream says why.

#include "app/support/VPYoutubeParser.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    NSErrorPtr error;
    auto videos = VPYoutubeParser::h264videosFromVideoInformation(bytes, &error);
    if ((!videos || videos->empty()) && !error) std::abort();

    if (auto url = NSURL::URLWithString(std::string(bytes))) {
        auto youtubeID = VPYoutubeParser::youtubeIDFromYoutubeURL(url);
        if (youtubeID && youtubeID->empty()) std::abort();
    }
    return 0;
}
