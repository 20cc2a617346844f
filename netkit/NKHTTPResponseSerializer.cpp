#include "netkit/NKHTTPResponseSerializer.h"

#include "netkit/NKLocalizedString.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"

namespace {
constexpr std::uint64_t kFirstSuccessCode = 200;
constexpr std::uint64_t kSuccessCodeCount = 100;
const char* const kStatusCodesKey = "acceptableStatusCodes";
const char* const kContentTypesKey = "acceptableContentTypes";
const bool registeredNKHTTPResponseSerializer = (NSKeyedUnarchiver::registerClass<NKHTTPResponseSerializer>("NKHTTPResponseSerializer"), true);
} // namespace

NKHTTPResponseSerializer::NKHTTPResponseSerializer()
    : acceptableStatusCodes_(NSIndexSet::indexSetWithIndexesInRange(kFirstSuccessCode, kSuccessCodeCount)) {}

NKHTTPResponseSerializer::NKHTTPResponseSerializer(const NSCoder& coder) : NKHTTPResponseSerializer() {
    acceptableStatusCodes_ = coder.decodeObjectForKey(kStatusCodesKey).objectAs<NSIndexSet>();
    Value types = coder.decodeObjectForKey(kContentTypesKey);
    if (types.isArray()) {
        std::set<std::string> set;
        for (const Value& type : types.array()) {
            if (type.isString()) set.insert(type.string());
        }
        acceptableContentTypes_ = std::move(set);
    } else {
        acceptableContentTypes_.reset();
    }
}

void NKHTTPResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    coder.encodeObjectForKey(acceptableStatusCodes_ ? Value(acceptableStatusCodes_) : Value(), kStatusCodesKey);
    if (acceptableContentTypes_) {
        Value::Array types(acceptableContentTypes_->begin(), acceptableContentTypes_->end());
        coder.encodeObjectForKey(Value(types), kContentTypesKey);
    } else {
        coder.encodeObjectForKey(Value(), kContentTypesKey);
    }
}

std::shared_ptr<NKHTTPResponseSerializer> NKHTTPResponseSerializer::serializer() {
    return std::make_shared<NKHTTPResponseSerializer>();
}

bool NKHTTPResponseSerializer::validateResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) {
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response);
    if (!http) return true;
    bool valid = true;
    NSErrorPtr validationError;
    auto userInfoFor = [&](const std::string& description) {
        Value::Dictionary userInfo;
        userInfo[NSLocalizedDescriptionKey] = description;
        userInfo[NSURLErrorFailingURLErrorKey] = http->URL() ? Value(http->URL()) : Value();
        userInfo[NKNetworkingOperationFailingURLResponseErrorKey] = Value(http);
        return userInfo;
    };
    if (acceptableContentTypes_ && !acceptableContentTypes_->count(http->MIMEType())) {
        if (data && data->length() > 0) {
            std::string text = NSString::stringWithFormat(NKLocalizedString("Request failed: unacceptable content-type: %@"),
                                                          http->MIMEType());
            validationError = NKErrorWithUnderlyingError(
                NSError::errorWithDomain(NKNetworkingErrorDomain, NSURLErrorCannotDecodeContentData, userInfoFor(text)), nullptr);
        }
        valid = false;
    }
    if (acceptableStatusCodes_ && !acceptableStatusCodes_->containsIndex(static_cast<std::uint64_t>(http->statusCode()))) {
        std::string text = NSString::stringWithFormat(NKLocalizedString("Request failed: %@ (%ld)"),
                                                      NSHTTPURLResponse::localizedStringForStatusCode(http->statusCode()),
                                                      http->statusCode());
        validationError = NKErrorWithUnderlyingError(
            NSError::errorWithDomain(NKNetworkingErrorDomain, NSURLErrorBadServerResponse, userInfoFor(text)), validationError);
        valid = false;
    }
    if (error && !valid) *error = validationError;
    return valid;
}

Value NKHTTPResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data,
                                                          NSErrorPtr* error) {
    validateResponse(response, data, error);
    return data ? Value(data) : Value();
}

std::shared_ptr<NKHTTPResponseSerializer> NKHTTPResponseSerializer::makeEmpty() const {
    return std::make_shared<NKHTTPResponseSerializer>();
}

std::shared_ptr<NKHTTPResponseSerializer> NKHTTPResponseSerializer::copy() const {
    auto copy = makeEmpty();
    copy->acceptableStatusCodes_ = acceptableStatusCodes_ ? acceptableStatusCodes_->copy() : nullptr;
    copy->acceptableContentTypes_ = acceptableContentTypes_;
    return copy;
}

bool NKHTTPResponseSerializer::refusesContentType(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) {
    NSErrorPtr local;
    NSErrorPtr* slot = error ? error : &local;
    if (validateResponse(response, data, slot)) return false;
    return NKErrorOrUnderlyingErrorHasCodeInDomain(*slot, NKNetworkingErrorDomain);
}
