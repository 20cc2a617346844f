#pragma once
// Certificates made at test time with OpenSSL (never stored in the tree): a root CA, an
// intermediate CA, and leaves for any host name — valid, expired, self-signed, or issued by the
// intermediate. Keys are P-256, which are quick to make.

#include <cstdint>
#include <string>
#include <vector>

struct TestIdentity {
    std::string certificatePEM;  // the leaf
    std::string chainPEM;        // the leaf, then the CA certificates the server should present
    std::string keyPEM;
    std::vector<std::uint8_t> certificateDER;
    std::vector<std::vector<std::uint8_t>> chainDER;  // leaf first, as in chainPEM
};

class TestCertificateAuthority {
public:
    TestCertificateAuthority();
    ~TestCertificateAuthority();
    TestCertificateAuthority(const TestCertificateAuthority&) = delete;
    TestCertificateAuthority& operator=(const TestCertificateAuthority&) = delete;

    enum class Kind { Valid, Expired, SelfSigned, ViaIntermediate };
    // A server identity for the host name (also valid for 127.0.0.1 when the name is "localhost").
    TestIdentity issue(const std::string& hostname, Kind kind = Kind::Valid);

    const std::vector<std::uint8_t>& rootDER() const { return rootDER_; }
    const std::vector<std::uint8_t>& intermediateDER() const { return intermediateDER_; }
    const std::string& rootPEM() const { return rootPEM_; }

private:
    struct Keys;
    Keys* keys_;
    std::vector<std::uint8_t> rootDER_, intermediateDER_;
    std::string rootPEM_, intermediatePEM_;
};
