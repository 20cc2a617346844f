#pragma once
// The video-page parser: from the address of a video page to the addresses of the video's MP4
// streams, one per quality, with the title, length and thumbnail address of the video.
//
// A lookup asks the site's video-information service (TDSites.h says where) and decodes the
// query-encoded reply and its stream map. The reply is hostile input: anything it lacks or
// garbles skips the stream concerned, and a lookup that gives nothing says why, as an error of
// VPYoutubeParserErrorDomain: nil when the reply could not be had or read, the empty dictionary
// (with VPYoutubeParserErrorNoPlayableStream) when it lists streams but none is a plain MP4 one.

#include "app/support/NSString+QueryString.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/UIImage.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

extern const std::string VPYoutubeParserErrorDomain;       // "me.lanternfig.yt-parser"
extern const std::string VPYoutubeParserLookupErrorDomain; // "com.lanternfig.yt-parser" (thumbnail, details)

// Why a stream lookup gave nothing.
enum VPYoutubeParserErrorCode : long {
    VPYoutubeParserErrorInvalidURL = 1001,        // the page address gives no video id
    VPYoutubeParserErrorTransport = 1002,         // the request failed (underlying error attached)
    VPYoutubeParserErrorReplyNotUTF8 = 1003,      // the reply body is not UTF-8 text
    VPYoutubeParserErrorNoStreamMap = 1004,       // no stream map and not a live video
    VPYoutubeParserErrorNoPlayableStream = 1005,  // every stream was filtered out (the result is empty)
    VPYoutubeParserErrorThumbnailNotImage = 1006, // the thumbnail reply is not an image
};
// The thumbnail and details lookups' error when there is no video id.
inline constexpr long VPYoutubeParserLookupErrorNoID = 0;

enum VPYoutubeThumbnailSize : std::int32_t {
    VPYoutubeThumbnailSizeDefault = 0,       // "default"
    VPYoutubeThumbnailSizeMedium = 1,        // "mqdefault"
    VPYoutubeThumbnailSizeHigh = 2,          // "hqdefault"
    VPYoutubeThumbnailSizeMaxResolution = 3, // "maxresdefault"
};

// The result's keys besides the qualities.
extern const std::string VPYoutubeMoreInfoKey; // "moreInfo": "iurl", "length_seconds", "title"
extern const std::string VPYoutubeLiveKey;     // "live": the live stream's address

class VPYoutubeParser {
public:
    // The video id of a page address (short link, embed, API and page addresses, "v" of the
    // query), or nullopt; an empty id is none.
    static std::optional<std::string> youtubeIDFromYoutubeURL(const NSURLPtr& url);

    // Synchronous lookups. The result maps each quality to its stream's address and holds
    // "moreInfo", or holds only "live" for a live video; it is empty, with the reason, when every
    // stream was filtered out, and nullopt with the reason otherwise.
    static std::optional<Value::Dictionary> h264videosWithYoutubeID(const std::optional<std::string>& youtubeID,
                                                                    NSErrorPtr* error = nullptr);
    static std::optional<Value::Dictionary> h264videosWithYoutubeURL(const NSURLPtr& url, NSErrorPtr* error = nullptr);
    // The decoding of a video-information reply, a function of its bytes alone.
    static std::optional<Value::Dictionary> h264videosFromVideoInformation(std::string_view body, NSErrorPtr* error = nullptr);

    // The lookup on a serial queue of its own; the block gets what the synchronous lookup gives,
    // the result and the reason, on the main queue (at once, on the caller's thread, when the
    // address gives no id).
    using StreamsBlock = std::function<void(const std::optional<Value::Dictionary>& videos, const NSErrorPtr& error)>;
    static void h264videosWithYoutubeURLCompleteBlock(const NSURLPtr& url, StreamsBlock block);

    // Thumbnails: the address (nil for a nil page address), and the image fetched on an
    // operation queue of its own, where the block runs.
    static NSURLPtr thumbnailUrlForYoutubeURLThumbnailSize(const NSURLPtr& url, VPYoutubeThumbnailSize size);
    using ImageBlock = std::function<void(const UIImagePtr& image, const NSErrorPtr& error)>;
    static void thumbnailForYoutubeURLThumbnailSizeCompleteBlock(const NSURLPtr& url, VPYoutubeThumbnailSize size,
                                                                 ImageBlock block);
    static void thumbnailForYoutubeIDThumbnailSizeCompleteBlock(const std::optional<std::string>& youtubeID,
                                                                VPYoutubeThumbnailSize size, ImageBlock block);

    // The video's details feed, parsed as JSON, on an operation queue of its own.
    using DetailsBlock = std::function<void(const std::optional<Value>& details, const NSErrorPtr& error)>;
    static void detailsForYouTubeURLCompleteBlock(const NSURLPtr& url, DetailsBlock block);

    // The name of a thumbnail size ("default" for any unknown value).
    static std::string thumbnailSizeName(std::int32_t size);
    // The browser's user agent the video-information and thumbnail requests carry.
    static const std::string kUserAgent;
};
