// A trust decision belongs to the operation that made it: a later operation to the same server,
// on the same kept-alive TLS connection, is judged by its own security policy.

#include "netkit/NKHTTPRequestOperation.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestCertificates.h"
#include "platform/testsupport/LoopbackRequests.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {
using namespace loopback_requests;

constexpr double kRequestTimeout = 5;

enum class Policy { Default, AllowInvalid, PinnedToServer, PinnedToOther };

class TrustPerOperationTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        SecTrustSetAdditionalSystemAnchorsForTesting({SecCertificateCreateWithData(std::make_shared<NSData>(ca_.rootDER()))});
    }
    void TearDown() override {
        SecTrustSetAdditionalSystemAnchorsForTesting({});
        DeviceTest::TearDown();
    }

    std::shared_ptr<NKSecurityPolicy> policy(Policy kind) {
        auto policy = NKSecurityPolicy::defaultPolicy();
        switch (kind) {
        case Policy::Default: break;
        case Policy::AllowInvalid: policy->setAllowInvalidCertificates(true); break;
        case Policy::PinnedToServer:
        case Policy::PinnedToOther: {
            const auto& der = kind == Policy::PinnedToServer ? ca_.rootDER() : otherAuthority_.rootDER();
            policy->setSSLPinningMode(NKSSLPinningModeCertificate);
            policy->setValidatesCertificateChain(false);
            policy->setPinnedCertificates(std::vector<NSDataPtr>{std::make_shared<NSData>(der)});
            break;
        }
        }
        return policy;
    }

    // Runs one operation to its end; the error code, 0 on success.
    long run(const std::string& url, const std::shared_ptr<NKSecurityPolicy>& policy) {
        auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(url), NSURLRequestReloadIgnoringLocalCacheData, kRequestTimeout);
        auto operation = NKHTTPRequestOperation::initWithRequest(request);
        operation->setSecurityPolicy(policy);
        std::atomic<bool> completed{false};
        operation->setCompletionBlock([&] { completed = true; });
        operation->start();
        EXPECT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
        return operation->error() ? operation->error()->code() : 0;
    }

    TestCertificateAuthority ca_;
    TestCertificateAuthority otherAuthority_;
};

TEST_F(TrustPerOperationTest, AKeptAliveConnectionIsJudgedByEachOperationsOwnPolicy) {
    struct Case {
        const char* name;
        TestCertificateAuthority::Kind server;
        Policy first;
        long firstError;
        Policy second;
        long secondError;
    };
    const long refused = NSURLErrorUserCancelledAuthentication;
    const Case cases[] = {
        {"invalid allowed, then default", TestCertificateAuthority::Kind::SelfSigned, Policy::AllowInvalid, 0, Policy::Default, refused},
        {"default, then pinned elsewhere", TestCertificateAuthority::Kind::Valid, Policy::Default, 0, Policy::PinnedToOther, refused},
        {"pinned here, then pinned elsewhere", TestCertificateAuthority::Kind::Valid, Policy::PinnedToServer, 0, Policy::PinnedToOther,
         refused},
        {"default, then invalid allowed", TestCertificateAuthority::Kind::Valid, Policy::Default, 0, Policy::AllowInvalid, 0},
        {"pinned elsewhere, then default", TestCertificateAuthority::Kind::Valid, Policy::PinnedToOther, refused, Policy::Default, 0},
        {"default, then default", TestCertificateAuthority::Kind::SelfSigned, Policy::Default, refused, Policy::Default, refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto identity = ca_.issue("localhost", c.server);
        LoopbackHTTPServer server(identity);
        server.route("/s", LoopbackHTTPServer::fixed(200, {}, "secret"));
        EXPECT_EQ(run(server.url("/s"), policy(c.first)), c.firstError);
        EXPECT_EQ(run(server.url("/s"), policy(c.second)), c.secondError);
        // Only accepted requests reach the server; two accepted ones share one connection.
        std::size_t accepted = (c.firstError == 0) + (c.secondError == 0);
        EXPECT_EQ(server.requestCount(), accepted);
        if (c.firstError == 0) {
            EXPECT_EQ(server.tlsHandshakeCount(), 1);
        }
    }
}

} // namespace
