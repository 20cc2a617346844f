#include "netkit/NKCompoundResponseSerializer.h"

#include "platform/foundation/NSKeyedUnarchiver.h"

namespace {
const char* const kSerializersKey = "responseSerializers";
const bool registeredNKCompoundResponseSerializer = (NSKeyedUnarchiver::registerClass<NKCompoundResponseSerializer>("NKCompoundResponseSerializer"), true);
} // namespace

NKCompoundResponseSerializer::NKCompoundResponseSerializer(const NSCoder& coder) : NKHTTPResponseSerializer(coder) {
    Value members = coder.decodeObjectForKey(kSerializersKey);
    if (!members.isArray()) return;
    for (const Value& member : members.array()) {
        // Anything that is not a response serializer is skipped when answering, so it is not kept.
        if (auto serializer = member.objectAs<NKHTTPResponseSerializer>()) responseSerializers_.push_back(serializer);
    }
}

void NKCompoundResponseSerializer::encodeWithCoder(NSCoder& coder) const {
    NKHTTPResponseSerializer::encodeWithCoder(coder);
    Value::Array members;
    for (const auto& serializer : responseSerializers_) members.emplace_back(serializer);
    coder.encodeObjectForKey(Value(std::move(members)), kSerializersKey);
}

std::shared_ptr<NKCompoundResponseSerializer> NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    std::vector<std::shared_ptr<NKHTTPResponseSerializer>> serializers) {
    auto compound = std::make_shared<NKCompoundResponseSerializer>();
    compound->responseSerializers_ = std::move(serializers);
    return compound;
}

Value NKCompoundResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data,
                                                              NSErrorPtr* error) {
    for (const auto& serializer : responseSerializers_) {
        if (!serializer) continue;
        NSErrorPtr memberError;
        Value object = serializer->responseObjectForResponse(response, data, &memberError);
        if (object.isNull()) continue;
        if (error) *error = NKErrorWithUnderlyingError(memberError, *error);
        return object;
    }
    return NKHTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

std::shared_ptr<NKHTTPResponseSerializer> NKCompoundResponseSerializer::makeEmpty() const {
    return std::make_shared<NKCompoundResponseSerializer>();
}

std::shared_ptr<NKHTTPResponseSerializer> NKCompoundResponseSerializer::copy() const {
    return compoundSerializerWithResponseSerializers(responseSerializers_);
}
