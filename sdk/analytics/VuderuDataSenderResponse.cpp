// The report sender's reading of the server's answer.

#include "platform/foundation/NSException.h"
#include "sdk/analytics/VuderuDataSender.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuProtocolData.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

const std::string kMalformedData = "Malformed data";
constexpr std::int32_t kCookieListOffset = 8;
constexpr std::int32_t kCountSize = 2;
constexpr std::int32_t kLengthSize = 2;

[[noreturn]] void malformed(const char* method, std::size_t length, std::int64_t index) {
    throw NSException(kMalformedData, NSString::stringWithFormat("%s: data len=%lu, ix=%lld", method, static_cast<unsigned long>(length),
                                                                 static_cast<long long>(index)));
}

// A length field: negative is as malformed as one that runs past the data.
std::int32_t readLength(const NSData& data, std::int64_t index, const char* method) {
    if (index < 0 || index > INT32_MAX) malformed(method, data.length(), index);
    std::int32_t length = VuderuProtocolData::getInt16FromDataAtIndex(data, static_cast<std::int32_t>(index));
    if (length < 0) malformed(method, data.length(), index);
    return length;
}

// The bytes [index, index + length), which must lie inside the data.
NSDataPtr slice(const NSData& data, std::int64_t index, std::int32_t length, const char* method) {
    if (index < 0 || static_cast<std::uint64_t>(index) + static_cast<std::uint64_t>(length) > data.length()) {
        malformed(method, data.length(), index);
    }
    return NSData::dataWithBytes(data.bytes() + index, static_cast<std::size_t>(length));
}

} // namespace

void VuderuDataSender::parseResponse(const VuderuHTTPResponse& response) {
    static constexpr const char* kMethod = "-[VuderuDataSender parseResponse:]";
    auto storage = VuderuGlobalVariableStorage::sharedInstance();
    const NSDataPtr& body = response.body();
    if (!body || body->length() == 0) {
        if (auto* cookies = storage->persistentCookiesMap()) cookies->clear();
        return;
    }
    const auto type = static_cast<std::uint16_t>(VuderuProtocolData::getInt16FromDataAtIndex(*body, 0));
    if (type != kCookieChunkType) {
        VuderuLog("%s: Got unexpected chunk typd %x", kMethod, static_cast<unsigned>(type));
        malformed(kMethod, body->length(), 0);
    }
    VuderuProtocolData::getInt32FromDataAtIndex(*body, 2);
    VuderuProtocolData::getInt16FromDataAtIndex(*body, 6);
    if (body->length() < static_cast<std::size_t>(kCookieListOffset)) malformed(kMethod, body->length(), kCookieListOffset);
    auto list = NSData::dataWithBytes(body->bytes() + kCookieListOffset, body->length() - kCookieListOffset);
    const int end = parseCookies(*list);
    VuderuProtocolData::getInt16FromDataAtIndex(*body, kCookieListOffset + end);
    storage->savePersistentGlobalsToDisk();
}

int VuderuDataSender::parseCookies(const NSData& data) {
    static constexpr const char* kMethod = "-[VuderuDataSender parseCookies:]";
    const std::int32_t count = VuderuProtocolData::getInt16FromDataAtIndex(data, 0);
    std::int64_t position = kCountSize;
    int stored = 0;
    for (int i = 0; i < count && position < static_cast<std::int64_t>(data.length()); ++i) {
        const std::int32_t keyLength = readLength(data, position, kMethod);
        auto key = slice(data, position + kLengthSize, keyLength, kMethod);
        const std::int32_t valueLength = readLength(data, position + kLengthSize + keyLength, kMethod);
        auto value = slice(data, position + 2 * kLengthSize + keyLength, valueLength, kMethod);
        VuderuUtil::updateIfChangedCookieValueForCookieKey(value, key);
        ++stored;
        position += keyLength + valueLength + 2 * kLengthSize;
    }
    if (count > 0 && stored < count) {
        VuderuLog("%s: Unable to read all cookies from response, number read %d", kMethod, stored + 1);
    }
    return static_cast<int>(position);
}
