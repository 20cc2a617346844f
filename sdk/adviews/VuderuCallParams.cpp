#include "sdk/adviews/VuderuCallParams.h"

#include <cstdint>
#include <vector>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value of `count` hex digits at `at`, or -1.
long hexAt(const std::string& s, std::size_t at, std::size_t count) {
    if (at + count > s.size()) return -1;
    long value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int d = hexDigit(s[at + i]);
        if (d < 0) return -1;
        value = value * 16 + d;
    }
    return value;
}

void appendUTF8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool isUTF8(const std::vector<unsigned char>& b) {
    for (std::size_t i = 0; i < b.size();) {
        const unsigned char c = b[i];
        std::size_t n = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) { ++i; continue; }
        if (c >= 0xC2 && c <= 0xDF) { n = 1; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { n = 2; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { n = 3; cp = c & 0x07; }
        else return false;
        if (i + n >= b.size()) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            if ((b[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b[i + k] & 0x3F);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += n + 1;
    }
    return true;
}

void appendBytes(std::string& out, std::vector<unsigned char>& bytes) {
    if (isUTF8(bytes)) out.append(bytes.begin(), bytes.end());
    else
        for (unsigned char c : bytes) appendUTF8(out, c);
    bytes.clear();
}

} // namespace

std::string VuderuCallParams::decodeValue(const std::string& s) {
    std::string out;
    std::vector<unsigned char> bytes;
    std::vector<std::uint32_t> units;
    auto flushUnits = [&] {
        for (std::size_t i = 0; i < units.size(); ++i) {
            const std::uint32_t u = units[i];
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
                appendUTF8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
                ++i;
            } else {
                appendUTF8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
            }
        }
        units.clear();
    };
    for (std::size_t i = 0; i < s.size();) {
        long v = -1;
        if (s[i] == '%' && i + 1 < s.size() && s[i + 1] == 'u' && (v = hexAt(s, i + 2, 4)) >= 0) {
            appendBytes(out, bytes);
            units.push_back(std::uint32_t(v));
            i += 6;
            continue;
        }
        if (s[i] == '%' && (v = hexAt(s, i + 1, 2)) >= 0) {
            flushUnits();
            bytes.push_back(static_cast<unsigned char>(v));
            i += 3;
            continue;
        }
        flushUnits();
        appendBytes(out, bytes);
        out += s[i] == '+' ? ' ' : s[i];
        ++i;
    }
    flushUnits();
    appendBytes(out, bytes);
    return out;
}

std::map<std::string, std::string> VuderuCallParams::parse(const std::string& paramsString) {
    std::map<std::string, std::string> pairs;
    std::size_t start = 0;
    while (start <= paramsString.size()) {
        std::size_t end = paramsString.find('&', start);
        if (end == std::string::npos) end = paramsString.size();
        const std::string piece = paramsString.substr(start, end - start);
        const std::size_t eq = piece.find('=');
        if (eq != std::string::npos) {
            const std::size_t next = piece.find('=', eq + 1);
            const std::string raw = piece.substr(eq + 1, next == std::string::npos ? std::string::npos : next - eq - 1);
            pairs[piece.substr(0, eq)] = decodeValue(raw);
        }
        start = end + 1;
    }
    return pairs;
}
