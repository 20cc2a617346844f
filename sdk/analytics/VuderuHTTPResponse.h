#pragma once
// The outcome of one SDK HTTP task: body, status (clamped to 32 bits), the connection error when
// there was one, and the header fields with every key lower-cased. A response can be saved to a
// property-list file in the data directory and read back.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/net/NSHTTPURLResponse.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

class VuderuHTTPResponse : public NSObject {
public:
    using Headers = std::map<std::string, std::string>;

    // A nil response leaves body and headers nil and the status 0; the error is kept either way.
    VuderuHTTPResponse(const NSHTTPURLResponsePtr& response, NSDataPtr body, NSErrorPtr error);
    VuderuHTTPResponse(NSDataPtr body, std::int64_t statusCode, const std::optional<Headers>& headers, NSErrorPtr error);

    const NSDataPtr& body() const { return body_; }
    std::int32_t statusCode() const { return statusCode_; }
    const NSErrorPtr& error() const { return error_; }
    const std::optional<Headers>& headers() const { return headers_; }

    // 200..399.
    bool isSuccess() const { return static_cast<std::uint32_t>(statusCode_) - 200u < 200u; }
    bool isError() const { return !isSuccess(); }
    std::string description() const override;

    // Writes "vuderuResponse<seconds since 1970>" atomically, kept out of backups; its path, or
    // nullopt when it could not be written.
    std::optional<std::string> saveToDisk() const;
    // A missing or unreadable file gives nil body, status 0 and empty headers.
    static std::shared_ptr<VuderuHTTPResponse> readFromURL(const std::string& path);
    static std::string filePath(int number);

private:
    NSDataPtr body_;
    std::int32_t statusCode_ = 0;
    NSErrorPtr error_;
    std::optional<Headers> headers_;
};

using VuderuHTTPResponsePtr = std::shared_ptr<VuderuHTTPResponse>;
