// VuderuUtil's toolbox: the log level and exception reporting, the system version, hashes and
// hex, percent escapes, URL parameters, byte search, integer conversions and UUIDs. The other
// jobs of the class sit in VuderuUtil+Aspect.cpp files beside this one.

#include "sdk/analytics/VuderuUtil.h"

#include "platform/foundation/NSString.h"
#include "platform/security/CommonDigest.h"
#include "platform/uikit/UIDevice.h"
#include "sdk/analytics/VuderuLog.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <sys/random.h>

namespace {

std::atomic<int> gLogLevel{1};
std::atomic<bool> gShowErrorInLog{false};

std::mutex& systemVersionLock() {
    static std::mutex lock;
    return lock;
}
int gSystemVersion = 0;

const char* const kExceptionLogDashes = "Vuderu: -----------------------------------------";

} // namespace

void VuderuUtil::setLogLevel(int level) { gLogLevel = level; }
int VuderuUtil::logLevel() { return gLogLevel; }
void VuderuUtil::setShowErrorInLogEnabled(bool enabled) { gShowErrorInLog = enabled; }

void VuderuUtil::handleException(const NSException& exception) {
    if (!gShowErrorInLog) return;
    VuderuLog("Vuderu: Caught Exception in Vuderu Analytics Code");
    VuderuLog(kExceptionLogDashes);
    VuderuLog("Vuderu: Name:%@ Reason:%@", exception.name(), exception.reason());
    // An exception keeps no user info unless it was made with some: none is a nil dictionary.
    VuderuLog("Vuderu: %@", exception.userInfo().empty() ? Value() : Value(exception.userInfo()));
}

void VuderuUtil::handleException(const NSError& error) {
    if (!gShowErrorInLog) return;
    VuderuLog("Vuderu: Caught Error in Vuderu Analytics Code");
    VuderuLog(kExceptionLogDashes);
    VuderuLog("Vuderu: Code:%ld Domain:%@", error.code(), error.domain());
    VuderuLog("Vuderu: %@", Value(error.userInfo()));
}

void VuderuUtil::handleException(const std::exception& exception) {
    if (auto ns = dynamic_cast<const NSException*>(&exception)) return handleException(*ns);
    if (!gShowErrorInLog) return;
    VuderuLog("Vuderu: Caught Error in Vuderu Analytics Code");
    VuderuLog("Vuderu: %@", exception.what());
}

void VuderuUtil::handleException(const Value& object) {
    if (auto error = object.objectAs<NSError>()) return handleException(*error);
    if (!gShowErrorInLog) return;
    VuderuLog("Vuderu: Caught Error in Vuderu Analytics Code");
    VuderuLog("Vuderu: %@", object);
}

void VuderuUtil::handleException(const std::exception_ptr& caught) {
    if (!caught) return;
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& e) {
        handleException(e);
    } catch (...) {
        handleException(Value("unknown exception"));
    }
}

int VuderuUtil::systemVersionAsInteger(std::string_view version) {
    static constexpr std::int64_t kWeights[] = {10000, 100, 1};
    auto parts = NSString::componentsSeparatedByString(version, ".");
    std::int64_t total = 0;
    for (std::size_t i = 0; i < parts.size() && i < std::size(kWeights); ++i) {
        total += static_cast<std::int64_t>(NSString::intValue(parts[i])) * kWeights[i];
    }
    return static_cast<int>(std::clamp<std::int64_t>(total, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int VuderuUtil::getSystemVersionAsAnInteger() {
    std::lock_guard<std::mutex> guard(systemVersionLock());
    if (gSystemVersion == 0) gSystemVersion = systemVersionAsInteger(UIDevice::currentDevice()->systemVersion());
    return gSystemVersion;
}

NSDataPtr VuderuUtil::hashData(const NSData& data) {
    unsigned char digest[CC_SHA1_DIGEST_LENGTH];
    CC_SHA1(data.bytes(), uint32FromNSUInteger(data.length()), digest);
    return NSData::dataWithBytes(digest, sizeof digest);
}

std::string VuderuUtil::md5String(std::string_view string) {
    // The digest covers the bytes up to the first zero byte, as a C string would hold them.
    std::string_view bytes = string.substr(0, string.find('\0'));
    unsigned char digest[CC_MD5_DIGEST_LENGTH];
    CC_MD5(bytes.data(), uint32FromNSUInteger(bytes.size()), digest);
    return hashDataToHexString(digest, sizeof digest);
}

std::string VuderuUtil::hashDataToHexString(const void* bytes, std::size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    auto p = static_cast<const std::uint8_t*>(bytes);
    std::string out;
    out.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 0xF];
    }
    return out;
}

std::string VuderuUtil::encodeToPercentEscapeString(std::string_view string) {
    return NSString::stringByAddingPercentEncoding(string, [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
               c == '~';
    });
}

std::optional<std::string> VuderuUtil::decodeFromPercentEscapeString(std::string_view string) {
    return NSString::stringByRemovingPercentEncoding(string);
}

std::optional<std::map<std::string, std::string>> VuderuUtil::createParamKeysDictFromUrlParams(
    std::string_view params, std::string* paramsHeader, std::optional<std::string>* paramsKVString) {
    auto question = params.find('?');
    if (question == std::string_view::npos) {
        if (paramsHeader) *paramsHeader = std::string(params);
        if (paramsKVString) paramsKVString->reset();
        return std::nullopt;
    }
    std::string_view after = params.substr(question + 1);
    if (paramsHeader) *paramsHeader = std::string(params.substr(0, question));
    if (paramsKVString) *paramsKVString = std::string(after);
    std::map<std::string, std::string> dict;
    for (const std::string& item : NSString::componentsSeparatedByString(after, "&")) {
        auto parts = NSString::componentsSeparatedByString(item, "=");
        dict[parts[0]] = parts.size() > 1 ? parts[1] : std::string();
    }
    return dict;
}

VuderuRange VuderuUtil::vuderuRangeOfData(const NSData* needle, const NSData* haystack) {
    if (!needle || !haystack || needle->length() == 0 || needle->length() > haystack->length()) return {};
    auto begin = haystack->bytes();
    auto end = begin + haystack->length();
    auto found = std::search(begin, end, needle->bytes(), needle->bytes() + needle->length());
    if (found == end) return {};
    return {static_cast<std::size_t>(found - begin), needle->length()};
}

std::uint32_t VuderuUtil::uint32FromNSUInteger(std::uint64_t value) {
    return value > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                               : static_cast<std::uint32_t>(value);
}

std::int32_t VuderuUtil::int32FromNSInteger(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t VuderuUtil::int32FromDouble(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

std::int64_t VuderuUtil::int64FromDouble(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (value <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

std::string VuderuUtil::generateCFUUID() {
    std::uint8_t b[16];
    std::size_t got = 0;
    while (got < sizeof b) {
        ssize_t n = ::getrandom(b + got, sizeof b - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40); // version 4: random
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80); // RFC 4122 variant
    std::string hex = NSString::uppercaseString(hashDataToHexString(b, sizeof b));
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" + hex.substr(20);
}

std::string VuderuUtil::generateCFUUIDBasedUID() { return "ID" + generateCFUUID(); }
