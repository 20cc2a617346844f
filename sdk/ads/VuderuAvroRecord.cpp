#include "sdk/ads/VuderuAvroRecord.h"

#include "sdk/analytics/VuderuLog.h"

namespace {

bool missing(const char* text) {
    VuderuLog("%s", text);
    return false;
}

} // namespace

avro_datum_t VuderuAvroRecord::get(const char* name) const {
    avro_datum_t field = nullptr;
    if (!record_ || avro_record_get(record_, name, &field) != 0) return nullptr;
    return field;
}

bool VuderuAvroRecord::string(const char* name, const char* missingText, std::string* out) const {
    avro_datum_t field = get(name);
    char* text = nullptr;
    if (!field || avro_string_get(field, &text) != 0 || !text) return missing(missingText);
    *out = text;
    return true;
}

bool VuderuAvroRecord::int32(const char* name, const char* missingText, std::int32_t* out) const {
    avro_datum_t field = get(name);
    int32_t value = 0;
    if (!field || avro_int32_get(field, &value) != 0) return missing(missingText);
    *out = value;
    return true;
}

bool VuderuAvroRecord::int64(const char* name, const char* missingText, std::int64_t* out) const {
    avro_datum_t field = get(name);
    int64_t value = 0;
    if (!field || avro_int64_get(field, &value) != 0) return missing(missingText);
    *out = value;
    return true;
}

bool VuderuAvroRecord::boolean(const char* name, const char* missingText, bool* out) const {
    avro_datum_t field = get(name);
    int8_t value = 0;
    if (!field || avro_boolean_get(field, &value) != 0) return missing(missingText);
    *out = value != 0;
    return true;
}

std::vector<std::string> VuderuAvroRecord::strings(const char* name) const {
    std::vector<std::string> list;
    avro_datum_t field = get(name);
    if (!field || !is_avro_array(field)) return list;
    std::size_t count = avro_array_size(field);
    for (std::size_t i = 0; i < count; ++i) {
        avro_datum_t item = nullptr;
        char* text = nullptr;
        if (avro_array_get(field, static_cast<int64_t>(i), &item) == 0 && avro_string_get(item, &text) == 0 && text) list.emplace_back(text);
    }
    return list;
}

std::map<std::string, std::string> VuderuAvroRecord::stringMap(const char* name) const {
    std::map<std::string, std::string> map;
    avro_datum_t field = get(name);
    if (!field || !is_avro_map(field)) return map;
    std::size_t count = avro_map_size(field);
    for (std::size_t i = 0; i < count; ++i) {
        const char* key = nullptr;
        avro_datum_t value = nullptr;
        char* text = nullptr;
        if (avro_map_get_key(field, static_cast<int>(i), &key) == 0 && key && avro_map_get(field, key, &value) == 0 &&
            avro_string_get(value, &text) == 0 && text) {
            map[key] = text;
        }
    }
    return map;
}
