#include "platform/net/NSData+NSURLLoading.h"

#include "platform/net/NSURLConnection.h"

namespace NSData_NSURLLoading {

NSDataPtr dataWithContentsOfURL(const NSURLPtr& url, NSErrorPtr* error) {
    if (!url) return nullptr;
    if (url->isFileURL()) return NSData::dataWithContentsOfFile(url->path(), error);
    return NSURLConnection::sendSynchronousRequest(NSURLRequest::requestWithURL(url), nullptr, error);
}

} // namespace NSData_NSURLLoading
