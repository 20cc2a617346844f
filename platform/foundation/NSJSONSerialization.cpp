#include "platform/foundation/NSJSONSerialization.h"

#include "platform/foundation/NSString.h"

#include <jansson.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

namespace {
struct JsonDecref {
    void operator()(json_t* j) const { json_decref(j); }
};
using JsonPtr = std::unique_ptr<json_t, JsonDecref>;

constexpr int kPrettyIndent = 2;


Value fromJSON(const json_t* j) {
    switch (json_typeof(j)) {
    case JSON_OBJECT: {
        Value::Dictionary dict;
        const char* key;
        json_t* item;
        // json_object_foreach takes a non-const object; iteration does not modify it.
        json_t* object = const_cast<json_t*>(j);
        json_object_foreach(object, key, item) { dict[key] = fromJSON(item); }
        return Value(std::move(dict));
    }
    case JSON_ARRAY: {
        Value::Array array;
        array.reserve(json_array_size(j));
        for (std::size_t i = 0; i < json_array_size(j); ++i) array.push_back(fromJSON(json_array_get(j, i)));
        return Value(std::move(array));
    }
    case JSON_STRING: return Value(std::string(json_string_value(j), json_string_length(j)));
    case JSON_INTEGER: return Value(static_cast<long long>(json_integer_value(j)));
    case JSON_REAL: return Value(json_real_value(j));
    case JSON_TRUE: return Value(true);
    case JSON_FALSE: return Value(false);
    case JSON_NULL: return Value();
    }
    return Value();
}

const char* typeName(const Value& v) {
    switch (v.type()) {
    case Value::Type::Data: return "NSData";
    case Value::Type::Date: return "NSDate";
    case Value::Type::Object: return v.object() ? "object" : "nil";
    default: return "value";
    }
}

JsonPtr toJSON(const Value& v, std::string& problem) {
    switch (v.type()) {
    case Value::Type::Null: return JsonPtr(json_null());
    case Value::Type::Bool: return JsonPtr(json_boolean(v.boolValue()));
    case Value::Type::Integer: return JsonPtr(json_integer(static_cast<json_int_t>(v.integerValue())));
    case Value::Type::Real:
        if (!std::isfinite(v.doubleValue())) {
            problem = "Invalid number value (infinite or NaN) in JSON write";
            return nullptr;
        }
        return JsonPtr(json_real(v.doubleValue()));
    case Value::Type::String: {
        JsonPtr s(json_stringn(v.string().data(), v.string().size()));
        if (!s) problem = "Invalid string (not UTF-8) in JSON write";
        return s;
    }
    case Value::Type::Array: {
        JsonPtr array(json_array());
        for (const auto& item : v.array()) {
            JsonPtr j = toJSON(item, problem);
            if (!j || json_array_append_new(array.get(), j.release()) != 0) return nullptr;
        }
        return array;
    }
    case Value::Type::Dictionary: {
        JsonPtr object(json_object());
        for (const auto& [key, item] : v.dictionary()) {
            JsonPtr j = toJSON(item, problem);
            if (!j) return nullptr;
            if (json_object_setn_new(object.get(), key.data(), key.size(), j.release()) != 0) {
                problem = "Invalid key (not UTF-8) in JSON write";
                return nullptr;
            }
        }
        return object;
    }
    case Value::Type::Data:
    case Value::Type::Date:
    case Value::Type::Object:
        problem = std::string("Invalid type in JSON write (") + typeName(v) + ")";
        return nullptr;
    }
    return nullptr;
}
// JSON text arrives as UTF-8 (with or without a byte-order mark) or as UTF-16, told apart by the
// mark or by the zero bytes around the first character, which is always ASCII.
std::string_view asUTF8(std::string_view data, std::string& converted) {
    if (data.substr(0, 3) == "\xEF\xBB\xBF") return data.substr(3);
    if (data.size() < 2) return data;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
    bool bigEndian;
    std::size_t start = 0;
    if (byte(0) == 0xFE && byte(1) == 0xFF) {
        bigEndian = true;
        start = 2;
    } else if (byte(0) == 0xFF && byte(1) == 0xFE) {
        bigEndian = false;
        start = 2;
    } else if (byte(0) == 0 && byte(1) != 0) {
        bigEndian = true;
    } else if (byte(0) != 0 && byte(1) == 0) {
        bigEndian = false;
    } else {
        return data;
    }
    std::u16string units;
    for (std::size_t i = start; i + 1 < data.size(); i += 2) {
        units.push_back(static_cast<char16_t>(bigEndian ? (byte(i) << 8 | byte(i + 1)) : (byte(i + 1) << 8 | byte(i))));
    }
    converted = NSString::utf8(units);
    return converted;
}
} // namespace

std::optional<Value> NSJSONSerialization::JSONObjectWithData(std::string_view bytes, unsigned long options, NSErrorPtr* error) {
    std::string converted;
    std::string_view data = asUTF8(bytes, converted);
    if (data.empty()) {
        NSErrorSet(error, NSSerializationReadError("No value."));
        return std::nullopt;
    }
    json_error_t failure{};
    JsonPtr root(json_loadb(data.data(), data.size(), JSON_DECODE_ANY | JSON_ALLOW_NUL, &failure));
    if (!root) {
        NSErrorSet(error, NSSerializationReadError(std::string(failure.text) + " around character " + std::to_string(failure.position) + "."));
        return std::nullopt;
    }
    if (!(options & NSJSONReadingAllowFragments) && !json_is_object(root.get()) && !json_is_array(root.get())) {
        NSErrorSet(error, NSSerializationReadError("JSON text did not start with array or object and option to allow fragments not set."));
        return std::nullopt;
    }
    return fromJSON(root.get());
}

NSDataPtr NSJSONSerialization::dataWithJSONObject(const Value& object, unsigned long options, NSErrorPtr* error) {
    if (!(options & NSJSONWritingFragmentsAllowed) && !object.isArray() && !object.isDictionary()) {
        NSErrorSet(error, NSSerializationWriteError("Invalid top-level type in JSON write"));
        return nullptr;
    }
    std::string problem;
    JsonPtr root = toJSON(object, problem);
    if (!root) {
        NSErrorSet(error, NSSerializationWriteError(problem));
        return nullptr;
    }
    std::size_t flags = JSON_ENCODE_ANY | JSON_SORT_KEYS;
    flags |= (options & NSJSONWritingPrettyPrinted) ? JSON_INDENT(kPrettyIndent) : JSON_COMPACT;
    if (!(options & NSJSONWritingWithoutEscapingSlashes)) flags |= JSON_ESCAPE_SLASH;
    std::size_t size = json_dumpb(root.get(), nullptr, 0, flags);
    auto data = NSData::dataWithLength(size);
    if (size == 0 || json_dumpb(root.get(), reinterpret_cast<char*>(data->mutableBytes()), size, flags) != size) {
        NSErrorSet(error, NSSerializationWriteError("The JSON text could not be produced"));
        return nullptr;
    }
    return data;
}

bool NSJSONSerialization::isValidJSONObject(const Value& object) {
    if (!object.isArray() && !object.isDictionary()) return false;
    std::string problem;
    return toJSON(object, problem) != nullptr;
}
