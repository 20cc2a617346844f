#include "netkit/NKPropertyListResponseSerializer.h"

#include "platform/foundation/NSKeyedUnarchiver.h"

namespace {
const char* const kPropertyListResponseSerializerFormatKey = "format";
const char* const kReadOptionsKey = "readOptions";
const bool registeredNKPropertyListResponseSerializer =
    (NSKeyedUnarchiver::registerClass<NKPropertyListResponseSerializer>("NKPropertyListResponseSerializer"), true);
} // namespace

NKPropertyListResponseSerializer::NKPropertyListResponseSerializer() {
    setAcceptableContentTypes(std::set<std::string>{"application/x-plist"});
}

NKPropertyListResponseSerializer::NKPropertyListResponseSerializer(const NSCoder& coder) : NKHTTPResponseSerializer(coder) {
    format_ = static_cast<NSPropertyListFormat>(coder.decodeInt64ForKey(kPropertyListResponseSerializerFormatKey));
    readOptions_ = static_cast<NSPropertyListReadOptions>(coder.decodeInt64ForKey(kReadOptionsKey));
}

void NKPropertyListResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeInt64ForKey(static_cast<std::int64_t>(format_), kPropertyListResponseSerializerFormatKey);
    coder.encodeInt64ForKey(static_cast<std::int64_t>(readOptions_), kReadOptionsKey);
}

std::shared_ptr<NKPropertyListResponseSerializer> NKPropertyListResponseSerializer::serializer() {
    return serializerWithFormat(NSPropertyListXMLFormat_v1_0, 0);
}

std::shared_ptr<NKPropertyListResponseSerializer> NKPropertyListResponseSerializer::serializerWithFormat(
    NSPropertyListFormat format, NSPropertyListReadOptions readOptions) {
    auto serializer = std::make_shared<NKPropertyListResponseSerializer>();
    serializer->format_ = format;
    serializer->readOptions_ = readOptions;
    return serializer;
}

Value NKPropertyListResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data,
                                                                  NSErrorPtr* error) {
    if (refusesContentType(response, data, error)) return Value();
    if (!data) return Value();
    NSErrorPtr parseError;
    std::optional<Value> object = NSPropertyListSerialization::propertyListWithData(*data, readOptions_, nullptr, &parseError);
    if (error) *error = NKErrorWithUnderlyingError(parseError, *error);
    return object ? *object : Value();
}

std::shared_ptr<NKHTTPResponseSerializer> NKPropertyListResponseSerializer::makeEmpty() const {
    return std::make_shared<NKPropertyListResponseSerializer>();
}

std::shared_ptr<NKHTTPResponseSerializer> NKPropertyListResponseSerializer::copy() const {
    return serializerWithFormat(format_, readOptions_);
}
