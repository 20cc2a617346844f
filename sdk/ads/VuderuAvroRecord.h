#pragma once
// Field access on a decoded Avro record (a value of the generic interface) for the codec units:
// each read names the log line to write when the field is missing or of another type.

#include "sdk/ads/VuderuAvro.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class VuderuAvroRecord {
public:
    explicit VuderuAvroRecord(const avro_value_t& record) : record_(record) {}

    // The field's value; NO when there is none.
    bool get(const char* name, avro_value_t* out) const;
    // NO (after logging `missing`) when the field is absent or not of the type.
    bool string(const char* name, const char* missing, std::string* out) const;
    bool int32(const char* name, const char* missing, std::int32_t* out) const;
    bool int64(const char* name, const char* missing, std::int64_t* out) const;
    bool boolean(const char* name, const char* missing, bool* out) const;
    // An absent list reads as empty.
    std::vector<std::string> strings(const char* name) const;
    std::map<std::string, std::string> stringMap(const char* name) const;

    // The number of items of an array or map value (0 for anything else) and one item.
    static std::size_t count(const avro_value_t& list, avro_type_t type);
    static bool item(const avro_value_t& list, std::size_t index, avro_value_t* out, const char** key = nullptr);
    // A string value's text; NO for anything else.
    static bool text(const avro_value_t& value, std::string* out);

private:
    avro_value_t record_;
};
