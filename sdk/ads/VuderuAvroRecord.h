#pragma once
// Field access on a decoded Avro record for the codec units: each read names the log line to
// write when the field is missing or of another type.

#include "sdk/ads/VuderuAvro.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class VuderuAvroRecord {
public:
    explicit VuderuAvroRecord(avro_datum_t record) : record_(record) {}

    // The field's datum, or null.
    avro_datum_t get(const char* name) const;
    // NO (after logging `missing`) when the field is absent or not of the type.
    bool string(const char* name, const char* missing, std::string* out) const;
    bool int32(const char* name, const char* missing, std::int32_t* out) const;
    bool int64(const char* name, const char* missing, std::int64_t* out) const;
    bool boolean(const char* name, const char* missing, bool* out) const;
    // An absent list reads as empty.
    std::vector<std::string> strings(const char* name) const;
    std::map<std::string, std::string> stringMap(const char* name) const;

private:
    avro_datum_t record_;
};
