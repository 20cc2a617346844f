#include "platform/net/NSURLResponse.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"

namespace {
const bool registeredNSURLResponse = (NSKeyedUnarchiver::registerClass<NSURLResponse>("NSURLResponse"), true);
} // namespace

NSURLResponse::NSURLResponse(NSURLPtr url, std::string MIMEType, long long expectedContentLength, std::string textEncodingName)
    : url_(std::move(url)), mimeType_(std::move(MIMEType)), expectedLength_(expectedContentLength),
      textEncodingName_(std::move(textEncodingName)) {}

NSURLResponse::NSURLResponse(const NSCoder& coder)
    : url_(NSURL::URLWithString(coder.decodeObjectForKey("URL").stringValue())),
      mimeType_(coder.decodeObjectForKey("MIMEType").stringValue()),
      expectedLength_(coder.containsValueForKey("expectedContentLength") ? coder.decodeInt64ForKey("expectedContentLength")
                                                                         : NSURLResponseUnknownLength),
      textEncodingName_(coder.decodeObjectForKey("textEncodingName").stringValue()) {}

void NSURLResponse::encodeWithCoder(NSCoder& coder) const {
    if (url_) coder.encodeObjectForKey(url_->absoluteString(), "URL");
    coder.encodeObjectForKey(mimeType_, "MIMEType");
    coder.encodeInt64ForKey(expectedLength_, "expectedContentLength");
    coder.encodeObjectForKey(textEncodingName_, "textEncodingName");
}

std::string NSURLResponse::suggestedFilename() const {
    std::string name = url_ ? url_->lastPathComponent() : std::string();
    return name.empty() || name == "/" ? "Unknown" : name;
}

std::string NSURLResponse::description() const {
    return NSString::stringWithFormat("<%@: %p> { URL: %@ }", className(), static_cast<const void*>(this),
                                      url_ ? url_->absoluteString() : std::string("(null)"));
}
