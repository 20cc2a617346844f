#include "platform/security/SecCertificate.h"

#include <functional>
#include <string_view>

#include "platform/foundation/NSString.h"

#include <openssl/x509v3.h>

SecCertificate::SecCertificate(X509* certificate) : x509_(certificate) {
    unsigned char* der = nullptr;
    int length = i2d_X509(x509_, &der);
    if (length > 0) {
        der_.assign(der, der + length);
        OPENSSL_free(der);
    }
}

SecCertificate::~SecCertificate() { X509_free(x509_); }

bool SecCertificate::isEqual(const NSObject* other) const {
    auto* certificate = dynamic_cast<const SecCertificate*>(other);
    return certificate && certificate->der_ == der_;
}

std::size_t SecCertificate::hash() const {
    return std::hash<std::string_view>()({reinterpret_cast<const char*>(der_.data()), der_.size()});
}

std::string SecCertificate::description() const {
    return NSString::stringWithFormat("<SecCertificate %p [%@]>", static_cast<const void*>(this),
                                      SecCertificateCopySubjectSummary(std::const_pointer_cast<SecCertificate>(self<SecCertificate>())));
}

SecCertificateRef SecCertificateCreateWithData(const NSDataPtr& data) {
    if (!data || data->length() == 0) return nullptr;
    const unsigned char* p = data->bytes();
    X509* x509 = d2i_X509(nullptr, &p, static_cast<long>(data->length()));
    if (!x509) return nullptr;
    if (p != data->bytes() + data->length()) {
        X509_free(x509);
        return nullptr;
    }
    return std::make_shared<SecCertificate>(x509);
}

NSDataPtr SecCertificateCopyData(const SecCertificateRef& certificate) {
    if (!certificate) return nullptr;
    return std::make_shared<NSData>(certificate->derData());
}

std::string SecCertificateCopySubjectSummary(const SecCertificateRef& certificate) {
    if (!certificate) return {};
    X509_NAME* subject = X509_get_subject_name(certificate->x509());
    char buffer[256];
    if (X509_NAME_get_text_by_NID(subject, NID_commonName, buffer, sizeof buffer) > 0) return buffer;
    char* line = X509_NAME_oneline(subject, nullptr, 0);
    std::string text = line ? line : "";
    OPENSSL_free(line);
    return text;
}
