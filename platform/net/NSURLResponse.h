#pragma once
// The metadata of a URL load's answer.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSURL.h"

#include <cstdint>
#include <memory>
#include <string>

inline constexpr long long NSURLResponseUnknownLength = -1;

class NSURLResponse : public NSObject, public NSCoding {
public:
    explicit NSURLResponse(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;
    NSURLResponse(NSURLPtr url, std::string MIMEType, long long expectedContentLength, std::string textEncodingName);

    const NSURLPtr& URL() const { return url_; }
    // Lower case, without parameters; "" when unknown.
    const std::string& MIMEType() const { return mimeType_; }
    // -1 (NSURLResponseUnknownLength) when the server gave no length.
    long long expectedContentLength() const { return expectedLength_; }
    // The charset the answer named ("utf-8"), "" when none.
    const std::string& textEncodingName() const { return textEncodingName_; }
    std::string suggestedFilename() const;

    std::string description() const override;

private:
    NSURLPtr url_;
    std::string mimeType_;
    long long expectedLength_;
    std::string textEncodingName_;
};

using NSURLResponsePtr = std::shared_ptr<NSURLResponse>;
