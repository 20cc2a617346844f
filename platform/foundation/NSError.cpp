#include "platform/foundation/NSError.h"

#include <cstring>

const std::string NSCocoaErrorDomain = "NSCocoaErrorDomain";
const std::string NSPOSIXErrorDomain = "NSPOSIXErrorDomain";
const std::string NSOSStatusErrorDomain = "NSOSStatusErrorDomain";
const std::string NSURLErrorDomain = "NSURLErrorDomain";

const std::string NSLocalizedDescriptionKey = "NSLocalizedDescription";
const std::string NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
const std::string NSLocalizedRecoverySuggestionErrorKey = "NSLocalizedRecoverySuggestion";
const std::string NSUnderlyingErrorKey = "NSUnderlyingError";
const std::string NSFilePathErrorKey = "NSFilePath";
const std::string NSStringEncodingErrorKey = "NSStringEncodingErrorKey";
const std::string NSURLErrorKey = "NSURL";
const std::string NSURLErrorFailingURLErrorKey = "NSErrorFailingURLKey";
const std::string NSURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";
const std::string NSDebugDescriptionErrorKey = "NSDebugDescription";

NSError::NSError(std::string domain, long code, Value::Dictionary userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

NSErrorPtr NSError::errorWithDomain(std::string domain, long code, Value::Dictionary userInfo) {
    return std::make_shared<NSError>(std::move(domain), code, std::move(userInfo));
}

NSErrorPtr NSError::posixError(int errnum) {
    return errorWithDomain(NSPOSIXErrorDomain, errnum, {{NSLocalizedDescriptionKey, std::strerror(errnum)}});
}

const Value& NSError::userInfoValue(const std::string& key) const {
    static const Value null;
    auto it = userInfo_.find(key);
    return it == userInfo_.end() ? null : it->second;
}

std::string NSError::localizedDescription() const {
    const Value& d = userInfoValue(NSLocalizedDescriptionKey);
    if (d.isString()) return d.string();
    return "The operation couldn\xE2\x80\x99t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::string NSError::localizedFailureReason() const { return userInfoValue(NSLocalizedFailureReasonErrorKey).stringValue(); }

NSErrorPtr NSError::underlyingError() const { return userInfoValue(NSUnderlyingErrorKey).objectAs<NSError>(); }

std::string NSError::description() const {
    std::string text = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() + "\"";
    if (!userInfo_.empty()) text += " UserInfo=" + Value(userInfo_).description();
    return text;
}

bool NSError::isEqual(const NSObject* other) const {
    auto e = dynamic_cast<const NSError*>(other);
    return e && e->domain_ == domain_ && e->code_ == code_ && Value(e->userInfo_) == Value(userInfo_);
}

NSErrorPtr NSSerializationReadError(const std::string& detail) {
    return NSError::errorWithDomain(
        NSCocoaErrorDomain, NSPropertyListReadCorruptError,
        {{NSLocalizedDescriptionKey, "The data couldn\xE2\x80\x99t be read because it isn\xE2\x80\x99t in the correct format."},
         {NSDebugDescriptionErrorKey, detail}});
}

NSErrorPtr NSSerializationWriteError(const std::string& detail) {
    return NSError::errorWithDomain(
        NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
        {{NSLocalizedDescriptionKey, "The data couldn\xE2\x80\x99t be written because it isn\xE2\x80\x99t in the correct format."},
         {NSDebugDescriptionErrorKey, detail}});
}
