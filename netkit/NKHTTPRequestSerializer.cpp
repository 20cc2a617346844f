#include "netkit/NKHTTPRequestSerializer.h"

#include "netkit/NKLocalizedString.h"
#include "netkit/NKQueryStringPair.h"
#include "netkit/NKURLResponseSerialization.h"
#include "netkit/NKStreamingMultipartFormData.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSURLError.h"

namespace {
const char* const kHeadersKey = "mutableHTTPRequestHeaders";
const char* const kStyleKey = "queryStringSerializationStyle";
const char* const kAuthorization = "Authorization";
const bool registeredNKHTTPRequestSerializer = (NSKeyedUnarchiver::registerClass<NKHTTPRequestSerializer>("NKHTTPRequestSerializer"), true);

std::string charsetName(NSStringEncoding encoding) {
    return CFStringConvertEncodingToIANACharSetName(CFStringConvertNSStringEncodingToEncoding(encoding));
}

NSErrorPtr badURLError(const std::string& URLString) {
    Value::Dictionary userInfo;
    userInfo[NSURLErrorFailingURLStringErrorKey] = URLString;
    userInfo[NSLocalizedDescriptionKey] = "unsupported URL";
    return NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorBadURL, std::move(userInfo));
}
} // namespace

NSErrorPtr NKMissingRequestSerializerError() {
    Value::Dictionary userInfo;
    userInfo[NSLocalizedFailureReasonErrorKey] = NKLocalizedString("The manager has no request serializer");
    return NSError::errorWithDomain(NKNetworkingErrorDomain, NSURLErrorBadURL, std::move(userInfo));
}

NKHTTPRequestSerializer::NKHTTPRequestSerializer() {
    mutableHTTPRequestHeaders_["Accept-Language"] = NKDefaultAcceptLanguage();
    mutableHTTPRequestHeaders_["User-Agent"] = NKDefaultUserAgent();
}

NKHTTPRequestSerializer::NKHTTPRequestSerializer(const NSCoder& coder) : NKHTTPRequestSerializer() {
    Value headers = coder.decodeObjectForKey(kHeadersKey);
    mutableHTTPRequestHeaders_.clear();
    if (headers.isDictionary()) {
        for (const auto& [field, value] : headers.dictionary()) {
            if (value.isString()) mutableHTTPRequestHeaders_[field] = value.string();
        }
    }
    queryStringSerializationStyle_ = static_cast<unsigned long>(coder.decodeInt64ForKey(kStyleKey));
}

void NKHTTPRequestSerializer::encodeWithCoder(NSCoder& coder) const {
    Value::Dictionary headers;
    for (const auto& [field, value] : mutableHTTPRequestHeaders_) headers[field] = value;
    coder.encodeObjectForKey(Value(std::move(headers)), kHeadersKey);
    coder.encodeInt64ForKey(static_cast<std::int64_t>(queryStringSerializationStyle_), kStyleKey);
}

std::shared_ptr<NKHTTPRequestSerializer> NKHTTPRequestSerializer::serializer() {
    return std::make_shared<NKHTTPRequestSerializer>();
}

void NKHTTPRequestSerializer::setValueForHTTPHeaderField(const std::string& value, const std::string& field) {
    if (value.empty()) {
        mutableHTTPRequestHeaders_.erase(field);
    } else {
        mutableHTTPRequestHeaders_[field] = value;
    }
}

void NKHTTPRequestSerializer::setAuthorizationHeaderFieldWithUsernamePassword(const std::string& username,
                                                                             const std::string& password) {
    setValueForHTTPHeaderField("Basic " + NKBase64EncodedStringFromString(username + ":" + password), kAuthorization);
}

void NKHTTPRequestSerializer::setAuthorizationHeaderFieldWithToken(const std::string& token) {
    setValueForHTTPHeaderField("Token token=\"" + token + "\"", kAuthorization);
}

void NKHTTPRequestSerializer::clearAuthorizationHeader() { mutableHTTPRequestHeaders_.erase(kAuthorization); }

void NKHTTPRequestSerializer::setQueryStringSerializationWithStyle(unsigned long style) {
    queryStringSerializationStyle_ = style;
    queryStringSerialization_ = nullptr;
}

void NKHTTPRequestSerializer::setQueryStringSerializationWithBlock(QueryStringSerialization block) {
    queryStringSerialization_ = std::move(block);
}

NSURLRequestPtr NKHTTPRequestSerializer::requestWithMethod(const std::string& method, const std::string& URLString,
                                                           const Value& parameters, NSErrorPtr* error) {
    NSURLPtr url = NSURL::URLWithString(URLString);
    if (!url) {
        // A request without a URL can only fail later, and less clearly.
        if (error) *error = badURLError(URLString);
        return nullptr;
    }
    auto request = NSURLRequest::requestWithURL(url);
    request->setHTTPMethod(method);
    request->setAllowsCellularAccess(allowsCellularAccess_);
    request->setCachePolicy(cachePolicy_);
    request->setHTTPShouldHandleCookies(HTTPShouldHandleCookies_);
    request->setHTTPShouldUsePipelining(HTTPShouldUsePipelining_);
    request->setNetworkServiceType(networkServiceType_);
    request->setTimeoutInterval(timeoutInterval_);
    NSURLRequestPtr serialized = requestBySerializingRequest(request, parameters, error);
    return serialized ? serialized->mutableCopy() : nullptr;
}

NSURLRequestPtr NKHTTPRequestSerializer::requestWithDefaultHeaders(const NSURLRequestPtr& request) const {
    auto copy = request->mutableCopy();
    for (const auto& [field, value] : mutableHTTPRequestHeaders_) {
        if (request->valueForHTTPHeaderField(field).empty()) copy->setValueForHTTPHeaderField(value, field);
    }
    return copy;
}

bool NKHTTPRequestSerializer::encodesParametersInURI(const NSURLRequestPtr& request) const {
    return methodsInURI_.count(NSString::uppercaseString(request->HTTPMethod())) > 0;
}

NSURLRequestPtr NKHTTPRequestSerializer::requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                                     NSErrorPtr* error) {
    if (!request) return nullptr;
    auto copy = requestWithDefaultHeaders(request);
    if (parameters.isNull()) return copy;
    std::optional<std::string> query;
    if (queryStringSerialization_) {
        query = queryStringSerialization_(request, parameters, error);
    } else if (queryStringSerializationStyle_ == NKHTTPRequestQueryStringDefaultStyle) {
        query = NKQueryStringFromParametersWithEncoding(parameters, stringEncoding_);
    }
    // Without a query there is nothing to put on the request.
    if (!query) return copy;
    if (encodesParametersInURI(request)) {
        if (copy->URL()) {
            std::string absolute = copy->URL()->absoluteString();
            copy->setURL(NSURL::URLWithString(absolute + (copy->URL()->query() ? "&" : "?") + *query));
        }
        return copy;
    }
    if (copy->valueForHTTPHeaderField("Content-Type").empty()) {
        copy->setValueForHTTPHeaderField("application/x-www-form-urlencoded; charset=" + charsetName(stringEncoding_),
                                         "Content-Type");
    }
    auto body = NSString::dataUsingEncoding(*query, stringEncoding_);
    copy->setHTTPBody(std::make_shared<NSData>(body.value_or(std::vector<std::uint8_t>(query->begin(), query->end()))));
    return copy;
}

NSURLRequestPtr NKHTTPRequestSerializer::multipartFormRequestWithMethod(const std::string& method, const std::string& URLString,
                                                                        const Value& parameters,
                                                                        const std::function<void(NKMultipartFormData&)>& block,
                                                                        NSErrorPtr* error) {
    NSURLRequestPtr request = requestWithMethod(method, URLString, Value(), error);
    if (!request) return nullptr;
    auto form = std::make_shared<NKStreamingMultipartFormData>(request, NSUTF8StringEncoding);
    if (!parameters.isNull()) {
        for (const auto& pair : NKQueryStringPairsFromKeyAndValue(Value(), parameters)) {
            NSDataPtr data;
            if (pair.value().isData()) {
                data = std::make_shared<NSData>(pair.value().data());
            } else if (auto object = pair.value().objectAs<NSData>()) {
                data = object;
            } else if (pair.value().isNull()) {
                data = NSData::data();
            } else {
                auto bytes = NSString::dataUsingEncoding(NKQueryStringDescription(pair.value()), stringEncoding_);
                if (bytes) data = std::make_shared<NSData>(std::move(*bytes));
            }
            if (data) form->appendPartWithFormData(data, NKQueryStringDescription(pair.field()));
        }
    }
    if (block) block(*form);
    return form->requestByFinalizingMultipartFormData();
}

std::shared_ptr<NKHTTPRequestSerializer> NKHTTPRequestSerializer::makeEmpty() const {
    return std::make_shared<NKHTTPRequestSerializer>();
}

std::shared_ptr<NKHTTPRequestSerializer> NKHTTPRequestSerializer::copy() const {
    auto copy = makeEmpty();
    copy->mutableHTTPRequestHeaders_ = mutableHTTPRequestHeaders_;
    copy->queryStringSerializationStyle_ = queryStringSerializationStyle_;
    copy->queryStringSerialization_ = queryStringSerialization_;
    return copy;
}
