#include "sdk/analytics/VuderuHTTPResponse.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/NSURL.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr const char* kStatusCodeKey = "statusCode";
constexpr const char* kBodyKey = "body";
constexpr const char* kHeadersKey = "headers";

std::string lowerCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

template <class Map>
VuderuHTTPResponse::Headers lowerCasedKeys(const Map& fields) {
    VuderuHTTPResponse::Headers headers;
    for (const auto& [key, value] : fields) headers[lowerCased(key)] = value;
    return headers;
}

} // namespace

VuderuHTTPResponse::VuderuHTTPResponse(const NSHTTPURLResponsePtr& response, NSDataPtr body, NSErrorPtr error)
    : error_(std::move(error)) {
    if (!response) return;
    body_ = std::move(body);
    statusCode_ = VuderuUtil::int32FromNSInteger(response->statusCode());
    headers_ = lowerCasedKeys(response->allHeaderFields());
}

VuderuHTTPResponse::VuderuHTTPResponse(NSDataPtr body, std::int64_t statusCode, const std::optional<Headers>& headers, NSErrorPtr error)
    : body_(std::move(body)), statusCode_(VuderuUtil::int32FromNSInteger(statusCode)), error_(std::move(error)) {
    if (headers) headers_ = lowerCasedKeys(*headers);
}

std::string VuderuHTTPResponse::description() const {
    char status[32];
    std::snprintf(status, sizeof status, "%ld", static_cast<long>(statusCode_));
    return std::string("status:") + status + " error:" + (error_ ? error_->localizedDescription() : "(null)") +
           " body:" + (body_ ? std::string(body_->stringView()) : "(null)");
}

std::optional<std::string> VuderuHTTPResponse::saveToDisk() const {
    Value::Dictionary plist;
    plist[kStatusCodeKey] = Value(statusCode_);
    if (body_) plist[kBodyKey] = Value(Value::Data(body_->bytes(), body_->bytes() + body_->length()));
    if (headers_) {
        Value::Dictionary headers;
        for (const auto& [key, value] : *headers_) headers[key] = Value(value);
        plist[kHeadersKey] = Value(std::move(headers));
    }
    std::string path = filePath(static_cast<int>(NSDate::date()->timeIntervalSince1970()));
    if (!NSWritePropertyListToFile(Value(std::move(plist)), path, true)) return std::nullopt;
    VuderuUtil::addSkipBackupAttributeToItemAtURL(NSURL::fileURLWithPath(path));
    return path;
}

std::shared_ptr<VuderuHTTPResponse> VuderuHTTPResponse::readFromURL(const std::string& path) {
    auto plist = NSDictionaryWithContentsOfFile(NSURL::fileURLWithPath(path)->path());
    if (!plist) return std::make_shared<VuderuHTTPResponse>(nullptr, 0, Headers{}, nullptr);
    NSDataPtr body;
    if (auto it = plist->find(kBodyKey); it != plist->end() && it->second.isData()) {
        body = NSData::dataWithBytes(it->second.data().data(), it->second.data().size());
    }
    std::int64_t status = 0;
    if (auto it = plist->find(kStatusCodeKey); it != plist->end() && it->second.isNumber()) status = it->second.integerValue();
    Headers headers;
    if (auto it = plist->find(kHeadersKey); it != plist->end() && it->second.isDictionary()) {
        for (const auto& [key, value] : it->second.dictionary()) {
            if (value.isString()) headers[key] = value.string();
        }
    }
    return std::make_shared<VuderuHTTPResponse>(std::move(body), status, headers, nullptr);
}

std::string VuderuHTTPResponse::filePath(int number) {
    return VuderuUtil::filePathDirectory() + "/vuderuResponse" + std::to_string(number);
}
