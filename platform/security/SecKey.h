#pragma once
// Public keys over OpenSSL; two keys are equal when their encoded public keys are.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <vector>

// OpenSSL's key type, declared as OpenSSL declares it; only the security unit includes OpenSSL.
typedef struct evp_pkey_st EVP_PKEY;

class SecKey;
using SecKeyRef = std::shared_ptr<SecKey>;

class SecKey : public NSObject {
public:
    // Takes ownership of the key.
    explicit SecKey(EVP_PKEY* key);
    ~SecKey() override;

    EVP_PKEY* pkey() const { return key_; }
    // The DER SubjectPublicKeyInfo.
    const std::vector<std::uint8_t>& publicKeyData() const { return der_; }
    bool isEqual(const NSObject* other) const override;
    std::size_t hash() const override;

private:
    EVP_PKEY* key_;
    std::vector<std::uint8_t> der_;
};
