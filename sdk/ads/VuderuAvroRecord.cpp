#include "sdk/ads/VuderuAvroRecord.h"

#include "sdk/analytics/VuderuLog.h"

namespace {

bool missing(const char* text) {
    VuderuLog("%s", text);
    return false;
}

// The library's getters take the value by a non-const pointer; they do not change it.
avro_value_t* mutableValue(const avro_value_t& value) { return const_cast<avro_value_t*>(&value); }

bool ofType(const avro_value_t& value, avro_type_t type) { return avro_value_get_type(mutableValue(value)) == type; }

} // namespace

bool VuderuAvroRecord::get(const char* name, avro_value_t* out) const {
    return ofType(record_, AVRO_RECORD) && avro_value_get_by_name(mutableValue(record_), name, out, nullptr) == 0;
}

bool VuderuAvroRecord::text(const avro_value_t& value, std::string* out) {
    const char* text = nullptr;
    std::size_t size = 0;
    if (!ofType(value, AVRO_STRING) || avro_value_get_string(mutableValue(value), &text, &size) != 0 || !text) return false;
    // The size counts the terminating NUL.
    out->assign(text, size ? size - 1 : 0);
    return true;
}

bool VuderuAvroRecord::string(const char* name, const char* missingText, std::string* out) const {
    avro_value_t field;
    if (!get(name, &field) || !text(field, out)) return missing(missingText);
    return true;
}

bool VuderuAvroRecord::int32(const char* name, const char* missingText, std::int32_t* out) const {
    avro_value_t field;
    int32_t value = 0;
    if (!get(name, &field) || !ofType(field, AVRO_INT32) || avro_value_get_int(&field, &value) != 0) return missing(missingText);
    *out = value;
    return true;
}

bool VuderuAvroRecord::int64(const char* name, const char* missingText, std::int64_t* out) const {
    avro_value_t field;
    int64_t value = 0;
    if (!get(name, &field) || !ofType(field, AVRO_INT64) || avro_value_get_long(&field, &value) != 0) return missing(missingText);
    *out = value;
    return true;
}

bool VuderuAvroRecord::boolean(const char* name, const char* missingText, bool* out) const {
    avro_value_t field;
    int value = 0;
    if (!get(name, &field) || !ofType(field, AVRO_BOOLEAN) || avro_value_get_boolean(&field, &value) != 0) return missing(missingText);
    *out = value != 0;
    return true;
}

std::size_t VuderuAvroRecord::count(const avro_value_t& list, avro_type_t type) {
    std::size_t size = 0;
    if (!ofType(list, type) || avro_value_get_size(mutableValue(list), &size) != 0) return 0;
    return size;
}

bool VuderuAvroRecord::item(const avro_value_t& list, std::size_t index, avro_value_t* out, const char** key) {
    return avro_value_get_by_index(mutableValue(list), index, out, key) == 0;
}

std::vector<std::string> VuderuAvroRecord::strings(const char* name) const {
    std::vector<std::string> list;
    avro_value_t field, entry;
    if (!get(name, &field)) return list;
    for (std::size_t i = 0, n = count(field, AVRO_ARRAY); i < n; ++i) {
        std::string value;
        if (item(field, i, &entry) && text(entry, &value)) list.push_back(std::move(value));
    }
    return list;
}

std::map<std::string, std::string> VuderuAvroRecord::stringMap(const char* name) const {
    std::map<std::string, std::string> map;
    avro_value_t field, entry;
    if (!get(name, &field)) return map;
    for (std::size_t i = 0, n = count(field, AVRO_MAP); i < n; ++i) {
        const char* key = nullptr;
        std::string value;
        if (item(field, i, &entry, &key) && key && text(entry, &value)) map[key] = std::move(value);
    }
    return map;
}
