#pragma once
// URL requests. NSMutableURLRequest is the same class: the design's mutable and immutable requests
// differ only in which methods the program calls; mutableCopy() gives an independent copy.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"
#include "platform/net/NSHTTPHeaderFields.h"

#include <cstddef>
#include <memory>
#include <string>

class NSInputStream;
class NSURLRequest;
using NSMutableURLRequest = NSURLRequest;
using NSURLRequestPtr = std::shared_ptr<NSURLRequest>;

enum NSURLRequestCachePolicy : unsigned long {
    NSURLRequestUseProtocolCachePolicy = 0,
    NSURLRequestReloadIgnoringLocalCacheData = 1,
    NSURLRequestReturnCacheDataElseLoad = 2,
    NSURLRequestReturnCacheDataDontLoad = 3,
};

enum NSURLRequestNetworkServiceType : unsigned long {
    NSURLNetworkServiceTypeDefault = 0,
    NSURLNetworkServiceTypeVoIP = 1,
    NSURLNetworkServiceTypeVideo = 2,
    NSURLNetworkServiceTypeBackground = 3,
    NSURLNetworkServiceTypeVoice = 4,
};

inline constexpr NSTimeInterval NSURLRequestDefaultTimeoutInterval = 60;

class NSURLRequest : public NSObject, public NSCoding {
public:
    // initWithCoder: — a body stream is not archived (a stream cannot be).
    explicit NSURLRequest(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    explicit NSURLRequest(NSURLPtr url, NSURLRequestCachePolicy cachePolicy = NSURLRequestUseProtocolCachePolicy,
                          NSTimeInterval timeoutInterval = NSURLRequestDefaultTimeoutInterval);
    static NSURLRequestPtr requestWithURL(const NSURLPtr& url);
    static NSURLRequestPtr requestWithURL(const NSURLPtr& url, NSURLRequestCachePolicy cachePolicy, NSTimeInterval timeout);

    NSURLRequestPtr mutableCopy() const;
    NSURLRequestPtr copy() const { return mutableCopy(); }

    const NSURLPtr& URL() const { return url_; }
    void setURL(NSURLPtr url) { url_ = std::move(url); }
    // "GET" unless set.
    const std::string& HTTPMethod() const { return method_; }
    void setHTTPMethod(std::string method) { method_ = std::move(method); }
    NSURLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    // Seconds without any progress after which the request fails with NSURLErrorTimedOut.
    NSTimeInterval timeoutInterval() const { return timeout_; }
    void setTimeoutInterval(NSTimeInterval timeout) { timeout_ = timeout; }
    bool HTTPShouldHandleCookies() const { return handleCookies_; }
    void setHTTPShouldHandleCookies(bool handle) { handleCookies_ = handle; }
    // Kept for the program that sets them; the loader has one network and does not pipeline.
    bool allowsCellularAccess() const { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows) { allowsCellularAccess_ = allows; }
    bool HTTPShouldUsePipelining() const { return usePipelining_; }
    void setHTTPShouldUsePipelining(bool pipelining) { usePipelining_ = pipelining; }
    NSURLRequestNetworkServiceType networkServiceType() const { return networkServiceType_; }
    void setNetworkServiceType(NSURLRequestNetworkServiceType type) { networkServiceType_ = type; }

    const NSHTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
    void setAllHTTPHeaderFields(NSHTTPHeaderFields fields) { headers_ = std::move(fields); }
    // "" when the field is not set.
    std::string valueForHTTPHeaderField(const std::string& field) const;
    // An empty value removes the field.
    void setValueForHTTPHeaderField(const std::string& value, const std::string& field);
    // Appends to an existing value with ",".
    void addValueForHTTPHeaderField(const std::string& value, const std::string& field);

    // A body and a body stream exclude each other: setting one clears the other.
    const NSDataPtr& HTTPBody() const { return body_; }
    void setHTTPBody(NSDataPtr body);
    const std::shared_ptr<NSInputStream>& HTTPBodyStream() const { return bodyStream_; }
    void setHTTPBodyStream(std::shared_ptr<NSInputStream> stream);

    // The most body bytes the loader reads for this request, as they come out of any content
    // coding (0, the default: no bound of its own). An answer announced or grown past it fails with
    // NSURLErrorDataLengthExceedsMaximum and the transfer stops there: at most the bound reaches
    // the client, and no more than one network read past it is taken from the server. Kept by
    // copies and redirects; not archived. The loader's own extension, for callers that can only
    // use a bounded answer (nothing a device request has).
    std::size_t maximumBodyLength() const { return maximumBodyLength_; }
    void setMaximumBodyLength(std::size_t bytes) { maximumBodyLength_ = bytes; }

    std::string description() const override;

private:
    NSURLPtr url_;
    std::string method_ = "GET";
    NSURLRequestCachePolicy cachePolicy_;
    NSTimeInterval timeout_;
    bool handleCookies_ = true;
    bool allowsCellularAccess_ = true;
    bool usePipelining_ = false;
    NSURLRequestNetworkServiceType networkServiceType_ = NSURLNetworkServiceTypeDefault;
    NSHTTPHeaderFields headers_;
    NSDataPtr body_;
    std::shared_ptr<NSInputStream> bodyStream_;
    std::size_t maximumBodyLength_ = 0;
};
