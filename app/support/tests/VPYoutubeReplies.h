#pragma once
// Video-information replies as the site writes them: a query string whose stream map holds one
// further query string per stream. The tests serve them and the fuzz target's seeds are made of them.

#include "platform/foundation/NSString.h"

#include <cctype>
#include <string>
#include <vector>

namespace vpfixture {

inline bool unreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
// One level of query escaping.
inline std::string enc(const std::string& text) { return NSString::stringByAddingPercentEncoding(text, unreserved); }

inline const std::string kMP4Type = "video/mp4; codecs=\"avc1.42001E, mp4a.40.2\"";

// One stream of the map: url, quality and type are escaped twice (the map's own level and theirs).
struct Stream {
    std::string quality = {};
    std::string url = {};
    std::string itag = "18";
    std::string type = kMP4Type;
    std::string extra = {};  // further raw "&key=value" text

    std::string text() const {
        std::string out;
        if (!url.empty()) out += "url=" + enc(enc(url));
        if (!quality.empty()) out += "&quality=" + enc(enc(quality));
        if (!type.empty()) out += "&type=" + enc(enc(type));
        if (!itag.empty()) out += "&itag=" + itag;
        return out + extra;
    }
};

inline std::string reply(const std::vector<Stream>& streams, const std::string& more = "&title=A+Title&iurl=http%3A%2F%2Fi%2Fhq.jpg&length_seconds=42") {
    std::vector<std::string> texts;
    for (const auto& s : streams) texts.push_back(s.text());
    return "status=ok&url_encoded_fmt_stream_map=" + enc(NSString::componentsJoinedByString(texts, ",")) + more;
}

} // namespace vpfixture
