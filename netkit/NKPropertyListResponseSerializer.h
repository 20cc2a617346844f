#pragma once
// Turns a property-list body (XML or binary) into Foundation values.

#include "netkit/NKHTTPResponseSerializer.h"
#include "platform/foundation/NSPropertyListSerialization.h"

class NKPropertyListResponseSerializer : public NKHTTPResponseSerializer {
public:
    NKPropertyListResponseSerializer();
    explicit NKPropertyListResponseSerializer(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKPropertyListResponseSerializer> serializer();
    static std::shared_ptr<NKPropertyListResponseSerializer> serializerWithFormat(NSPropertyListFormat format,
                                                                                   NSPropertyListReadOptions readOptions);

    // Archived and copied; reading tells the formats apart by themselves.
    NSPropertyListFormat format() const { return format_; }
    void setFormat(NSPropertyListFormat format) { format_ = format; }
    NSPropertyListReadOptions readOptions() const { return readOptions_; }
    void setReadOptions(NSPropertyListReadOptions options) { readOptions_ = options; }

    // Null for a refused content type or no body; a malformed body gives null and the parser's
    // error with any validation error beneath it.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) override;
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;

protected:
    std::shared_ptr<NKHTTPResponseSerializer> makeEmpty() const override;

private:
    NSPropertyListFormat format_ = NSPropertyListXMLFormat_v1_0;
    NSPropertyListReadOptions readOptions_ = 0;
};
