#include "netkit/NKQueryStringPair.h"

#include <cctype>
#include <cstdio>

namespace {
// Left as they are in every query text: letters, digits and the unreserved marks that are not
// among the characters escaped on purpose (":/?&=;+!@#$()',*").
bool isPlain(unsigned char c) { return std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~'; }

std::string escape(const std::string& string, NSStringEncoding encoding, const std::string& leaveUnescaped) {
    std::vector<std::uint8_t> bytes =
        NSString::dataUsingEncoding(string, encoding).value_or(std::vector<std::uint8_t>(string.begin(), string.end()));
    std::string out;
    out.reserve(bytes.size());
    for (std::uint8_t byte : bytes) {
        if (byte < 0x80 && (isPlain(byte) || leaveUnescaped.find(static_cast<char>(byte)) != std::string::npos)) {
            out += static_cast<char>(byte);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            out += escaped;
        }
    }
    return out;
}
} // namespace

std::string NKQueryStringDescription(const Value& value) {
    if (value.isString() || value.isNumber()) return value.stringValue();
    return value.description();
}

std::string NKPercentEscapedQueryStringKeyFromStringWithEncoding(const std::string& string, NSStringEncoding encoding) {
    return escape(string, encoding, "[].");
}

std::string NKPercentEscapedQueryStringValueFromStringWithEncoding(const std::string& string, NSStringEncoding encoding) {
    return escape(string, encoding, "");
}

std::string NKQueryStringPair::URLEncodedStringValueWithEncoding(NSStringEncoding encoding) const {
    std::string key = NKPercentEscapedQueryStringKeyFromStringWithEncoding(NKQueryStringDescription(field_), encoding);
    if (value_.isNull()) return key;
    return key + "=" + NKPercentEscapedQueryStringValueFromStringWithEncoding(NKQueryStringDescription(value_), encoding);
}

std::vector<NKQueryStringPair> NKQueryStringPairsFromKeyAndValue(const Value& key, const Value& value) {
    std::vector<NKQueryStringPair> pairs;
    auto append = [&pairs](const Value& nestedKey, const Value& nested) {
        auto more = NKQueryStringPairsFromKeyAndValue(nestedKey, nested);
        pairs.insert(pairs.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    };
    if (value.isDictionary()) {
        // Keys come sorted: the dictionary keeps them in ascending order.
        for (const auto& [innerKey, nested] : value.dictionary()) {
            append(key.isNull() ? Value(innerKey) : Value(NKQueryStringDescription(key) + "[" + innerKey + "]"), nested);
        }
    } else if (value.isArray()) {
        for (const Value& element : value.array()) append(Value(NKQueryStringDescription(key) + "[]"), element);
    } else {
        pairs.emplace_back(key, value);
    }
    return pairs;
}

std::string NKQueryStringFromParametersWithEncoding(const Value& parameters, NSStringEncoding encoding) {
    std::string query;
    for (const auto& pair : NKQueryStringPairsFromKeyAndValue(Value(), parameters)) {
        if (!query.empty()) query += "&";
        query += pair.URLEncodedStringValueWithEncoding(encoding);
    }
    return query;
}
