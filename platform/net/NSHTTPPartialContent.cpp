#include "platform/net/NSHTTPPartialContent.h"

#include "platform/foundation/NSString.h"

#include <cctype>
#include <vector>

namespace {

constexpr long kHTTPStatusPartialContentAnswer = 206;
// More digits than this would not fit a signed 64-bit count.
constexpr std::size_t kMaxRangeDigits = 18;

std::optional<long long> rangeNumber(const std::string& text) {
    std::string digits = NSString::stringByTrimmingWhitespace(text);
    if (digits.empty() || digits.size() > kMaxRangeDigits || digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoll(digits);
}

// One range of a request's "Range": FIRST-LAST, FIRST- (to the end) or -SUFFIX (the last bytes).
struct RequestedRange {
    std::optional<long long> first;
    std::optional<long long> last;    // with first: the last byte; without: the suffix length
};

// The ranges of a "bytes=..." request; nullopt when the header asks for no bytes (or is malformed).
std::optional<std::vector<RequestedRange>> requestedRanges(const std::string& header) {
    std::string text = NSString::stringByTrimmingWhitespace(header);
    const auto equals = text.find('=');
    if (equals == std::string::npos || NSString::lowercaseString(NSString::stringByTrimmingWhitespace(text.substr(0, equals))) != "bytes") {
        return std::nullopt;
    }
    std::vector<RequestedRange> ranges;
    std::string rest = text.substr(equals + 1);
    for (std::size_t start = 0; start <= rest.size();) {
        std::size_t comma = rest.find(',', start);
        if (comma == std::string::npos) comma = rest.size();
        const std::string item = NSString::stringByTrimmingWhitespace(rest.substr(start, comma - start));
        start = comma + 1;
        if (item.empty()) continue;
        const auto dash = item.find('-');
        if (dash == std::string::npos) return std::nullopt;
        RequestedRange range;
        const std::string before = item.substr(0, dash), after = item.substr(dash + 1);
        if (!NSString::stringByTrimmingWhitespace(before).empty()) {
            range.first = rangeNumber(before);
            if (!range.first) return std::nullopt;
        }
        if (!NSString::stringByTrimmingWhitespace(after).empty()) {
            range.last = rangeNumber(after);
            if (!range.last) return std::nullopt;
        }
        if (!range.first && !range.last) return std::nullopt;
        if (range.first && range.last && *range.last < *range.first) return std::nullopt;
        ranges.push_back(range);
    }
    if (ranges.empty()) return std::nullopt;
    return ranges;
}

// Whether the part is exactly the range asked for: its end may stop at the resource's end where
// the request asked past it, and an open end or a suffix needs the resource's length to be known.
bool answersRange(const RequestedRange& asked, const NSHTTPByteRange& part) {
    const long long length = part.completeLength;
    if (asked.first) {
        if (part.first != *asked.first) return false;
        if (!asked.last) return length >= 0 && part.last == length - 1;
        if (part.last == *asked.last) return true;
        return length >= 0 && *asked.last >= length && part.last == length - 1;
    }
    if (length < 0 || *asked.last == 0) return false;
    const long long first = *asked.last >= length ? 0 : length - *asked.last;
    return part.first == first && part.last == length - 1;
}

std::string describeByteRange(const NSHTTPByteRange& range) {
    return NSString::stringWithFormat("bytes %lld-%lld/", range.first, range.last) +
           (range.completeLength >= 0 ? std::to_string(range.completeLength) : std::string("*"));
}

} // namespace

std::optional<NSHTTPByteRange> NSHTTPContentRange(const NSHTTPURLResponse& response) {
    auto field = response.valueForHTTPHeaderField("Content-Range");
    if (!field) return std::nullopt;
    std::string text = NSString::stringByTrimmingWhitespace(*field);
    const std::string unit = "bytes ";
    if (text.size() <= unit.size() || NSString::lowercaseString(text.substr(0, unit.size())) != unit) return std::nullopt;
    text = text.substr(unit.size());
    const auto dash = text.find('-'), slash = text.find('/');
    if (dash == std::string::npos || slash == std::string::npos || slash < dash) return std::nullopt;
    auto first = rangeNumber(text.substr(0, dash));
    auto last = rangeNumber(text.substr(dash + 1, slash - dash - 1));
    if (!first || !last || *last < *first) return std::nullopt;
    NSHTTPByteRange range{*first, *last, -1};
    const std::string length = NSString::stringByTrimmingWhitespace(text.substr(slash + 1));
    if (length != "*") {
        auto complete = rangeNumber(length);
        if (!complete || *last >= *complete) return std::nullopt;
        range.completeLength = *complete;
    }
    return range;
}

std::string NSHTTPPartialContent::judgeHead(const NSURLRequest& request, const NSURLResponse& response) {
    range_.reset();
    received_ = 0;
    const auto* http = dynamic_cast<const NSHTTPURLResponse*>(&response);
    if (!http || http->statusCode() != kHTTPStatusPartialContentAnswer) return "";
    bodyless_ = request.HTTPMethod() == "HEAD";
    const std::string asked = request.valueForHTTPHeaderField("Range");
    const auto field = http->valueForHTTPHeaderField("Content-Range");
    const std::string named = field ? " (" + *field + ")" : std::string();
    auto ranges = asked.empty() ? std::nullopt : requestedRanges(asked);
    if (!ranges) return "The server sent part of the resource" + named + " where the whole was asked for";
    if (ranges->size() > 1) {
        // Several ranges come as a multipart body that describes its parts itself.
        auto type = http->valueForHTTPHeaderField("Content-Type");
        if (type && NSString::lowercaseString(*type).rfind("multipart/byteranges", 0) == 0) return "";
        return "The server's partial answer" + named + " is not the ranges asked for (" + asked + ")";
    }
    auto part = NSHTTPContentRange(*http);
    if (!part) return "The server's partial answer names no range" + named + " for the range asked for (" + asked + ")";
    if (!answersRange(ranges->front(), *part)) {
        return "The server's partial answer (" + describeByteRange(*part) + ") is not the range asked for (" + asked + ")";
    }
    const long long announced = http->expectedContentLength();
    if (!bodyless_ && announced >= 0 && announced != part->length()) {
        return NSString::stringWithFormat("The server's partial answer announces %lld bytes for the %lld of its range (%@)", announced,
                                          part->length(), describeByteRange(*part));
    }
    range_ = part;
    return "";
}

std::string NSHTTPPartialContent::judgeBody(long long bytes) {
    received_ += bytes;
    if (!range_ || bodyless_ || received_ <= range_->length()) return "";
    return NSString::stringWithFormat("The server's partial answer holds more than the %lld bytes of its range (%@)", range_->length(),
                                      describeByteRange(*range_));
}

std::string NSHTTPPartialContent::judgeEnd() const {
    if (!range_ || bodyless_ || received_ == range_->length()) return "";
    return NSString::stringWithFormat("The server's partial answer holds %lld bytes of the %lld of its range (%@)", received_,
                                      range_->length(), describeByteRange(*range_));
}
