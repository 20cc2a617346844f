#pragma once
// CommonCrypto's one-shot digests, computed by OpenSSL. Each writes its digest into `md` (which
// must hold the digest's length) and returns `md`.

#include <cstdint>

using CC_LONG = std::uint32_t;

inline constexpr CC_LONG CC_MD5_DIGEST_LENGTH = 16;
inline constexpr CC_LONG CC_SHA1_DIGEST_LENGTH = 20;
inline constexpr CC_LONG CC_SHA224_DIGEST_LENGTH = 28;
inline constexpr CC_LONG CC_SHA256_DIGEST_LENGTH = 32;
inline constexpr CC_LONG CC_SHA384_DIGEST_LENGTH = 48;
inline constexpr CC_LONG CC_SHA512_DIGEST_LENGTH = 64;

unsigned char* CC_MD5(const void* data, CC_LONG len, unsigned char* md);
unsigned char* CC_SHA1(const void* data, CC_LONG len, unsigned char* md);
unsigned char* CC_SHA224(const void* data, CC_LONG len, unsigned char* md);
unsigned char* CC_SHA256(const void* data, CC_LONG len, unsigned char* md);
unsigned char* CC_SHA384(const void* data, CC_LONG len, unsigned char* md);
unsigned char* CC_SHA512(const void* data, CC_LONG len, unsigned char* md);
