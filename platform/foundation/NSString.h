#pragma once
// NSString's behaviour on std::string (UTF-8). The class's methods are free functions of the
// namespace NSString taking the receiver first: NSString::lastPathComponent(path).

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

enum NSComparisonResult : long { NSOrderedAscending = -1, NSOrderedSame = 0, NSOrderedDescending = 1 };

// One argument of a format string: what a variadic Objective-C argument list would carry.
class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Real, String, Object, ValueArg, Pointer };

    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
    FormatArg(T v) : kind_(Kind::Signed), i_(v) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T> && !std::is_same_v<T, bool>, int> = 0>
    FormatArg(T v) : kind_(Kind::Unsigned), u_(v) {}
    FormatArg(bool v) : kind_(Kind::Signed), i_(v ? 1 : 0) {}
    template <class T, std::enable_if_t<std::is_enum_v<T>, int> = 0>
    FormatArg(T v) : FormatArg(static_cast<std::underlying_type_t<T>>(v)) {}
    FormatArg(double v) : kind_(Kind::Real), d_(v) {}
    FormatArg(float v) : kind_(Kind::Real), d_(v) {}
    FormatArg(const char* s) : kind_(Kind::String), s_(s ? s : "(null)") {}
    FormatArg(char* s) : FormatArg(static_cast<const char*>(s)) {}
    FormatArg(const std::string& s) : kind_(Kind::String), s_(s) {}
    FormatArg(std::string_view s) : kind_(Kind::String), s_(s) {}
    FormatArg(const Value& v) : kind_(Kind::ValueArg), v_(v) {}
    template <class T, std::enable_if_t<std::is_base_of_v<NSObject, T>, int> = 0>
    FormatArg(const std::shared_ptr<T>& o) : kind_(Kind::Object), o_(o) {}
    FormatArg(const void* p) : kind_(Kind::Pointer), p_(p) {}

    Kind kind() const { return kind_; }
    std::int64_t asSigned() const;
    std::uint64_t asUnsigned() const;
    double asReal() const;
    // What %@ prints: an object's description, "(null)" for nil.
    std::string asObjectText() const;
    // What %s prints.
    std::string asCString() const;
    const void* asPointer() const;

private:
    Kind kind_;
    std::int64_t i_ = 0;
    std::uint64_t u_ = 0;
    double d_ = 0;
    std::string s_;
    Value v_;
    std::shared_ptr<const NSObject> o_;
    const void* p_ = nullptr;
};

namespace NSString {

// The platform's format rules: printf's conversions (flags, width, precision, length
// modifiers h, hh, l, ll, q, z, t, j) and %@ for any object or value.
std::string formatWithArguments(std::string_view format, std::span<const FormatArg> args);

template <class... Args>
std::string stringWithFormat(std::string_view format, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
    return formatWithArguments(format, list);
}

// Paths.
std::string stringByAppendingPathComponent(std::string_view path, std::string_view component);
std::string stringByAppendingPathExtension(std::string_view path, std::string_view extension);
std::string lastPathComponent(std::string_view path);
std::string pathExtension(std::string_view path);
std::string stringByDeletingLastPathComponent(std::string_view path);
std::string stringByDeletingPathExtension(std::string_view path);
std::vector<std::string> pathComponents(std::string_view path);
std::string pathWithComponents(const std::vector<std::string>& components);
bool isAbsolutePath(std::string_view path);
// Removes "." components, resolves ".." lexically and collapses repeated slashes.
std::string stringByStandardizingPath(std::string_view path);
// The host path of a device path, for C APIs (open(2), minizip, libplist): every link on the way
// resolved inside the device (DeviceRoot::hostPath says how, and what a link as the last name gives).
std::string fileSystemRepresentation(std::string_view path);

// Searching and comparing.
bool hasPrefix(std::string_view s, std::string_view prefix);
bool hasSuffix(std::string_view s, std::string_view suffix);
bool containsString(std::string_view s, std::string_view other);
// Byte offset of the first occurrence, or nullopt (NSNotFound).
std::optional<std::size_t> rangeOfString(std::string_view s, std::string_view other, std::size_t from = 0);
std::vector<std::string> componentsSeparatedByString(std::string_view s, std::string_view separator);
std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator);
std::string stringByReplacingOccurrencesOfString(std::string_view s, std::string_view target, std::string_view replacement);
std::string stringByTrimmingWhitespace(std::string_view s);
std::string stringByTrimmingWhitespaceAndNewlines(std::string_view s);
std::string lowercaseString(std::string_view s);
std::string uppercaseString(std::string_view s);
NSComparisonResult compare(std::string_view a, std::string_view b);
NSComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b);
// NSNumericSearch: runs of digits compare by their numeric value ("file9" < "file10").
NSComparisonResult compareNumeric(std::string_view a, std::string_view b);

// Numbers in the manner of intValue, integerValue, longLongValue and doubleValue: leading
// white space, an optional sign, digits; 0 when there are none.
int intValue(std::string_view s);
long long longLongValue(std::string_view s);
double doubleValue(std::string_view s);
bool boolValue(std::string_view s);

// UTF-16: the platform counts characters in UTF-16 code units.
std::u16string utf16(std::string_view utf8);
std::string utf8(std::u16string_view utf16);
std::size_t lengthUTF16(std::string_view utf8);
bool isValidUTF8(std::string_view s);

// -[NSString hash]: stable across builds, runs and machines, because names of files and keys
// carry it. FNV-1a (64-bit) over the UTF-16 code units of the string, little-endian bytes of
// each unit; the empty string hashes to the FNV offset basis 0xcbf29ce484222325.
std::uint64_t hash(std::string_view s);

// Percent escapes. stringByAddingPercentEscapes escapes everything but RFC 3986's unreserved
// and reserved characters (and '%' itself is escaped), as the legacy call does for UTF-8.
std::string stringByAddingPercentEscapes(std::string_view s);
// Escapes every byte for which allowed(byte) is false.
std::string stringByAddingPercentEncoding(std::string_view s, bool (*allowed)(unsigned char));
// nullopt when an escape is malformed or decodes to invalid UTF-8.
std::optional<std::string> stringByRemovingPercentEncoding(std::string_view s);
// Character sets for stringByAddingPercentEncoding.
bool URLQueryAllowed(unsigned char c);
bool URLPathAllowed(unsigned char c);
bool URLHostAllowed(unsigned char c);
bool URLFragmentAllowed(unsigned char c);

} // namespace NSString
