#include "platform/net/NSURLRequest.h"

#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSString.h"

NSURLRequest::NSURLRequest(NSURLPtr url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeoutInterval)
    : url_(std::move(url)), cachePolicy_(cachePolicy), timeout_(timeoutInterval) {}

NSURLRequestPtr NSURLRequest::requestWithURL(const NSURLPtr& url) { return std::make_shared<NSURLRequest>(url); }

NSURLRequestPtr NSURLRequest::requestWithURL(const NSURLPtr& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeout) {
    return std::make_shared<NSURLRequest>(url, cachePolicy, timeout);
}

NSURLRequestPtr NSURLRequest::mutableCopy() const {
    auto copy = std::make_shared<NSURLRequest>(url_, cachePolicy_, timeout_);
    copy->method_ = method_;
    copy->handleCookies_ = handleCookies_;
    copy->headers_ = headers_;
    copy->body_ = body_;
    copy->bodyStream_ = bodyStream_;
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
