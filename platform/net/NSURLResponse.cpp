#include "platform/net/NSURLResponse.h"

#include "platform/foundation/NSString.h"

NSURLResponse::NSURLResponse(NSURLPtr url, std::string MIMEType, long long expectedContentLength, std::string textEncodingName)
    : url_(std::move(url)), mimeType_(std::move(MIMEType)), expectedLength_(expectedContentLength),
      textEncodingName_(std::move(textEncodingName)) {}

std::string NSURLResponse::suggestedFilename() const {
    std::string name = url_ ? url_->lastPathComponent() : std::string();
    return name.empty() || name == "/" ? "Unknown" : name;
}

std::string NSURLResponse::description() const {
    return NSString::stringWithFormat("<%@: %p> { URL: %@ }", className(), static_cast<const void*>(this),
                                      url_ ? url_->absoluteString() : std::string("(null)"));
}
