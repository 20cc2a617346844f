#include "app/support/VPYoutubeParser.h"

#include "app/support/NSURL+QueryString.h"
#include "app/support/TDSites.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSJSONSerialization.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSURLConnection.h"

#include <array>

const std::string VPYoutubeParserErrorDomain = "me.lanternfig.yt-parser";
const std::string VPYoutubeParserLookupErrorDomain = "com.lanternfig.yt-parser";
const std::string VPYoutubeParser::kUserAgent =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_8_2) AppleWebKit/537.4 (KHTML, like Gecko) Chrome/22.0.1229.79 Safari/537.4";

namespace {
constexpr const char* kVideoInformationPath = "/get_video_info?video_id=";
constexpr const char* kThumbnailPathFormat = "/vi/%@/%@.jpg";
constexpr const char* kDetailsPathFormat = "/feeds/api/videos/%@?alt=json";
constexpr const char* kBackgroundQueueLabel = "me.lanternfig.yt.backgroundqueue";
constexpr std::array<const char*, 4> kThumbnailSizeNames{"default", "mqdefault", "hqdefault", "maxresdefault"};

// The id comes from any app through the URL scheme: it goes out as one escaped query value or
// path segment, never as more of the address.
bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
           c == '~';
}
std::string escaped(const std::string& youtubeID) { return NSString::stringByAddingPercentEncoding(youtubeID, unreserved); }

NSErrorPtr parserError(long code, const std::string& description, NSErrorPtr underlying = nullptr) {
    Value::Dictionary info{{NSLocalizedDescriptionKey, description}};
    if (underlying) info[NSUnderlyingErrorKey] = Value(underlying);
    return NSError::errorWithDomain(VPYoutubeParserErrorDomain, code, std::move(info));
}
NSErrorPtr invalidURLError() { return parserError(VPYoutubeParserErrorInvalidURL, "Invalid YouTube URL"); }
NSErrorPtr noIDError() {
    return NSError::errorWithDomain(VPYoutubeParserLookupErrorDomain, VPYoutubeParserLookupErrorNoID,
                                    {{NSLocalizedDescriptionKey, "Could not find a valid Youtube ID"}});
}

NSURLRequestPtr browserRequest(const std::string& address) {
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(address));
    request->setHTTPMethod("GET");
    request->setValueForHTTPHeaderField(VPYoutubeParser::kUserAgent, "User-Agent");
    return request;
}

// The path component at an index, or nullopt when the path is shorter.
std::optional<std::string> component(const NSURL& url, std::size_t index) {
    auto components = url.pathComponents();
    if (components.size() <= index) return std::nullopt;
    return components[index];
}
} // namespace

std::string VPYoutubeParser::thumbnailSizeName(std::int32_t size) {
    return size >= 0 && static_cast<std::size_t>(size) < kThumbnailSizeNames.size() ? kThumbnailSizeNames[static_cast<std::size_t>(size)]
                                                                                     : kThumbnailSizeNames[0];
}

std::optional<std::string> VPYoutubeParser::youtubeIDFromYoutubeURL(const NSURLPtr& url) {
    if (!url) return std::nullopt;
    const std::string webHost = TDSites::kVideoWebHost;
    std::optional<std::string> found;
    if (url->host() == TDSites::kVideoShortLinkHost) {
        found = component(*url, 1);
    } else if (NSString::containsString(url->absoluteString(), webHost + "/embed")) {
        found = component(*url, 2);
    } else if (url->host() == TDSites::kVideoAPIHost) {
        found = component(*url, 2);
    } else if (auto first = component(*url, 0); first && *first == webHost) {
        found = component(*url, 2);
    } else {
        found = NSString_QueryString::firstValue(NSURL_QueryString::dictionaryForQueryString(*url), "v");
    }
    if (found && found->empty()) return std::nullopt;
    return found;
}

std::optional<Value::Dictionary> VPYoutubeParser::h264videosWithYoutubeID(const std::optional<std::string>& youtubeID,
                                                                          NSErrorPtr* error) {
    if (!youtubeID || youtubeID->empty()) {
        NSErrorSet(error, invalidURLError());
        return std::nullopt;
    }
    auto request = browserRequest(TDSites::videoInformationOrigin() + kVideoInformationPath + escaped(*youtubeID));
    NSURLResponsePtr response;
    NSErrorPtr transportError;
    auto body = NSURLConnection::sendSynchronousRequest(request, &response, &transportError);
    if (!body) {
        NSErrorSet(error, parserError(VPYoutubeParserErrorTransport, "The video information could not be fetched", transportError));
        return std::nullopt;
    }
    return h264videosFromVideoInformation(body->stringView(), error);
}

std::optional<Value::Dictionary> VPYoutubeParser::h264videosWithYoutubeURL(const NSURLPtr& url, NSErrorPtr* error) {
    return h264videosWithYoutubeID(youtubeIDFromYoutubeURL(url), error);
}

void VPYoutubeParser::h264videosWithYoutubeURLCompleteBlock(const NSURLPtr& url, StreamsBlock block) {
    auto youtubeID = youtubeIDFromYoutubeURL(url);
    if (!youtubeID) {
        block(std::nullopt, invalidURLError());
        return;
    }
    auto queue = dispatch_queue_create(kBackgroundQueueLabel, DISPATCH_QUEUE_SERIAL);
    dispatch_async(queue, [youtubeID, block = std::move(block)] {
        NSErrorPtr error;
        auto videos = h264videosWithYoutubeID(youtubeID, &error);
        dispatch_async(dispatch_get_main_queue(), [videos, error, block] { block(videos, error); });
    });
}

NSURLPtr VPYoutubeParser::thumbnailUrlForYoutubeURLThumbnailSize(const NSURLPtr& url, VPYoutubeThumbnailSize size) {
    auto youtubeID = youtubeIDFromYoutubeURL(url);
    if (!youtubeID) return nullptr;
    return NSURL::URLWithString(TDSites::videoImageOrigin() +
                                NSString::stringWithFormat(kThumbnailPathFormat, escaped(*youtubeID), thumbnailSizeName(size)));
}

void VPYoutubeParser::thumbnailForYoutubeURLThumbnailSizeCompleteBlock(const NSURLPtr& url, VPYoutubeThumbnailSize size,
                                                                       ImageBlock block) {
    thumbnailForYoutubeIDThumbnailSizeCompleteBlock(youtubeIDFromYoutubeURL(url), size, std::move(block));
}

void VPYoutubeParser::thumbnailForYoutubeIDThumbnailSizeCompleteBlock(const std::optional<std::string>& youtubeID,
                                                                      VPYoutubeThumbnailSize size, ImageBlock block) {
    if (!youtubeID || youtubeID->empty()) {
        block(nullptr, noIDError());
        return;
    }
    auto request = browserRequest(TDSites::videoImageOrigin() +
                                  NSString::stringWithFormat(kThumbnailPathFormat, escaped(*youtubeID), thumbnailSizeName(size)));
    NSURLConnection::sendAsynchronousRequest(
        request, std::make_shared<NSOperationQueue>(),
        [block = std::move(block)](const NSURLResponsePtr&, const NSDataPtr& data, const NSErrorPtr& error) {
            if (error || !data) {
                block(nullptr, error);
                return;
            }
            auto image = UIImage::imageWithData(*data);
            block(image, image ? nullptr : parserError(VPYoutubeParserErrorThumbnailNotImage, "The thumbnail is not an image"));
        });
}

void VPYoutubeParser::detailsForYouTubeURLCompleteBlock(const NSURLPtr& url, DetailsBlock block) {
    auto youtubeID = youtubeIDFromYoutubeURL(url);
    if (!youtubeID) {
        block(std::nullopt, noIDError());
        return;
    }
    auto request = NSURLRequest::requestWithURL(
        NSURL::URLWithString(TDSites::videoDataFeedOrigin() + NSString::stringWithFormat(kDetailsPathFormat, escaped(*youtubeID))));
    NSURLConnection::sendAsynchronousRequest(
        request, std::make_shared<NSOperationQueue>(),
        [block = std::move(block)](const NSURLResponsePtr&, const NSDataPtr& data, const NSErrorPtr& error) {
            if (error || !data) {
                block(std::nullopt, error);
                return;
            }
            NSErrorPtr parseError;
            auto details = NSJSONSerialization::JSONObjectWithData(*data, 0, &parseError);
            block(details, details ? nullptr : parseError);
        });
}
