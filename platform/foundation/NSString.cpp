#include "platform/foundation/NSString.h"

#include "platform/foundation/DeviceRoot.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

// ---- FormatArg -------------------------------------------------------------------------------

std::int64_t FormatArg::asSigned() const {
    switch (kind_) {
    case Kind::Signed: return i_;
    case Kind::Unsigned: return static_cast<std::int64_t>(u_);
    case Kind::Real: return Value(d_).integerValue();
    case Kind::ValueArg: return v_.integerValue();
    case Kind::Pointer: return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(p_));
    default: return 0;
    }
}

std::uint64_t FormatArg::asUnsigned() const { return kind_ == Kind::Unsigned ? u_ : static_cast<std::uint64_t>(asSigned()); }

double FormatArg::asReal() const {
    switch (kind_) {
    case Kind::Real: return d_;
    case Kind::Signed: return static_cast<double>(i_);
    case Kind::Unsigned: return static_cast<double>(u_);
    case Kind::ValueArg: return v_.doubleValue();
    default: return 0;
    }
}

std::string FormatArg::asObjectText() const {
    switch (kind_) {
    case Kind::Object: return o_ ? o_->description() : "(null)";
    case Kind::ValueArg: return v_.isNull() ? "(null)" : v_.description();
    case Kind::String: return s_;
    case Kind::Signed: return std::to_string(i_);
    case Kind::Unsigned: return std::to_string(u_);
    case Kind::Real: return Value(d_).stringValue();
    case Kind::Pointer: {
        char b[32];
        std::snprintf(b, sizeof b, "%p", p_);
        return b;
    }
    }
    return {};
}

std::string FormatArg::asCString() const { return kind_ == Kind::String ? s_ : asObjectText(); }

const void* FormatArg::asPointer() const {
    if (kind_ == Kind::Pointer) return p_;
    if (kind_ == Kind::Object) return o_.get();
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(asUnsigned()));
}

namespace NSString {

namespace {
// Applies width, precision and flags of a conversion to an already produced text (%@ and %s).
std::string pad(const std::string& text, const std::string& flags, int width, int precision) {
    std::string t = text;
    if (precision >= 0 && static_cast<std::size_t>(precision) < t.size()) t.resize(static_cast<std::size_t>(precision));
    if (width > 0 && static_cast<std::size_t>(width) > t.size()) {
        std::string fill(static_cast<std::size_t>(width) - t.size(), ' ');
        t = flags.find('-') != std::string::npos ? t + fill : fill + t;
    }
    return t;
}
} // namespace

std::string formatWithArguments(std::string_view format, std::span<const FormatArg> args) {
    std::string out;
    std::size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        std::size_t j = i + 1;
        std::string flags;
        while (j < format.size() && std::string_view("-+ #0'").find(format[j]) != std::string_view::npos) flags += format[j++];
        int width = -1, precision = -1;
        if (j < format.size() && format[j] == '*') {
            const FormatArg* a = take();
            width = a ? static_cast<int>(a->asSigned()) : 0;
            if (width < 0) {
                flags += '-';
                width = -width;
            }
            ++j;
        } else {
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) {
                width = (width < 0 ? 0 : width) * 10 + (format[j++] - '0');
            }
        }
        if (j < format.size() && format[j] == '.') {
            ++j;
            precision = 0;
            if (j < format.size() && format[j] == '*') {
                const FormatArg* a = take();
                precision = a ? static_cast<int>(a->asSigned()) : 0;
                ++j;
            } else {
                while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) precision = precision * 10 + (format[j++] - '0');
            }
        }
        std::string length;
        while (j < format.size() && std::string_view("hlqLzjt").find(format[j]) != std::string_view::npos) length += format[j++];
        if (j >= format.size()) {
            out.append(format.substr(i));
            break;
        }
        char conv = format[j];
        i = j;
        // The legacy upper-case forms of %ld, %lu and %lo.
        if (conv == 'D' || conv == 'U' || conv == 'O') {
            conv = static_cast<char>(std::tolower(static_cast<unsigned char>(conv)));
            length = "l";
        }
        std::string conversion = "%" + flags;
        if (width >= 0) conversion += std::to_string(width);
        if (precision >= 0) conversion += "." + std::to_string(precision);
        char buffer[512];
        switch (conv) {
        case '%': out += '%'; break;
        case '@': {
            const FormatArg* a = take();
            out += pad(a ? a->asObjectText() : "(null)", flags, width, -1);
            break;
        }
        case 's':
        case 'S': {
            // %S takes a string of unichars on the device; here every string is UTF-8 text.
            const FormatArg* a = take();
            out += pad(a ? a->asCString() : "(null)", flags, width, precision);
            break;
        }
        case 'C': {
            // One unichar (a UTF-16 code unit).
            const FormatArg* a = take();
            const char16_t unit = static_cast<char16_t>(a ? a->asUnsigned() : 0);
            out += pad(utf8(std::u16string_view(&unit, 1)), flags, width, -1);
            break;
        }
        case 'c': {
            const FormatArg* a = take();
            std::snprintf(buffer, sizeof buffer, (conversion + "c").c_str(), static_cast<int>(a ? a->asSigned() : 0));
            out += buffer;
            break;
        }
        case 'd': case 'i': {
            const FormatArg* a = take();
            long long v = a ? a->asSigned() : 0;
            if (length == "h") v = static_cast<short>(v);
            else if (length == "hh") v = static_cast<signed char>(v);
            else if (length.empty()) v = static_cast<int>(v);
            std::snprintf(buffer, sizeof buffer, (conversion + "lld").c_str(), v);
            out += buffer;
            break;
        }
        case 'u': case 'x': case 'X': case 'o': {
            const FormatArg* a = take();
            unsigned long long v = a ? a->asUnsigned() : 0;
            if (length == "h") v = static_cast<unsigned short>(v);
            else if (length == "hh") v = static_cast<unsigned char>(v);
            else if (length.empty()) v = static_cast<unsigned>(v);
            std::snprintf(buffer, sizeof buffer, (conversion + "ll" + conv).c_str(), v);
            out += buffer;
            break;
        }
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
            const FormatArg* a = take();
            std::snprintf(buffer, sizeof buffer, (conversion + conv).c_str(), a ? a->asReal() : 0.0);
            out += buffer;
            break;
        }
        case 'p': {
            const FormatArg* a = take();
            std::snprintf(buffer, sizeof buffer, (conversion + "p").c_str(), a ? a->asPointer() : nullptr);
            out += buffer;
            break;
        }
        default:
            // An unknown conversion is copied as it stands.
            out += '%';
            out += flags;
            out += conv;
            break;
        }
    }
    return out;
}

// ---- paths -----------------------------------------------------------------------------------

namespace {
std::string_view trimTrailingSlashes(std::string_view p) {
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    return p;
}

std::string collapseSlashes(std::string_view p) {
    std::string out;
    for (char c : p) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    return out;
}
} // namespace

std::string stringByAppendingPathComponent(std::string_view path, std::string_view component) {
    std::string base = collapseSlashes(trimTrailingSlashes(path));
    std::string comp = collapseSlashes(component);
    while (!comp.empty() && comp.front() == '/') comp.erase(0, 1);
    while (comp.size() > 1 && comp.back() == '/') comp.pop_back();
    if (comp == "/") comp.clear();
    if (base.empty()) return comp;
    if (comp.empty()) return base;
    if (base == "/") return "/" + comp;
    return base + "/" + comp;
}

std::string lastPathComponent(std::string_view path) {
    std::string_view p = trimTrailingSlashes(path);
    if (p == "/") return "/";
    auto slash = p.rfind('/');
    return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

std::string pathExtension(std::string_view path) {
    std::string last = lastPathComponent(path);
    auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) return {};
    std::string ext = last.substr(dot + 1);
    if (ext.find(' ') != std::string::npos) return {};
    return ext;
}

std::string stringByAppendingPathExtension(std::string_view path, std::string_view extension) {
    std::string p(trimTrailingSlashes(path));
    if (p.empty() || p == "/") return p;
    return p + "." + std::string(extension);
}

std::string stringByDeletingLastPathComponent(std::string_view path) {
    std::string p = collapseSlashes(trimTrailingSlashes(path));
    if (p == "/") return "/";
    auto slash = p.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

std::string stringByDeletingPathExtension(std::string_view path) {
    std::string p(trimTrailingSlashes(path));
    std::string ext = pathExtension(p);
    if (ext.empty()) return p;
    return p.substr(0, p.size() - ext.size() - 1);
}

std::vector<std::string> pathComponents(std::string_view path) {
    std::vector<std::string> parts;
    if (path.empty()) return parts;
    if (path.front() == '/') parts.emplace_back("/");
    std::string current;
    for (char c : path) {
        if (c == '/') {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    if (path.size() > 1 && path.back() == '/') parts.emplace_back("/");
    return parts;
}

std::string pathWithComponents(const std::vector<std::string>& components) {
    std::string out;
    for (const auto& c : components) out = stringByAppendingPathComponent(out.empty() && c == "/" ? "/" : out, c == "/" ? "" : c);
    return out;
}

bool isAbsolutePath(std::string_view path) { return !path.empty() && (path.front() == '/' || path.front() == '~'); }

std::string stringByStandardizingPath(std::string_view path) {
    bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string> out;
    for (const auto& c : componentsSeparatedByString(path, "/")) {
        if (c.empty() || c == ".") continue;
        if (c == "..") {
            if (!out.empty() && out.back() != "..") out.pop_back();
            else if (!absolute) out.push_back(c);
            continue;
        }
        out.push_back(c);
    }
    std::string joined = componentsJoinedByString(out, "/");
    if (absolute) return "/" + joined;
    return joined;
}

std::string fileSystemRepresentation(std::string_view path) { return DeviceRoot::hostPath(path); }

// ---- searching and comparing -----------------------------------------------------------------

bool hasPrefix(std::string_view s, std::string_view prefix) { return !prefix.empty() && s.substr(0, prefix.size()) == prefix; }
bool hasSuffix(std::string_view s, std::string_view suffix) {
    return !suffix.empty() && s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}
bool containsString(std::string_view s, std::string_view other) { return !other.empty() && s.find(other) != std::string_view::npos; }

std::optional<std::size_t> rangeOfString(std::string_view s, std::string_view other, std::size_t from) {
    if (other.empty()) return std::nullopt;
    auto pos = s.find(other, from);
    if (pos == std::string_view::npos) return std::nullopt;
    return pos;
}

std::vector<std::string> componentsSeparatedByString(std::string_view s, std::string_view separator) {
    std::vector<std::string> parts;
    if (separator.empty()) {
        parts.emplace_back(s);
        return parts;
    }
    std::size_t start = 0;
    while (true) {
        auto pos = s.find(separator, start);
        if (pos == std::string_view::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, pos - start));
        start = pos + separator.size();
    }
}

std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

std::string stringByReplacingOccurrencesOfString(std::string_view s, std::string_view target, std::string_view replacement) {
    if (target.empty()) return std::string(s);
    std::string out;
    std::size_t start = 0;
    while (true) {
        auto pos = s.find(target, start);
        if (pos == std::string_view::npos) break;
        out.append(s.substr(start, pos - start));
        out.append(replacement);
        start = pos + target.size();
    }
    out.append(s.substr(start));
    return out;
}

namespace {
std::string trim(std::string_view s, std::string_view set) {
    auto b = s.find_first_not_of(set);
    if (b == std::string_view::npos) return {};
    auto e = s.find_last_not_of(set);
    return std::string(s.substr(b, e - b + 1));
}
} // namespace

std::string stringByTrimmingWhitespace(std::string_view s) { return trim(s, " \t"); }
std::string stringByTrimmingWhitespaceAndNewlines(std::string_view s) { return trim(s, " \t\r\n\v\f"); }

std::string lowercaseString(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string uppercaseString(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

NSComparisonResult compare(std::string_view a, std::string_view b) {
    // Compared as UTF-16 code units, as the platform does.
    auto ua = utf16(a), ub = utf16(b);
    int r = ua.compare(ub);
    return r < 0 ? NSOrderedAscending : r > 0 ? NSOrderedDescending : NSOrderedSame;
}

NSComparisonResult caseInsensitiveCompare(std::string_view a, std::string_view b) { return compare(lowercaseString(a), lowercaseString(b)); }

NSComparisonResult compareNumeric(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t si = i, sj = j;
            while (si < a.size() && a[si] == '0') ++si;
            while (sj < b.size() && b[sj] == '0') ++sj;
            std::size_t ei = si, ej = sj;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj ? NSOrderedAscending : NSOrderedDescending;
            int r = a.substr(si, ei - si).compare(b.substr(sj, ej - sj));
            if (r) return r < 0 ? NSOrderedAscending : NSOrderedDescending;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? NSOrderedAscending : NSOrderedDescending;
        ++i;
        ++j;
    }
    if (i < a.size()) return NSOrderedDescending;
    if (j < b.size()) return NSOrderedAscending;
    return NSOrderedSame;
}

int intValue(std::string_view s) {
    long long v = longLongValue(s);
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

long long longLongValue(std::string_view s) {
    std::string t(s);
    errno = 0;
    long long v = std::strtoll(t.c_str(), nullptr, 10);
    return v;
}

double doubleValue(std::string_view s) { return std::strtod(std::string(s).c_str(), nullptr); }
bool boolValue(std::string_view s) { return Value(std::string(s)).boolValue(); }

// ---- UTF-16 ----------------------------------------------------------------------------------

namespace {
// Decodes one code point; invalid bytes decode as U+FFFD and advance by one.
char32_t decode(std::string_view s, std::size_t& i) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    auto cont = [&](std::size_t k) { return k < s.size() && (b(k) & 0xC0) == 0x80; };
    if (c < 0x80) {
        ++i;
        return c;
    }
    if ((c & 0xE0) == 0xC0 && c >= 0xC2 && cont(i + 1)) {
        char32_t cp = ((c & 0x1Fu) << 6) | (b(i + 1) & 0x3Fu);
        i += 2;
        return cp;
    }
    if ((c & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
        char32_t cp = ((c & 0x0Fu) << 12) | ((b(i + 1) & 0x3Fu) << 6) | (b(i + 2) & 0x3Fu);
        if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
            i += 3;
            return cp;
        }
    }
    if ((c & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
        char32_t cp = ((c & 0x07u) << 18) | ((b(i + 1) & 0x3Fu) << 12) | ((b(i + 2) & 0x3Fu) << 6) | (b(i + 3) & 0x3Fu);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            i += 4;
            return cp;
        }
    }
    ++i;
    return 0xFFFD;
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
} // namespace

std::u16string utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = decode(s, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        encode(u, out);
    }
    return out;
}

std::size_t lengthUTF16(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) n += decode(s, i) >= 0x10000 ? 2 : 1;
    return n;
}

bool isValidUTF8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t before = i;
        char32_t cp = decode(s, i);
        if (cp == 0xFFFD && !(i - before == 3 && s.substr(before, 3) == "\xEF\xBF\xBD")) return false;
    }
    return true;
}

std::uint64_t hash(std::string_view s) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (char16_t unit : utf16(s)) {
        h ^= static_cast<std::uint8_t>(unit & 0xFF);
        h *= 0x100000001b3ull;
        h ^= static_cast<std::uint8_t>(unit >> 8);
        h *= 0x100000001b3ull;
    }
    return h;
}

// ---- percent escapes -------------------------------------------------------------------------

namespace {
bool unreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
bool subDelim(unsigned char c) { return std::string_view("!$&'()*+,;=").find(static_cast<char>(c)) != std::string_view::npos; }
} // namespace

bool URLQueryAllowed(unsigned char c) { return unreserved(c) || subDelim(c) || c == ':' || c == '@' || c == '/' || c == '?'; }
bool URLPathAllowed(unsigned char c) { return unreserved(c) || subDelim(c) || c == ':' || c == '@' || c == '/'; }
bool URLHostAllowed(unsigned char c) { return unreserved(c) || subDelim(c) || c == ':' || c == '[' || c == ']'; }
bool URLFragmentAllowed(unsigned char c) { return URLQueryAllowed(c); }

std::string stringByAddingPercentEncoding(std::string_view s, bool (*allowed)(unsigned char)) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80 && allowed(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string stringByAddingPercentEscapes(std::string_view s) {
    return stringByAddingPercentEncoding(s, [](unsigned char c) {
        return unreserved(c) || subDelim(c) || std::string_view(":/?#[]@").find(static_cast<char>(c)) != std::string_view::npos;
    });
}

std::optional<std::string> stringByRemovingPercentEncoding(std::string_view s) {
    std::string out;
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    if (!isValidUTF8(out)) return std::nullopt;
    return out;
}

} // namespace NSString
