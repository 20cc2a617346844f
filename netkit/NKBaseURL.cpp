#include "netkit/NKBaseURL.h"

NSURLPtr NKNormalizedBaseURL(NSURLPtr url) {
    if (!url) return url;
    std::string absolute = url->absoluteString();
    if (!url->path().empty() && !absolute.empty() && absolute.back() != '/') return url->URLByAppendingPathComponent("");
    return url;
}

void NKEncodeBaseURL(NSCoder& coder, const NSURLPtr& url, const std::string& key) {
    coder.encodeObjectForKey(url ? Value(url->absoluteString()) : Value(), key);
}

NSURLPtr NKDecodeBaseURL(const NSCoder& coder, const std::string& key) {
    Value value = coder.decodeObjectForKey(key);
    if (value.isString()) return NSURL::URLWithString(value.stringValue());
    return value.objectAs<NSURL>();
}
