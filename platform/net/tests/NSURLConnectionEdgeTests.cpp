// Time-outs on the platform clock, answers that are not HTTP, requests without a URL, and the
// older challenge calls of the delegate protocol.

#include "platform/net/NSURLConnection.h"

// The networking headers keep their libraries to themselves: neither OpenSSL nor curl comes with them.
#if defined(OPENSSL_X509_H) || defined(OPENSSL_EVP_H) || defined(OPENSSL_SSL_H) || defined(CURLINC_CURL_H)
#error "a networking header pulls in OpenSSL or curl"
#endif
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestCertificates.h"
#include "platform/testsupport/LoopbackRequests.h"

#include <gtest/gtest.h>

namespace {
using namespace loopback_requests;

// The record of a connection's outcome.
using OutcomeDelegate = RecordingConnectionDelegate;

// A delegate of the older kind: answers challenges in connection:didReceiveAuthenticationChallenge:
// with a fixed credential (or not at all), and may or may not implement the protection-space question.
class OlderChallengeDelegate : public OutcomeDelegate {
public:
    std::optional<bool> canAuthenticate;  // nullopt: the question is not implemented
    bool answers = true;
    std::vector<std::string> methodsSeen;
    int cancelled = 0;

    std::optional<bool> connectionCanAuthenticateAgainstProtectionSpace(const NSURLConnectionPtr&,
                                                                         const std::shared_ptr<NSURLProtectionSpace>&) override {
        return canAuthenticate;
    }
    bool connectionDidReceiveAuthenticationChallenge(const NSURLConnectionPtr&, const NSURLAuthenticationChallengePtr& challenge) override {
        methodsSeen.push_back(challenge->protectionSpace()->authenticationMethod());
        if (answers) {
            challenge->sender()->useCredentialForAuthenticationChallenge(
                NSURLCredential::credentialWithUser("user", "secret", NSURLCredentialPersistenceNone), challenge);
        }
        return true;
    }
    void connectionDidCancelAuthenticationChallenge(const NSURLConnectionPtr&, const NSURLAuthenticationChallengePtr&) override {
        ++cancelled;
    }
};

class NSURLConnectionEdgeTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        SecTrustSetAdditionalSystemAnchorsForTesting({SecCertificateCreateWithData(std::make_shared<NSData>(ca_.rootDER()))});
    }
    void TearDown() override {
        SecTrustSetAdditionalSystemAnchorsForTesting({});
        DeviceTest::TearDown();
    }
    static NSURLRequestPtr requestFor(const std::string& url, double timeout) {
        return NSURLRequest::requestWithURL(NSURL::URLWithString(url), NSURLRequestReloadIgnoringLocalCacheData, timeout);
    }
    template <class Delegate>
    std::shared_ptr<Delegate> load(const NSURLRequestPtr& request, std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>()) {
        connection_ = NSURLConnection::connectionWithRequest(request, delegate);
        EXPECT_TRUE(runMainUntil([&] { return delegate->done; }, kWait));
        return delegate;
    }

    TestCertificateAuthority ca_;
    NSURLConnectionPtr connection_;
};

TEST_F(NSURLConnectionEdgeTest, TheTimeOutIsTheTimeWithoutAByteOnThePlatformClock) {
    ManualClock clock;
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/stall", LoopbackHTTPServer::gated(200, {}, std::string(300, 'x'), 100, gate));
    server.route("/silent", LoopbackHTTPServer::silent());

    auto silent = std::make_shared<OutcomeDelegate>();
    auto quiet = NSURLConnection::connectionWithRequest(requestFor(server.url("/silent"), 2), silent);
    ASSERT_TRUE(runMainUntil([&] { return server.requestCount() == 1; }, kWait));
    clock.advance(1.9);
    EXPECT_FALSE(silent->done);
    clock.advance(0.2);
    ASSERT_TRUE(silent->done);
    ASSERT_TRUE(silent->error);
    EXPECT_EQ(silent->error->code(), NSURLErrorTimedOut);

    // Every byte starts the wait again: 3 s pass in all, never 2 s without a byte.
    auto stalled = std::make_shared<OutcomeDelegate>();
    auto slow = NSURLConnection::connectionWithRequest(requestFor(server.url("/stall"), 2), stalled);
    ASSERT_TRUE(runMainUntil([&] { return stalled->body->length() == 100; }, kWait));
    clock.advance(1.5);
    EXPECT_FALSE(stalled->done);
    gate->release();
    ASSERT_TRUE(runMainUntil([&] { return stalled->body->length() == 200; }, kWait));
    clock.advance(1.5);
    EXPECT_FALSE(stalled->done);
    clock.advance(0.6);
    ASSERT_TRUE(stalled->done);
    ASSERT_TRUE(stalled->error);
    EXPECT_EQ(stalled->error->code(), NSURLErrorTimedOut);
    gate->cancel();
}

TEST_F(NSURLConnectionEdgeTest, AnAnswerThatIsNotHTTPIsABadServerResponse) {
    LoopbackHTTPServer server;
    server.route("/x", [](LoopbackExchange& exchange) {
        exchange.send("SSH-2.0-OpenSSH_9.2\r\nProtocol mismatch.\r\n");
        exchange.closeAfterResponse();
    });
    auto d = load(requestFor(server.url("/x"), 5), std::make_shared<OutcomeDelegate>());
    ASSERT_TRUE(d->error);
    EXPECT_EQ(d->error->code(), NSURLErrorBadServerResponse);
}

TEST_F(NSURLConnectionEdgeTest, ARequestWithoutAURLFailsAfterStart) {
    auto request = std::make_shared<NSURLRequest>(nullptr);
    auto d = std::make_shared<OutcomeDelegate>();
    auto connection = NSURLConnection::connectionWithRequest(request, d);
    ASSERT_TRUE(connection);
    EXPECT_FALSE(d->done);  // nothing before start returns
    ASSERT_TRUE(runMainUntil([&] { return d->done; }, kWait));
    ASSERT_TRUE(d->error);
    EXPECT_EQ(d->error->code(), NSURLErrorUnsupportedURL);
}

TEST_F(NSURLConnectionEdgeTest, OlderChallengeCallsConcernHTTPAuthenticationUnlessTheyAskForServerTrust) {
    struct Case {
        const char* name;
        std::optional<bool> canAuthenticate;
        bool answers;
        TestCertificateAuthority::Kind server;
        std::vector<std::string> methodsSeen;
        long error;  // 0: the body arrives
    };
    const std::string trust = NSURLAuthenticationMethodServerTrust;
    const std::string basic = NSURLAuthenticationMethodHTTPBasic;
    const Case cases[] = {
        // Without the protection-space question, a trusted server loads and only the 401 is asked...
        {"no question, trusted", std::nullopt, true, TestCertificateAuthority::Kind::Valid, {basic}, 0},
        // ...and the delegate's credential cannot make an untrusted server acceptable.
        {"no question, self-signed", std::nullopt, true, TestCertificateAuthority::Kind::SelfSigned, {}, NSURLErrorServerCertificateUntrusted},
        // Asked about every space, the delegate's answer decides server trust too (a user
        // credential is no trust answer, so the trusted server is refused).
        {"asked, trusted", true, true, TestCertificateAuthority::Kind::Valid, {trust}, NSURLErrorServerCertificateUntrusted},
        // A challenge left unanswered is given up.
        {"no question, unanswered", std::nullopt, false, TestCertificateAuthority::Kind::Valid, {basic}, NSURLErrorUserCancelledAuthentication},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHTTPServer server(ca_.issue("localhost", c.server));
        server.route("/p", [](LoopbackExchange& exchange) {
            if (exchange.request().header("Authorization") == "Basic dXNlcjpzZWNyZXQ=") {
                exchange.sendHead(200, {{"Content-Length", "6"}});
                exchange.send("inside");
            } else {
                exchange.sendHead(401, {{"WWW-Authenticate", "Basic realm=\"r\""}, {"Content-Length", "0"}});
            }
        });
        auto d = std::make_shared<OlderChallengeDelegate>();
        d->canAuthenticate = c.canAuthenticate;
        d->answers = c.answers;
        load(requestFor(server.url("/p"), 5), d);
        EXPECT_EQ(d->methodsSeen, c.methodsSeen);
        EXPECT_EQ(d->cancelled, c.answers ? 0 : 1);
        if (c.error == 0) {
            EXPECT_FALSE(d->error);
            EXPECT_EQ(d->body->stringView(), "inside");
        } else {
            ASSERT_TRUE(d->error);
            EXPECT_EQ(d->error->code(), c.error);
        }
    }
}

} // namespace

TEST(NSURLConnectionCanHandle, HttpHttpsAndFileOnly) {
    struct Case {
        const char* url;
        bool handled;
    } cases[] = {{"http://example.org/a", true}, {"HTTPS://example.org/", true}, {"file:///tmp/clip.mp4", true},
                 {"ftp://example.org/a", false}, {"itms-apps://itunes.apple.com/app/id1", false}, {"vuderu://vuderucall", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(NSURLConnection::canHandleRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(c.url))), c.handled);
    }
    EXPECT_FALSE(NSURLConnection::canHandleRequest(nullptr));
    EXPECT_FALSE(NSURLConnection::canHandleRequest(NSURLRequest::requestWithURL(nullptr)));
}
