#include "sdk/crashreporter/VuderuCrashLogWriterEncoding.h"

#include "EncodedFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

struct Packed {
    std::string bytes;
    size_t written;
    size_t counted;
};

Packed pack(uint32_t field, VDCRASH_PROTOBUF_C_TYPE type, const void* value) {
    EncodedFile f;
    size_t written = vdcrash_writer_pack(&f.file, field, type, value);
    size_t counted = vdcrash_writer_pack(nullptr, field, type, value);
    return {f.bytes(), written, counted};
}

} // namespace

TEST(VuderuCrashLogWriterEncoding, FieldsEncodeToTheirWireBytes) {
    int32_t negative = -1, minInt32 = INT32_MIN, smallInt32 = 150;
    int32_t sintMinusOne = -1, sintOne = 1, sintMin = INT32_MIN;
    int64_t sint64MinusTwo = -2;
    uint64_t u300 = 300, u64max = UINT64_MAX, zero64 = 0;
    int64_t int64Negative = -1;
    uint32_t u32 = 0xFFFFFFFF, enumValue = 6, size20 = 20, size200 = 200;
    uint32_t fixed32 = 0x01020304;
    uint64_t fixed64 = 0x0102030405060708ULL;
    float oneFloat = 1.0f;
    double oneDouble = 1.0;
    bool yes = true, no = false;
    std::string s200(200, 'x');
    const uint8_t raw[] = {0x0A, 0xFF};
    VDCRASH_PROTOBUF_C_BINARY_DATA bytes{sizeof raw, raw};
    VDCRASH_PROTOBUF_C_BINARY_DATA empty{0, nullptr};

    struct Case {
        const char* what;
        uint32_t field;
        VDCRASH_PROTOBUF_C_TYPE type;
        const void* value;
        std::string expected;
    } cases[] = {
        {"uint64 300", 1, VDCRASH_PROTOBUF_C_TYPE_UINT64, &u300, "08 AC 02"},
        {"uint64 zero", 1, VDCRASH_PROTOBUF_C_TYPE_UINT64, &zero64, "08 00"},
        {"uint64 max", 1, VDCRASH_PROTOBUF_C_TYPE_UINT64, &u64max, "08 FF FF FF FF FF FF FF FF FF 01"},
        {"int64 -1", 2, VDCRASH_PROTOBUF_C_TYPE_INT64, &int64Negative, "10 FF FF FF FF FF FF FF FF FF 01"},
        {"int32 150", 1, VDCRASH_PROTOBUF_C_TYPE_INT32, &smallInt32, "08 96 01"},
        {"int32 -1 takes ten bytes", 1, VDCRASH_PROTOBUF_C_TYPE_INT32, &negative, "08 FF FF FF FF FF FF FF FF FF 01"},
        {"int32 min", 1, VDCRASH_PROTOBUF_C_TYPE_INT32, &minInt32, "08 80 80 80 80 F8 FF FF FF FF 01"},
        {"sint32 -1", 1, VDCRASH_PROTOBUF_C_TYPE_SINT32, &sintMinusOne, "08 01"},
        {"sint32 1", 1, VDCRASH_PROTOBUF_C_TYPE_SINT32, &sintOne, "08 02"},
        {"sint32 min", 1, VDCRASH_PROTOBUF_C_TYPE_SINT32, &sintMin, "08 FF FF FF FF 0F"},
        {"sint64 -2", 1, VDCRASH_PROTOBUF_C_TYPE_SINT64, &sint64MinusTwo, "08 03"},
        {"uint32 max", 1, VDCRASH_PROTOBUF_C_TYPE_UINT32, &u32, "08 FF FF FF FF 0F"},
        {"enum", 3, VDCRASH_PROTOBUF_C_TYPE_ENUM, &enumValue, "18 06"},
        {"fixed32", 1, VDCRASH_PROTOBUF_C_TYPE_FIXED32, &fixed32, "0D 04 03 02 01"},
        {"sfixed32", 1, VDCRASH_PROTOBUF_C_TYPE_SFIXED32, &negative, "0D FF FF FF FF"},
        {"float", 1, VDCRASH_PROTOBUF_C_TYPE_FLOAT, &oneFloat, "0D 00 00 80 3F"},
        {"fixed64", 1, VDCRASH_PROTOBUF_C_TYPE_FIXED64, &fixed64, "09 08 07 06 05 04 03 02 01"},
        {"sfixed64", 1, VDCRASH_PROTOBUF_C_TYPE_SFIXED64, &int64Negative, "09 FF FF FF FF FF FF FF FF"},
        {"double", 1, VDCRASH_PROTOBUF_C_TYPE_DOUBLE, &oneDouble, "09 00 00 00 00 00 00 F0 3F"},
        {"bool crashed", 3, VDCRASH_PROTOBUF_C_TYPE_BOOL, &yes, "18 01"},
        {"bool false", 1, VDCRASH_PROTOBUF_C_TYPE_BOOL, &no, "08 00"},
        {"string", 2, VDCRASH_PROTOBUF_C_TYPE_STRING, "abc", "12 03 61 62 63"},
        {"empty string", 2, VDCRASH_PROTOBUF_C_TYPE_STRING, "", "12 00"},
        {"bytes", 4, VDCRASH_PROTOBUF_C_TYPE_BYTES, &bytes, "22 02 0A FF"},
        {"empty bytes", 4, VDCRASH_PROTOBUF_C_TYPE_BYTES, &empty, "22 00"},
        {"message of 20", 9, VDCRASH_PROTOBUF_C_TYPE_MESSAGE, &size20, "4A 14"},
        {"message of 200", 3, VDCRASH_PROTOBUF_C_TYPE_MESSAGE, &size200, "1A C8 01"},
        {"field 16 needs a two-byte key", 16, VDCRASH_PROTOBUF_C_TYPE_UINT32, &enumValue, "80 01 06"},
        {"largest field number", 0x1FFFFFFF, VDCRASH_PROTOBUF_C_TYPE_UINT32, &enumValue, "F8 FF FF FF 0F 06"},
        {"field number past 29 bits", 0x20000000, VDCRASH_PROTOBUF_C_TYPE_UINT32, &enumValue, "80 80 80 80 10 06"},
    };
    for (const Case& c : cases) {
        Packed p = pack(c.field, c.type, c.value);
        EXPECT_EQ(hex(p.bytes), c.expected) << c.what;
        EXPECT_EQ(p.written, p.bytes.size()) << c.what;
        EXPECT_EQ(p.counted, p.bytes.size()) << c.what;  // the dry run counts what a write writes
    }

    Packed longString = pack(2, VDCRASH_PROTOBUF_C_TYPE_STRING, s200.c_str());
    EXPECT_EQ(hex(longString.bytes.substr(0, 3)), "12 C8 01");
    EXPECT_EQ(longString.bytes.size(), 203u);
    EXPECT_EQ(longString.counted, 203u);
}

TEST(VuderuCrashLogWriterEncoding, ADryRunWritesNothing) {
    EncodedFile f;
    uint64_t v = 300;
    vdcrash_writer_pack(nullptr, 1, VDCRASH_PROTOBUF_C_TYPE_UINT64, &v);
    EXPECT_TRUE(f.bytes().empty());
}

// A nested message: its size comes from a dry run of the same writer, then the key and length,
// then the content.
TEST(VuderuCrashLogWriterEncoding, NestedMessagesAreSizedByADryRun) {
    auto writeRegister = [](vdcrash_async_file_t* file) {
        uint64_t value = 0x1234;
        return vdcrash_writer_pack(file, 1, VDCRASH_PROTOBUF_C_TYPE_STRING, "rip") +
               vdcrash_writer_pack(file, 2, VDCRASH_PROTOBUF_C_TYPE_UINT64, &value);
    };
    auto writeThread = [&](vdcrash_async_file_t* file) {
        uint32_t number = 0;
        bool crashed = true;
        size_t n = vdcrash_writer_pack(file, 1, VDCRASH_PROTOBUF_C_TYPE_UINT32, &number);
        n += vdcrash_writer_pack(file, 3, VDCRASH_PROTOBUF_C_TYPE_BOOL, &crashed);
        uint32_t size = static_cast<uint32_t>(writeRegister(nullptr));
        n += vdcrash_writer_pack(file, 4, VDCRASH_PROTOBUF_C_TYPE_MESSAGE, &size);
        n += writeRegister(file);
        return n;
    };
    EncodedFile f;
    uint32_t size = static_cast<uint32_t>(writeThread(nullptr));
    size_t total = vdcrash_writer_pack(&f.file, 3, VDCRASH_PROTOBUF_C_TYPE_MESSAGE, &size);
    total += writeThread(&f.file);
    std::string bytes = f.bytes();
    EXPECT_EQ(hex(bytes), "1A 0E 08 00 18 01 22 08 0A 03 72 69 70 10 B4 24");
    EXPECT_EQ(total, bytes.size());
    EXPECT_FALSE(vdcrash_async_file_has_failed(&f.file));
}

// A report that reaches the file's limit is not taken for a whole one.
TEST(VuderuCrashLogWriterEncoding, FieldsPastTheLimitAreReportedToTheCaller) {
    EncodedFile f(8);
    uint64_t v = 300;
    vdcrash_writer_pack(&f.file, 1, VDCRASH_PROTOBUF_C_TYPE_UINT64, &v);
    vdcrash_writer_pack(&f.file, 1, VDCRASH_PROTOBUF_C_TYPE_UINT64, &v);
    EXPECT_FALSE(vdcrash_async_file_has_failed(&f.file));
    vdcrash_writer_pack(&f.file, 2, VDCRASH_PROTOBUF_C_TYPE_STRING, "too long");
    EXPECT_TRUE(vdcrash_async_file_has_failed(&f.file));
    EXPECT_FALSE(vdcrash_async_file_flush(&f.file));
    // The key and length still fitted and were taken; the string was dropped whole. The bytes are
    // not a valid message, and the file says so.
    EXPECT_EQ(hex(f.bytes()), "08 AC 02 08 AC 02 12 08");
}

TEST(VuderuCrashLogWriterEncodingDeathTest, AnUnknownTypeAborts) {
    uint32_t v = 1;
    EXPECT_DEATH(vdcrash_writer_pack(nullptr, 1, static_cast<VDCRASH_PROTOBUF_C_TYPE>(17), &v), "");
}
