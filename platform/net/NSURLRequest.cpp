#include "platform/net/NSURLRequest.h"

#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"

namespace {
const bool registeredNSURLRequest = (NSKeyedUnarchiver::registerClass<NSURLRequest>("NSURLRequest"), true);
} // namespace

NSURLRequest::NSURLRequest(NSURLPtr url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval)
    : url_(std::move(url)), cachePolicy_(cachePolicy), timeout_(timeoutInterval) {}

NSURLRequest::NSURLRequest(const NSCoder& coder)
    : url_(NSURL::URLWithString(coder.decodeObjectForKey("URL").stringValue())),
      cachePolicy_(static_cast<NSURLRequestCachePolicy>(coder.decodeInt64ForKey("cachePolicy"))),
      timeout_(coder.containsValueForKey("timeoutInterval") ? coder.decodeDoubleForKey("timeoutInterval")
                                                            : NSURLRequestDefaultTimeoutInterval),
      handleCookies_(!coder.containsValueForKey("HTTPShouldHandleCookies") || coder.decodeBoolForKey("HTTPShouldHandleCookies")) {
    Value method = coder.decodeObjectForKey("HTTPMethod");
    if (method.isString() && !method.string().empty()) method_ = method.string();
    Value headers = coder.decodeObjectForKey("allHTTPHeaderFields");
    if (headers.isDictionary()) {
        for (const auto& [name, value] : headers.dictionary()) {
            if (value.isString()) headers_[name] = value.string();
        }
    }
    Value body = coder.decodeObjectForKey("HTTPBody");
    if (body.isData()) body_ = std::make_shared<NSData>(body.data());
}

void NSURLRequest::encodeWithCoder(NSCoder& coder) const {
    if (url_) coder.encodeObjectForKey(url_->absoluteString(), "URL");
    coder.encodeObjectForKey(method_, "HTTPMethod");
    coder.encodeInt64ForKey(static_cast<std::int64_t>(cachePolicy_), "cachePolicy");
    coder.encodeDoubleForKey(timeout_, "timeoutInterval");
    coder.encodeBoolForKey(handleCookies_, "HTTPShouldHandleCookies");
    Value::Dictionary headers;
    for (const auto& [name, value] : headers_) headers[name] = value;
    coder.encodeObjectForKey(Value(headers), "allHTTPHeaderFields");
    if (body_) coder.encodeObjectForKey(Value(body_->vector()), "HTTPBody");
}

NSURLRequestPtr NSURLRequest::requestWithURL(const NSURLPtr& url) { return std::make_shared<NSURLRequest>(url); }

NSURLRequestPtr NSURLRequest::requestWithURL(const NSURLPtr& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeout) {
    return std::make_shared<NSURLRequest>(url, cachePolicy, timeout);
}

NSURLRequestPtr NSURLRequest::mutableCopy() const {
    auto copy = std::make_shared<NSURLRequest>(url_, cachePolicy_, timeout_);
    copy->method_ = method_;
    copy->handleCookies_ = handleCookies_;
    copy->allowsCellularAccess_ = allowsCellularAccess_;
    copy->usePipelining_ = usePipelining_;
    copy->networkServiceType_ = networkServiceType_;
    copy->headers_ = headers_;
    copy->body_ = body_;
    copy->bodyStream_ = bodyStream_;
    copy->maximumBodyLength_ = maximumBodyLength_;
    return copy;
}

std::string NSURLRequest::valueForHTTPHeaderField(const std::string& field) const {
    auto it = headers_.find(field);
    return it == headers_.end() ? std::string() : it->second;
}

void NSURLRequest::setValueForHTTPHeaderField(const std::string& value, const std::string& field) {
    if (value.empty()) {
        headers_.erase(field);
        return;
    }
    auto it = headers_.find(field);
    if (it == headers_.end()) {
        headers_.emplace(field, value);
    } else {
        it->second = value;
    }
}

void NSURLRequest::addValueForHTTPHeaderField(const std::string& value, const std::string& field) {
    auto it = headers_.find(field);
    if (it == headers_.end()) {
        headers_.emplace(field, value);
    } else {
        it->second += "," + value;
    }
}

void NSURLRequest::setHTTPBody(NSDataPtr body) {
    body_ = std::move(body);
    if (body_) bodyStream_.reset();
}

void NSURLRequest::setHTTPBodyStream(std::shared_ptr<NSInputStream> stream) {
    bodyStream_ = std::move(stream);
    if (bodyStream_) body_.reset();
}

std::string NSURLRequest::description() const {
    return NSString::stringWithFormat("<%@: %p> { URL: %@ }", className(), static_cast<const void*>(this),
                                      url_ ? url_->absoluteString() : std::string("(null)"));
}
