// The JSON and property-list request serializers: the same steps around different encoders.
#include "netkit/NKJSONRequestSerializer.h"
#include "netkit/NKPropertyListRequestSerializer.h"

#include "platform/foundation/NSJSONSerialization.h"
#include "platform/foundation/NSKeyedUnarchiver.h"

namespace {
const char* const kWritingOptionsKey = "writingOptions";
const char* const kFormatKey = "format";
const char* const kWriteOptionsKey = "writeOptions";
const bool registeredJSON = (NSKeyedUnarchiver::registerClass<NKJSONRequestSerializer>("NKJSONRequestSerializer"), true);
const bool registeredPlist =
    (NSKeyedUnarchiver::registerClass<NKPropertyListRequestSerializer>("NKPropertyListRequestSerializer"), true);

std::string utf8Charset() {
    return CFStringConvertEncodingToIANACharSetName(CFStringConvertNSStringEncodingToEncoding(NSUTF8StringEncoding));
}

// The body the encoder makes, under the content type unless the request names its own. An encoder
// failure gives no request: a request without the body it was asked to carry must not be sent.
NSURLRequestPtr withEncodedBody(NSURLRequestPtr request, const std::string& contentType, NSDataPtr body, const NSErrorPtr& encoderError,
                                NSErrorPtr* error) {
    if (!body) {
        if (error) *error = encoderError;
        return nullptr;
    }
    if (request->valueForHTTPHeaderField("Content-Type").empty()) {
        request->setValueForHTTPHeaderField(contentType + "; charset=" + utf8Charset(), "Content-Type");
    }
    request->setHTTPBody(std::move(body));
    return request;
}
} // namespace

NKJSONRequestSerializer::NKJSONRequestSerializer(const NSCoder& coder) : NKHTTPRequestSerializer(coder) {
    writingOptions_ = static_cast<unsigned long>(coder.decodeInt64ForKey(kWritingOptionsKey));
}

void NKJSONRequestSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInt64ForKey(static_cast<std::int64_t>(writingOptions_), kWritingOptionsKey);
}

std::shared_ptr<NKJSONRequestSerializer> NKJSONRequestSerializer::serializer() { return serializerWithWritingOptions(0); }

std::shared_ptr<NKJSONRequestSerializer> NKJSONRequestSerializer::serializerWithWritingOptions(unsigned long options) {
    auto serializer = std::make_shared<NKJSONRequestSerializer>();
    serializer->writingOptions_ = options;
    return serializer;
}

NSURLRequestPtr NKJSONRequestSerializer::requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                                     NSErrorPtr* error) {
    if (!request) return nullptr;
    if (encodesParametersInURI(request)) return NKHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);
    auto copy = requestWithDefaultHeaders(request);
    if (parameters.isNull()) return copy;
    NSErrorPtr encoderError;
    NSDataPtr body = NSJSONSerialization::dataWithJSONObject(parameters, writingOptions_, &encoderError);
    return withEncodedBody(copy, "application/json", body, encoderError, error);
}

std::shared_ptr<NKHTTPRequestSerializer> NKJSONRequestSerializer::makeEmpty() const {
    return std::make_shared<NKJSONRequestSerializer>();
}

std::shared_ptr<NKHTTPRequestSerializer> NKJSONRequestSerializer::copy() const {
    return serializerWithWritingOptions(writingOptions_);
}

NKPropertyListRequestSerializer::NKPropertyListRequestSerializer(const NSCoder& coder) : NKHTTPRequestSerializer(coder) {
    format_ = static_cast<NSPropertyListFormat>(coder.decodeInt64ForKey(kFormatKey));
    writeOptions_ = static_cast<NSPropertyListWriteOptions>(coder.decodeInt64ForKey(kWriteOptionsKey));
}

void NKPropertyListRequestSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInt64ForKey(static_cast<std::int64_t>(format_), kFormatKey);
    coder.encodeInt64ForKey(static_cast<std::int64_t>(writeOptions_), kWriteOptionsKey);
}

std::shared_ptr<NKPropertyListRequestSerializer> NKPropertyListRequestSerializer::serializer() {
    return serializerWithFormat(NSPropertyListXMLFormat_v1_0, 0);
}

std::shared_ptr<NKPropertyListRequestSerializer> NKPropertyListRequestSerializer::serializerWithFormat(
    NSPropertyListFormat format, NSPropertyListWriteOptions writeOptions) {
    auto serializer = std::make_shared<NKPropertyListRequestSerializer>();
    serializer->format_ = format;
    serializer->writeOptions_ = writeOptions;
    return serializer;
}

NSURLRequestPtr NKPropertyListRequestSerializer::requestBySerializingRequest(const NSURLRequestPtr& request,
                                                                             const Value& parameters, NSErrorPtr* error) {
    if (!request) return nullptr;
    if (encodesParametersInURI(request)) return NKHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);
    auto copy = requestWithDefaultHeaders(request);
    if (parameters.isNull()) return copy;
    NSErrorPtr encoderError;
    NSDataPtr body = NSPropertyListSerialization::dataWithPropertyList(parameters, format_, writeOptions_, &encoderError);
    return withEncodedBody(copy, "application/x-plist", body, encoderError, error);
}

std::shared_ptr<NKHTTPRequestSerializer> NKPropertyListRequestSerializer::makeEmpty() const {
    return std::make_shared<NKPropertyListRequestSerializer>();
}

std::shared_ptr<NKHTTPRequestSerializer> NKPropertyListRequestSerializer::copy() const {
    return serializerWithFormat(format_, writeOptions_);
}
