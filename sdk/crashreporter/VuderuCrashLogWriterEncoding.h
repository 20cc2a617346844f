#pragma once
// The crash report's own field encoder: one Protocol Buffers field at a time, written straight
// through the async file writer, with no memory beyond the stack. With a null file it only
// counts, which is how nested messages learn their size before they are written.
//
// The encoder does not look at write results: the file writer remembers a refused or failed
// write, and the report's writer asks it (vdcrash_async_file_has_failed, flush, close) before it
// takes a report for complete.

#include "sdk/crashreporter/VuderuCrashAsync.h"

#include <cstddef>
#include <cstdint>

// The protobuf-c type numbers.
enum VDCRASH_PROTOBUF_C_TYPE : int {
    VDCRASH_PROTOBUF_C_TYPE_INT32 = 0,
    VDCRASH_PROTOBUF_C_TYPE_SINT32 = 1,
    VDCRASH_PROTOBUF_C_TYPE_SFIXED32 = 2,
    VDCRASH_PROTOBUF_C_TYPE_INT64 = 3,
    VDCRASH_PROTOBUF_C_TYPE_SINT64 = 4,
    VDCRASH_PROTOBUF_C_TYPE_SFIXED64 = 5,
    VDCRASH_PROTOBUF_C_TYPE_UINT32 = 6,
    VDCRASH_PROTOBUF_C_TYPE_FIXED32 = 7,
    VDCRASH_PROTOBUF_C_TYPE_UINT64 = 8,
    VDCRASH_PROTOBUF_C_TYPE_FIXED64 = 9,
    VDCRASH_PROTOBUF_C_TYPE_FLOAT = 10,
    VDCRASH_PROTOBUF_C_TYPE_DOUBLE = 11,
    VDCRASH_PROTOBUF_C_TYPE_BOOL = 12,
    VDCRASH_PROTOBUF_C_TYPE_ENUM = 13,
    VDCRASH_PROTOBUF_C_TYPE_STRING = 14,
    VDCRASH_PROTOBUF_C_TYPE_BYTES = 15,
    VDCRASH_PROTOBUF_C_TYPE_MESSAGE = 16,
};

// The value of a bytes field.
struct VDCRASH_PROTOBUF_C_BINARY_DATA {
    size_t len;
    const void* data;
};

// Writes one field (key and value) and returns its size in bytes. The value is read through
// `value` by type: int32_t, uint32_t, int64_t, uint64_t, float, double, a one-byte bool, a
// NUL-terminated string (const char*), a VDCRASH_PROTOBUF_C_BINARY_DATA, or for a message the
// uint32_t size of the content the caller writes next. A type above 16 aborts.
size_t vdcrash_writer_pack(vdcrash_async_file_t* file, uint32_t field_id, VDCRASH_PROTOBUF_C_TYPE field_type,
                           const void* value);

// The Protocol Buffers wire types.
enum : uint32_t {
    VDCRASH_PROTOBUF_WIRE_VARINT = 0,
    VDCRASH_PROTOBUF_WIRE_FIXED64 = 1,
    VDCRASH_PROTOBUF_WIRE_LENGTH_PREFIXED = 2,
    VDCRASH_PROTOBUF_WIRE_FIXED32 = 5,
};
