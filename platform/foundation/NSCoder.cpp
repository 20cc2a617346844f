#include "platform/foundation/NSCoder.h"

#include "platform/foundation/NSException.h"

#include <cmath>
#include <limits>

void NSCoder::encodeObjectForKey(const Value& object, const std::string& key) { fields_[key] = object; }
void NSCoder::encodeIntForKey(int value, const std::string& key) { fields_[key] = Value(value); }
void NSCoder::encodeInt32ForKey(std::int32_t value, const std::string& key) { fields_[key] = Value(value); }
void NSCoder::encodeInt64ForKey(std::int64_t value, const std::string& key) { fields_[key] = Value(static_cast<long long>(value)); }
void NSCoder::encodeBoolForKey(bool value, const std::string& key) { fields_[key] = Value(value); }
void NSCoder::encodeDoubleForKey(double value, const std::string& key) { fields_[key] = Value(value); }
void NSCoder::encodeFloatForKey(float value, const std::string& key) { fields_[key] = Value(value); }

bool NSCoder::containsValueForKey(const std::string& key) const { return fields_.count(key) != 0; }

Value NSCoder::decodeObjectForKey(const std::string& key) const {
    auto found = fields_.find(key);
    return found == fields_.end() ? Value() : found->second;
}

const Value* NSCoder::numberForKey(const std::string& key, const char* method) const {
    auto found = fields_.find(key);
    if (found == fields_.end() || found->second.isNull()) return nullptr;
    if (!found->second.isNumber()) {
        throw NSException(NSInvalidUnarchiveOperationException,
                          std::string("*** -[NSKeyedUnarchiver ") + method + "]: value for key (" + key + ") is not a number");
    }
    return &found->second;
}

namespace {
// An integer of the archive as the type asked for; a real saturates, NaN gives 0.
template <class T>
T integerOf(const Value& v, const std::string& key, const char* method) {
    if (v.isReal()) {
        double d = v.doubleValue();
        if (std::isnan(d)) return 0;
        if (d >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
        if (d <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
        return static_cast<T>(d);
    }
    std::int64_t i = v.integerValue();
    if (i > std::numeric_limits<T>::max() || i < std::numeric_limits<T>::min()) {
        throw NSException(NSInvalidUnarchiveOperationException,
                          std::string("*** -[NSKeyedUnarchiver ") + method + "]: value (" + std::to_string(i) + ") for key (" +
                              key + ") too large to fit in the requested type");
    }
    return static_cast<T>(i);
}
} // namespace

int NSCoder::decodeIntForKey(const std::string& key) const {
    const Value* v = numberForKey(key, "decodeIntForKey:");
    return v ? integerOf<int>(*v, key, "decodeIntForKey:") : 0;
}

std::int32_t NSCoder::decodeInt32ForKey(const std::string& key) const {
    const Value* v = numberForKey(key, "decodeInt32ForKey:");
    return v ? integerOf<std::int32_t>(*v, key, "decodeInt32ForKey:") : 0;
}

std::int64_t NSCoder::decodeInt64ForKey(const std::string& key) const {
    const Value* v = numberForKey(key, "decodeInt64ForKey:");
    return v ? integerOf<std::int64_t>(*v, key, "decodeInt64ForKey:") : 0;
}

bool NSCoder::decodeBoolForKey(const std::string& key) const {
    const Value* v = numberForKey(key, "decodeBoolForKey:");
    return v && v->boolValue();
}

double NSCoder::decodeDoubleForKey(const std::string& key) const {
    const Value* v = numberForKey(key, "decodeDoubleForKey:");
    return v ? v->doubleValue() : 0;
}

float NSCoder::decodeFloatForKey(const std::string& key) const {
    const Value* v = numberForKey(key, "decodeFloatForKey:");
    return v ? static_cast<float>(v->doubleValue()) : 0.0f;
}
