#pragma once
// The base response serializer: validates the status code and the MIME type of an HTTP response
// and gives the body back unchanged. Specialised serializers subclass it and validate first.

#include "netkit/NKURLResponseSerialization.h"
#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSIndexSet.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSStringEncoding.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

class NKHTTPResponseSerializer : public NSObject, public NKURLResponseSerialization, public NSCoding {
public:
    NKHTTPResponseSerializer();
    // initWithCoder: — the acceptable sets as archived (nil included); the encoding is not archived.
    explicit NKHTTPResponseSerializer(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKHTTPResponseSerializer> serializer();

    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }
    // Nil: any status code passes.
    const NSIndexSetPtr& acceptableStatusCodes() const { return acceptableStatusCodes_; }
    void setAcceptableStatusCodes(NSIndexSetPtr codes) { acceptableStatusCodes_ = std::move(codes); }
    // Nullopt: any MIME type passes.
    const std::optional<std::set<std::string>>& acceptableContentTypes() const { return acceptableContentTypes_; }
    void setAcceptableContentTypes(std::optional<std::set<std::string>> types) { acceptableContentTypes_ = std::move(types); }

    // True when the response passes; a response that is not an HTTP response always does.
    virtual bool validateResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error);
    // The body as given (an NSData object, null for no body), whether it validates or not.
    Value responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) override;

    // A serializer of the same class with copies of the acceptable sets (the string encoding is
    // not copied).
    virtual std::shared_ptr<NKHTTPResponseSerializer> copy() const;

protected:
    // The start every body-decoding subclass shares: validates into *error (a local slot when none
    // is given) and answers true when the content type is refused, so the body must not be read.
    bool refusesContentType(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error);
    // A fresh instance of the receiver's class, for copy().
    virtual std::shared_ptr<NKHTTPResponseSerializer> makeEmpty() const;

private:
    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
    NSIndexSetPtr acceptableStatusCodes_;
    std::optional<std::set<std::string>> acceptableContentTypes_;
};
