#include "platform/security/SecKey.h"

#include <functional>
#include <string_view>

#include <openssl/x509.h>

SecKey::SecKey(EVP_PKEY* key) : key_(key) {
    unsigned char* der = nullptr;
    int length = i2d_PUBKEY(key_, &der);
    if (length > 0) {
        der_.assign(der, der + length);
        OPENSSL_free(der);
    }
}

SecKey::~SecKey() { EVP_PKEY_free(key_); }

bool SecKey::isEqual(const NSObject* other) const {
    auto* key = dynamic_cast<const SecKey*>(other);
    return key && !key->der_.empty() && key->der_ == der_;
}

std::size_t SecKey::hash() const {
    return std::hash<std::string_view>()({reinterpret_cast<const char*>(der_.data()), der_.size()});
}
