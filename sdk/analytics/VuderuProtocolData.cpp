#include "sdk/analytics/VuderuProtocolData.h"

#include "platform/foundation/NSException.h"
#include "platform/foundation/NSString.h"
#include "sdk/analytics/VuderuUtil.h"

#include <bit>
#include <cmath>
#include <limits>

namespace {

const std::string kProtocolDataMalformedData = "Malformed data";

void appendBigEndian(std::uint64_t value, int bytes, NSMutableData& data) {
    std::uint8_t out[8];
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
    data.appendBytes(out, static_cast<std::size_t>(bytes));
}

void appendBlock(const NSDataPtr& value, std::uint64_t length, int lengthBytes, NSMutableData& data) {
    appendBigEndian(length, lengthBytes, data);
    if (value) data.appendBytes(value->bytes(), value->length());
}

// The length byte, then exactly as many bytes as it gives.
void appendTinyBlock(const NSDataPtr& value, NSMutableData& data) {
    std::uint8_t length = value ? static_cast<std::uint8_t>(value->length()) : 0;
    appendBigEndian(length, 1, data);
    if (value) data.appendBytes(value->bytes(), length);
}

// Seconds as whole milliseconds, truncated toward zero; beyond the 64-bit range the value
// saturates and NaN is 0.
std::int64_t milliseconds(double seconds) {
    double ms = std::trunc(seconds * 1000.0);
    if (std::isnan(ms)) return 0;
    if (ms >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (ms <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(ms);
}

std::uint64_t readBigEndian(const NSData& data, std::int32_t index, int bytes, const char* method) {
    if (index < 0 || static_cast<std::size_t>(index) + static_cast<std::size_t>(bytes) > data.length()) {
        throw NSException(kProtocolDataMalformedData, NSString::stringWithFormat("%s: data len=%lu, ix=%d", method,
                                                                     static_cast<unsigned long>(data.length()), index));
    }
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | data.bytes()[static_cast<std::size_t>(index) + static_cast<std::size_t>(i)];
    return v;
}

} // namespace

void VuderuProtocolData::appendBooleanToData(bool value, NSMutableData& data) { appendBigEndian(value ? 1 : 0, 1, data); }

void VuderuProtocolData::appendByteToData(int value, NSMutableData& data) {
    appendBigEndian(static_cast<std::uint32_t>(value), 1, data);
}

void VuderuProtocolData::appendUshortToData(int value, NSMutableData& data) {
    appendBigEndian(static_cast<std::uint32_t>(value), 2, data);
}

void VuderuProtocolData::appendIntToData(std::int32_t value, NSMutableData& data) {
    appendBigEndian(static_cast<std::uint32_t>(value), 4, data);
}

void VuderuProtocolData::appendLongToData(std::int64_t value, NSMutableData& data) {
    appendBigEndian(static_cast<std::uint64_t>(value), 8, data);
}

void VuderuProtocolData::appendFloatToData(float value, NSMutableData& data) {
    appendBigEndian(std::bit_cast<std::uint32_t>(value), 4, data);
}

void VuderuProtocolData::appendDoubleToData(double value, NSMutableData& data) {
    appendBigEndian(std::bit_cast<std::uint64_t>(value), 8, data);
}

void VuderuProtocolData::appendTimestampToData(const std::shared_ptr<NSDate>& date, NSMutableData& data) {
    appendLongToData(date ? milliseconds(date->timeIntervalSince1970()) : 0, data);
}

void VuderuProtocolData::appendStringToData(std::string_view string, NSMutableData& data) {
    std::string cut = limitStringLength(string);
    // At most 255 code units of at most 3 bytes each (a pair is 2 units for 4 bytes): fits 16 bits.
    appendBigEndian(cut.size(), 2, data);
    data.appendBytes(cut.data(), cut.size());
}

void VuderuProtocolData::appendTinyDataToData(const NSDataPtr& value, NSMutableData& data) {
    appendTinyBlock(value, data);
}

void VuderuProtocolData::appendShortDataToData(const NSDataPtr& value, NSMutableData& data) {
    appendBlock(value, value ? value->length() : 0, 2, data);
}

void VuderuProtocolData::appendLargeDataToData(const NSDataPtr& value, NSMutableData& data) {
    appendBlock(value, VuderuUtil::uint32FromNSUInteger(value ? value->length() : 0), 4, data);
}

std::string VuderuProtocolData::limitStringLength(std::string_view string) {
    // Every UTF-8 byte is at most one UTF-16 unit, so a short byte string needs no look.
    if (string.size() <= kMaxStringLength && NSString::isValidUTF8(string)) return std::string(string);
    std::u16string units = NSString::utf16(string);
    if (units.size() <= kMaxStringLength) return NSString::utf8(units);
    std::size_t cut = kMaxStringLength;
    if (units[cut - 1] >= 0xD800 && units[cut - 1] <= 0xDBFF) --cut;
    return NSString::utf8(std::u16string_view(units).substr(0, cut));
}

std::int64_t VuderuProtocolData::timeIntervalFromTo(const std::shared_ptr<NSDate>& from, const std::shared_ptr<NSDate>& to) {
    if (!from || !to) return 0;
    return milliseconds(to->timeIntervalSince1970() - from->timeIntervalSince1970());
}

std::int32_t VuderuProtocolData::getInt16FromDataAtIndex(const NSData& data, std::int32_t index) {
    return static_cast<std::int16_t>(readBigEndian(data, index, 2, "+[VuderuProtocolData getInt16FromData:atIndex:]"));
}

std::int32_t VuderuProtocolData::getInt32FromDataAtIndex(const NSData& data, std::int32_t index) {
    return static_cast<std::int32_t>(readBigEndian(data, index, 4, "+[VuderuProtocolData getInt32FromData:atIndex:]"));
}
