#pragma once
// What a URL session is made from: default, or background with an identifier (a background
// configuration runs its tasks here like a default one). Archivable.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"
#include "platform/net/NSHTTPHeaderFields.h"

#include <memory>
#include <string>

class NSURLSessionConfiguration;
using NSURLSessionConfigurationPtr = std::shared_ptr<NSURLSessionConfiguration>;

class NSURLSessionConfiguration : public NSObject, public NSCoding {
public:
    NSURLSessionConfiguration() = default;
    explicit NSURLSessionConfiguration(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;

    static NSURLSessionConfigurationPtr defaultSessionConfiguration();
    static NSURLSessionConfigurationPtr backgroundSessionConfiguration(const std::string& identifier);
    NSURLSessionConfigurationPtr copy() const;

    // Empty for a default configuration.
    const std::string& identifier() const { return identifier_; }
    bool isBackground() const { return background_; }
    NSTimeInterval timeoutIntervalForRequest() const { return timeoutForRequest_; }
    void setTimeoutIntervalForRequest(NSTimeInterval timeout) { timeoutForRequest_ = timeout; }
    // Fields every request of the session carries unless it sets them itself.
    const NSHTTPHeaderFields& HTTPAdditionalHeaders() const { return additionalHeaders_; }
    void setHTTPAdditionalHeaders(NSHTTPHeaderFields fields) { additionalHeaders_ = std::move(fields); }
    bool allowsCellularAccess() const { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows) { allowsCellularAccess_ = allows; }

    bool isEqual(const NSObject* other) const override;
    std::string description() const override;

private:
    std::string identifier_;
    bool background_ = false;
    NSTimeInterval timeoutForRequest_ = 60;
    NSHTTPHeaderFields additionalHeaders_;
    bool allowsCellularAccess_ = true;
};
