#pragma once
// Apache Avro C behind the ad protocol's codec units (only their sources include this header):
// owning handles for schemas, data, readers and writers, schema parsing, and decoding of
// untrusted bytes under an allocation limit.

#include <avro.h>

#include <cstddef>
#include <cstdint>
#include <memory>
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

// Reads one record of the schema from untrusted bytes. While it runs, no single allocation the
// library makes on this thread may exceed the body's length (plus room for the fixed structures
// of the data), so that a length or count in the bytes cannot make it allocate beyond them.
// Empty, with the library's error text in `error`, when the bytes do not decode.
AvroDatum avroReadUntrusted(avro_schema_t schema, const std::uint8_t* bytes, std::size_t length, std::string* error);

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
