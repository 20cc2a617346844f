#include "platform/testsupport/TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <stdexcept>

namespace {

constexpr long kOneDay = 24 * 60 * 60;
constexpr long kValidity = 30 * kOneDay;

EVP_PKEY* makeKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key) throw std::runtime_error("cannot make a test key");
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension) throw std::runtime_error("bad test extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// Signed by issuerKey; issuer == nullptr makes it self-issued.
X509* makeCertificate(const std::string& commonName, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, bool ca,
                      const std::string& subjectAltName, long notBeforeOffset, long notAfterOffset) {
    static std::atomic<long> serial{1000};
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate), notBeforeOffset);
    X509_gmtime_adj(X509_getm_notAfter(certificate), notAfterOffset);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Tandrel Tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer) : name);
    X509* issuerForExtensions = issuer ? issuer : certificate;
    if (ca) {
        addExtension(certificate, issuerForExtensions, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate, issuerForExtensions, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(certificate, issuerForExtensions, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(certificate, issuerForExtensions, NID_ext_key_usage, "serverAuth");
        if (!subjectAltName.empty()) addExtension(certificate, issuerForExtensions, NID_subject_alt_name, subjectAltName.c_str());
    }
    addExtension(certificate, issuerForExtensions, NID_subject_key_identifier, "hash");
    if (!X509_sign(certificate, issuerKey, EVP_sha256())) throw std::runtime_error("cannot sign a test certificate");
    return certificate;
}

std::string pem(X509* certificate) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, certificate);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<std::size_t>(length));
    BIO_free(bio);
    return text;
}

std::string pem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<std::size_t>(length));
    BIO_free(bio);
    return text;
}

std::vector<std::uint8_t> der(X509* certificate) {
    unsigned char* bytes = nullptr;
    int length = i2d_X509(certificate, &bytes);
    std::vector<std::uint8_t> out(bytes, bytes + length);
    OPENSSL_free(bytes);
    return out;
}

} // namespace

struct TestCertificateAuthority::Keys {
    EVP_PKEY* rootKey = nullptr;
    X509* root = nullptr;
    EVP_PKEY* intermediateKey = nullptr;
    X509* intermediate = nullptr;
};

TestCertificateAuthority::TestCertificateAuthority() : keys_(new Keys) {
    keys_->rootKey = makeKey();
    keys_->root = makeCertificate("Tandrel Test Root CA", keys_->rootKey, nullptr, keys_->rootKey, true, "", -kOneDay, kValidity);
    keys_->intermediateKey = makeKey();
    keys_->intermediate = makeCertificate("Tandrel Test Intermediate CA", keys_->intermediateKey, keys_->root, keys_->rootKey,
                                          true, "", -kOneDay, kValidity);
    rootDER_ = der(keys_->root);
    rootPEM_ = pem(keys_->root);
    intermediateDER_ = der(keys_->intermediate);
    intermediatePEM_ = pem(keys_->intermediate);
}

TestCertificateAuthority::~TestCertificateAuthority() {
    X509_free(keys_->root);
    X509_free(keys_->intermediate);
    EVP_PKEY_free(keys_->rootKey);
    EVP_PKEY_free(keys_->intermediateKey);
    delete keys_;
}

TestIdentity TestCertificateAuthority::issue(const std::string& hostname, Kind kind) {
    EVP_PKEY* key = makeKey();
    std::string altName = "DNS:" + hostname;
    if (hostname == "localhost") altName += ",IP:127.0.0.1";
    X509* certificate = nullptr;
    switch (kind) {
    case Kind::Valid:
        certificate = makeCertificate(hostname, key, keys_->root, keys_->rootKey, false, altName, -kOneDay, kValidity);
        break;
    case Kind::Expired:
        certificate = makeCertificate(hostname, key, keys_->root, keys_->rootKey, false, altName, -10 * kOneDay, -kOneDay);
        break;
    case Kind::SelfSigned:
        certificate = makeCertificate(hostname, key, nullptr, key, false, altName, -kOneDay, kValidity);
        break;
    case Kind::ViaIntermediate:
        certificate = makeCertificate(hostname, key, keys_->intermediate, keys_->intermediateKey, false, altName, -kOneDay,
                                      kValidity);
        break;
    }
    TestIdentity identity;
    identity.certificatePEM = pem(certificate);
    identity.certificateDER = der(certificate);
    identity.keyPEM = pem(key);
    identity.chainPEM = identity.certificatePEM;
    identity.chainDER.push_back(identity.certificateDER);
    if (kind == Kind::ViaIntermediate) {
        identity.chainPEM += intermediatePEM_;
        identity.chainDER.push_back(intermediateDER_);
    }
    X509_free(certificate);
    EVP_PKEY_free(key);
    return identity;
}
