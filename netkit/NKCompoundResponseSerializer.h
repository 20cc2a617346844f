#pragma once
// Asks its member serializers in order; the first that makes an object wins. When none does, the
// body comes back as the base serializer gives it.

#include "netkit/NKHTTPResponseSerializer.h"

#include <vector>

class NKCompoundResponseSerializer : public NKHTTPResponseSerializer {
public:
    NKCompoundResponseSerializer() = default;
    explicit NKCompoundResponseSerializer(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKCompoundResponseSerializer> compoundSerializerWithResponseSerializers(
        std::vector<std::shared_ptr<NKHTTPResponseSerializer>> serializers);

    const std::vector<std::shared_ptr<NKHTTPResponseSerializer>>& responseSerializers() const { return responseSerializers_; }
    void setResponseSerializers(std::vector<std::shared_ptr<NKHTTPResponseSerializer>> serializers) {
        responseSerializers_ = std::move(serializers);
    }

    Value responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) override;
    // Shares the member serializers with the original.
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;

protected:
    std::shared_ptr<NKHTTPResponseSerializer> makeEmpty() const override;

private:
    std::vector<std::shared_ptr<NKHTTPResponseSerializer>> responseSerializers_;
};
