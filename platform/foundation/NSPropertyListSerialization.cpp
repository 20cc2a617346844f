#include "platform/foundation/NSPropertyListSerialization.h"

#include "platform/foundation/Base64.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/StoreFile.h"

#include <plist/plist.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

namespace {
struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

constexpr char kBinaryMagic[] = "bplist00";
constexpr std::size_t kBinaryMagicLength = sizeof kBinaryMagic - 1;
// libplist keeps a date as whole seconds and microseconds since 2001 in 32-bit fields.
constexpr double kMicrosecondsPerSecond = 1e6;


std::string takeString(char* s) {
    std::string out = s ? s : "";
    std::free(s);
    return out;
}

// Text that a Value can hold and a property list can be written with again.
bool isPlistText(const std::string& s) { return s.find('\0') == std::string::npos && NSString::isValidUTF8(s); }

// `depth` counts the containers around the node.
std::optional<Value> fromPlist(plist_t node, std::string& problem, int depth = 0) {
    const plist_type type = plist_get_node_type(node);
    if ((type == PLIST_ARRAY || type == PLIST_DICT) && depth >= kPropertyListMaxDepth) {
        problem = "nested too deeply";
        return std::nullopt;
    }
    switch (type) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        // Integers are signed 64-bit on the platform; libplist hands them over as their bits.
        return Value(static_cast<long long>(static_cast<std::int64_t>(u)));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        // The pointer call, unlike plist_get_string_val, does not assert on an embedded NUL.
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        std::string text = s ? std::string(s, static_cast<std::size_t>(length)) : std::string();
        if (!isPlistText(text)) {
            problem = "string is not valid UTF-8 without a NUL character";
            return std::nullopt;
        }
        return Value(std::move(text));
    }
    case PLIST_KEY: {
        // Binary keys never stand alone and XML keys cannot hold a NUL, so this call cannot
        // assert.
        char* s = nullptr;
        plist_get_key_val(node, &s);
        std::string text = takeString(s);
        if (!isPlistText(text)) {
            problem = "key is not valid UTF-8";
            return std::nullopt;
        }
        return Value(std::move(text));
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        // libplist reads a binary date as its whole seconds towards zero and the fraction's
        // magnitude: before 2001 the fraction counts backwards. (The one second before 2001,
        // where the sign is lost, is refused before libplist reads it.)
        const double fraction = usec / kMicrosecondsPerSecond;
        const double sinceReference = sec < 0 ? sec - fraction : sec + fraction;
        return Value(Value::Date{sinceReference + NSTimeIntervalSince1970});
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        Value::Data data(reinterpret_cast<std::uint8_t*>(bytes), reinterpret_cast<std::uint8_t*>(bytes) + length);
        std::free(bytes);
        return Value(std::move(data));
    }
    case PLIST_UID: {
        // What a keyed archive's object references read as in Foundation's own XML form.
        uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        return Value(Value::Dictionary{{"CF$UID", Value(static_cast<unsigned long long>(uid))}});
    }
    case PLIST_ARRAY: {
        Value::Array array;
        uint32_t n = plist_array_get_size(node);
        array.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            auto item = fromPlist(plist_array_get_item(node, i), problem, depth + 1);
            if (!item) return std::nullopt;
            array.push_back(std::move(*item));
        }
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Value::Dictionary dict;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        while (true) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!key) break;
            std::string k = takeString(key);
            if (!isPlistText(k)) {
                std::free(it);
                problem = "dictionary key is not valid UTF-8";
                return std::nullopt;
            }
            if (!item) {
                std::free(it);
                problem = "dictionary key \"" + k + "\" has no value";
                return std::nullopt;
            }
            auto v = fromPlist(item, problem, depth + 1);
            if (!v) {
                std::free(it);
                return std::nullopt;
            }
            dict[k] = std::move(*v);
        }
        std::free(it);
        return Value(std::move(dict));
    }
    default:
        problem = "unknown node type";
        return std::nullopt;
    }
}

const char* propertyListSerializationTypeName(const Value& v) {
    switch (v.type()) {
    case Value::Type::Null: return "CFNull";
    case Value::Type::Object: return "object";
    default: return "value";
    }
}

// Whether a string or key can be written: no NUL and valid UTF-8; else `problem` says why.
bool writableText(const std::string& s, const char* withNul, const char* notUTF8, std::string& problem) {
    if (s.find('\0') != std::string::npos) {
        problem = withNul;
        return false;
    }
    if (!NSString::isValidUTF8(s)) {
        problem = notUTF8;
        return false;
    }
    return true;
}
constexpr const char* kStringWithNul = "strings with a NUL character cannot be written";
constexpr const char* kStringNotUTF8 = "strings must be valid UTF-8";
constexpr const char* kBadKey = "keys must be valid UTF-8 without a NUL character";

// A date as libplist keeps it, whole seconds and microseconds since 2001; false (with `problem`)
// outside the range those hold.
bool referenceDate(double secondsSince1970, int32_t& sec, int32_t& usec, std::string& problem) {
    double sinceReference = secondsSince1970 - NSTimeIntervalSince1970;
    double whole = std::floor(sinceReference);
    if (!std::isfinite(sinceReference) || whole < std::numeric_limits<int32_t>::min() ||
        whole > std::numeric_limits<int32_t>::max()) {
        problem = "date out of the representable range";
        return false;
    }
    usec = static_cast<int32_t>(std::lround((sinceReference - whole) * kMicrosecondsPerSecond));
    sec = static_cast<int32_t>(whole);
    if (usec >= static_cast<int32_t>(kMicrosecondsPerSecond) && sec < std::numeric_limits<int32_t>::max()) {
        ++sec;
        usec = 0;
    }
    return true;
}

// Containers deeper than any reader takes are refused.
bool tooDeep(const Value& v, int depth, std::string& problem) {
    if ((v.isArray() || v.isDictionary()) && depth >= kPropertyListMaxDepth) {
        problem = "nested too deeply";
        return true;
    }
    return false;
}

std::string objectProblem(const Value& v) {
    return std::string("property lists cannot contain objects of type '") + propertyListSerializationTypeName(v) + "'";
}

PlistNode toPlist(const Value& v, std::string& problem, int depth = 0) {
    if (tooDeep(v, depth, problem)) return nullptr;
    switch (v.type()) {
    case Value::Type::Bool: return PlistNode(plist_new_bool(v.boolValue() ? 1 : 0));
    case Value::Type::Integer: return PlistNode(plist_new_uint(static_cast<uint64_t>(v.integerValue())));
    case Value::Type::Real: return PlistNode(plist_new_real(v.doubleValue()));
    case Value::Type::String:
        if (!writableText(v.string(), kStringWithNul, kStringNotUTF8, problem)) return nullptr;
        return PlistNode(plist_new_string(v.string().c_str()));
    case Value::Type::Data:
        return PlistNode(plist_new_data(reinterpret_cast<const char*>(v.data().data()), v.data().size()));
    case Value::Type::Date: {
        int32_t sec = 0, usec = 0;
        if (!referenceDate(v.date().secondsSince1970, sec, usec, problem)) return nullptr;
        return PlistNode(plist_new_date(sec, usec));
    }
    case Value::Type::Array: {
        PlistNode array(plist_new_array());
        for (const auto& item : v.array()) {
            PlistNode node = toPlist(item, problem, depth + 1);
            if (!node) return nullptr;
            plist_array_append_item(array.get(), node.release());
        }
        return array;
    }
    case Value::Type::Dictionary: {
        PlistNode dict(plist_new_dict());
        for (const auto& [key, item] : v.dictionary()) {
            if (!writableText(key, kBadKey, kBadKey, problem)) return nullptr;
            PlistNode node = toPlist(item, problem, depth + 1);
            if (!node) return nullptr;
            plist_dict_set_item(dict.get(), key.c_str(), node.release());
        }
        return dict;
    }
    case Value::Type::Null:
    case Value::Type::Object: problem = objectProblem(v); return nullptr;
    }
    return nullptr;
}

// Where the XML text goes: counted first, then written into bytes reserved for exactly that much,
// so that the text is one allocation of its final size rather than a buffer grown by copies.
class XMLText {
public:
    // Counts only.
    XMLText() = default;
    explicit XMLText(std::vector<std::uint8_t>& bytes) : bytes_(&bytes) {}
    XMLText& operator+=(std::string_view text) {
        if (bytes_) bytes_->insert(bytes_->end(), text.begin(), text.end());
        length_ += text.size();
        return *this;
    }
    XMLText& operator+=(char c) {
        if (bytes_) bytes_->push_back(static_cast<std::uint8_t>(c));
        ++length_;
        return *this;
    }
    void append(std::size_t count, char c) {
        if (bytes_) bytes_->insert(bytes_->end(), count, static_cast<std::uint8_t>(c));
        length_ += count;
    }
    std::size_t length() const { return length_; }

private:
    std::vector<std::uint8_t>* bytes_ = nullptr;
    std::size_t length_ = 0;
};

// The XML form, written straight from the value into one buffer. It is the text libplist writes
// from a tree of its own nodes, without building that tree first (an allocation or more per
// value, on whichever thread encodes: a large store written often from many threads left each
// thread's allocator holding the nodes' memory).
class XMLPlistWriter {
public:
    explicit XMLPlistWriter(XMLText& out) : out_(out) {}

    bool writeDocument(const Value& root, std::string& problem) {
        out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                "<plist version=\"1.0\">\n";
        if (!write(root, 0, problem)) return false;
        out_ += "</plist>\n";
        return true;
    }

private:
    // Base64 lines are this long at the top level and 8 characters shorter for each tab before
    // them; the tabs stop at kMostDataTabs.
    static constexpr std::size_t kDataLineLength = 76;
    static constexpr int kMostDataTabs = 8;

    bool write(const Value& v, int depth, std::string& problem) {
        if (tooDeep(v, depth, problem)) return false;
        indent(depth);
        switch (v.type()) {
        case Value::Type::Bool: out_ += v.boolValue() ? "<true/>\n" : "<false/>\n"; return true;
        case Value::Type::Integer: element("integer", std::to_string(v.integerValue())); return true;
        case Value::Type::Real: element("real", realText(v.doubleValue())); return true;
        case Value::Type::String:
            if (!writableText(v.string(), kStringWithNul, kStringNotUTF8, problem)) return false;
            out_ += "<string>";
            escaped(v.string());
            out_ += "</string>\n";
            return true;
        case Value::Type::Data: data(v.data(), depth); return true;
        case Value::Type::Date: {
            int32_t sec = 0, usec = 0;
            if (!referenceDate(v.date().secondsSince1970, sec, usec, problem)) return false;
            element("date", dateText(sec));
            return true;
        }
        case Value::Type::Array:
            return container("array", v.array(), depth, [&](const Value& item) { return write(item, depth + 1, problem); });
        case Value::Type::Dictionary:
            return container("dict", v.dictionary(), depth, [&](const auto& entry) {
                if (!writableText(entry.first, kBadKey, kBadKey, problem)) return false;
                indent(depth + 1);
                out_ += "<key>";
                escaped(entry.first);
                out_ += "</key>\n";
                return write(entry.second, depth + 1, problem);
            });
        case Value::Type::Null:
        case Value::Type::Object: problem = objectProblem(v); return false;
        }
        return false;
    }

    // An array or dictionary: "<name/>" when empty, else its items between "<name>" and "</name>".
    template <typename Items, typename WriteItem>
    bool container(const char* name, const Items& items, int depth, WriteItem writeItem) {
        out_ += '<';
        out_ += name;
        if (items.empty()) {
            out_ += "/>\n";
            return true;
        }
        out_ += ">\n";
        for (const auto& item : items)
            if (!writeItem(item)) return false;
        indent(depth);
        out_ += "</";
        out_ += name;
        out_ += ">\n";
        return true;
    }

    static std::string realText(double d) {
        if (std::isnan(d)) return "nan";
        if (std::isinf(d)) return d > 0 ? "+infinity" : "-infinity";
        if (d == 0) return "0.0";
        // As %.17g in the C locale, whatever locale the process runs in.
        char text[32];
        auto written = std::to_chars(text, text + sizeof text, d, std::chars_format::general, 17);
        return std::string(text, written.ptr);
    }

    // Whole seconds since 2001 in UTC; the microseconds a binary property list keeps are not written.
    static std::string dateText(int32_t sinceReference) {
        const auto when =
            static_cast<std::time_t>(static_cast<std::int64_t>(sinceReference) + static_cast<std::int64_t>(NSTimeIntervalSince1970));
        std::tm parts{};
        char buffer[32] = "";
        if (gmtime_r(&when, &parts)) std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts);
        return buffer;
    }

    void data(const Value::Data& bytes, int depth) {
        out_ += "<data>\n";
        const int tabs = std::min(depth, kMostDataTabs);
        const std::size_t line = kDataLineLength - 8 * static_cast<std::size_t>(tabs);
        std::string encoded;
        NSBase64EncodeAppending(bytes.data(), bytes.size(), encoded);
        for (std::size_t at = 0; at < encoded.size(); at += line) {
            indent(tabs);
            out_ += std::string_view(encoded).substr(at, line);
            out_ += '\n';
        }
        indent(depth);
        out_ += "</data>\n";
    }

    void element(const char* name, const std::string& text) {
        out_ += '<';
        out_ += name;
        out_ += '>';
        out_ += text;
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }

    void escaped(const std::string& s) {
        for (char c : s) {
            switch (c) {
            case '&': out_ += "&amp;"; break;
            case '<': out_ += "&lt;"; break;
            case '>': out_ += "&gt;"; break;
            default: out_ += c;
            }
        }
    }

    void indent(int depth) { out_.append(static_cast<std::size_t>(depth), '\t'); }

    XMLText& out_;
};

bool looksLikeXML(std::string_view data) {
    std::size_t i = 0;
    if (data.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n')) ++i;
    return i < data.size() && data[i] == '<';
}
} // namespace

std::optional<Value> NSPropertyListSerialization::propertyListWithData(std::string_view data, NSPropertyListReadOptions,
                                                                       NSPropertyListFormat* format, NSErrorPtr* error) {
    if (data.empty()) {
        NSErrorSet(error, NSSerializationReadError("Cannot parse a NULL or zero-length data"));
        return std::nullopt;
    }
    if (data.size() > std::numeric_limits<uint32_t>::max()) {
        NSErrorSet(error, NSSerializationReadError("property list too large"));
        return std::nullopt;
    }
    const bool binary = data.size() >= kBinaryMagicLength && data.substr(0, kBinaryMagicLength) == kBinaryMagic;
    if (!binary && !looksLikeXML(data)) {
        NSErrorSet(error, NSSerializationReadError("Unexpected character at line 1 (not an XML or binary property list)"));
        return std::nullopt;
    }
    // libplist is handed only what it can read without asserting or exhausting the stack.
    std::string damage = binary ? checkBinaryPropertyList(data) : checkXMLPropertyList(data);
    if (!damage.empty()) {
        NSErrorSet(error, NSSerializationReadError(std::string(binary ? "Corrupt binary property list: " : "Malformed XML property list: ") + damage));
        return std::nullopt;
    }
    plist_t raw = nullptr;
    if (binary) {
        plist_from_bin(data.data(), static_cast<uint32_t>(data.size()), &raw);
    } else {
        plist_from_xml(data.data(), static_cast<uint32_t>(data.size()), &raw);
    }
    PlistNode root(raw);
    if (!root) {
        NSErrorSet(error, NSSerializationReadError(binary ? "Corrupt binary property list" : "Malformed XML property list"));
        return std::nullopt;
    }
    std::string problem;
    auto value = fromPlist(root.get(), problem);
    if (!value) {
        NSErrorSet(error, NSSerializationReadError(problem));
        return std::nullopt;
    }
    if (format) *format = binary ? NSPropertyListBinaryFormat_v1_0 : NSPropertyListXMLFormat_v1_0;
    return value;
}

NSDataPtr NSPropertyListSerialization::dataWithPropertyList(const Value& plist, NSPropertyListFormat format,
                                                            NSPropertyListWriteOptions, NSErrorPtr* error) {
    if (format != NSPropertyListXMLFormat_v1_0 && format != NSPropertyListBinaryFormat_v1_0) {
        NSErrorSet(error, NSSerializationWriteError("Property list format " + std::to_string(format) + " cannot be written"));
        return nullptr;
    }
    std::string problem;
    auto invalid = [&] {
        NSErrorSet(error, NSSerializationWriteError("Property list invalid for format: " + std::to_string(format) + " (" + problem + ")"));
        return nullptr;
    };
    NSDataPtr out;
    if (format == NSPropertyListXMLFormat_v1_0) {
        XMLText counted;
        if (!XMLPlistWriter(counted).writeDocument(plist, problem)) return invalid();
        std::vector<std::uint8_t> bytes;
        bytes.reserve(counted.length());
        XMLText text(bytes);
        XMLPlistWriter(text).writeDocument(plist, problem);
        return std::make_shared<NSData>(std::move(bytes));
    }
    PlistNode root = toPlist(plist, problem);
    if (!root) return invalid();
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    if (bytes) out = NSData::dataWithBytes(bytes, length);
    plist_to_bin_free(bytes);
    if (!out) {
        NSErrorSet(error, NSError::errorWithDomain(NSCocoaErrorDomain, NSPropertyListWriteStreamError,
                                                   {{NSLocalizedDescriptionKey, NSSerializationWriteError("")->localizedDescription()},
                                                    {NSDebugDescriptionErrorKey, std::string("The property list could not be encoded")}}));
    }
    return out;
}

bool NSPropertyListSerialization::propertyListIsValidForFormat(const Value& plist, NSPropertyListFormat format) {
    if (format != NSPropertyListXMLFormat_v1_0 && format != NSPropertyListBinaryFormat_v1_0) return false;
    std::string problem;
    return toPlist(plist, problem) != nullptr;
}

std::optional<Value> NSPropertyListSerialization::propertyListWithContentsOfFile(const std::string& path, NSErrorPtr* error,
                                                                                 NSPropertyListFormat* format) {
    NSDataPtr data = NSDataWithContentsOfStoreFile(path, error);
    if (!data) return std::nullopt;
    return propertyListWithData(*data, NSPropertyListImmutable, format, error);
}

bool NSPropertyListSerialization::writePropertyListToFile(const Value& plist, const std::string& path, bool atomically,
                                                          NSPropertyListFormat format, NSErrorPtr* error) {
    NSDataPtr data = dataWithPropertyList(plist, format, 0, error);
    if (!data) return false;
    return data->writeToFile(path, atomically ? static_cast<unsigned long>(NSDataWritingAtomic) : 0ul, error);
}

std::optional<Value::Dictionary> NSDictionaryWithContentsOfFile(const std::string& path) {
    auto value = NSPropertyListSerialization::propertyListWithContentsOfFile(path);
    if (!value || !value->isDictionary()) return std::nullopt;
    return std::move(value->dictionary());
}

std::optional<Value::Array> NSArrayWithContentsOfFile(const std::string& path) {
    auto value = NSPropertyListSerialization::propertyListWithContentsOfFile(path);
    if (!value || !value->isArray()) return std::nullopt;
    return std::move(value->array());
}

bool NSWritePropertyListToFile(const Value& plist, const std::string& path, bool atomically) {
    return NSPropertyListSerialization::writePropertyListToFile(plist, path, atomically, NSPropertyListXMLFormat_v1_0, nullptr);
}
