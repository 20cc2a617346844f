#include "netkit/NKJSONResponseSerializer.h"

#include "netkit/NKLocalizedString.h"
#include "platform/foundation/NSJSONSerialization.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSURLError.h"

namespace {
const char* const kReadingOptionsKey = "readingOptions";
const bool registeredNKJSONResponseSerializer = (NSKeyedUnarchiver::registerClass<NKJSONResponseSerializer>("NKJSONResponseSerializer"), true);

NSErrorPtr decodingError(const std::string& description, const std::string& reason) {
    Value::Dictionary userInfo;
    userInfo[NSLocalizedDescriptionKey] = description;
    userInfo[NSLocalizedFailureReasonErrorKey] = reason;
    return NSError::errorWithDomain(NKNetworkingErrorDomain, NSURLErrorCannotDecodeContentData, std::move(userInfo));
}

NSStringEncoding encodingFor(const NSURLResponsePtr& response, NSStringEncoding fallback) {
    if (!response || response->textEncodingName().empty()) return fallback;
    CFStringEncoding named = CFStringConvertIANACharSetNameToEncoding(response->textEncodingName());
    return named == kCFStringEncodingInvalidId ? fallback : CFStringConvertEncodingToNSStringEncoding(named);
}
} // namespace

NKJSONResponseSerializer::NKJSONResponseSerializer() {
    setAcceptableContentTypes(std::set<std::string>{"application/json", "text/json", "text/javascript"});
}

NKJSONResponseSerializer::NKJSONResponseSerializer(const NSCoder& coder) : NKHTTPResponseSerializer(coder) {
    readingOptions_ = static_cast<unsigned long>(coder.decodeInt64ForKey(kReadingOptionsKey));
}

void NKJSONResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeInt64ForKey(static_cast<std::int64_t>(readingOptions_), kReadingOptionsKey);
}

std::shared_ptr<NKJSONResponseSerializer> NKJSONResponseSerializer::serializer() { return serializerWithReadingOptions(0); }

std::shared_ptr<NKJSONResponseSerializer> NKJSONResponseSerializer::serializerWithReadingOptions(unsigned long options) {
    auto serializer = std::make_shared<NKJSONResponseSerializer>();
    serializer->setReadingOptions(options);
    return serializer;
}

Value NKJSONResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data,
                                                          NSErrorPtr* error) {
    if (refusesContentType(response, data, error)) return Value();
    if (!data || data->length() == 0) return Value();
    NSStringEncoding encoding = encodingFor(response, stringEncoding());
    std::optional<std::string> text = NSString::initWithBytes(data->bytes(), data->length(), encoding);
    NSErrorPtr parseError;
    std::optional<Value> object;
    if (!text) {
        // A body that is not text in its own encoding is a failure, not an empty answer.
        parseError = decodingError(NKLocalizedString("Data failed decoding in its text encoding"),
                                   NSString::stringWithFormat(NKLocalizedString("Could not decode data as %@"),
                                                              CFStringConvertEncodingToIANACharSetName(
                                                                  CFStringConvertNSStringEncodingToEncoding(encoding))));
    } else if (*text != " ") {
        // Strings here are UTF-8 already: the re-encoding the text goes through cannot fail.
        if (text->empty()) return Value();
        object = NSJSONSerialization::JSONObjectWithData(*text, readingOptions_, &parseError);
    }
    if (object && removesKeysWithNullValues_) object = NKJSONObjectByRemovingKeysWithNullValues(*object, readingOptions_);
    if (error) *error = NKErrorWithUnderlyingError(parseError, *error);
    return object ? *object : Value();
}

std::shared_ptr<NKHTTPResponseSerializer> NKJSONResponseSerializer::makeEmpty() const {
    return std::make_shared<NKJSONResponseSerializer>();
}

std::shared_ptr<NKHTTPResponseSerializer> NKJSONResponseSerializer::copy() const {
    auto copy = std::make_shared<NKJSONResponseSerializer>();
    copy->readingOptions_ = readingOptions_;
    return copy;
}

Value NKJSONObjectByRemovingKeysWithNullValues(const Value& object, unsigned long readingOptions) {
    if (object.isArray()) {
        Value::Array cleaned;
        cleaned.reserve(object.array().size());
        for (const Value& element : object.array()) cleaned.push_back(NKJSONObjectByRemovingKeysWithNullValues(element, readingOptions));
        return Value(std::move(cleaned));
    }
    if (object.isDictionary()) {
        Value::Dictionary cleaned;
        for (const auto& [key, value] : object.dictionary()) {
            if (value.isNull()) continue;
            cleaned[key] = NKJSONObjectByRemovingKeysWithNullValues(value, readingOptions);
        }
        return Value(std::move(cleaned));
    }
    return object;
}
