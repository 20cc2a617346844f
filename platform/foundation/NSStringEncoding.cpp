#include "platform/foundation/NSStringEncoding.h"

#include "platform/foundation/NSString.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace {

struct EncodingName {
    const char* iana;
    CFStringEncoding encoding;
};

// Aliases first, the preferred name of each encoding last among its names.
constexpr EncodingName kNames[] = {
    {"utf8", kCFStringEncodingUTF8},
    {"utf-8", kCFStringEncodingUTF8},
    {"ascii", kCFStringEncodingASCII},
    {"us-ascii", kCFStringEncodingASCII},
    {"latin1", kCFStringEncodingISOLatin1},
    {"iso_8859-1", kCFStringEncodingISOLatin1},
    {"iso-8859-1", kCFStringEncodingISOLatin1},
    {"cp1252", kCFStringEncodingWindowsLatin1},
    {"windows-1252", kCFStringEncodingWindowsLatin1},
    {"latin2", kCFStringEncodingISOLatin2},
    {"iso-8859-2", kCFStringEncodingISOLatin2},
    {"windows-1250", kCFStringEncodingWindowsLatin2},
    {"windows-1251", kCFStringEncodingWindowsCyrillic},
    {"windows-1253", kCFStringEncodingWindowsGreek},
    {"windows-1254", kCFStringEncodingWindowsLatin5},
    {"utf-16", kCFStringEncodingUTF16},
    {"utf-16be", kCFStringEncodingUTF16BE},
    {"utf-16le", kCFStringEncodingUTF16LE},
    {"utf-32", kCFStringEncodingUTF32},
    {"utf-32be", kCFStringEncodingUTF32BE},
    {"utf-32le", kCFStringEncodingUTF32LE},
    {"shift-jis", kCFStringEncodingShiftJIS},
    {"shift_jis", kCFStringEncodingShiftJIS},
    {"euc-jp", kCFStringEncodingEUC_JP},
    {"iso-2022-jp", kCFStringEncodingISO_2022_JP},
    {"mac", kCFStringEncodingMacRoman},
    {"macintosh", kCFStringEncodingMacRoman},
    {"x-nextstep", kCFStringEncodingNextStepLatin},
};

struct NSMapping {
    NSStringEncoding ns;
    CFStringEncoding cf;
};

// Encodings with a classic number of their own; every other one is 0x80000000 | its CF number.
constexpr NSMapping kClassic[] = {
    {NSASCIIStringEncoding, kCFStringEncodingASCII},
    {NSNEXTSTEPStringEncoding, kCFStringEncodingNextStepLatin},
    {NSJapaneseEUCStringEncoding, kCFStringEncodingEUC_JP},
    {NSUTF8StringEncoding, kCFStringEncodingUTF8},
    {NSISOLatin1StringEncoding, kCFStringEncodingISOLatin1},
    {NSNonLossyASCIIStringEncoding, kCFStringEncodingNonLossyASCII},
    {NSShiftJISStringEncoding, kCFStringEncodingDOSJapanese},
    {NSISOLatin2StringEncoding, kCFStringEncodingISOLatin2},
    {NSUnicodeStringEncoding, kCFStringEncodingUnicode},
    {NSWindowsCP1251StringEncoding, kCFStringEncodingWindowsCyrillic},
    {NSWindowsCP1252StringEncoding, kCFStringEncodingWindowsLatin1},
    {NSWindowsCP1253StringEncoding, kCFStringEncodingWindowsGreek},
    {NSWindowsCP1254StringEncoding, kCFStringEncodingWindowsLatin5},
    {NSWindowsCP1250StringEncoding, kCFStringEncodingWindowsLatin2},
    {NSISO2022JPStringEncoding, kCFStringEncodingISO_2022_JP},
    {NSMacOSRomanStringEncoding, kCFStringEncodingMacRoman},
};

constexpr NSStringEncoding kNSEncodingCFFlag = 0x80000000u;

// The iconv name of an encoding; nullptr when iconv is not asked for it.
const char* iconvName(NSStringEncoding encoding) {
    switch (encoding) {
    case NSISOLatin1StringEncoding: return "ISO-8859-1";
    case NSISOLatin2StringEncoding: return "ISO-8859-2";
    case NSWindowsCP1250StringEncoding: return "CP1250";
    case NSWindowsCP1251StringEncoding: return "CP1251";
    case NSWindowsCP1252StringEncoding: return "CP1252";
    case NSWindowsCP1253StringEncoding: return "CP1253";
    case NSWindowsCP1254StringEncoding: return "CP1254";
    case NSMacOSRomanStringEncoding: return "MACINTOSH";
    case NSShiftJISStringEncoding: return "SHIFT_JIS";
    case NSJapaneseEUCStringEncoding: return "EUC-JP";
    case NSISO2022JPStringEncoding: return "ISO-2022-JP";
    case NSUTF16BigEndianStringEncoding: return "UTF-16BE";
    case NSUTF16LittleEndianStringEncoding: return "UTF-16LE";
    case NSUTF32BigEndianStringEncoding: return "UTF-32BE";
    case NSUTF32LittleEndianStringEncoding: return "UTF-32LE";
    default: return nullptr;
    }
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> convert(const char* in, std::size_t length) {
        std::string out;
        char buffer[4096];
        char* input = const_cast<char*>(in);
        std::size_t left = length;
        while (left > 0) {
            char* output = buffer;
            std::size_t room = sizeof buffer;
            std::size_t r = iconv(cd_, &input, &left, &output, &room);
            out.append(buffer, static_cast<std::size_t>(output - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return std::nullopt;
        }
        char* output = buffer;
        std::size_t room = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &output, &room);
        out.append(buffer, static_cast<std::size_t>(output - buffer));
        return out;
    }

private:
    iconv_t cd_;
};

std::optional<std::string> viaIconv(const char* to, const char* from, const void* bytes, std::size_t length) {
    Iconv cd(to, from);
    if (!cd.ok()) return std::nullopt;
    return cd.convert(static_cast<const char*>(bytes), length);
}

} // namespace

CFStringEncoding CFStringConvertIANACharSetNameToEncoding(std::string_view name) {
    std::string lower = NSString::lowercaseString(name);
    for (const EncodingName& n : kNames) {
        if (lower == n.iana) return n.encoding;
    }
    return kCFStringEncodingInvalidId;
}

std::string CFStringConvertEncodingToIANACharSetName(CFStringEncoding encoding) {
    const char* found = nullptr;
    for (const EncodingName& n : kNames) {
        if (n.encoding == encoding) found = n.iana;
    }
    return found ? found : "";
}

NSStringEncoding CFStringConvertEncodingToNSStringEncoding(CFStringEncoding encoding) {
    if (encoding == kCFStringEncodingInvalidId) return 0;
    for (const NSMapping& m : kClassic) {
        if (m.cf == encoding) return m.ns;
    }
    if (encoding == kCFStringEncodingShiftJIS) return NSShiftJISStringEncoding;
    return kNSEncodingCFFlag | encoding;
}

CFStringEncoding CFStringConvertNSStringEncodingToEncoding(NSStringEncoding encoding) {
    for (const NSMapping& m : kClassic) {
        if (m.ns == encoding) return m.cf;
    }
    if (encoding & kNSEncodingCFFlag) return static_cast<CFStringEncoding>(encoding & ~kNSEncodingCFFlag);
    return kCFStringEncodingInvalidId;
}

namespace NSString {

std::optional<std::string> initWithBytes(const void* bytes, std::size_t length, NSStringEncoding encoding) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    switch (encoding) {
    case NSUTF8StringEncoding: {
        std::string_view s(reinterpret_cast<const char*>(p), length);
        if (!isValidUTF8(s)) return std::nullopt;
        if (s.size() >= 3 && s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);
        return std::string(s);
    }
    case NSASCIIStringEncoding:
    case NSNonLossyASCIIStringEncoding:
        for (std::size_t i = 0; i < length; ++i) {
            if (p[i] > 0x7f) return std::nullopt;
        }
        return std::string(reinterpret_cast<const char*>(p), length);
    case NSUTF16StringEncoding:
        if (length >= 2 && p[0] == 0xFF && p[1] == 0xFE) return viaIconv("UTF-8", "UTF-16LE", p + 2, length - 2);
        if (length >= 2 && p[0] == 0xFE && p[1] == 0xFF) return viaIconv("UTF-8", "UTF-16BE", p + 2, length - 2);
        return viaIconv("UTF-8", "UTF-16BE", p, length);
    case NSUTF32StringEncoding:
        if (length >= 4 && std::memcmp(p, "\xFF\xFE\0\0", 4) == 0) return viaIconv("UTF-8", "UTF-32LE", p + 4, length - 4);
        if (length >= 4 && std::memcmp(p, "\0\0\xFE\xFF", 4) == 0) return viaIconv("UTF-8", "UTF-32BE", p + 4, length - 4);
        return viaIconv("UTF-8", "UTF-32BE", p, length);
    default:
        if (const char* name = iconvName(encoding)) return viaIconv("UTF-8", name, p, length);
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> dataUsingEncoding(std::string_view utf8, NSStringEncoding encoding) {
    auto bytesOf = [](const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    if (!isValidUTF8(utf8)) return std::nullopt;
    switch (encoding) {
    case NSUTF8StringEncoding: return bytesOf(std::string(utf8));
    case NSASCIIStringEncoding:
    case NSNonLossyASCIIStringEncoding:
        for (unsigned char c : utf8) {
            if (c > 0x7f) return std::nullopt;
        }
        return bytesOf(std::string(utf8));
    case NSUTF16StringEncoding: {
        // As the platform does: a byte-order mark, then the host's order (little-endian here).
        auto body = viaIconv("UTF-16LE", "UTF-8", utf8.data(), utf8.size());
        if (!body) return std::nullopt;
        return bytesOf("\xFF\xFE" + *body);
    }
    case NSUTF32StringEncoding: {
        auto body = viaIconv("UTF-32LE", "UTF-8", utf8.data(), utf8.size());
        if (!body) return std::nullopt;
        return bytesOf(std::string("\xFF\xFE\0\0", 4) + *body);
    }
    default:
        if (const char* name = iconvName(encoding)) {
            auto out = viaIconv(name, "UTF-8", utf8.data(), utf8.size());
            if (out) return bytesOf(*out);
        }
        return std::nullopt;
    }
}

} // namespace NSString
