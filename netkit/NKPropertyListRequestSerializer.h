#pragma once
// Sends parameters as a property list in the body; methods that carry parameters in the URL
// behave as in the base serializer.

#include "netkit/NKHTTPRequestSerializer.h"
#include "platform/foundation/NSPropertyListSerialization.h"

class NKPropertyListRequestSerializer : public NKHTTPRequestSerializer {
public:
    NKPropertyListRequestSerializer() = default;
    explicit NKPropertyListRequestSerializer(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKPropertyListRequestSerializer> serializer();
    static std::shared_ptr<NKPropertyListRequestSerializer> serializerWithFormat(NSPropertyListFormat format,
                                                                                  NSPropertyListWriteOptions writeOptions);

    NSPropertyListFormat format() const { return format_; }
    void setFormat(NSPropertyListFormat format) { format_ = format; }
    NSPropertyListWriteOptions writeOptions() const { return writeOptions_; }
    void setWriteOptions(NSPropertyListWriteOptions options) { writeOptions_ = options; }

    // Nil with the encoder's error when the parameters are no property list.
    NSURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                NSErrorPtr* error) override;
    // Only the format and options: headers and settings start from the defaults.
    std::shared_ptr<NKHTTPRequestSerializer> copy() const override;

protected:
    std::shared_ptr<NKHTTPRequestSerializer> makeEmpty() const override;

private:
    NSPropertyListFormat format_ = NSPropertyListXMLFormat_v1_0;
    NSPropertyListWriteOptions writeOptions_ = 0;
};
