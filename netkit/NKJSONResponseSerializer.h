#pragma once
// Turns a JSON body into Foundation values: decoded in the response's text encoding (or the
// serializer's), parsed from its UTF-8 form, optionally cleaned of null-valued keys.

#include "netkit/NKHTTPResponseSerializer.h"

class NKJSONResponseSerializer : public NKHTTPResponseSerializer {
public:
    NKJSONResponseSerializer();
    explicit NKJSONResponseSerializer(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKJSONResponseSerializer> serializer();
    static std::shared_ptr<NKJSONResponseSerializer> serializerWithReadingOptions(unsigned long options);

    unsigned long readingOptions() const { return readingOptions_; }
    void setReadingOptions(unsigned long options) { readingOptions_ = options; }
    bool removesKeysWithNullValues() const { return removesKeysWithNullValues_; }
    void setRemovesKeysWithNullValues(bool on) { removesKeysWithNullValues_ = on; }

    // Null for a refused content type (the body unread), an empty body or one blank. A body that
    // cannot be decoded in its text encoding, or malformed JSON, gives null and an error with any
    // validation error beneath it.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) override;
    std::shared_ptr<NKHTTPResponseSerializer> copy() const override;

protected:
    std::shared_ptr<NKHTTPResponseSerializer> makeEmpty() const override;

private:
    unsigned long readingOptions_ = 0;
    bool removesKeysWithNullValues_ = false;
};

// The object with every dictionary key whose value is null removed, at any depth; null elements
// of arrays stay. (Values have no immutable kind, so the reading options change nothing here.)
Value NKJSONObjectByRemovingKeysWithNullValues(const Value& object, unsigned long readingOptions);
