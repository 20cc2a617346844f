#include "netkit/NKSecurityPolicy.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSBundle.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/TestCertificates.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

NSDataPtr dataOf(const std::vector<std::uint8_t>& der) { return std::make_shared<NSData>(der); }

class NKSecurityPolicyTest : public ::testing::Test {
protected:
    void SetUp() override {
        SecTrustSetAdditionalSystemAnchorsForTesting({SecCertificateCreateWithData(dataOf(ca_.rootDER()))});
    }
    void TearDown() override { SecTrustSetAdditionalSystemAnchorsForTesting({}); }

    // A trust as the connection hands it over: the presented chain with the SSL policy for the host.
    static SecTrustRef trustFor(const TestIdentity& identity, const std::string& host = "localhost") {
        std::vector<SecCertificateRef> chain;
        for (const auto& der : identity.chainDER) chain.push_back(SecCertificateCreateWithData(dataOf(der)));
        SecTrustRef trust;
        SecTrustCreateWithCertificates(chain, SecPolicyCreateSSL(true, host), &trust);
        return trust;
    }

    TestCertificateAuthority ca_;
};

TEST_F(NKSecurityPolicyTest, DefaultPolicyRefusesInvalidChainsAndOtherHosts) {
    auto policy = NKSecurityPolicy::defaultPolicy();
    EXPECT_EQ(policy->SSLPinningMode(), NKSSLPinningModeNone);
    EXPECT_FALSE(policy->allowInvalidCertificates());
    EXPECT_TRUE(policy->validatesCertificateChain());
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(trustFor(ca_.issue("localhost")), "localhost"));
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(trustFor(ca_.issue("localhost", TestCertificateAuthority::Kind::ViaIntermediate)),
                                                     "localhost"));
    // A chain that is valid, but for another host name, proves nothing about this host.
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(trustFor(ca_.issue("other.example")), "localhost"));
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(trustFor(ca_.issue("localhost", TestCertificateAuthority::Kind::Expired)),
                                                      "localhost"));
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(
        trustFor(ca_.issue("localhost", TestCertificateAuthority::Kind::SelfSigned)), "localhost"));
}

TEST_F(NKSecurityPolicyTest, InvalidChainsPassWhenAllowedWithoutPinning) {
    for (auto kind : {TestCertificateAuthority::Kind::Expired, TestCertificateAuthority::Kind::SelfSigned}) {
        auto policy = NKSecurityPolicy::defaultPolicy();
        auto trust = trustFor(ca_.issue("localhost", kind));
        EXPECT_FALSE(policy->evaluateServerTrustForDomain(trust, "localhost"));
        policy->setAllowInvalidCertificates(true);
        EXPECT_TRUE(policy->evaluateServerTrustForDomain(trust, "localhost"));
    }
}

TEST_F(NKSecurityPolicyTest, PlainInitDoesNotCompareHostNames) {
    auto policy = std::make_shared<NKSecurityPolicy>();
    EXPECT_FALSE(policy->validatesDomainName());
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(trustFor(ca_.issue("other.example")), "localhost"));
}

TEST_F(NKSecurityPolicyTest, PublicKeyPinningWithoutBundleCertificatesRefusesEveryServer) {
    auto policy = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModePublicKey);
    EXPECT_TRUE(policy->validatesDomainName());
    ASSERT_TRUE(policy->pinnedPublicKeys());
    EXPECT_TRUE(policy->pinnedPublicKeys()->empty());
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(trustFor(ca_.issue("localhost")), "localhost"));
}

TEST_F(NKSecurityPolicyTest, CertificatePinning) {
    auto leaf = ca_.issue("localhost");
    auto viaIntermediate = ca_.issue("localhost", TestCertificateAuthority::Kind::ViaIntermediate);
    struct Case {
        const char* name;
        const TestIdentity* served;
        std::vector<std::vector<std::uint8_t>> pinned;
        bool validatesChain;
        bool expected;
    };
    const Case cases[] = {
        {"leaf pinned, chain not required", &leaf, {leaf.certificateDER}, false, true},
        // The server's certificates are those of the evaluated chain, which ends in the root.
        {"leaf pinned alone, whole chain required", &leaf, {leaf.certificateDER}, true, false},
        {"leaf and root pinned, whole chain required", &leaf, {leaf.certificateDER, ca_.rootDER()}, true, true},
        {"root pinned, chain not required", &leaf, {ca_.rootDER()}, false, true},
        {"root pinned, whole chain required", &leaf, {ca_.rootDER()}, true, false},
        {"unpinned intermediate, whole chain required", &viaIntermediate, {viaIntermediate.certificateDER, ca_.rootDER()}, true,
         false},
        {"every certificate pinned", &viaIntermediate,
         {viaIntermediate.certificateDER, ca_.intermediateDER(), ca_.rootDER()}, true, true},
        {"another server's certificate", &leaf, {ca_.issue("localhost").certificateDER}, false, false},
    };
    for (const Case& c : cases) {
        auto policy = std::make_shared<NKSecurityPolicy>();
        policy->setSSLPinningMode(NKSSLPinningModeCertificate);
        policy->setValidatesCertificateChain(c.validatesChain);
        std::vector<NSDataPtr> pinned;
        for (const auto& der : c.pinned) pinned.push_back(dataOf(der));
        policy->setPinnedCertificates(pinned);
        EXPECT_EQ(policy->evaluateServerTrustForDomain(trustFor(*c.served), "localhost"), c.expected) << c.name;
    }
}

TEST_F(NKSecurityPolicyTest, PublicKeyPinning) {
    auto served = ca_.issue("localhost", TestCertificateAuthority::Kind::ViaIntermediate);
    auto other = ca_.issue("localhost");
    struct Case {
        const char* name;
        std::vector<std::vector<std::uint8_t>> pinned;
        bool validatesChain;
        bool expected;
    };
    const Case cases[] = {
        {"leaf key, first key only", {served.certificateDER}, false, true},
        {"intermediate key, first key only", {ca_.intermediateDER()}, false, false},
        {"leaf key, every key required", {served.certificateDER}, true, false},
        {"every key of the evaluated chain", {served.certificateDER, ca_.intermediateDER(), ca_.rootDER()}, true, true},
        {"another key", {other.certificateDER}, false, false},
    };
    for (const Case& c : cases) {
        auto policy = std::make_shared<NKSecurityPolicy>();
        policy->setSSLPinningMode(NKSSLPinningModePublicKey);
        policy->setValidatesCertificateChain(c.validatesChain);
        std::vector<NSDataPtr> pinned;
        for (const auto& der : c.pinned) pinned.push_back(dataOf(der));
        policy->setPinnedCertificates(pinned);
        EXPECT_EQ(policy->evaluateServerTrustForDomain(trustFor(served), "localhost"), c.expected) << c.name;
    }
}

TEST_F(NKSecurityPolicyTest, UnknownPinningModeRefusesATrustedChain) {
    auto policy = NKSecurityPolicy::defaultPolicy();
    policy->setSSLPinningMode(3);
    EXPECT_FALSE(policy->evaluateServerTrustForDomain(trustFor(ca_.issue("localhost")), "localhost"));
}

TEST_F(NKSecurityPolicyTest, PinnedKeysFollowPinnedCertificates) {
    auto policy = std::make_shared<NKSecurityPolicy>();
    std::vector<std::string> notices;
    policy->addObserverForKeyPath("pinnedPublicKeys", [&](const std::string& key, bool) { notices.push_back(key); });
    policy->setPinnedCertificates(std::vector<NSDataPtr>{dataOf(ca_.rootDER()), NSData::dataWithString("garbage")});
    ASSERT_TRUE(policy->pinnedPublicKeys());
    EXPECT_EQ(policy->pinnedPublicKeys()->size(), 1u);
    policy->setPinnedCertificates(std::nullopt);
    EXPECT_FALSE(policy->pinnedPublicKeys());
    EXPECT_EQ(notices, (std::vector<std::string>{"pinnedPublicKeys", "pinnedPublicKeys"}));
}

TEST_F(NKSecurityPolicyTest, TheTrustKeepsThePolicyItWasGiven) {
    auto policy = std::make_shared<NKSecurityPolicy>();
    auto trust = trustFor(ca_.issue("localhost"));
    policy->evaluateServerTrust(trust);
    ASSERT_EQ(trust->policies().size(), 1u);
    EXPECT_EQ(trust->policies()[0]->kind(), SecPolicy::Kind::BasicX509);
}

} // namespace

namespace {

class NKSecurityPolicyBundleTest : public DeviceTest {};

TEST_F(NKSecurityPolicyBundleTest, PinningPoliciesPinTheBundlesCertificates) {
    TestCertificateAuthority ca;
    auto served = ca.issue("localhost");
    NSBundle::mainBundle();
    TemporaryFolder bundle;
    DeviceRoot::mount(NSBundleMainBundlePath, bundle.path());
    {
        std::ofstream(bundle.path() + "/server.cer", std::ios::binary)
            .write(reinterpret_cast<const char*>(served.certificateDER.data()), static_cast<std::streamsize>(served.certificateDER.size()));
        std::ofstream(bundle.path() + "/notes.txt") << "not a certificate";
    }
    const auto& pinned = NKSecurityPolicy::defaultPinnedCertificates();
    ASSERT_EQ(pinned.size(), 1u);
    EXPECT_EQ(pinned[0]->vector(), served.certificateDER);
    EXPECT_EQ(&NKSecurityPolicy::defaultPinnedCertificates(), &pinned) << "read once";

    // The leaf is pinned as an anchor of its own: no system anchor is needed.
    auto policy = NKSecurityPolicy::policyWithPinningMode(NKSSLPinningModeCertificate);
    policy->setAllowInvalidCertificates(true);
    policy->setValidatesCertificateChain(false);
    SecTrustRef trust;
    SecTrustCreateWithCertificates({SecCertificateCreateWithData(std::make_shared<NSData>(served.certificateDER))},
                                   SecPolicyCreateSSL(true, "localhost"), &trust);
    EXPECT_TRUE(policy->evaluateServerTrustForDomain(trust, "localhost"));
    DeviceRoot::mount(NSBundleMainBundlePath, "");
}

} // namespace
