#pragma once
// Sends parameters as a JSON document in the body; methods that carry parameters in the URL
// behave as in the base serializer.

#include "netkit/NKHTTPRequestSerializer.h"

class NKJSONRequestSerializer : public NKHTTPRequestSerializer {
public:
    NKJSONRequestSerializer() = default;
    explicit NKJSONRequestSerializer(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKJSONRequestSerializer> serializer();
    static std::shared_ptr<NKJSONRequestSerializer> serializerWithWritingOptions(unsigned long options);

    unsigned long writingOptions() const { return writingOptions_; }
    void setWritingOptions(unsigned long options) { writingOptions_ = options; }

    // Nil with the encoder's error when the parameters are no JSON document.
    NSURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                NSErrorPtr* error) override;
    // Only the writing options: headers and settings start from the defaults.
    std::shared_ptr<NKHTTPRequestSerializer> copy() const override;

protected:
    std::shared_ptr<NKHTTPRequestSerializer> makeEmpty() const override;

private:
    unsigned long writingOptions_ = 0;
};
