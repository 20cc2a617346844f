#pragma once
// Errors: a domain, a code and a user-info dictionary, passed back through out-parameters.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <string>

class NSError;
using NSErrorPtr = std::shared_ptr<NSError>;

extern const std::string NSCocoaErrorDomain;
extern const std::string NSPOSIXErrorDomain;
extern const std::string NSOSStatusErrorDomain;
extern const std::string NSURLErrorDomain;

extern const std::string NSLocalizedDescriptionKey;
extern const std::string NSLocalizedFailureReasonErrorKey;
extern const std::string NSLocalizedRecoverySuggestionErrorKey;
extern const std::string NSUnderlyingErrorKey;
extern const std::string NSFilePathErrorKey;
extern const std::string NSStringEncodingErrorKey;
extern const std::string NSURLErrorKey;
extern const std::string NSURLErrorFailingURLErrorKey;
extern const std::string NSURLErrorFailingURLStringErrorKey;
extern const std::string NSDebugDescriptionErrorKey; // "NSDebugDescription"

// Codes of NSCocoaErrorDomain used by the platform's file and serialization calls.
enum : long {
    NSFileNoSuchFileError = 4,
    NSFileLockingError = 255,
    NSFileReadUnknownError = 256,
    NSFileReadNoPermissionError = 257,
    NSFileReadInvalidFileNameError = 258,
    NSFileReadCorruptFileError = 259,
    NSFileReadNoSuchFileError = 260,
    NSFileReadTooLargeError = 263,
    NSFileWriteUnknownError = 512,
    NSFileWriteNoPermissionError = 513,
    NSFileWriteInvalidFileNameError = 514,
    NSFileWriteFileExistsError = 516,
    NSFileWriteOutOfSpaceError = 640,
    NSFileWriteVolumeReadOnlyError = 642,
    NSPropertyListReadCorruptError = 3840,
    NSPropertyListReadUnknownVersionError = 3841,
    NSPropertyListWriteStreamError = 3851,
    NSPropertyListWriteInvalidError = 3852,
    NSExecutableLoadError = 3587,
};

class NSError : public NSObject {
public:
    NSError(std::string domain, long code, Value::Dictionary userInfo = {});

    static NSErrorPtr errorWithDomain(std::string domain, long code, Value::Dictionary userInfo = {});
    // An error of NSPOSIXErrorDomain for an errno value, described by strerror.
    static NSErrorPtr posixError(int errnum);

    const std::string& domain() const { return domain_; }
    long code() const { return code_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }
    // The user-info entry under a key, or null.
    const Value& userInfoValue(const std::string& key) const;

    // NSLocalizedDescriptionKey when present, otherwise the platform's generic sentence
    // "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;
    std::string localizedFailureReason() const;
    NSErrorPtr underlyingError() const;

    std::string description() const override;
    bool isEqual(const NSObject* other) const override;

private:
    std::string domain_;
    long code_;
    Value::Dictionary userInfo_;
};

// The errors of the JSON and property-list readers and writers (NSCocoaErrorDomain 3840 and
// 3852), with the parser's detail under NSDebugDescriptionErrorKey.
NSErrorPtr NSSerializationReadError(const std::string& detail);
NSErrorPtr NSSerializationWriteError(const std::string& detail);

// Sets *error when the caller asked for one; a common shape of the platform's failure paths.
inline void NSErrorSet(NSErrorPtr* error, NSErrorPtr value) {
    if (error) *error = std::move(value);
}
