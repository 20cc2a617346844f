#pragma once
// One error of a session: the caller's identifier and message, a description of the NSError or
// NSException behind it, and optionally a live crash report.

#include "platform/foundation/NSCoder.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>

enum VuderuErrorType : std::int32_t {
    VuderuErrorTypeError = 1,     // from an NSError
    VuderuErrorTypeException = 2, // from an NSException
    VuderuErrorTypeCrash = 3,     // the crash record of a session
};

class VuderuError : public NSObject, public NSCoding {
public:
    // init: the next number of the errors series, made now.
    VuderuError();
    explicit VuderuError(const NSCoder& coder);
    void encodeWithCoder(NSCoder& coder) const override;

    static std::shared_ptr<VuderuError> errorWithStringMessageExceptionStringErrorTypeReportData(
        std::string errorString, std::string errorMessage, std::string exceptionString, std::int32_t errorType,
        NSDataPtr reportData);

    std::int32_t errorID() const { return errorID_; }
    void setErrorID(std::int32_t value) { errorID_ = value; }
    const std::shared_ptr<NSDate>& date() const { return date_; }
    void setDate(std::shared_ptr<NSDate> value) { date_ = std::move(value); }
    const std::string& errorString() const { return errorString_; }
    void setErrorString(std::string value) { errorString_ = std::move(value); }
    const std::string& errorMessage() const { return errorMessage_; }
    void setErrorMessage(std::string value) { errorMessage_ = std::move(value); }
    const std::string& exceptionString() const { return exceptionString_; }
    void setExceptionString(std::string value) { exceptionString_ = std::move(value); }
    std::int32_t errorType() const { return errorType_; }
    void setErrorType(std::int32_t value) { errorType_ = value; }
    const NSDataPtr& reportData() const { return reportData_; }
    void setReportData(NSDataPtr value) { reportData_ = std::move(value); }

    // The error record of the analytics report.
    void appendToData(NSMutableData& data) const;
    std::string description() const override;

private:
    std::int32_t errorID_ = 0;
    std::shared_ptr<NSDate> date_;
    std::string errorString_;
    std::string errorMessage_;
    std::string exceptionString_;
    std::int32_t errorType_ = 0;
    NSDataPtr reportData_;
};
