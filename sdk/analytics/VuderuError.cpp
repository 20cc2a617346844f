#include "sdk/analytics/VuderuError.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSString.h"
#include "sdk/analytics/VuderuAutoIncrement.h"
#include "sdk/analytics/VuderuProtocolData.h"

namespace {
const bool registeredVuderuError = (NSKeyedUnarchiver::registerClass<VuderuError>("VuderuError"), true);

NSDataPtr dataOf(const Value& v) {
    if (v.isData()) return std::make_shared<NSData>(v.data());
    return v.objectAs<NSData>();
}
} // namespace

VuderuError::VuderuError()
    : errorID_(VuderuAutoIncrement::instance()->nextCountFor(VuderuAutoIncrementKindErrors)), date_(NSDate::date()) {}

VuderuError::VuderuError(const NSCoder& coder)
    : errorID_(coder.decodeIntForKey("errorID")),
      date_(NSDate::fromValue(coder.decodeObjectForKey("date"))),
      errorString_(coder.decodeObjectForKey("errorString").stringValue()),
      errorMessage_(coder.decodeObjectForKey("errorMessage").stringValue()),
      exceptionString_(coder.decodeObjectForKey("exceptionString").stringValue()),
      errorType_(coder.decodeIntForKey("errorType")),
      reportData_(dataOf(coder.decodeObjectForKey("reportData"))) {}

void VuderuError::encodeWithCoder(NSCoder& coder) const {
    coder.encodeIntForKey(errorID_, "errorID");
    coder.encodeObjectForKey(date_ ? Value(date_->value()) : Value(), "date");
    coder.encodeObjectForKey(Value(errorString_), "errorString");
    coder.encodeObjectForKey(Value(errorMessage_), "errorMessage");
    coder.encodeObjectForKey(Value(exceptionString_), "exceptionString");
    coder.encodeIntForKey(errorType_, "errorType");
    coder.encodeObjectForKey(reportData_ ? Value(reportData_->vector()) : Value(), "reportData");
}

std::shared_ptr<VuderuError> VuderuError::errorWithStringMessageExceptionStringErrorTypeReportData(
    std::string errorString, std::string errorMessage, std::string exceptionString, std::int32_t errorType, NSDataPtr reportData) {
    auto error = std::make_shared<VuderuError>();
    error->errorString_ = std::move(errorString);
    error->errorMessage_ = std::move(errorMessage);
    error->exceptionString_ = std::move(exceptionString);
    error->errorType_ = errorType;
    error->reportData_ = std::move(reportData);
    return error;
}

void VuderuError::appendToData(NSMutableData& data) const {
    bool hasReport = reportData_ && reportData_->length() > 0;
    VuderuProtocolData::appendUshortToData(errorID_, data);
    VuderuProtocolData::appendTimestampToData(date_, data);
    VuderuProtocolData::appendStringToData(errorString_, data);
    VuderuProtocolData::appendStringToData(errorMessage_, data);
    VuderuProtocolData::appendStringToData(exceptionString_, data);
    VuderuProtocolData::appendByteToData(errorType_, data);
    VuderuProtocolData::appendByteToData(hasReport ? 1 : 0, data);
    if (hasReport) VuderuProtocolData::appendLargeDataToData(reportData_, data);
}

std::string VuderuError::description() const {
    return NSString::stringWithFormat("errorLogId[%d] errorTime[%@] errorId[%@] errorMessage[%@] exception[%@] type[%d]", errorID_,
                                      date_, errorString_, errorMessage_, exceptionString_, errorType_);
}
