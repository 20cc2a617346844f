#pragma once
// String encodings: the platform's encoding numbers, the IANA charset names that HTTP and XML
// carry, and conversions between bytes in an encoding and the UTF-8 strings of the program.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using NSStringEncoding = std::uint64_t;
enum : NSStringEncoding {
    NSASCIIStringEncoding = 1,
    NSNEXTSTEPStringEncoding = 2,
    NSJapaneseEUCStringEncoding = 3,
    NSUTF8StringEncoding = 4,
    NSISOLatin1StringEncoding = 5,
    NSSymbolStringEncoding = 6,
    NSNonLossyASCIIStringEncoding = 7,
    NSShiftJISStringEncoding = 8,
    NSISOLatin2StringEncoding = 9,
    NSUnicodeStringEncoding = 10,
    NSWindowsCP1251StringEncoding = 11,
    NSWindowsCP1252StringEncoding = 12,
    NSWindowsCP1253StringEncoding = 13,
    NSWindowsCP1254StringEncoding = 14,
    NSWindowsCP1250StringEncoding = 15,
    NSISO2022JPStringEncoding = 21,
    NSMacOSRomanStringEncoding = 30,
    NSUTF16StringEncoding = NSUnicodeStringEncoding,
    NSUTF16BigEndianStringEncoding = 0x90000100,
    NSUTF16LittleEndianStringEncoding = 0x94000100,
    NSUTF32StringEncoding = 0x8c000100,
    NSUTF32BigEndianStringEncoding = 0x98000100,
    NSUTF32LittleEndianStringEncoding = 0x9c000100,
};

using CFStringEncoding = std::uint32_t;
enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingWindowsLatin1 = 0x0500,
    kCFStringEncodingISOLatin1 = 0x0201,
    kCFStringEncodingNextStepLatin = 0x0B01,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUnicode = 0x0100,
    kCFStringEncodingUTF8 = 0x08000100,
    kCFStringEncodingNonLossyASCII = 0x0BFF,
    kCFStringEncodingUTF16 = kCFStringEncodingUnicode,
    kCFStringEncodingUTF16BE = 0x10000100,
    kCFStringEncodingUTF16LE = 0x14000100,
    kCFStringEncodingUTF32 = 0x0c000100,
    kCFStringEncodingUTF32BE = 0x18000100,
    kCFStringEncodingUTF32LE = 0x1c000100,
    kCFStringEncodingISOLatin2 = 0x0202,
    kCFStringEncodingWindowsLatin2 = 0x0501,
    kCFStringEncodingWindowsCyrillic = 0x0502,
    kCFStringEncodingWindowsGreek = 0x0503,
    kCFStringEncodingWindowsLatin5 = 0x0504,
    kCFStringEncodingDOSJapanese = 0x0421,
    kCFStringEncodingShiftJIS = 0x0A01,
    kCFStringEncodingEUC_JP = 0x0920,
    kCFStringEncodingISO_2022_JP = 0x0820,
    kCFStringEncodingInvalidId = 0xffffffffu,
};

// An IANA charset name ("utf-8", "ISO-8859-1", "windows-1252"; any case), or kCFStringEncodingInvalidId.
CFStringEncoding CFStringConvertIANACharSetNameToEncoding(std::string_view name);
// The IANA name of an encoding, or "" when it has none here.
std::string CFStringConvertEncodingToIANACharSetName(CFStringEncoding encoding);
NSStringEncoding CFStringConvertEncodingToNSStringEncoding(CFStringEncoding encoding);
CFStringEncoding CFStringConvertNSStringEncodingToEncoding(NSStringEncoding encoding);

namespace NSString {
// -initWithData:encoding: — the text of bytes in an encoding, nullopt when they are not valid in it
// or the encoding is unknown. UTF-16 and UTF-32 without a byte order read a BOM (big-endian without).
std::optional<std::string> initWithBytes(const void* bytes, std::size_t length, NSStringEncoding encoding);
// -dataUsingEncoding: — nullopt when the text cannot be represented in the encoding.
std::optional<std::vector<std::uint8_t>> dataUsingEncoding(std::string_view utf8, NSStringEncoding encoding);
} // namespace NSString
