#include "netkit/NKURLResponseSerialization.h"

#include "platform/net/NSURLError.h"

const std::string NKNetworkingErrorDomain = "NKNetworkingErrorDomain";
const std::string NKNetworkingOperationFailingURLResponseErrorKey = "NKNetworkingOperationFailingURLResponseErrorKey";

NSErrorPtr NKErrorWithUnderlyingError(const NSErrorPtr& error, const NSErrorPtr& underlyingError) {
    if (!error) return underlyingError;
    if (!underlyingError || error->userInfo().count(NSUnderlyingErrorKey)) return error;
    Value::Dictionary userInfo = error->userInfo();
    userInfo[NSUnderlyingErrorKey] = Value(underlyingError);
    return NSError::errorWithDomain(error->domain(), error->code(), userInfo);
}

bool NKErrorOrUnderlyingErrorHasCodeInDomain(const NSErrorPtr& error, const std::string& domain) {
    for (NSErrorPtr e = error; e; e = e->userInfoValue(NSUnderlyingErrorKey).objectAs<NSError>()) {
        if (e->domain() == domain && e->code() == NSURLErrorCannotDecodeContentData) return true;
    }
    return false;
}

NSErrorPtr NKBadServerResponseError(const NSURLResponsePtr& response, const NSURLRequestPtr& request, const std::string& description) {
    Value::Dictionary userInfo;
    userInfo[NSLocalizedDescriptionKey] = description;
    NSURLPtr url = response && response->URL() ? response->URL() : request ? request->URL() : nullptr;
    userInfo[NSURLErrorFailingURLErrorKey] = url ? Value(url) : Value();
    userInfo[NKNetworkingOperationFailingURLResponseErrorKey] = response ? Value(response) : Value();
    return NSError::errorWithDomain(NKNetworkingErrorDomain, NSURLErrorBadServerResponse, std::move(userInfo));
}
