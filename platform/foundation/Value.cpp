#include "platform/foundation/Value.h"

#include "platform/foundation/NSObject.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
const Value kNull;

// A double number's description and stringValue on the platform: "%0.16g" (0.1 reads "0.1", 2.0
// reads "2"). Servers get this text in query strings and event parameters.
std::string numberText(double d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%0.16g", d);
    return buffer;
}

bool needsQuotes(const std::string& s) {
    if (s.empty()) return true;
    for (unsigned char c : s) {
        if (!(std::isalnum(c) || c == '_' || c == '.' || c == '/' || c >= 0x80)) return true;
    }
    return false;
}

std::string quoted(const std::string& s) {
    if (!needsQuotes(s)) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

void describe(const Value& v, int indent, bool nested, std::string& out) {
    const std::string pad(static_cast<std::size_t>(indent) * 4, ' ');
    switch (v.type()) {
    case Value::Type::Null: out += nested ? "\"<null>\"" : "<null>"; break;
    case Value::Type::Bool: out += v.boolValue() ? "1" : "0"; break;
    case Value::Type::Integer: out += std::to_string(v.integerValue()); break;
    case Value::Type::Real: out += numberText(v.doubleValue()); break;
    case Value::Type::String: out += nested ? quoted(v.string()) : v.string(); break;
    case Value::Type::Data: {
        out += '<';
        static const char* hex = "0123456789abcdef";
        const auto& d = v.data();
        for (std::size_t i = 0; i < d.size(); ++i) {
            if (i && i % 4 == 0) out += ' ';
            out += hex[d[i] >> 4];
            out += hex[d[i] & 15];
        }
        out += '>';
        break;
    }
    case Value::Type::Date: {
        // A date read from a damaged file can be anything: NaN reads as the epoch and the rest is
        // held to what the calendar functions can still break down.
        constexpr double kLimit = 1e14;
        double seconds = v.date().secondsSince1970;
        if (std::isnan(seconds)) seconds = 0;
        seconds = std::clamp(std::floor(seconds), -kLimit, kLimit);
        std::time_t t = static_cast<std::time_t>(seconds);
        std::tm tm{};
        gmtime_r(&t, &tm);
        char buffer[64];
        std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &tm);
        out += buffer;
        break;
    }
    case Value::Type::Array: {
        out += "(\n";
        const auto& a = v.array();
        for (std::size_t i = 0; i < a.size(); ++i) {
            out += pad + "    ";
            describe(a[i], indent + 1, true, out);
            out += i + 1 < a.size() ? ",\n" : "\n";
        }
        out += pad + ")";
        break;
    }
    case Value::Type::Dictionary: {
        out += "{\n";
        for (const auto& [key, value] : v.dictionary()) {
            out += pad + "    " + quoted(key) + " = ";
            describe(value, indent + 1, true, out);
            out += ";\n";
        }
        out += pad + "}";
        break;
    }
    case Value::Type::Object: out += v.object() ? v.object()->description() : "(null)"; break;
    }
}
} // namespace

bool Value::boolValue(bool fallback) const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(v_);
    case Type::Integer: return std::get<std::int64_t>(v_) != 0;
    case Type::Real: return std::get<double>(v_) != 0;
    case Type::String: {
        // -[NSString boolValue]: "Y", "y", "T", "t" or a non-zero digit after optional space/sign.
        const auto& s = string();
        std::size_t i = s.find_first_not_of(" \t\n");
        if (i == std::string::npos) return false;
        if (s[i] == '+' || s[i] == '-') ++i;
        while (i < s.size() && s[i] == '0') ++i;
        if (i >= s.size()) return false;
        char c = s[i];
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    default: return fallback;
    }
}

std::int64_t Value::integerValue(std::int64_t fallback) const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Type::Integer: return std::get<std::int64_t>(v_);
    case Type::Real: {
        double d = std::get<double>(v_);
        if (std::isnan(d)) return 0;
        if (d >= 9.2233720368547758e18) return INT64_MAX;
        if (d <= -9.2233720368547758e18) return INT64_MIN;
        return static_cast<std::int64_t>(d);
    }
    case Type::String: return std::strtoll(string().c_str(), nullptr, 10);
    default: return fallback;
    }
}

double Value::doubleValue(double fallback) const {
    switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Type::Integer: return static_cast<double>(std::get<std::int64_t>(v_));
    case Type::Real: return std::get<double>(v_);
    case Type::String: return std::strtod(string().c_str(), nullptr);
    case Type::Date: return std::get<Date>(v_).secondsSince1970;
    default: return fallback;
    }
}

std::string Value::stringValue() const {
    switch (type()) {
    case Type::String: return string();
    case Type::Bool: return std::get<bool>(v_) ? "1" : "0";
    case Type::Integer: return std::to_string(std::get<std::int64_t>(v_));
    case Type::Real: return numberText(std::get<double>(v_));
    default: return {};
    }
}

const Value& Value::operator[](const std::string& key) const {
    if (!isDictionary()) return kNull;
    const auto& d = dictionary();
    auto it = d.find(key);
    return it == d.end() ? kNull : it->second;
}

const Value& Value::operator[](std::size_t index) const {
    if (!isArray() || index >= array().size()) return kNull;
    return array()[index];
}

std::size_t Value::count() const {
    if (isArray()) return array().size();
    if (isDictionary()) return dictionary().size();
    if (isData()) return data().size();
    return 0;
}

bool Value::operator==(const Value& other) const {
    // Numbers compare by value whatever their representation, as NSNumber does.
    if (isNumber() && other.isNumber()) {
        if ((isReal() || other.isReal())) return doubleValue() == other.doubleValue();
        return integerValue() == other.integerValue();
    }
    if (isObject() && other.isObject()) {
        const auto& a = object();
        const auto& b = other.object();
        if (a == b) return true;
        return a && b && a->isEqual(b.get());
    }
    return v_ == other.v_;
}

std::string Value::description() const {
    std::string out;
    describe(*this, 0, false, out);
    return out;
}

std::string Value::descriptionInStringsFileFormat() const {
    if (!isDictionary()) return description();
    std::string out;
    for (const auto& [key, value] : dictionary()) {
        out += quoted(key) + " = ";
        describe(value, 0, true, out);
        out += ";\n";
    }
    return out;
}
