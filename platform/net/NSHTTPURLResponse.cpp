#include "platform/net/NSHTTPURLResponse.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"

#include <cstdlib>

namespace {

std::string mimeTypeOf(const NSHTTPHeaderFields& headers) {
    auto it = headers.find("Content-Type");
    if (it == headers.end()) return {};
    return NSString::lowercaseString(NSString::stringByTrimmingWhitespace(it->second.substr(0, it->second.find(';'))));
}

std::string charsetOf(const NSHTTPHeaderFields& headers) {
    auto it = headers.find("Content-Type");
    if (it == headers.end()) return {};
    for (const std::string& parameter : NSString::componentsSeparatedByString(it->second, ";")) {
        std::string p = NSString::stringByTrimmingWhitespace(parameter);
        if (NSString::lowercaseString(p.substr(0, 8)) != "charset=") continue;
        std::string value = p.substr(8);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return NSString::lowercaseString(value);
    }
    return {};
}

long long lengthOf(const NSHTTPHeaderFields& headers) {
    // A transfer that the server encodes has no known decoded length.
    if (headers.count("Content-Encoding") || headers.count("Transfer-Encoding")) return NSURLResponseUnknownLength;
    auto it = headers.find("Content-Length");
    if (it == headers.end()) return NSURLResponseUnknownLength;
    char* end = nullptr;
    long long length = std::strtoll(it->second.c_str(), &end, 10);
    return end != it->second.c_str() && length >= 0 ? length : NSURLResponseUnknownLength;
}

NSHTTPHeaderFields decodeHeaders(const NSCoder& coder) {
    NSHTTPHeaderFields fields;
    Value headers = coder.decodeObjectForKey("allHeaderFields");
    if (headers.isDictionary()) {
        for (const auto& [name, value] : headers.dictionary()) {
            if (value.isString()) fields[name] = value.string();
        }
    }
    return fields;
}

const bool registeredNSHTTPURLResponse = (NSKeyedUnarchiver::registerClass<NSHTTPURLResponse>("NSHTTPURLResponse"), true);

} // namespace

NSHTTPURLResponse::NSHTTPURLResponse(const NSCoder& coder)
    : NSHTTPURLResponse(NSURL::URLWithString(coder.decodeObjectForKey("URL").stringValue()),
                        static_cast<long>(coder.decodeInt64ForKey("statusCode")), coder.decodeObjectForKey("HTTPVersion").stringValue(),
                        decodeHeaders(coder)) {}

void NSHTTPURLResponse::encodeWithCoder(NSCoder& coder) const {
    NSURLResponse::encodeWithCoder(coder);
    coder.encodeInt64ForKey(statusCode_, "statusCode");
    coder.encodeObjectForKey(version_, "HTTPVersion");
    Value::Dictionary headers;
    for (const auto& [name, value] : headers_) headers[name] = value;
    coder.encodeObjectForKey(Value(headers), "allHeaderFields");
}

NSHTTPURLResponse::NSHTTPURLResponse(NSURLPtr url, long statusCode, std::string HTTPVersion, NSHTTPHeaderFields headerFields)
    : NSURLResponse(std::move(url), mimeTypeOf(headerFields), lengthOf(headerFields), charsetOf(headerFields)),
      statusCode_(statusCode), version_(std::move(HTTPVersion)), headers_(std::move(headerFields)) {}

std::optional<std::string> NSHTTPURLResponse::valueForHTTPHeaderField(const std::string& field) const {
    auto it = headers_.find(field);
    if (it == headers_.end()) return std::nullopt;
    return it->second;
}

std::string NSHTTPURLResponse::localizedStringForStatusCode(long statusCode) {
    switch (statusCode) {
    case 100: return "continue";
    case 101: return "switching protocols";
    case 200: return "no error";
    case 201: return "created";
    case 202: return "accepted";
    case 203: return "non-authoritative information";
    case 204: return "no content";
    case 205: return "reset content";
    case 206: return "partial content";
    case 300: return "multiple choices";
    case 301: return "moved permanently";
    case 302: return "found";
    case 303: return "see other";
    case 304: return "not modified";
    case 305: return "needs proxy";
    case 307: return "temporarily redirected";
    case 308: return "permanent redirect";
    case 400: return "bad request";
    case 401: return "unauthorized";
    case 402: return "payment required";
    case 403: return "forbidden";
    case 404: return "not found";
    case 405: return "method not allowed";
    case 406: return "unacceptable";
    case 407: return "proxy authentication required";
    case 408: return "request timed out";
    case 409: return "conflict";
    case 410: return "no longer exists";
    case 411: return "length required";
    case 412: return "precondition failed";
    case 413: return "request too large";
    case 414: return "requested URL too long";
    case 415: return "unsupported media type";
    case 416: return "requested range not satisfiable";
    case 417: return "expectation failed";
    case 500: return "internal server error";
    case 501: return "unimplemented";
    case 502: return "bad gateway";
    case 503: return "service unavailable";
    case 504: return "gateway timed out";
    case 505: return "unsupported version";
    default: break;
    }
    if (statusCode >= 100 && statusCode < 200) return "informational";
    if (statusCode >= 200 && statusCode < 300) return "success";
    if (statusCode >= 300 && statusCode < 400) return "redirected";
    if (statusCode >= 400 && statusCode < 500) return "client error";
    if (statusCode >= 500 && statusCode < 600) return "server error";
    return "unknown";
}

std::string NSHTTPURLResponse::description() const {
    return NSString::stringWithFormat("<%@: %p> { URL: %@ } { status code: %ld }", className(), static_cast<const void*>(this),
                                      URL() ? URL()->absoluteString() : std::string("(null)"), statusCode_);
}
