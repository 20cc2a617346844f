#pragma once
// A heterogeneous value: what the platform keeps in property lists, JSON documents, user defaults,
// user-info dictionaries and anywhere the design passes an `id`.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class NSObject;

class Value {
public:
    enum class Type { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary, Object };
    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value>;
    using Data = std::vector<std::uint8_t>;
    // A date, in seconds since 1970-01-01 00:00:00 UTC.
    struct Date {
        double secondsSince1970 = 0;
        bool operator==(const Date&) const = default;
    };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(float f) : v_(static_cast<double>(f)) {}
    Value(const char* s) : v_(std::string(s ? s : "")) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(Data d) : v_(std::move(d)) {}
    Value(Date d) : v_(d) {}
    Value(Array a) : v_(std::move(a)) {}
    Value(Dictionary d) : v_(std::move(d)) {}
    Value(std::shared_ptr<NSObject> o) : v_(std::move(o)) {}
    template <class T, class = std::enable_if_t<std::is_base_of_v<NSObject, T> && !std::is_same_v<T, NSObject>>>
    Value(std::shared_ptr<T> o) : v_(std::shared_ptr<NSObject>(std::move(o))) {}

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isBool() const { return type() == Type::Bool; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isNumber() const { return isBool() || isInteger() || isReal(); }
    bool isString() const { return type() == Type::String; }
    bool isData() const { return type() == Type::Data; }
    bool isDate() const { return type() == Type::Date; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isObject() const { return type() == Type::Object; }

    // Conversions in the manner of NSNumber and NSString: a number as any number, a numeric
    // string as a number; anything else gives the fallback.
    bool boolValue(bool fallback = false) const;
    std::int64_t integerValue(std::int64_t fallback = 0) const;
    double doubleValue(double fallback = 0) const;
    // The string itself, or a number's text; empty for anything else.
    std::string stringValue() const;

    // Typed access; throws std::bad_variant_access on a type mismatch.
    const std::string& string() const { return std::get<std::string>(v_); }
    const Data& data() const { return std::get<Data>(v_); }
    Date date() const { return std::get<Date>(v_); }
    const Array& array() const { return std::get<Array>(v_); }
    Array& array() { return std::get<Array>(v_); }
    const Dictionary& dictionary() const { return std::get<Dictionary>(v_); }
    Dictionary& dictionary() { return std::get<Dictionary>(v_); }
    const std::shared_ptr<NSObject>& object() const { return std::get<std::shared_ptr<NSObject>>(v_); }
    template <class T>
    std::shared_ptr<T> objectAs() const {
        return isObject() ? std::dynamic_pointer_cast<T>(object()) : nullptr;
    }

    // Dictionary lookup: the value under a key, or null when absent or not a dictionary.
    const Value& operator[](const std::string& key) const;
    // Array element, or null when out of range or not an array.
    const Value& operator[](std::size_t index) const;
    std::size_t count() const;

    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }

    // The text NSLog prints for %@: a string as it stands, numbers as numbers, collections in
    // the property-list style.
    std::string description() const;
    // A dictionary as a strings file holds it: one `key = value;` line per entry and no braces;
    // anything else as its description.
    std::string descriptionInStringsFileFormat() const;

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, Data, Date, Array, Dictionary,
                 std::shared_ptr<NSObject>>
        v_;
};
