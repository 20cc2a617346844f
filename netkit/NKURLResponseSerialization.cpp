#include "netkit/NKURLResponseSerialization.h"

const std::string NKNetworkingErrorDomain = "NKNetworkingErrorDomain";
const std::string NKNetworkingOperationFailingURLResponseErrorKey = "NKNetworkingOperationFailingURLResponseErrorKey";

NSErrorPtr NKErrorWithUnderlyingError(const NSErrorPtr& error, const NSErrorPtr& underlyingError) {
    if (!error) return underlyingError;
    if (!underlyingError || error->userInfo().count(NSUnderlyingErrorKey)) return error;
    Value::Dictionary userInfo = error->userInfo();
    userInfo[NSUnderlyingErrorKey] = Value(underlyingError);
    return NSError::errorWithDomain(error->domain(), error->code(), userInfo);
}
