#include "platform/foundation/PlatformClock.h"
#include "platform/security/SecTrust.h"
#include "platform/testsupport/TestCertificates.h"

#include <gtest/gtest.h>

namespace {

SecCertificateRef certificate(const std::vector<std::uint8_t>& der) {
    return SecCertificateCreateWithData(std::make_shared<NSData>(der));
}

std::vector<SecCertificateRef> chainOf(const TestIdentity& identity) {
    std::vector<SecCertificateRef> chain;
    for (const auto& der : identity.chainDER) chain.push_back(certificate(der));
    return chain;
}

class SecTrustTest : public ::testing::Test {
protected:
    void SetUp() override { SecTrustSetAdditionalSystemAnchorsForTesting({certificate(ca_.rootDER())}); }
    void TearDown() override { SecTrustSetAdditionalSystemAnchorsForTesting({}); }

    SecTrustResultType evaluate(const std::vector<SecCertificateRef>& chain, const SecPolicyRef& policy,
                                std::optional<std::vector<SecCertificateRef>> anchors = std::nullopt) {
        SecTrustRef trust;
        EXPECT_EQ(SecTrustCreateWithCertificates(chain, policy, &trust), errSecSuccess);
        if (anchors) SecTrustSetAnchorCertificates(trust, *anchors);
        SecTrustResultType result = kSecTrustResultInvalid;
        EXPECT_EQ(SecTrustEvaluate(trust, &result), errSecSuccess);
        return result;
    }

    TestCertificateAuthority ca_;
};

TEST_F(SecTrustTest, CertificateRoundTripsThroughDER) {
    auto identity = ca_.issue("localhost");
    auto cert = certificate(identity.certificateDER);
    ASSERT_TRUE(cert);
    EXPECT_EQ(SecCertificateCopyData(cert)->vector(), identity.certificateDER);
    EXPECT_EQ(SecCertificateCopySubjectSummary(cert), "localhost");
    EXPECT_FALSE(SecCertificateCreateWithData(NSData::dataWithString("not a certificate")));
    ASSERT_FALSE(identity.certificateDER.empty());
    std::vector<unsigned char> truncated(identity.certificateDER.begin(), identity.certificateDER.end() - 1);
    EXPECT_FALSE(certificate(truncated));
}

TEST_F(SecTrustTest, EvaluatesChainsUnderEachPolicy) {
    struct Case {
        const char* name;
        TestCertificateAuthority::Kind kind;
        const char* issuedFor;
        std::optional<std::string> policyHost;  // nullopt: basic X.509
        SecTrustResultType expected;
    };
    const Case cases[] = {
        {"valid for the host", TestCertificateAuthority::Kind::Valid, "localhost", "localhost", kSecTrustResultUnspecified},
        {"valid, basic X.509", TestCertificateAuthority::Kind::Valid, "other.example", std::nullopt, kSecTrustResultUnspecified},
        {"another host's chain", TestCertificateAuthority::Kind::Valid, "other.example", "localhost",
         kSecTrustResultRecoverableTrustFailure},
        {"expired", TestCertificateAuthority::Kind::Expired, "localhost", std::nullopt, kSecTrustResultRecoverableTrustFailure},
        {"self-signed", TestCertificateAuthority::Kind::SelfSigned, "localhost", std::nullopt,
         kSecTrustResultRecoverableTrustFailure},
        {"through the intermediate", TestCertificateAuthority::Kind::ViaIntermediate, "localhost", "localhost",
         kSecTrustResultUnspecified},
    };
    for (const Case& c : cases) {
        auto identity = ca_.issue(c.issuedFor, c.kind);
        SecPolicyRef policy = c.policyHost ? SecPolicyCreateSSL(true, c.policyHost) : SecPolicyCreateBasicX509();
        EXPECT_EQ(evaluate(chainOf(identity), policy), c.expected) << c.name;
    }
}

TEST_F(SecTrustTest, AnAddressIsComparedWithTheAddressesOfTheCertificate) {
    // "localhost" leaves also name the address 127.0.0.1, and no other.
    auto identity = ca_.issue("localhost");
    EXPECT_EQ(evaluate(chainOf(identity), SecPolicyCreateSSL(true, "127.0.0.1")), kSecTrustResultUnspecified);
    EXPECT_EQ(evaluate(chainOf(identity), SecPolicyCreateSSL(true, "127.0.0.2")), kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(evaluate(chainOf(ca_.issue("other.example")), SecPolicyCreateSSL(true, "127.0.0.1")),
              kSecTrustResultRecoverableTrustFailure);
}

TEST_F(SecTrustTest, SSLPolicyWithoutHostChecksNoName) {
    auto identity = ca_.issue("other.example");
    EXPECT_EQ(evaluate(chainOf(identity), SecPolicyCreateSSL(true, std::nullopt)), kSecTrustResultUnspecified);
}

TEST_F(SecTrustTest, AnchorsSetOnTheTrustReplaceTheSystemOnes) {
    auto identity = ca_.issue("localhost");
    auto leaf = certificate(identity.certificateDER);
    TestCertificateAuthority stranger;
    EXPECT_EQ(evaluate({leaf}, SecPolicyCreateBasicX509(), std::vector<SecCertificateRef>{certificate(stranger.rootDER())}),
              kSecTrustResultRecoverableTrustFailure);
    EXPECT_EQ(evaluate({leaf}, SecPolicyCreateBasicX509(), std::vector<SecCertificateRef>{leaf}), kSecTrustResultUnspecified);
    // A self-signed leaf is trusted once it is an anchor itself.
    auto selfSigned = ca_.issue("localhost", TestCertificateAuthority::Kind::SelfSigned);
    auto own = certificate(selfSigned.certificateDER);
    EXPECT_EQ(evaluate({own}, SecPolicyCreateBasicX509(), std::vector<SecCertificateRef>{own}), kSecTrustResultUnspecified);
}

TEST_F(SecTrustTest, WithoutTheTestAnchorTheChainIsUntrusted) {
    SecTrustSetAdditionalSystemAnchorsForTesting({});
    auto identity = ca_.issue("localhost");
    EXPECT_EQ(evaluate(chainOf(identity), SecPolicyCreateBasicX509()), kSecTrustResultRecoverableTrustFailure);
}

TEST_F(SecTrustTest, CertificatesLeafFirstAndTheBuiltChainAfterEvaluation) {
    auto identity = ca_.issue("localhost", TestCertificateAuthority::Kind::ViaIntermediate);
    SecTrustRef trust;
    ASSERT_EQ(SecTrustCreateWithCertificates(chainOf(identity), SecPolicyCreateBasicX509(), &trust), errSecSuccess);
    ASSERT_EQ(SecTrustGetCertificateCount(trust), 2);
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 0))->vector(), identity.certificateDER);
    EXPECT_FALSE(SecTrustGetCertificateAtIndex(trust, 2));
    SecTrustResultType result;
    SecTrustEvaluate(trust, &result);
    ASSERT_EQ(SecTrustGetCertificateCount(trust), 3);
    EXPECT_EQ(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trust, 2))->vector(), ca_.rootDER());
}

TEST_F(SecTrustTest, PublicKeysCompareByValue) {
    auto identity = ca_.issue("localhost");
    SecTrustRef a, b, c;
    SecTrustCreateWithCertificates({certificate(identity.certificateDER)}, SecPolicyCreateBasicX509(), &a);
    SecTrustCreateWithCertificates({certificate(identity.certificateDER)}, SecPolicyCreateBasicX509(), &b);
    SecTrustCreateWithCertificates({certificate(ca_.issue("localhost").certificateDER)}, SecPolicyCreateBasicX509(), &c);
    auto keyA = SecTrustCopyPublicKey(a);
    ASSERT_TRUE(keyA);
    EXPECT_TRUE(keyA->isEqual(SecTrustCopyPublicKey(b).get()));
    EXPECT_FALSE(keyA->isEqual(SecTrustCopyPublicKey(c).get()));
}

TEST_F(SecTrustTest, EvaluationFollowsThePlatformClock) {
    auto identity = ca_.issue("localhost");
    PlatformClock::setManual(PlatformClock::now() + 365.0 * 24 * 3600);
    SecTrustResultType result = evaluate(chainOf(identity), SecPolicyCreateBasicX509());
    PlatformClock::setAutomatic();
    EXPECT_EQ(result, kSecTrustResultRecoverableTrustFailure);
}

TEST_F(SecTrustTest, BadArgumentsAreRefused) {
    SecTrustRef trust;
    EXPECT_EQ(SecTrustCreateWithCertificates({}, SecPolicyCreateBasicX509(), &trust), errSecParam);
    EXPECT_EQ(SecTrustEvaluate(nullptr, nullptr), errSecParam);
}

} // namespace
