#pragma once
// The fields of the analytics report: every multi-byte value big-endian; strings, times and byte
// blocks in the report's own forms. Also the millisecond arithmetic on dates of the session
// layer, and the integer readers of the server's answer.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class VuderuProtocolData : public NSObject {
public:
    // A string field carries at most this many UTF-16 code units.
    static constexpr std::size_t kMaxStringLength = 255;

    static void appendBooleanToData(bool value, NSMutableData& data);
    // The low 8 bits: -1 is 0xFF.
    static void appendByteToData(int value, NSMutableData& data);
    // The low 16 bits: 65536 is 00 00.
    static void appendUshortToData(int value, NSMutableData& data);
    static void appendIntToData(std::int32_t value, NSMutableData& data);
    static void appendLongToData(std::int64_t value, NSMutableData& data);
    static void appendFloatToData(float value, NSMutableData& data);
    static void appendDoubleToData(double value, NSMutableData& data);
    // Milliseconds since 1970 truncated toward zero, 8 bytes; a nil date is 0.
    static void appendTimestampToData(const std::shared_ptr<NSDate>& date, NSMutableData& data);
    // 2 bytes of UTF-8 length, then the UTF-8 bytes of the string cut by limitStringLength; an
    // empty (nil) string is 00 00.
    static void appendStringToData(std::string_view string, NSMutableData& data);
    // 1, 2 or 4 bytes of length, then the bytes; nil data is a zero length.
    static void appendTinyDataToData(const NSDataPtr& value, NSMutableData& data);
    static void appendShortDataToData(const NSDataPtr& value, NSMutableData& data);
    static void appendLargeDataToData(const NSDataPtr& value, NSMutableData& data);

    // The string when shorter than 256 UTF-16 code units, else its first 255 (254 when the 255th
    // is the first half of a surrogate pair, so that the result stays valid UTF-8).
    static std::string limitStringLength(std::string_view string);
    // Milliseconds from the first date to the second, truncated toward zero; 0 when either is nil.
    static std::int64_t timeIntervalFromTo(const std::shared_ptr<NSDate>& from, const std::shared_ptr<NSDate>& to);

    // Big-endian signed values at a byte index, sign-extended; raise "Malformed data" when the
    // value does not lie wholly inside the data.
    static std::int32_t getInt16FromDataAtIndex(const NSData& data, std::int32_t index);
    static std::int32_t getInt32FromDataAtIndex(const NSData& data, std::int32_t index);
};
