#include "platform/net/URLRedirect.h"

NSURLRequestPtr URLRedirectRequest(const NSURLRequestPtr& request, const std::shared_ptr<NSHTTPURLResponse>& response) {
    long status = response->statusCode();
    bool redirect = status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    auto location = response->valueForHTTPHeaderField("Location");
    if (!redirect || !location || location->empty()) return nullptr;
    NSURLPtr target = NSURL::URLWithString(*location, request->URL());
    if (!target) return nullptr;
    auto next = request->mutableCopy();
    next->setURL(target->absoluteURL());
    bool becomesGet = status == 303 || ((status == 301 || status == 302) && request->HTTPMethod() == "POST");
    if (becomesGet) {
        next->setHTTPMethod(request->HTTPMethod() == "HEAD" ? "HEAD" : "GET");
        next->setHTTPBody(nullptr);
        next->setHTTPBodyStream(nullptr);
        next->setValueForHTTPHeaderField("", "Content-Type");
        next->setValueForHTTPHeaderField("", "Content-Length");
    }
    return next;
}
