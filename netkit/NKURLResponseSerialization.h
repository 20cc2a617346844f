#pragma once
// The response-serialization contract of the HTTP library, its error domain and error chaining.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"

#include <memory>
#include <string>

extern const std::string NKNetworkingErrorDomain;                          // "NKNetworkingErrorDomain"
extern const std::string NKNetworkingOperationFailingURLResponseErrorKey;  // "NKNetworkingOperationFailingURLResponseErrorKey"

class NKURLResponseSerialization {
public:
    virtual ~NKURLResponseSerialization() = default;
    // The object made of a response and its body, or null; *error (when asked) tells why it is not
    // acceptable.
    virtual Value responseObjectForResponse(const NSURLResponsePtr& response, const NSDataPtr& data, NSErrorPtr* error) = 0;
};

// The error with the underlying error attached, unless it has one already; the underlying error
// alone when there is no error.
NSErrorPtr NKErrorWithUnderlyingError(const NSErrorPtr& error, const NSErrorPtr& underlyingError);

// True when the error, or an error beneath it, has code -1016 (an unacceptable content type) in the
// domain.
bool NKErrorOrUnderlyingErrorHasCodeInDomain(const NSErrorPtr& error, const std::string& domain);

// The library's error for an answer that is not the one the request asked for (a partial answer
// that is not the range requested, say): code -1011 (NSURLErrorBadServerResponse) with the
// description, the failing URL (the response's, else the request's) and the response.
NSErrorPtr NKBadServerResponseError(const NSURLResponsePtr& response, const NSURLRequestPtr& request, const std::string& description);
