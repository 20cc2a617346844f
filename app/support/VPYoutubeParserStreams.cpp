// The decoding of the video-information reply: the reply is a query string whose stream map is a
// comma-separated list of further query strings, one per stream.

#include "app/support/VPYoutubeParser.h"

#include "platform/foundation/NSString.h"

const std::string VPYoutubeMoreInfoKey = "moreInfo";
const std::string VPYoutubeLiveKey = "live";

namespace {
using NSString_QueryString::firstValue;
using NSString_QueryString::stringByDecodingURLFormat;

constexpr const char* kStreamMapKey = "url_encoded_fmt_stream_map";
constexpr const char* kLivePlaybackKey = "live_playback";
constexpr const char* kLiveStreamKey = "hlsvp";
constexpr const char* kMoreInfoKeys[] = {"iurl", "length_seconds", "title"};
constexpr const char* kStreamFormat = "%@&signature=%@";

NSErrorPtr replyError(long code, const std::string& description) {
    return NSError::errorWithDomain(VPYoutubeParserErrorDomain, code, {{NSLocalizedDescriptionKey, description}});
}

// A stream's value, decoded once more than the stream map decodes it; nullopt when absent or
// undecodable.
std::optional<std::string> decodedAgain(const VPQueryDictionary& stream, const std::string& key) {
    auto value = firstValue(stream, key);
    return value ? stringByDecodingURLFormat(*value) : std::nullopt;
}

struct Stream {
    std::string quality;
    std::string address;
};

// One stream of the map, or nullopt when it is not a plain MP4 stream or lacks a part.
std::optional<Stream> mp4Stream(const VPQueryDictionary& stream) {
    auto type = decodedAgain(stream, "type");
    if (!type || stream.count("stereo3d")) return std::nullopt;
    auto itag = firstValue(stream, "itag");
    if (!itag || !NSString::containsString(*type, "mp4")) return std::nullopt;
    auto url = decodedAgain(stream, "url");
    auto quality = decodedAgain(stream, "quality");
    if (!url || !quality) return std::nullopt;
    return Stream{*quality, NSString::stringWithFormat(kStreamFormat, *url, *itag)};
}

std::optional<Value::Dictionary> liveVideo(const VPQueryDictionary& reply) {
    auto hls = firstValue(reply, kLiveStreamKey);
    if (!reply.count(kLivePlaybackKey) || !hls) return std::nullopt;
    return Value::Dictionary{{VPYoutubeLiveKey, *hls}};
}
} // namespace

std::optional<Value::Dictionary> VPYoutubeParser::h264videosFromVideoInformation(std::string_view body, NSErrorPtr* error) {
    if (!NSString::isValidUTF8(body)) {
        NSErrorSet(error, replyError(VPYoutubeParserErrorReplyNotUTF8, "The video information is not UTF-8 text"));
        return std::nullopt;
    }
    const VPQueryDictionary reply = NSString_QueryString::dictionaryFromQueryStringComponents(body);
    auto streamMap = firstValue(reply, kStreamMapKey);
    if (!streamMap || streamMap->empty()) {
        if (auto live = liveVideo(reply)) return live;
        NSErrorSet(error, replyError(VPYoutubeParserErrorNoStreamMap, "The video information lists no streams"));
        return std::nullopt;
    }

    Value::Dictionary videos;
    for (const std::string& piece : NSString::componentsSeparatedByString(*streamMap, ",")) {
        auto stream = mp4Stream(NSString_QueryString::dictionaryFromQueryStringComponents(piece));
        // The first stream of each quality wins.
        if (stream) videos.emplace(stream->quality, stream->address);
    }
    // A map whose every stream was filtered out gives the empty result, not nil: the reply was read,
    // it just offers nothing to download. The reason still goes to the caller.
    if (videos.empty()) {
        NSErrorSet(error, replyError(VPYoutubeParserErrorNoPlayableStream, "The video has no MP4 stream"));
        return videos;
    }
    Value::Dictionary moreInfo;
    for (const char* key : kMoreInfoKeys) {
        if (auto value = firstValue(reply, key)) moreInfo.emplace(key, *value);
    }
    videos[VPYoutubeMoreInfoKey] = Value(std::move(moreInfo));
    return videos;
}
