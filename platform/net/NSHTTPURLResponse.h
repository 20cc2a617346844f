#pragma once
// The answer of an HTTP server: status code and header fields besides the generic metadata.

#include "platform/net/NSHTTPHeaderFields.h"
#include "platform/net/NSURLResponse.h"

#include <memory>
#include <optional>
#include <string>

class NSHTTPURLResponse : public NSURLResponse {
public:
    // MIME type, text encoding and expected length come from the header fields.
    NSHTTPURLResponse(NSURLPtr url, long statusCode, std::string HTTPVersion, NSHTTPHeaderFields headerFields);
    explicit NSHTTPURLResponse(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;

    long statusCode() const { return statusCode_; }
    const std::string& HTTPVersion() const { return version_; }
    // Names compare without regard to case.
    const NSHTTPHeaderFields& allHeaderFields() const { return headers_; }
    // nullopt when the field is absent.
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;

    // The platform's short text for a status code ("not found" for 404), lower case.
    static std::string localizedStringForStatusCode(long statusCode);

    std::string description() const override;

private:
    long statusCode_;
    std::string version_;
    NSHTTPHeaderFields headers_;
};

using NSHTTPURLResponsePtr = std::shared_ptr<NSHTTPURLResponse>;
