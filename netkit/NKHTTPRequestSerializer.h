#pragma once
// Builds HTTP requests: default headers (a weighted Accept-Language and a User-Agent from the
// bundle and the device), request settings copied onto each request, optional authorization,
// and parameters in the query string ("GET", "HEAD", "DELETE") or a form-encoded body. It also
// builds multipart requests and can spool a streamed body into a file.

#include "netkit/NKMultipartFormData.h"
#include "netkit/NKURLRequestSerialization.h"
#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSStringEncoding.h"
#include "platform/net/NSHTTPHeaderFields.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

enum NKHTTPRequestQueryStringSerializationStyle : unsigned long {
    NKHTTPRequestQueryStringDefaultStyle = 0,
};

class NKHTTPRequestSerializer : public NSObject, public NKURLRequestSerialization, public NSCoding {
public:
    // Returns the query text, or nullopt (with *error) when there is none.
    using QueryStringSerialization =
        std::function<std::optional<std::string>(const NSURLRequestPtr& request, const Value& parameters, NSErrorPtr* error)>;

    NKHTTPRequestSerializer();
    // initWithCoder: — defaults first, then the archived headers and style.
    explicit NKHTTPRequestSerializer(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKHTTPRequestSerializer> serializer();

    NSStringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(NSStringEncoding encoding) { stringEncoding_ = encoding; }
    bool allowsCellularAccess() const { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows) { allowsCellularAccess_ = allows; }
    NSURLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    bool HTTPShouldHandleCookies() const { return HTTPShouldHandleCookies_; }
    void setHTTPShouldHandleCookies(bool handle) { HTTPShouldHandleCookies_ = handle; }
    bool HTTPShouldUsePipelining() const { return HTTPShouldUsePipelining_; }
    void setHTTPShouldUsePipelining(bool pipelining) { HTTPShouldUsePipelining_ = pipelining; }
    NSURLRequestNetworkServiceType networkServiceType() const { return networkServiceType_; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { networkServiceType_ = type; }
    NSTimeInterval timeoutInterval() const { return timeoutInterval_; }
    void setTimeoutInterval(NSTimeInterval timeout) { timeoutInterval_ = timeout; }

    // The default header fields (a copy).
    NSHTTPHeaderFields HTTPRequestHeaders() const { return mutableHTTPRequestHeaders_; }
    // An empty value removes the field.
    void setValueForHTTPHeaderField(const std::string& value, const std::string& field);
    void setAuthorizationHeaderFieldWithUsernamePassword(const std::string& username, const std::string& password);
    void setAuthorizationHeaderFieldWithToken(const std::string& token);
    void clearAuthorizationHeader();

    const std::set<std::string>& HTTPMethodsEncodingParametersInURI() const { return methodsInURI_; }
    void setHTTPMethodsEncodingParametersInURI(std::set<std::string> methods) { methodsInURI_ = std::move(methods); }
    unsigned long queryStringSerializationStyle() const { return queryStringSerializationStyle_; }
    void setQueryStringSerializationWithStyle(unsigned long style);
    void setQueryStringSerializationWithBlock(QueryStringSerialization block);

    // A request for the URL string (nil and an NSURLErrorBadURL error when it is no URL), with the
    // settings and the parameters serialized by requestBySerializingRequest.
    NSURLRequestPtr requestWithMethod(const std::string& method, const std::string& URLString, const Value& parameters,
                                      NSErrorPtr* error = nullptr);
    NSURLRequestPtr requestBySerializingRequest(const NSURLRequestPtr& request, const Value& parameters,
                                                NSErrorPtr* error) override;
    // A multipart request: the parameters as form fields, then what the block appends.
    NSURLRequestPtr multipartFormRequestWithMethod(const std::string& method, const std::string& URLString,
                                                   const Value& parameters,
                                                   const std::function<void(NKMultipartFormData&)>& block,
                                                   NSErrorPtr* error = nullptr);
    // Copies the request's body stream into the file on a background queue and gives back the
    // request without it at once; the handler runs on the main queue with the first stream error
    // (nil when every byte was written). A request without a body stream comes back as it is and
    // the handler is never called.
    NSURLRequestPtr requestWithMultipartFormRequestWritingStreamContentsToFile(
        const NSURLRequestPtr& request, const NSURLPtr& fileURL, std::function<void(const NSErrorPtr&)> handler);

    // A serializer of the same class with the defaults, a copy of the headers, the style and the
    // query block.
    virtual std::shared_ptr<NKHTTPRequestSerializer> copy() const;

protected:
    // The request with the default headers the request does not set itself.
    NSURLRequestPtr requestWithDefaultHeaders(const NSURLRequestPtr& request) const;
    bool encodesParametersInURI(const NSURLRequestPtr& request) const;
    // A fresh instance of the receiver's class, for copy().
    virtual std::shared_ptr<NKHTTPRequestSerializer> makeEmpty() const;

private:
    NSStringEncoding stringEncoding_ = NSUTF8StringEncoding;
    bool allowsCellularAccess_ = true;
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    bool HTTPShouldHandleCookies_ = true;
    bool HTTPShouldUsePipelining_ = false;
    NSURLRequestNetworkServiceType networkServiceType_ = NSURLNetworkServiceTypeDefault;
    NSTimeInterval timeoutInterval_ = NSURLRequestDefaultTimeoutInterval;
    NSHTTPHeaderFields mutableHTTPRequestHeaders_;
    std::set<std::string> methodsInURI_ = {"GET", "HEAD", "DELETE"};
    unsigned long queryStringSerializationStyle_ = NKHTTPRequestQueryStringDefaultStyle;
    QueryStringSerialization queryStringSerialization_;
};

// Standard Base64 (RFC 4648) of the text's UTF-8 bytes, without line breaks.
std::string NKBase64EncodedStringFromString(const std::string& string);
// The default header values, from the preferred languages and the bundle and device facts.
std::string NKDefaultAcceptLanguage();
std::string NKDefaultUserAgent();
