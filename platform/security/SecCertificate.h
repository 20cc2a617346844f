#pragma once
// X.509 certificates over OpenSSL.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <vector>
#include <string>

// OpenSSL's certificate type, declared as OpenSSL declares it; only the security unit (and the
// TLS glue that hands it certificates) includes OpenSSL itself.
typedef struct x509_st X509;

class SecCertificate;
using SecCertificateRef = std::shared_ptr<SecCertificate>;

class SecCertificate : public NSObject {
public:
    // Takes ownership of the certificate.
    explicit SecCertificate(X509* certificate);
    ~SecCertificate() override;

    X509* x509() const { return x509_; }
    const std::vector<std::uint8_t>& derData() const { return der_; }
    // Same DER bytes.
    bool isEqual(const NSObject* other) const override;
    std::size_t hash() const override;
    std::string description() const override;

private:
    X509* x509_;
    std::vector<std::uint8_t> der_;
};

// A certificate from DER bytes; nil when they are not one whole certificate.
SecCertificateRef SecCertificateCreateWithData(const NSDataPtr& data);
NSDataPtr SecCertificateCopyData(const SecCertificateRef& certificate);
// The subject's common name (or the whole subject when it has none).
std::string SecCertificateCopySubjectSummary(const SecCertificateRef& certificate);
