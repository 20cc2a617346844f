#include "platform/dispatch/NSOperationQueue.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSThread.h"
#include "platform/net/NSData+NSURLLoading.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLConnection.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestCertificates.h"
#include "platform/testsupport/LoopbackRequests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {
using namespace loopback_requests;

// Short, explicit time-outs: no test waits on a default one.

// Records every callback as text, in order, and answers as configured.
class RecordingDelegate : public NSURLConnectionDataDelegate {
public:
    std::vector<std::string> events;
    NSDataPtr body = NSData::data();
    std::vector<std::size_t> chunkSizes;
    NSURLResponsePtr response;
    NSErrorPtr error;
    bool done = false;
    bool followRedirects = true;
    enum class TrustAnswer { Default, Accept, Cancel } trustAnswer = TrustAnswer::Default;
    std::vector<SecTrustRef> trusts;
    std::vector<std::vector<std::uint8_t>> presented;  // the chain of the last challenge, as handed over
    std::function<void(const NSURLConnectionPtr&)> onData;

    NSURLRequestPtr connectionWillSendRequestRedirectResponse(const NSURLConnectionPtr&, const NSURLRequestPtr& request,
                                                              const NSURLResponsePtr& redirect) override {
        if (!redirect) {
            events.push_back("willSend");
            return request;
        }
        events.push_back("redirect " + std::to_string(std::static_pointer_cast<NSHTTPURLResponse>(redirect)->statusCode()) + " " +
                         request->URL()->path());
        return followRedirects ? request : nullptr;
    }
    void connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr&,
                                                             const NSURLAuthenticationChallengePtr& challenge) override {
        events.push_back("challenge");
        trusts.push_back(challenge->protectionSpace()->serverTrust());
        presented.clear();
        for (long i = 0; i < SecTrustGetCertificateCount(trusts.back()); ++i) {
            presented.push_back(SecCertificateCopyData(SecTrustGetCertificateAtIndex(trusts.back(), i))->vector());
        }
        auto sender = challenge->sender();
        switch (trustAnswer) {
        case TrustAnswer::Default: sender->performDefaultHandlingForAuthenticationChallenge(challenge); break;
        case TrustAnswer::Accept:
            sender->useCredentialForAuthenticationChallenge(NSURLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust()),
                                                            challenge);
            break;
        case TrustAnswer::Cancel: sender->cancelAuthenticationChallenge(challenge); break;
        }
    }
    void connectionDidSendBodyData(const NSURLConnectionPtr&, long long, long long total, long long expected) override {
        if (events.empty() || events.back().rfind("sent", 0) != 0) events.push_back("sent");
        lastSent = total;
        expectedSent = expected;
    }
    void connectionDidReceiveResponse(const NSURLConnectionPtr&, const NSURLResponsePtr& r) override {
        events.push_back("response");
        response = r;
    }
    void connectionDidReceiveData(const NSURLConnectionPtr& connection, const NSDataPtr& data) override {
        if (events.empty() || events.back() != "data") events.push_back("data");
        body->appendData(*data);
        chunkSizes.push_back(data->length());
        if (onData) onData(connection);
    }
    NSCachedURLResponsePtr connectionWillCacheResponse(const NSURLConnectionPtr&, const NSCachedURLResponsePtr& cached) override {
        events.push_back("cache");
        return cached;
    }
    void connectionDidFinishLoading(const NSURLConnectionPtr&) override {
        events.push_back("finish");
        done = true;
    }
    void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& e) override {
        events.push_back("fail " + std::to_string(e->code()));
        error = e;
        done = true;
    }
    long long lastSent = 0;
    long long expectedSent = 0;
};

class NSURLConnectionTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        SecTrustSetAdditionalSystemAnchorsForTesting({SecCertificateCreateWithData(std::make_shared<NSData>(ca_.rootDER()))});
    }
    void TearDown() override {
        SecTrustSetAdditionalSystemAnchorsForTesting({});
        DeviceTest::TearDown();
    }

    std::shared_ptr<RecordingDelegate> load(const NSURLRequestPtr& request,
                                            std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>()) {
        connection_ = NSURLConnection::connectionWithRequest(request, delegate);
        EXPECT_TRUE(runMainUntil([&] { return delegate->done; }, kWait));
        return delegate;
    }

    TestCertificateAuthority ca_;
    NSURLConnectionPtr connection_;
};

TEST_F(NSURLConnectionTest, CallbacksArriveInOrderWithTheBody) {
    LoopbackHTTPServer server;
    server.route("/a", LoopbackHTTPServer::fixed(200, {{"Content-Type", "Text/HTML; charset=\"ISO-8859-1\""}, {"X-Thing", "1"}}, "hello"));
    auto d = load(requestFor(server.url("/a")));
    EXPECT_EQ(d->events, (std::vector<std::string>{"willSend", "response", "data", "cache", "finish"}));
    EXPECT_EQ(d->body->stringView(), "hello");
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(d->response);
    ASSERT_TRUE(http);
    EXPECT_EQ(http->statusCode(), 200);
    EXPECT_EQ(http->MIMEType(), "text/html");
    EXPECT_EQ(http->textEncodingName(), "iso-8859-1");
    EXPECT_EQ(http->expectedContentLength(), 5);
    EXPECT_EQ(http->valueForHTTPHeaderField("x-thing"), "1");
    EXPECT_EQ(http->URL()->absoluteString(), server.url("/a"));
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0].method, "GET");
}

TEST_F(NSURLConnectionTest, BodiesOfEveryFraming) {
    struct Case {
        const char* name;
        LoopbackHTTPServer::Handler handler;
        long long expectedLength;
    };
    std::vector<Case> cases = {
        {"content-length", LoopbackHTTPServer::fixed(200, {}, "abcdef"), 6},
        {"chunked", LoopbackHTTPServer::chunked(200, {}, {"ab", "cd", "ef"}), -1},
        {"close-delimited", LoopbackHTTPServer::closeDelimited(200, {}, "abcdef"), -1},
    };
    for (auto& c : cases) {
        LoopbackHTTPServer server;
        server.route("/b", c.handler);
        auto d = load(requestFor(server.url("/b")));
        EXPECT_EQ(d->body->stringView(), "abcdef") << c.name;
        EXPECT_EQ(d->response->expectedContentLength(), c.expectedLength) << c.name;
        EXPECT_EQ(d->events.back(), "finish") << c.name;
    }
}

TEST_F(NSURLConnectionTest, DataArrivesChunkByChunkAsTheServerSendsIt) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/g", LoopbackHTTPServer::gated(200, {}, std::string(3000, 'x'), 1000, gate));
    auto d = std::make_shared<RecordingDelegate>();
    connection_ = NSURLConnection::connectionWithRequest(requestFor(server.url("/g")), d);
    for (std::size_t expected : {1000u, 2000u, 3000u}) {
        ASSERT_TRUE(runMainUntil([&] { return d->body->length() == expected; }, kWait)) << expected;
        gate->release();
    }
    ASSERT_TRUE(runMainUntil([&] { return d->done; }, kWait));
    EXPECT_EQ(d->chunkSizes, (std::vector<std::size_t>{1000, 1000, 1000}));
}

TEST_F(NSURLConnectionTest, RedirectsAreFollowedOrStoppedByTheDelegate) {
    LoopbackHTTPServer server;
    server.route("/r1", LoopbackHTTPServer::redirect(302, "/r2"));
    server.route("/r2", LoopbackHTTPServer::redirect(301, server.url("/end")));
    server.route("/end", LoopbackHTTPServer::fixed(200, {}, "done"));
    auto followed = load(requestFor(server.url("/r1")));
    EXPECT_EQ(followed->events,
              (std::vector<std::string>{"willSend", "redirect 302 /r2", "redirect 301 /end", "response", "data", "cache", "finish"}));
    EXPECT_EQ(followed->body->stringView(), "done");
    EXPECT_EQ(followed->response->URL()->path(), "/end");

    auto stopped = std::make_shared<RecordingDelegate>();
    stopped->followRedirects = false;
    load(requestFor(server.url("/r1")), stopped);
    EXPECT_EQ(stopped->events, (std::vector<std::string>{"willSend", "redirect 302 /r2", "response", "data", "cache", "finish"}));
    EXPECT_EQ(std::static_pointer_cast<NSHTTPURLResponse>(stopped->response)->statusCode(), 302);
    EXPECT_EQ(stopped->body->stringView(), "moved");
}

TEST_F(NSURLConnectionTest, SeeOtherTurnsAPostIntoAGet) {
    LoopbackHTTPServer server;
    server.route("/form", LoopbackHTTPServer::redirect(303, "/result"));
    server.route("/result", LoopbackHTTPServer::fixed(200, {}, "ok"));
    auto request = requestFor(server.url("/form"));
    request->setHTTPMethod("POST");
    request->setHTTPBody(NSData::dataWithString("a=1"));
    auto d = load(request);
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "a=1");
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_EQ(requests[1].body, "");
}

TEST_F(NSURLConnectionTest, RequestsCarryMethodHeadersAndBodies) {
    LoopbackHTTPServer server;
    server.route("/p", LoopbackHTTPServer::fixed(201, {}, ""));
    auto request = requestFor(server.url("/p?q=1"));
    request->setHTTPMethod("PUT");
    request->setValueForHTTPHeaderField("yes", "X-Custom");
    request->setHTTPBody(NSData::dataWithString(std::string(100000, 'b')));
    auto d = load(request);
    EXPECT_EQ(d->events.front(), "willSend");
    EXPECT_NE(std::find(d->events.begin(), d->events.end(), "sent"), d->events.end());
    EXPECT_EQ(d->lastSent, 100000);
    ASSERT_EQ(server.requestCount(), 1u);
    auto recorded = server.requests()[0];
    EXPECT_EQ(recorded.method, "PUT");
    EXPECT_EQ(recorded.target, "/p?q=1");
    EXPECT_EQ(recorded.header("x-custom"), "yes");
    EXPECT_EQ(recorded.body.size(), 100000u);

    auto streamed = requestFor(server.url("/p"));
    streamed->setHTTPMethod("POST");
    streamed->setHTTPBodyStream(NSInputStream::inputStreamWithData(NSData::dataWithString("streamed body")));
    load(streamed);
    EXPECT_EQ(server.requests().back().body, "streamed body");
}

TEST_F(NSURLConnectionTest, FailuresCarryTheirCodeAndTheFailingURL) {
    LoopbackHTTPServer server;
    server.route("/short", LoopbackHTTPServer::truncated(200, 100, "only this"));
    server.route("/silent", LoopbackHTTPServer::silent());
    auto truncated = load(requestFor(server.url("/short")));
    ASSERT_TRUE(truncated->error);
    EXPECT_EQ(truncated->error->domain(), NSURLErrorDomain);
    EXPECT_EQ(truncated->error->code(), NSURLErrorNetworkConnectionLost);
    EXPECT_EQ(truncated->error->userInfoValue(NSURLErrorFailingURLErrorKey).objectAs<NSURL>()->absoluteString(), server.url("/short"));
    EXPECT_EQ(truncated->body->stringView(), "only this");

    auto timedOut = load(requestFor(server.url("/silent"), 1));
    ASSERT_TRUE(timedOut->error);
    EXPECT_EQ(timedOut->error->code(), NSURLErrorTimedOut);
    EXPECT_EQ(timedOut->events, (std::vector<std::string>{"willSend", "fail -1001"}));

    int port = server.port();
    server.stop();
    auto refused = load(requestFor("http://127.0.0.1:" + std::to_string(port) + "/x"));
    ASSERT_TRUE(refused->error);
    EXPECT_EQ(refused->error->code(), NSURLErrorCannotConnectToHost);

    auto unsupported = load(requestFor("ftp://127.0.0.1/x"));
    ASSERT_TRUE(unsupported->error);
    EXPECT_EQ(unsupported->error->code(), NSURLErrorUnsupportedURL);
}

TEST_F(NSURLConnectionTest, StartReportsNothingBeforeItReturns) {
    // Even a request that fails at once: the delegate hears of it from the run loop, after the
    // code that started the connection has finished what it was doing.
    for (const char* url : {"ftp://127.0.0.1/x", "http://127.0.0.1:1/x"}) {
        auto d = std::make_shared<RecordingDelegate>();
        auto connection = std::make_shared<NSURLConnection>(requestFor(url), d);
        connection->scheduleInRunLoop(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode);
        connection->start();
        EXPECT_TRUE(d->events.empty()) << url;
        ASSERT_TRUE(runMainUntil([&] { return d->done; }, kWait)) << url;
        ASSERT_TRUE(d->error) << url;
    }
}

TEST_F(NSURLConnectionTest, NothingArrivesAfterCancel) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/g", LoopbackHTTPServer::gated(200, {}, std::string(3000, 'x'), 1000, gate));
    auto d = std::make_shared<RecordingDelegate>();
    d->onData = [](const NSURLConnectionPtr& connection) { connection->cancel(); };
    connection_ = NSURLConnection::connectionWithRequest(requestFor(server.url("/g")), d);
    ASSERT_TRUE(runMainUntil([&] { return d->body->length() == 1000; }, kWait));
    gate->release(2);
    // The server finishes sending; the cancelled connection reports nothing of it.
    ASSERT_TRUE(runMainUntil([&] { return server.handledCount() == 1; }, kWait));
    drainMain();
    EXPECT_EQ(d->events, (std::vector<std::string>{"willSend", "response", "data"}));
    EXPECT_FALSE(d->done);
    gate->cancel();
}

TEST_F(NSURLConnectionTest, EveryRequestOverTLSRaisesOneChallengeWithThePresentedChain) {
    auto identity = ca_.issue("localhost", TestCertificateAuthority::Kind::ViaIntermediate);
    LoopbackHTTPServer server(identity);
    server.route("/s", LoopbackHTTPServer::fixed(200, {}, "secret"));
    auto d = load(requestFor(server.url("/s")));
    EXPECT_EQ(d->events, (std::vector<std::string>{"willSend", "challenge", "response", "data", "cache", "finish"}));
    EXPECT_EQ(d->body->stringView(), "secret");
    ASSERT_EQ(d->trusts.size(), 1u);
    EXPECT_EQ(d->presented, (std::vector<std::vector<std::uint8_t>>{identity.certificateDER, ca_.intermediateDER()}));
    auto policies = d->trusts[0]->policies();
    ASSERT_EQ(policies.size(), 1u);
    EXPECT_EQ(policies[0]->hostname(), "localhost");

    // The kept-alive connection is reused, and the second request's delegate is asked about the
    // same chain before the request goes out on it.
    auto second = load(requestFor(server.url("/s")));
    EXPECT_EQ(second->events, d->events);
    EXPECT_EQ(second->presented, d->presented);
    EXPECT_EQ(server.tlsHandshakeCount(), 1);
}

TEST_F(NSURLConnectionTest, AReusedConnectionCarriesNoEarlierTrustAnswer) {
    LoopbackHTTPServer server(ca_.issue("localhost", TestCertificateAuthority::Kind::SelfSigned));
    server.route("/s", LoopbackHTTPServer::fixed(200, {}, "secret"));
    auto lenient = std::make_shared<RecordingDelegate>();
    lenient->trustAnswer = RecordingDelegate::TrustAnswer::Accept;
    load(requestFor(server.url("/s")), lenient);
    EXPECT_FALSE(lenient->error);
    auto strict = load(requestFor(server.url("/s")));
    ASSERT_TRUE(strict->error);
    EXPECT_EQ(strict->error->code(), NSURLErrorServerCertificateUntrusted);
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.tlsHandshakeCount(), 1);
}

TEST_F(NSURLConnectionTest, TrustAnswersDecideTheConnection) {
    struct Case {
        const char* name;
        TestCertificateAuthority::Kind kind;
        const char* host;
        RecordingDelegate::TrustAnswer answer;
        long expectedError;  // 0: loads
    };
    const Case cases[] = {
        {"default, trusted", TestCertificateAuthority::Kind::Valid, "localhost", RecordingDelegate::TrustAnswer::Default, 0},
        {"default, expired", TestCertificateAuthority::Kind::Expired, "localhost", RecordingDelegate::TrustAnswer::Default,
         NSURLErrorServerCertificateUntrusted},
        {"default, other host", TestCertificateAuthority::Kind::Valid, "other.example", RecordingDelegate::TrustAnswer::Default,
         NSURLErrorServerCertificateUntrusted},
        {"accepted self-signed", TestCertificateAuthority::Kind::SelfSigned, "localhost", RecordingDelegate::TrustAnswer::Accept, 0},
        {"cancelled", TestCertificateAuthority::Kind::Valid, "localhost", RecordingDelegate::TrustAnswer::Cancel,
         NSURLErrorUserCancelledAuthentication},
    };
    for (const Case& c : cases) {
        LoopbackHTTPServer server(ca_.issue(c.host, c.kind));
        server.route("/s", LoopbackHTTPServer::fixed(200, {}, "secret"));
        auto d = std::make_shared<RecordingDelegate>();
        d->trustAnswer = c.answer;
        load(requestFor(server.url("/s")), d);
        if (c.expectedError == 0) {
            EXPECT_FALSE(d->error) << c.name;
            EXPECT_EQ(d->body->stringView(), "secret") << c.name;
        } else {
            ASSERT_TRUE(d->error) << c.name;
            EXPECT_EQ(d->error->code(), c.expectedError) << c.name;
            EXPECT_EQ(server.requestCount(), 0u) << c.name;
        }
    }
}

TEST_F(NSURLConnectionTest, SynchronousAndAsynchronousRequests) {
    LoopbackHTTPServer server;
    server.route("/v", LoopbackHTTPServer::fixed(404, {}, "missing"));
    NSURLResponsePtr response;
    NSErrorPtr error;
    auto data = NSURLConnection::sendSynchronousRequest(requestFor(server.url("/v")), &response, &error);
    ASSERT_TRUE(data);
    EXPECT_FALSE(error);
    EXPECT_EQ(data->stringView(), "missing");
    EXPECT_EQ(std::static_pointer_cast<NSHTTPURLResponse>(response)->statusCode(), 404);

    EXPECT_EQ(NSData_NSURLLoading::dataWithContentsOfURL(NSURL::URLWithString(server.url("/v")))->stringView(), "missing");

    std::atomic<bool> called{false};
    bool onMain = false;
    NSDataPtr asyncData;
    NSURLConnection::sendAsynchronousRequest(requestFor(server.url("/v")), NSOperationQueue::mainQueue(),
                                             [&](const NSURLResponsePtr&, const NSDataPtr& d, const NSErrorPtr&) {
                                                 onMain = NSThread::isMainThread();
                                                 asyncData = d;
                                                 called = true;
                                             });
    ASSERT_TRUE(runMainUntil([&] { return called.load(); }, kWait));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(asyncData->stringView(), "missing");

    int port = server.port();
    server.stop();
    data = NSURLConnection::sendSynchronousRequest(requestFor("http://127.0.0.1:" + std::to_string(port) + "/"), &response, &error);
    EXPECT_FALSE(data);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorCannotConnectToHost);
}

TEST_F(NSURLConnectionTest, AGatheredAnswerPastTheLimitFailsWithoutData) {
    struct LimitGuard {
        LimitGuard() { NSURLConnection::setGatheredBodyLimit(1024); }
        ~LimitGuard() { NSURLConnection::setGatheredBodyLimit(0); }
    } limit;
    const std::string kilobyte(1024, 'k');
    LoopbackHTTPServer server;
    server.route("/fits", LoopbackHTTPServer::fixed(200, {}, kilobyte));
    // Announced past the limit: refused before the body comes (most of it never does).
    server.route("/announced", LoopbackHTTPServer::truncated(200, 1u << 30, "x"));
    server.route("/grown", LoopbackHTTPServer::chunked(200, {}, {kilobyte, "1"}));
    server.route("/endless", LoopbackHTTPServer::closeDelimited(200, {}, std::string(8192, 'e')));
    struct Case {
        const char* path;
        bool fits;
    };
    for (const Case& c : {Case{"/fits", true}, Case{"/announced", false}, Case{"/grown", false}, Case{"/endless", false}}) {
        SCOPED_TRACE(c.path);
        NSURLResponsePtr response;
        NSErrorPtr error;
        auto data = NSURLConnection::sendSynchronousRequest(requestFor(server.url(c.path)), &response, &error);
        if (c.fits) {
            ASSERT_TRUE(data);
            EXPECT_EQ(data->length(), 1024u);
            continue;
        }
        EXPECT_FALSE(data);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), NSURLErrorDataLengthExceedsMaximum);

        std::atomic<bool> called{false};
        NSDataPtr asyncData = NSData::data();
        NSErrorPtr asyncError;
        int calls = 0;
        NSURLConnection::sendAsynchronousRequest(requestFor(server.url(c.path)), NSOperationQueue::mainQueue(),
                                                 [&](const NSURLResponsePtr&, const NSDataPtr& d, const NSErrorPtr& e) {
                                                     asyncData = d;
                                                     asyncError = e;
                                                     ++calls;
                                                     called = true;
                                                 });
        ASSERT_TRUE(runMainUntil([&] { return called.load(); }, kWait));
        EXPECT_FALSE(asyncData);
        ASSERT_TRUE(asyncError);
        EXPECT_EQ(asyncError->code(), NSURLErrorDataLengthExceedsMaximum);
        EXPECT_EQ(calls, 1);
    }
}

} // namespace

// A connection scheduled in a worker's run loop keeps that loop's run() going until it has ended,
// twice on the same loop (the second on the first one's kept-alive connection, whose idle socket
// does not hold the loop).
TEST_F(NSURLConnectionTest, AConnectionKeepsItsWorkerLoopRunningUntilItEnds) {
    LoopbackHTTPServer server;
    server.route("/a", LoopbackHTTPServer::fixed(200, {}, std::string(5000, 'a')));
    std::vector<std::string> outcomes;
    std::thread worker([&] {
        auto loop = NSRunLoop::currentRunLoop();
        for (int i = 0; i < 2; ++i) {
            auto delegate = std::make_shared<RecordingDelegate>();
            auto connection = std::make_shared<NSURLConnection>(NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/a"))), delegate);
            connection->scheduleInRunLoop(loop, NSDefaultRunLoopMode);
            connection->start();
            loop->run();
            outcomes.push_back(delegate->events.back() + " " + std::to_string(delegate->body->length()));
        }
    });
    worker.join();
    EXPECT_EQ(outcomes, (std::vector<std::string>{"finish 5000", "finish 5000"}));
    EXPECT_EQ(server.connectionCount(), 1);
}
