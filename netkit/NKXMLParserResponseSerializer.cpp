#include "netkit/NKXMLParserResponseSerializer.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSXMLParser.h"

namespace {
const bool registeredNKXMLParserResponseSerializer = (NSKeyedUnarchiver::registerClass<NKXMLParserResponseSerializer>("NKXMLParserResponseSerializer"), true);
} // namespace

NKXMLParserResponseSerializer::NKXMLParserResponseSerializer() {
    setAcceptableContentTypes(std::set<std::string>{"application/xml", "text/xml"});
}

std::shared_ptr<NKXMLParserResponseSerializer> NKXMLParserResponseSerializer::serializer() {
    return std::make_shared<NKXMLParserResponseSerializer>();
}

Value NKXMLParserResponseSerializer::responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data,
                                                               NSErrorPtr* error) {
    if (refusesContentType(response, data, error)) return Value();
    return Value(std::make_shared<NSXMLParser>(data));
}

std::shared_ptr<NKHTTPResponseSerializer> NKXMLParserResponseSerializer::makeEmpty() const {
    return std::make_shared<NKXMLParserResponseSerializer>();
}
