#include "platform/foundation/PropertyListCheck.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// libplist hands dates over as whole seconds since 2001 in 32 bits: a date beyond them would be
// read as another one.
bool dateFits(double secondsSince2001) {
    if (!std::isfinite(secondsSince2001)) return false;
    double whole = std::floor(secondsSince2001);
    return whole >= std::numeric_limits<std::int32_t>::min() && whole <= std::numeric_limits<std::int32_t>::max();
}

// The binary format: "bplist00", the objects, a table of their offsets, and a 32-byte trailer
// (6 unused bytes, the offset size, the reference size, the object count, the root object and
// the table's offset, the last three as big-endian 64-bit numbers).
constexpr std::size_t kHeaderLength = 8;
constexpr std::size_t kTrailerLength = 32;
constexpr std::size_t kTrailerOffsetSize = 6;
constexpr std::size_t kTrailerReferenceSize = 7;
constexpr std::size_t kTrailerObjectCount = 8;
constexpr std::size_t kTrailerRootObject = 16;
constexpr std::size_t kTrailerTableOffset = 24;
constexpr unsigned kMaxIntegerSize = 8;

// Object markers: the high nibble is the kind, the low one a size or a length (0xF: a length
// follows as an integer object).
enum Kind : std::uint8_t {
    kSimple = 0x0, kInteger = 0x1, kReal = 0x2, kDate = 0x3, kData = 0x4, kASCIIString = 0x5,
    kUTF16String = 0x6, kUID = 0x8, kArray = 0xA, kDictionary = 0xD,
};
constexpr std::uint8_t kFalse = 0x8;
constexpr std::uint8_t kTrue = 0x9;
constexpr std::uint8_t kLengthFollows = 0xF;
constexpr unsigned kMaxIntegerExponent = 4;   // 16-byte integers
constexpr unsigned kMaxUIDLength = 8;

struct Object {
    std::uint8_t kind = 0;
    std::size_t contentAt = 0;
    std::uint64_t length = 0;
};

class BinaryCheck {
public:
    explicit BinaryCheck(std::string_view data) : d_(reinterpret_cast<const std::uint8_t*>(data.data())), size_(data.size()) {}

    std::string run() {
        if (!readTrailer()) return problem_;
        checked_.assign(count_, false);
        // Every reference costs at least one byte, so a list whose containers are not shared
        // expands to fewer nodes than it has bytes.
        visitsLeft_ = size_;
        if (!visit(root_)) return problem_;
        while (!stack_.empty()) {
            Frame& frame = stack_.back();
            if (frame.left == 0) {
                stack_.pop_back();
                continue;
            }
            std::uint64_t reference = number(frame.next, referenceSize_);
            frame.next += referenceSize_;
            --frame.left;
            if (!visit(reference)) return problem_;
        }
        return {};
    }

private:
    struct Frame {
        std::size_t next;
        std::uint64_t left;
    };

    bool fail(const char* why) {
        problem_ = why;
        return false;
    }

    std::uint64_t number(std::size_t at, unsigned bytes) const {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < bytes; ++i) v = (v << 8) | d_[at + i];
        return v;
    }

    bool readTrailer() {
        if (size_ < kHeaderLength + kTrailerLength + 2) return fail("too short");
        const std::size_t trailer = size_ - kTrailerLength;
        offsetSize_ = d_[trailer + kTrailerOffsetSize];
        referenceSize_ = d_[trailer + kTrailerReferenceSize];
        if (offsetSize_ < 1 || offsetSize_ > kMaxIntegerSize || referenceSize_ < 1 || referenceSize_ > kMaxIntegerSize) {
            return fail("bad offset or reference size");
        }
        std::uint64_t count = number(trailer + kTrailerObjectCount, kMaxIntegerSize);
        std::uint64_t root = number(trailer + kTrailerRootObject, kMaxIntegerSize);
        std::uint64_t table = number(trailer + kTrailerTableOffset, kMaxIntegerSize);
        if (table < kHeaderLength + 1 || table > trailer) return fail("offset table out of range");
        if (count == 0 || count > (trailer - table) / offsetSize_) return fail("bad object count");
        if (root >= count) return fail("root object out of range");
        count_ = static_cast<std::size_t>(count);
        root_ = static_cast<std::size_t>(root);
        table_ = static_cast<std::size_t>(table);
        return true;
    }

    // The object's marker and length, bounded by the start of the offset table.
    bool object(std::uint64_t index, Object& out) {
        if (index >= count_) return fail("reference out of range");
        std::uint64_t at = number(table_ + static_cast<std::size_t>(index) * offsetSize_, offsetSize_);
        if (at < kHeaderLength || at >= table_) return fail("object offset out of range");
        std::size_t p = static_cast<std::size_t>(at);
        out.kind = d_[p] >> 4;
        std::uint8_t info = d_[p] & 0xF;
        out.contentAt = p + 1;
        out.length = info;
        bool counted = out.kind == kData || out.kind == kASCIIString || out.kind == kUTF16String || out.kind == kArray ||
                       out.kind == kDictionary;
        if (counted && info == kLengthFollows) {
            if (p + 2 > table_ || d_[p + 1] >> 4 != kInteger) return fail("bad length");
            unsigned bytes = 1u << (d_[p + 1] & 0xF);
            if (bytes > kMaxIntegerSize || p + 2 + bytes > table_) return fail("bad length");
            out.length = number(p + 2, bytes);
            out.contentAt = p + 2 + bytes;
        }
        return true;
    }

    bool fits(const Object& o, std::uint64_t unit) {
        std::size_t room = table_ - o.contentAt;
        if (o.length > room / unit) return fail("object runs past the offset table");
        return true;
    }

    bool visit(std::uint64_t index) {
        if (visitsLeft_ == 0) return fail("references expand beyond the list's size");
        --visitsLeft_;
        Object o;
        if (!object(index, o)) return false;
        if (o.kind == kArray || o.kind == kDictionary) return enter(o);
        if (checked_[static_cast<std::size_t>(index)]) return true;
        if (!leaf(o)) return false;
        checked_[static_cast<std::size_t>(index)] = true;
        return true;
    }

    bool enter(const Object& o) {
        if (stack_.size() >= static_cast<std::size_t>(kPropertyListMaxDepth)) return fail("nested too deeply");
        const std::uint64_t references = o.kind == kDictionary ? 2 : 1;
        if (!fits(o, references * referenceSize_)) return false;
        if (o.kind == kDictionary) {
            // Keys are strings, counted as nodes of their own; the values are walked as children.
            for (std::uint64_t i = 0; i < o.length; ++i) {
                if (visitsLeft_ == 0) return fail("references expand beyond the list's size");
                --visitsLeft_;
                std::uint64_t key = number(o.contentAt + static_cast<std::size_t>(i) * referenceSize_, referenceSize_);
                Object k;
                if (!object(key, k)) return false;
                if (k.kind != kASCIIString && k.kind != kUTF16String) return fail("dictionary key is not a string");
                if (!checked_[static_cast<std::size_t>(key)] && !leaf(k)) return false;
                checked_[static_cast<std::size_t>(key)] = true;
            }
            stack_.push_back({o.contentAt + static_cast<std::size_t>(o.length) * referenceSize_, o.length});
        } else {
            stack_.push_back({o.contentAt, o.length});
        }
        return true;
    }

    bool leaf(const Object& o) {
        switch (o.kind) {
        case kSimple:
            if (o.length != kFalse && o.length != kTrue) return fail("unsupported simple object");
            return true;
        case kInteger:
            if (o.length > kMaxIntegerExponent) return fail("bad integer size");
            return fitsBytes(o, 1ull << o.length);
        case kReal:
            if (o.length != 2 && o.length != 3) return fail("bad real size");
            return fitsBytes(o, 1ull << o.length);
        case kDate:
            if (o.length != 3) return fail("bad date size");
            if (!fitsBytes(o, sizeof(double))) return false;
            return date(std::bit_cast<double>(number(o.contentAt, sizeof(double))));
        case kData: return fits(o, 1);
        case kASCIIString:
            if (!fits(o, 1)) return false;
            if (std::memchr(d_ + o.contentAt, 0, static_cast<std::size_t>(o.length))) return fail("string holds a NUL character");
            return true;
        case kUTF16String: return utf16(o);
        case kUID:
            if (o.length + 1 > kMaxUIDLength) return fail("bad UID size");
            return fitsBytes(o, o.length + 1);
        default: return fail("unsupported object kind");
        }
    }

    bool date(double secondsSince2001) {
        if (!dateFits(secondsSince2001)) return fail("date out of range");
        // libplist reads the whole seconds towards zero and the fraction without its sign: within
        // the second before 2001 the sign is lost.
        if (secondsSince2001 < 0 && secondsSince2001 > -1) return fail("date within the second before 2001");
        return true;
    }

    bool fitsBytes(const Object& o, std::uint64_t bytes) {
        if (bytes > table_ - o.contentAt) return fail("object runs past the offset table");
        return true;
    }

    // Whole surrogate pairs and no U+0000.
    bool utf16(const Object& o) {
        if (!fits(o, 2)) return false;
        bool expectLow = false;
        for (std::uint64_t i = 0; i < o.length; ++i) {
            unsigned unit = static_cast<unsigned>(number(o.contentAt + static_cast<std::size_t>(i) * 2, 2));
            bool high = unit >= 0xD800 && unit <= 0xDBFF;
            bool low = unit >= 0xDC00 && unit <= 0xDFFF;
            if (expectLow != low) return fail("string holds a broken surrogate pair");
            if (unit == 0) return fail("string holds a NUL character");
            expectLow = high;
        }
        if (expectLow) return fail("string holds a broken surrogate pair");
        return true;
    }

    const std::uint8_t* d_;
    std::size_t size_;
    unsigned offsetSize_ = 0;
    unsigned referenceSize_ = 0;
    std::size_t count_ = 0;
    std::size_t root_ = 0;
    std::size_t table_ = 0;
    std::size_t visitsLeft_ = 0;
    std::vector<bool> checked_;
    std::vector<Frame> stack_;
    std::string problem_;
};

// Skips past `end` from `from`; npos when it never comes.
std::size_t after(std::string_view text, std::size_t from, std::string_view end) {
    std::size_t found = text.find(end, from);
    return found == std::string_view::npos ? found : found + end.size();
}

std::string_view tagName(std::string_view text, std::size_t from) {
    std::size_t end = text.find_first_of(" \t\r\n/>", from);
    return text.substr(from, (end == std::string_view::npos ? text.size() : end) - from);
}

// The position of the '>' that ends the tag opened at `from`, outside quoted attribute values.
std::size_t tagEnd(std::string_view text, std::size_t from) {
    char quote = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i;
        }
    }
    return std::string_view::npos;
}

// Days from 2001-01-01 to the given day of the proleptic Gregorian calendar.
long long daysSince2001(long long year, long long month, long long day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    constexpr long long kDaysFrom1970To2001 = 11323;
    return era * 146097 + dayOfEra - 719468 - kDaysFrom1970To2001;
}

// A "<date>" text ("2001-01-01T00:00:00Z") whose time libplist cannot hold; a text that is not
// such a date is left to libplist to judge.
bool dateTextOutOfRange(std::string_view text) {
    long long year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::string copy(text.substr(0, 64));
    if (std::sscanf(copy.c_str(), " %lld-%lld-%lldT%lld:%lld:%lld", &year, &month, &day, &hour, &minute, &second) != 6) return false;
    if (year < -1000000 || year > 1000000) return true;
    double seconds = static_cast<double>(daysSince2001(year, month, day)) * 86400.0 + static_cast<double>(hour * 3600 + minute * 60 + second);
    return !dateFits(seconds);
}

} // namespace

std::string checkBinaryPropertyList(std::string_view data) { return BinaryCheck(data).run(); }

std::string checkXMLPropertyList(std::string_view text) {
    // The plist element and a leaf inside the deepest container come on top of the containers.
    constexpr std::size_t kMaxElements = kPropertyListMaxDepth + 2;
    // Names of the open elements; a closing tag that does not match the innermost one closes
    // nothing here, so the count can only err on the deep side.
    std::vector<std::string_view> open;
    std::size_t i = 0;
    while ((i = text.find('<', i)) != std::string_view::npos) {
        std::string_view rest = text.substr(i);
        if (rest.starts_with("<!--")) {
            i = after(text, i + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            i = after(text, i + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            i = after(text, i + 2, "?>");
        } else if (rest.starts_with("<!")) {
            i = after(text, i + 2, ">");
        } else if (rest.starts_with("</")) {
            if (!open.empty() && tagName(text, i + 2) == open.back()) open.pop_back();
            i = after(text, i + 2, ">");
        } else {
            std::size_t end = tagEnd(text, i + 1);
            if (end == std::string_view::npos) break;
            if (text[end - 1] != '/') {
                open.push_back(tagName(text, i + 1));
                if (open.size() > kMaxElements) return "nested too deeply";
                if (open.back() == "date" && dateTextOutOfRange(text.substr(end + 1))) return "date out of range";
            }
            i = end + 1;
        }
        if (i == std::string_view::npos) break;
    }
    return {};
}
