#pragma once
// Gives an XML body back as an NSXMLParser over it, not yet run: the caller sets its delegate and
// parses.

#include "netkit/NKHTTPResponseSerializer.h"

class NKXMLParserResponseSerializer : public NKHTTPResponseSerializer {
public:
    NKXMLParserResponseSerializer();
    explicit NKXMLParserResponseSerializer(const NSCoder& coder) : NKHTTPResponseSerializer(coder) {}
    static std::shared_ptr<NKXMLParserResponseSerializer> serializer();

    // An NSXMLParser object, or null for a refused content type.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) override;

protected:
    std::shared_ptr<NKHTTPResponseSerializer> makeEmpty() const override;
};
