#include "platform/foundation/CFStringTransform.h"

#include <iconv.h>
#include <locale.h>

#include <cerrno>
#include <optional>

const std::string kCFStringTransformToLatin = "Any-Latin";
const std::string kCFStringTransformLatinASCII = "Latin-ASCII";

namespace {
const char* const kKnownTransforms[] = {
    "Latin-ASCII",
    "Latin-ASCII; [:^ASCII:] Remove",
    "Any-Latin; Latin-ASCII",
    "Any-Latin; Latin-ASCII; [:^ASCII:] Remove",
};

// glibc's transliteration tables belong to the C.UTF-8 locale's character type; the process's
// own locale may be "C", which transliterates nothing.
class TransliteratingLocale {
public:
    TransliteratingLocale() : locale_(newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)) {
        if (locale_) previous_ = uselocale(locale_);
    }
    ~TransliteratingLocale() {
        if (!locale_) return;
        uselocale(previous_);
        freelocale(locale_);
    }
    TransliteratingLocale(const TransliteratingLocale&) = delete;
    TransliteratingLocale& operator=(const TransliteratingLocale&) = delete;

private:
    locale_t locale_;
    locale_t previous_ = nullptr;
};

std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

// One character at a time, so that iconv's "?" for a character it cannot transliterate is told
// apart from a real question mark and removed.
std::optional<std::string> toASCII(const std::string& text) {
    TransliteratingLocale locale;
    iconv_t converter = iconv_open("ASCII//TRANSLIT", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    bool ok = true;
    for (std::size_t i = 0; i < text.size() && ok;) {
        std::size_t length = sequenceLength(static_cast<unsigned char>(text[i]));
        if (length == 0 || i + length > text.size()) {
            ok = false;
            break;
        }
        if (length == 1) {
            out += text[i++];
            continue;
        }
        std::string character = text.substr(i, length);
        char buffer[32];
        char* in = character.data();
        std::size_t inLeft = character.size();
        char* result = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        std::size_t converted = iconv(converter, &in, &inLeft, &result, &outLeft);
        std::string ascii(buffer, static_cast<std::size_t>(result - buffer));
        if (converted != static_cast<std::size_t>(-1) && ascii != "?") out += ascii;
        else if (converted == static_cast<std::size_t>(-1) && errno == EILSEQ && inLeft == character.size()) {
            // Not UTF-8 at all.
            ok = false;
        }
        i += length;
    }
    iconv_close(converter);
    if (!ok) return std::nullopt;
    return out;
}
} // namespace

bool CFStringTransform(std::string& string, const std::string& transform, bool reverse) {
    if (reverse) return false;
    bool known = false;
    for (const char* name : kKnownTransforms) known = known || transform == name;
    if (!known) return false;
    std::optional<std::string> ascii = toASCII(string);
    if (!ascii) return false;
    string = std::move(*ascii);
    return true;
}
