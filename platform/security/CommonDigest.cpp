#include "platform/security/CommonDigest.h"

#include <openssl/evp.h>

namespace {
unsigned char* digest(const EVP_MD* type, const void* data, CC_LONG len, unsigned char* md) {
    static const unsigned char empty = 0;
    if (!md) return nullptr;
    // EVP_Digest cannot fail for these built-in digests short of running out of memory; a
    // failure leaves no digest, so report it as CommonCrypto would, with a null result.
    if (EVP_Digest(data ? data : &empty, data ? len : 0, md, nullptr, type, nullptr) != 1) return nullptr;
    return md;
}
} // namespace

unsigned char* CC_MD5(const void* data, CC_LONG len, unsigned char* md) { return digest(EVP_md5(), data, len, md); }
unsigned char* CC_SHA1(const void* data, CC_LONG len, unsigned char* md) { return digest(EVP_sha1(), data, len, md); }
unsigned char* CC_SHA224(const void* data, CC_LONG len, unsigned char* md) { return digest(EVP_sha224(), data, len, md); }
unsigned char* CC_SHA256(const void* data, CC_LONG len, unsigned char* md) { return digest(EVP_sha256(), data, len, md); }
unsigned char* CC_SHA384(const void* data, CC_LONG len, unsigned char* md) { return digest(EVP_sha384(), data, len, md); }
unsigned char* CC_SHA512(const void* data, CC_LONG len, unsigned char* md) { return digest(EVP_sha512(), data, len, md); }
