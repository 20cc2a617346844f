#pragma once
// Apache Avro C behind the ad protocol's codec units (only their sources include this header):
// owning handles for schemas, data, readers and writers, schema parsing, and decoding of
// untrusted bytes under an allocation limit.

#include <avro.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct AvroSchemaRelease {
    void operator()(avro_schema_t schema) const {
        if (schema) avro_schema_decref(schema);
    }
};
struct AvroDatumRelease {
    void operator()(avro_datum_t datum) const {
        if (datum) avro_datum_decref(datum);
    }
};
struct AvroReaderRelease {
    void operator()(avro_reader_t reader) const {
        if (reader) avro_reader_free(reader);
    }
};
struct AvroWriterRelease {
    void operator()(avro_writer_t writer) const {
        if (writer) avro_writer_free(writer);
    }
};
using AvroSchema = std::unique_ptr<std::remove_pointer_t<avro_schema_t>, AvroSchemaRelease>;
using AvroDatum = std::unique_ptr<std::remove_pointer_t<avro_datum_t>, AvroDatumRelease>;
using AvroReader = std::unique_ptr<std::remove_pointer_t<avro_reader_t>, AvroReaderRelease>;
using AvroWriter = std::unique_ptr<std::remove_pointer_t<avro_writer_t>, AvroWriterRelease>;

// The schema of a one-line JSON text; defaults are taken as written, unchecked. Empty on failure.
AvroSchema avroSchemaFromJson(std::string_view json);

// One schema text of a message and the log line when it does not parse.
struct AvroSchemaText {
    const std::string& (*json)();
    const char* failure;
};
// Parses the texts in order into `parsed` (a message's own schema first, its records after); on the
// first that fails, logs its line and answers false.
bool avroParseSchemas(std::span<const AvroSchemaText> texts, std::vector<AvroSchema>& parsed);

// A class of values of the generic interface for a schema, and one value of it; both owning.
struct AvroValueClassRelease {
    void operator()(avro_value_iface_t* iface) const {
        if (iface) avro_value_iface_decref(iface);
    }
};
using AvroValueClass = std::unique_ptr<avro_value_iface_t, AvroValueClassRelease>;
AvroValueClass avroValueClass(avro_schema_t schema);

class AvroValue {
public:
    AvroValue() = default;
    ~AvroValue() { reset(); }
    AvroValue(const AvroValue&) = delete;
    AvroValue& operator=(const AvroValue&) = delete;

    // A fresh value of the class; NO when it cannot be made.
    bool make(avro_value_iface_t* iface);
    void reset();
    bool valid() const { return owned_; }
    avro_value_t* get() { return &value_; }
    const avro_value_t& operator*() const { return value_; }

private:
    avro_value_t value_{};
    bool owned_ = false;
};

// The largest single allocation a read of a body of that length may make: proportional to the
// body (what its items can really take as values) plus room for the fixed structures.
std::size_t avroAllocationLimitForBody(std::size_t length);

// Items of every array and map in a value, by the items' type name (a record's own name, else
// "string", "int", ...), and again by the record field that holds them, under the prefix below
// ("field:actions").
using AvroItemCounts = std::map<std::string, std::size_t>;
inline constexpr const char* kAvroFieldCountPrefix = "field:";
// Walks one value of the schema in the bytes without decoding it and counts its items. NO when
// the bytes do not hold such a value (cut short, a union branch or count out of range). With
// `whole`, tells whether the value ends where the bytes do.
bool avroCountItems(avro_schema_t schema, const std::uint8_t* bytes, std::size_t length, AvroItemCounts* counts, bool* whole = nullptr);
// Whether the bytes hold exactly one value of the schema and nothing after it; walked like
// avroCountItems, so stored bytes can be recognised without decoding them.
bool avroIsWholeValue(avro_schema_t schema, const std::uint8_t* bytes, std::size_t length);

// Reads one value of the class from untrusted bytes into a fresh value. While it runs, no
// single allocation the library makes on this thread may exceed the limit for the body, so that
// a length or count in the bytes cannot make it allocate beyond what the bytes can hold. NO, with the library's error text in `error`, when the bytes do not
// decode; the value is then empty.
bool avroReadUntrusted(avro_value_iface_t* iface, const std::uint8_t* bytes, std::size_t length, AvroValue* out, std::string* error);

// The largest single allocation the library was granted on this thread since the last
// avroReadUntrusted began (diagnostics and tests).
std::size_t avroLargestAllocationOfLastRead();

// Encodes the datum in Avro binary; its size is asked of the library first. Empty (with the
// error text) on failure.
bool avroEncode(avro_schema_t schema, avro_datum_t datum, std::vector<std::uint8_t>* out, std::string* error);

// Encoded data of the schema as one-line JSON, for the log; NO when it cannot be rendered (a
// string that is not UTF-8).
bool avroJsonOfEncoded(avro_schema_t schema, const std::vector<std::uint8_t>& bytes, std::string* out);

// Owns a datum made by avro_* constructors; null when the constructor failed.
inline AvroDatum avroOwn(avro_datum_t datum) { return AvroDatum(datum); }
