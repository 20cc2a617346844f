#include "platform/foundation/TextEscapes.h"

#include <algorithm>

namespace NSString {

namespace {
constexpr char kEscapeHexDigits[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at `i` (shortest form, no surrogate, at most
// U+10FFFF), or 0; its code point in `codePoint`.
std::size_t wellFormedUTF8Sequence(std::string_view s, std::size_t i, char32_t& codePoint) {
    const auto at = [&](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    const unsigned lead = at(i);
    std::size_t length;
    unsigned low = 0x80, high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) length = 2, codePoint = lead & 0x1f;
    else if (lead >= 0xe0 && lead <= 0xef) length = 3, codePoint = lead & 0x0f;
    else if (lead >= 0xf0 && lead <= 0xf4) length = 4, codePoint = lead & 0x07;
    else return 0;
    if (lead == 0xe0) low = 0xa0;
    else if (lead == 0xed) high = 0x9f;
    else if (lead == 0xf0) low = 0x90;
    else if (lead == 0xf4) high = 0x8f;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned byte = at(i + k);
        if (byte < (k == 1 ? low : 0x80u) || byte > (k == 1 ? high : 0xbfu)) return 0;
        codePoint = (codePoint << 6) | (byte & 0x3f);
    }
    return length;
}

// Characters that act on a terminal or on the direction of the text around them: C1 controls and
// the bidirectional embeddings, overrides and isolates.
bool isInvisibleControl(char32_t c) {
    return (c >= 0x80 && c <= 0x9f) || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}
} // namespace

// A line shows control characters as escapes: a file name holding a line break cannot add a line
// of its own to the screen, nor an escape sequence reach the terminal, nor a direction override
// turn the rest of the line around. A byte that is not part of UTF-8 text shows as "\xNN".
std::string stringByEscapingControlCharacters(std::string_view line) {
    if (std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7f; })) return std::string(line);
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte >= 0x20 && byte < 0x7f) {
            out += line[i++];
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = byte < 0x80 ? 0 : wellFormedUTF8Sequence(line, i, codePoint);
        if (length == 0) {
            if (byte == '\n') out += "\\n";
            else if (byte == '\t') out += "\\t";
            else if (byte == '\r') out += "\\r";
            else out += std::string("\\x") + kEscapeHexDigits[byte >> 4] + kEscapeHexDigits[byte & 0xf];
            ++i;
            continue;
        }
        if (isInvisibleControl(codePoint)) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += kEscapeHexDigits[(codePoint >> shift) & 0xf];
        } else {
            out.append(line, i, length);
        }
        i += length;
    }
    return out;
}

} // namespace NSString
