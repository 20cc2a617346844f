#pragma once
// Report files assembled with the crash-time field encoder: a message is a tree of fields, and
// each nested message is sized by a dry run of its writer before its key and length, exactly as
// the crash log writer does. Tests and the fuzzer's seed writer use it.

#include "sdk/crashreporter/VuderuCrashLogWriterEncoding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace crashreport {

struct Message;

struct Field {
    uint32_t number;
    VDCRASH_PROTOBUF_C_TYPE type;
    uint64_t scalar = 0;  // every integer type, bool and enum
    std::string text;     // string and bytes
    std::shared_ptr<Message> child;
};

struct Message {
    std::vector<Field> fields;

    Message& u64(uint32_t n, uint64_t v) { return add({n, VDCRASH_PROTOBUF_C_TYPE_UINT64, v, {}, nullptr}); }
    Message& i64(uint32_t n, int64_t v) {
        return add({n, VDCRASH_PROTOBUF_C_TYPE_INT64, static_cast<uint64_t>(v), {}, nullptr});
    }
    Message& u32(uint32_t n, uint32_t v) { return add({n, VDCRASH_PROTOBUF_C_TYPE_UINT32, v, {}, nullptr}); }
    Message& enumeration(uint32_t n, uint32_t v) { return add({n, VDCRASH_PROTOBUF_C_TYPE_ENUM, v, {}, nullptr}); }
    Message& boolean(uint32_t n, bool v) { return add({n, VDCRASH_PROTOBUF_C_TYPE_BOOL, v ? 1u : 0u, {}, nullptr}); }
    Message& str(uint32_t n, std::string v) { return add({n, VDCRASH_PROTOBUF_C_TYPE_STRING, 0, std::move(v), nullptr}); }
    Message& bytes(uint32_t n, std::string v) { return add({n, VDCRASH_PROTOBUF_C_TYPE_BYTES, 0, std::move(v), nullptr}); }
    Message& message(uint32_t n, Message m) {
        return add({n, VDCRASH_PROTOBUF_C_TYPE_MESSAGE, 0, {}, std::make_shared<Message>(std::move(m))});
    }
    Message& add(Field f) {
        fields.push_back(std::move(f));
        return *this;
    }
    // Removes every field with this number.
    Message& remove(uint32_t n) {
        fields.erase(std::remove_if(fields.begin(), fields.end(), [n](const Field& f) { return f.number == n; }),
                     fields.end());
        return *this;
    }
    // The index-th nested message with this number.
    Message& at(uint32_t n, size_t index = 0) {
        for (Field& f : fields)
            if (f.number == n && f.child && index-- == 0) return *f.child;
        static Message none;
        return none;
    }
};

// Writes (or with a null file counts) a message's fields.
inline size_t write(vdcrash_async_file_t* file, const Message& m) {
    size_t total = 0;
    for (const Field& f : m.fields) {
        switch (f.type) {
        case VDCRASH_PROTOBUF_C_TYPE_STRING:
            total += vdcrash_writer_pack(file, f.number, f.type, f.text.c_str());
            break;
        case VDCRASH_PROTOBUF_C_TYPE_BYTES: {
            VDCRASH_PROTOBUF_C_BINARY_DATA data{f.text.size(), f.text.data()};
            total += vdcrash_writer_pack(file, f.number, f.type, &data);
            break;
        }
        case VDCRASH_PROTOBUF_C_TYPE_MESSAGE: {
            uint32_t size = static_cast<uint32_t>(write(nullptr, *f.child));
            total += vdcrash_writer_pack(file, f.number, f.type, &size);
            total += write(file, *f.child);
            break;
        }
        case VDCRASH_PROTOBUF_C_TYPE_BOOL: {
            uint8_t b = static_cast<uint8_t>(f.scalar);
            total += vdcrash_writer_pack(file, f.number, f.type, &b);
            break;
        }
        case VDCRASH_PROTOBUF_C_TYPE_UINT32:
        case VDCRASH_PROTOBUF_C_TYPE_ENUM: {
            uint32_t v = static_cast<uint32_t>(f.scalar);
            total += vdcrash_writer_pack(file, f.number, f.type, &v);
            break;
        }
        default:
            total += vdcrash_writer_pack(file, f.number, f.type, &f.scalar);
            break;
        }
    }
    return total;
}

// The whole file: header, version byte and message, through the async file writer.
inline std::string encode(const Message& report, const std::string& magic = "vdcrash", uint8_t version = 1) {
    int fd = memfd_create("vdcrash-report", 0);
    vdcrash_async_file_t file;
    vdcrash_async_file_init(&file, fd, 0);
    vdcrash_async_file_write(&file, magic.data(), magic.size());
    vdcrash_async_file_write(&file, &version, 1);
    write(&file, report);
    vdcrash_async_file_flush(&file);
    std::string out;
    char chunk[4096];
    ssize_t n;
    off_t at = 0;
    while ((n = pread(fd, chunk, sizeof chunk, at)) > 0) {
        out.append(chunk, static_cast<size_t>(n));
        at += n;
    }
    close(fd);
    return out;
}

inline Message frame(uint64_t pc, const char* symbol = nullptr, uint64_t start = 0) {
    Message f;
    f.u64(3, pc);
    if (symbol) f.message(6, Message().str(1, symbol).u64(2, start));
    return f;
}

inline Message processor(uint64_t type, uint64_t subtype) {
    return Message().enumeration(1, 1).u64(2, type).u64(3, subtype);
}

// A complete report as the crash log writer lays it out: fields 9, 1, 8, 2, 7, threads, images,
// exception, signal.
inline Message sampleReport() {
    Message r;
    r.message(9, Message().boolean(1, false).bytes(2, std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10", 16)));
    r.message(1, Message().enumeration(1, 1).str(2, "8.0").str(5, "12A365").enumeration(3, 6).i64(4, 1700000000));
    r.message(8, Message().str(1, "iPhone7,2").message(2, processor(0x100000C, 0)).u32(3, 2).u32(4, 2));
    r.message(2, Message().str(1, "com.example.tandrel").str(2, "1.2"));
    r.message(7, Message()
                     .str(1, "Tandrel")
                     .u32(2, 4242)
                     .str(3, "/Applications/Tandrel.app/Tandrel")
                     .str(4, "launchd")
                     .u32(5, 1)
                     .boolean(6, true)
                     .u64(7, 1699999000));
    Message crashed;
    crashed.u32(1, 0).boolean(3, true);
    crashed.message(4, Message().str(1, "pc").u64(2, 0x100001234));
    crashed.message(4, Message().str(1, "fp").u64(2, 0x16fdff000));
    crashed.message(2, frame(0x100001234, "-[Widget spin]", 0x100001200));
    crashed.message(2, frame(0x100002000));
    r.message(3, crashed);
    r.message(3, Message().u32(1, 1).boolean(3, false).message(2, frame(0x100003000)));
    r.message(4, Message()
                     .u64(2, 0x4000)
                     .u64(1, 0x100000000)
                     .str(3, "/Applications/Tandrel.app/Tandrel")
                     .bytes(4, std::string("\x0a\xff", 2))
                     .message(5, processor(0x100000C, 0)));
    r.message(4, Message().u64(2, 0x1000).u64(1, 0x200000000).str(3, "/usr/lib/libobjc.A.dylib"));
    r.message(5, Message().str(1, "NSRangeException").str(2, "index 3 beyond bounds").message(3, frame(0x100001240)));
    r.message(6, Message().str(1, "SIGSEGV").str(2, "SEGV_MAPERR").u64(3, 0x10));
    return r;
}

} // namespace crashreport
