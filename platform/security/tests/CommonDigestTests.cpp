#include "platform/security/CommonDigest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using DigestFunction = unsigned char* (*)(const void*, CC_LONG, unsigned char*);

std::string hex(const unsigned char* bytes, CC_LONG length) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (CC_LONG i = 0; i < length; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

TEST(CommonDigestTest, KnownVectors) {
    const std::string million(1000000, 'a');
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    struct Case {
        const char* name;
        DigestFunction function;
        CC_LONG length;
        std::string input;
        const char* expected;
    };
    const Case cases[] = {
        {"MD5 empty", CC_MD5, CC_MD5_DIGEST_LENGTH, "", "d41d8cd98f00b204e9800998ecf8427e"},
        {"MD5 abc", CC_MD5, CC_MD5_DIGEST_LENGTH, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"MD5 fox", CC_MD5, CC_MD5_DIGEST_LENGTH, "The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6"},
        {"SHA1 empty", CC_SHA1, CC_SHA1_DIGEST_LENGTH, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"SHA1 abc", CC_SHA1, CC_SHA1_DIGEST_LENGTH, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"SHA1 two blocks", CC_SHA1, CC_SHA1_DIGEST_LENGTH, twoBlocks, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"SHA1 million", CC_SHA1, CC_SHA1_DIGEST_LENGTH, million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        {"SHA224 abc", CC_SHA224, CC_SHA224_DIGEST_LENGTH, "abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {"SHA256 empty", CC_SHA256, CC_SHA256_DIGEST_LENGTH, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"SHA256 abc", CC_SHA256, CC_SHA256_DIGEST_LENGTH, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"SHA256 two blocks", CC_SHA256, CC_SHA256_DIGEST_LENGTH, twoBlocks,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"SHA384 abc", CC_SHA384, CC_SHA384_DIGEST_LENGTH, "abc",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
        {"SHA512 abc", CC_SHA512, CC_SHA512_DIGEST_LENGTH, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
    };
    for (const auto& c : cases) {
        unsigned char md[CC_SHA512_DIGEST_LENGTH] = {};
        EXPECT_EQ(c.function(c.input.data(), static_cast<CC_LONG>(c.input.size()), md), md) << c.name;
        EXPECT_EQ(hex(md, c.length), c.expected) << c.name;
    }
}

TEST(CommonDigestTest, NullDataWithZeroLengthIsTheEmptyDigest) {
    unsigned char md[CC_SHA1_DIGEST_LENGTH];
    ASSERT_EQ(CC_SHA1(nullptr, 0, md), md);
    EXPECT_EQ(hex(md, CC_SHA1_DIGEST_LENGTH), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(CC_MD5("abc", 3, nullptr), nullptr);
}

} // namespace
