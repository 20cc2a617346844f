#include "platform/foundation/PrintableText.h"

#include <algorithm>

namespace {
constexpr char kPrintableHexDigits[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence at `i` (shortest form, no surrogate, at most
// U+10FFFF), or 0; its code point in `codePoint`.
std::size_t printableSequenceLength(std::string_view s, std::size_t i, char32_t& codePoint) {
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

// Characters beyond ASCII that act on a terminal, break a line, steer the direction of the text
// around them or show as nothing: the C1 controls, the line and paragraph separators, and the
// format characters (Unicode's category Cf).
bool printableNeedsEscape(char32_t c) {
    struct Range {
        char32_t first, last;
    };
    static constexpr Range kEscaped[] = {
        {0x80, 0x9f},       // C1 controls (NEL among them)
        {0xad, 0xad},       // soft hyphen
        {0x600, 0x605},     // Arabic number signs
        {0x61c, 0x61c},     // Arabic letter mark
        {0x6dd, 0x6dd},     {0x70f, 0x70f},  {0x890, 0x891}, {0x8e2, 0x8e2},
        {0x180e, 0x180e},   // Mongolian vowel separator
        {0x200b, 0x200f},   // zero-width space, non-joiner, joiner; direction marks
        {0x2028, 0x202e},   // line and paragraph separators; embeddings and overrides
        {0x2060, 0x2064},   // word joiner, invisible operators
        {0x2066, 0x206f},   // isolates, deprecated format characters
        {0xfeff, 0xfeff},   // byte-order mark, zero-width no-break space
        {0xfff9, 0xfffb},   // interlinear annotation
        {0x110bd, 0x110bd}, {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3}, {0x1d173, 0x1d17a},
        {0xe0001, 0xe0001}, {0xe0020, 0xe007f}, // tags
    };
    return std::any_of(std::begin(kEscaped), std::end(kEscaped), [c](const Range& r) { return c >= r.first && c <= r.last; });
}

void appendPrintableHex(std::string& out, char32_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kPrintableHexDigits[(value >> shift) & 0xf];
}
} // namespace

std::string PrintableText(std::string_view text, PrintableBackslash backslash) {
    const bool escapeBackslash = backslash == PrintableBackslash::Escaped;
    // The spaces at the end, each written as an escape.
    const std::size_t end = text.find_last_not_of(' ') + 1;
    if (end == text.size() && std::all_of(text.begin(), text.end(), [&](char c) {
            return c >= 0x20 && c < 0x7f && (c != '\\' || !escapeBackslash);
        }))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (i >= end) {
            out += "\\x20";
            ++i;
            continue;
        }
        if (byte == '\\' && escapeBackslash) {
            out += "\\\\";
            ++i;
            continue;
        }
        if (byte >= 0x20 && byte < 0x7f) {
            out += text[i++];
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = byte < 0x80 ? 0 : printableSequenceLength(text, i, codePoint);
        if (length == 0) {
            if (byte == '\n') out += "\\n";
            else if (byte == '\t') out += "\\t";
            else if (byte == '\r') out += "\\r";
            else {
                out += "\\x";
                appendPrintableHex(out, byte, 2);
            }
            ++i;
            continue;
        }
        if (!printableNeedsEscape(codePoint)) {
            out.append(text, i, length);
        } else if (codePoint <= 0xffff) {
            out += "\\u";
            appendPrintableHex(out, codePoint, 4);
        } else {
            out += "\\U";
            appendPrintableHex(out, codePoint, 8);
        }
        i += length;
    }
    return out;
}
