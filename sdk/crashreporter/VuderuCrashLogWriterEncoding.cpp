#include "sdk/crashreporter/VuderuCrashLogWriterEncoding.h"

#include <cstdlib>

namespace {

constexpr uint32_t kLargestSmallFieldNumber = 0x1FFFFFFF;
constexpr size_t kMaxVarint = 10;

void emit(vdcrash_async_file_t* file, const void* data, size_t len) {
    if (file) vdcrash_async_file_write(file, data, len);
}

size_t varint64(uint8_t* out, uint64_t value) {
    size_t n = 0;
    while (value >= 0x80) {
        out[n++] = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
    }
    out[n++] = static_cast<uint8_t>(value);
    return n;
}

size_t writeVarint(vdcrash_async_file_t* file, uint64_t value) {
    uint8_t buffer[kMaxVarint];
    size_t n = varint64(buffer, value);
    emit(file, buffer, n);
    return n;
}

size_t writeKey(vdcrash_async_file_t* file, uint32_t field_id, uint32_t wire) {
    // Field numbers past the 29-bit range take the 64-bit path; the shift must not lose bits.
    if (field_id > kLargestSmallFieldNumber) return writeVarint(file, (static_cast<uint64_t>(field_id) << 3) | wire);
    return writeVarint(file, static_cast<uint32_t>(field_id << 3) | wire);
}

size_t writeFixed(vdcrash_async_file_t* file, const void* value, size_t width) {
    uint8_t bytes[8];
    vdcrash_async_memcpy(bytes, value, width);  // the host is little-endian, like the wire
    emit(file, bytes, width);
    return width;
}

uint32_t zigzag32(int32_t v) { return (static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31); }
uint64_t zigzag64(int64_t v) { return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63); }

} // namespace

size_t vdcrash_writer_pack(vdcrash_async_file_t* file, uint32_t field_id, VDCRASH_PROTOBUF_C_TYPE field_type,
                           const void* value) {
    switch (field_type) {
    case VDCRASH_PROTOBUF_C_TYPE_INT32: {
        // A negative int32 is sign-extended to 64 bits: ten bytes.
        int32_t v = *static_cast<const int32_t*>(value);
        return writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_VARINT) +
               writeVarint(file, static_cast<uint64_t>(static_cast<int64_t>(v)));
    }
    case VDCRASH_PROTOBUF_C_TYPE_SINT32:
        return writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_VARINT) +
               writeVarint(file, zigzag32(*static_cast<const int32_t*>(value)));
    case VDCRASH_PROTOBUF_C_TYPE_SFIXED32:
    case VDCRASH_PROTOBUF_C_TYPE_FIXED32:
    case VDCRASH_PROTOBUF_C_TYPE_FLOAT:
        return writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_FIXED32) + writeFixed(file, value, 4);
    case VDCRASH_PROTOBUF_C_TYPE_INT64:
    case VDCRASH_PROTOBUF_C_TYPE_UINT64:
        return writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_VARINT) +
               writeVarint(file, *static_cast<const uint64_t*>(value));
    case VDCRASH_PROTOBUF_C_TYPE_SINT64:
        return writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_VARINT) +
               writeVarint(file, zigzag64(*static_cast<const int64_t*>(value)));
    case VDCRASH_PROTOBUF_C_TYPE_SFIXED64:
    case VDCRASH_PROTOBUF_C_TYPE_FIXED64:
    case VDCRASH_PROTOBUF_C_TYPE_DOUBLE:
        return writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_FIXED64) + writeFixed(file, value, 8);
    case VDCRASH_PROTOBUF_C_TYPE_UINT32:
    case VDCRASH_PROTOBUF_C_TYPE_ENUM:
        return writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_VARINT) +
               writeVarint(file, *static_cast<const uint32_t*>(value));
    case VDCRASH_PROTOBUF_C_TYPE_BOOL: {
        size_t n = writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_VARINT);
        emit(file, value, 1);
        return n + 1;
    }
    case VDCRASH_PROTOBUF_C_TYPE_STRING: {
        const char* s = static_cast<const char*>(value);
        size_t len = vdcrash_async_strlen(s);
        size_t n = writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_LENGTH_PREFIXED) + writeVarint(file, len);
        emit(file, s, len);
        return n + len;
    }
    case VDCRASH_PROTOBUF_C_TYPE_BYTES: {
        const auto* bytes = static_cast<const VDCRASH_PROTOBUF_C_BINARY_DATA*>(value);
        size_t n = writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_LENGTH_PREFIXED) + writeVarint(file, bytes->len);
        emit(file, bytes->data, bytes->len);
        return n + bytes->len;
    }
    case VDCRASH_PROTOBUF_C_TYPE_MESSAGE:
        return writeKey(file, field_id, VDCRASH_PROTOBUF_WIRE_LENGTH_PREFIXED) +
               writeVarint(file, *static_cast<const uint32_t*>(value));
    }
    abort();
}
