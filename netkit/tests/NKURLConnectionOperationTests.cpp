#include "netkit/NKHTTPRequestOperation.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestCertificates.h"
#include "platform/testsupport/LoopbackRequests.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>

namespace {
using namespace loopback_requests;

const char* const kDownloadFolder = "/var/mobile/Tandrel";

std::string bodyOfSize(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
    return body;
}

class OperationTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        makeDirectory(kDownloadFolder);
        SecTrustSetAdditionalSystemAnchorsForTesting({SecCertificateCreateWithData(std::make_shared<NSData>(ca_.rootDER()))});
    }
    void TearDown() override {
        SecTrustSetAdditionalSystemAnchorsForTesting({});
        DeviceTest::TearDown();
    }

    // What the app's download observes, everything recorded on the main thread.
    struct Download {
        std::vector<std::uint64_t> chunks;
        std::vector<long long> totals;
        std::vector<long long> expected;
        bool progressOffMain = false;
        std::atomic<bool> completed{false};
        bool completionOnMain = false;
    };

    // The app's road: plain GET, file stream (append NO), progress and completion blocks, start,
    // and no reference kept.
    std::weak_ptr<NKHTTPRequestOperation> startDownload(const NSURLRequestPtr& request, const std::string& path,
                                                        const std::shared_ptr<Download>& download) {
        auto operation = NKHTTPRequestOperation::initWithRequest(request);
        operation->setOutputStream(NSOutputStream::outputStreamToFileAtPath(path, false));
        operation->setDownloadProgressBlock([download](std::uint64_t read, long long total, long long expected) {
            download->progressOffMain |= !NSThread::isMainThread();
            download->chunks.push_back(read);
            download->totals.push_back(total);
            download->expected.push_back(expected);
        });
        operation->setCompletionBlock([download] {
            download->completionOnMain = NSThread::isMainThread();
            download->completed = true;
        });
        operation->start();
        return operation;
    }

    TestCertificateAuthority ca_;
};

TEST_F(OperationTest, AppStyleDownloadStreamsIntoAFileOverHTTPAndHTTPS) {
    const std::string body = bodyOfSize(600 * 1024);
    for (bool tls : {false, true}) {
        std::unique_ptr<LoopbackHTTPServer> server =
            tls ? std::make_unique<LoopbackHTTPServer>(ca_.issue("localhost")) : std::make_unique<LoopbackHTTPServer>();
        server->route("/video.mp4", LoopbackHTTPServer::fixed(200, {{"Content-Type", "video/mp4"}}, body));
        auto download = std::make_shared<Download>();
        auto weak = startDownload(requestFor(server->url("/video.mp4")), "/var/mobile/Tandrel/video.mp4", download);
        ASSERT_TRUE(runMainUntil([&] { return download->completed.load(); }, kWait)) << tls;
        EXPECT_TRUE(download->completionOnMain);
        EXPECT_FALSE(download->progressOffMain);
        EXPECT_EQ(readFile("/var/mobile/Tandrel/video.mp4"), body) << tls;
        ASSERT_FALSE(download->totals.empty());
        EXPECT_GT(download->chunks.size(), 1u) << "the body arrives in several chunks";
        EXPECT_EQ(download->totals.back(), static_cast<long long>(body.size()));
        std::uint64_t sum = 0;
        for (auto c : download->chunks) sum += c;
        EXPECT_EQ(sum, body.size());
        for (auto e : download->expected) EXPECT_EQ(e, static_cast<long long>(body.size()));
        // Nothing holds the operation once its work is done.
        EXPECT_TRUE(runMainUntil([&] { return weak.expired(); }, kWait)) << tls;
    }
}

TEST_F(OperationTest, NoLengthGivesMinusOneAsExpectedTotal) {
    LoopbackHTTPServer server;
    server.route("/c", LoopbackHTTPServer::chunked(200, {}, {"abc", "def"}));
    auto download = std::make_shared<Download>();
    startDownload(requestFor(server.url("/c")), "/var/mobile/Tandrel/c.bin", download);
    ASSERT_TRUE(runMainUntil([&] { return download->completed.load(); }, kWait));
    ASSERT_FALSE(download->expected.empty());
    for (auto e : download->expected) EXPECT_EQ(e, -1);
    EXPECT_EQ(readFile("/var/mobile/Tandrel/c.bin"), "abcdef");
}

TEST_F(OperationTest, FailuresEndFinishedWithTheirErrorAndTheCompletionBlock) {
    LoopbackHTTPServer server;
    server.route("/short", LoopbackHTTPServer::truncated(200, 1000, "partial"));
    server.route("/silent", LoopbackHTTPServer::silent());
    struct Case {
        const char* name;
        NSURLRequestPtr request;
        std::string domain;
        long code;
    };
    const Case cases[] = {
        {"dropped connection", requestFor(server.url("/short")), NSURLErrorDomain, NSURLErrorNetworkConnectionLost},
        {"time-out", requestFor(server.url("/silent"), 1), NSURLErrorDomain, NSURLErrorTimedOut},
    };
    for (const Case& c : cases) {
        auto operation = NKHTTPRequestOperation::initWithRequest(c.request);
        std::atomic<bool> completed{false};
        operation->setCompletionBlock([&] { completed = true; });
        operation->start();
        ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait)) << c.name;
        EXPECT_TRUE(operation->isFinished()) << c.name;
        ASSERT_TRUE(operation->error()) << c.name;
        EXPECT_EQ(operation->error()->domain(), c.domain) << c.name;
        EXPECT_EQ(operation->error()->code(), c.code) << c.name;
    }
}

TEST_F(OperationTest, RefusedCertificatesFailTheOperation) {
    struct Case {
        const char* name;
        std::string host;
        TestCertificateAuthority::Kind kind;
    };
    const Case cases[] = {
        {"expired", "localhost", TestCertificateAuthority::Kind::Expired},
        {"self-signed", "localhost", TestCertificateAuthority::Kind::SelfSigned},
        {"valid for another host", "other.example", TestCertificateAuthority::Kind::Valid},
    };
    for (const Case& c : cases) {
        LoopbackHTTPServer server(ca_.issue(c.host, c.kind));
        server.route("/s", LoopbackHTTPServer::fixed(200, {}, "secret"));
        auto download = std::make_shared<Download>();
        startDownload(requestFor(server.url("/s")), "/var/mobile/Tandrel/s.bin", download);
        ASSERT_TRUE(runMainUntil([&] { return download->completed.load(); }, kWait)) << c.name;
        EXPECT_EQ(server.requestCount(), 0u) << c.name;
        EXPECT_TRUE(download->chunks.empty()) << c.name;
    }
}

TEST_F(OperationTest, RefusedCertificateErrorIsTheCancelledChallenge) {
    LoopbackHTTPServer server(ca_.issue("other.example"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/s")));
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
    ASSERT_TRUE(operation->error());
    EXPECT_EQ(operation->error()->code(), NSURLErrorUserCancelledAuthentication);
}

TEST_F(OperationTest, AFullDiskFailsTheOperationWithTheStreamError) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    // The host's devices are not reached from the device, except by showing them there.
    DeviceRoot::mount("/var/mobile/Tandrel/full.bin", "/dev/full");
    // One chunk: the failed write is the last one, with no later chunk to notice it.
    for (std::size_t size : {std::size_t{100}, std::size_t{600 * 1024}}) {
        LoopbackHTTPServer server;
        server.route("/f", LoopbackHTTPServer::fixed(200, {}, bodyOfSize(size)));
        auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/f")));
        operation->setOutputStream(NSOutputStream::outputStreamToFileAtPath("/var/mobile/Tandrel/full.bin", false));
        std::atomic<bool> completed{false};
        operation->setCompletionBlock([&] { completed = true; });
        operation->start();
        ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait)) << size;
        ASSERT_TRUE(operation->error()) << size;
        EXPECT_EQ(operation->error()->domain(), NSPOSIXErrorDomain) << size;
        EXPECT_EQ(operation->error()->code(), ENOSPC) << size;
    }
    DeviceRoot::mount("/var/mobile/Tandrel/full.bin", "");
}

TEST_F(OperationTest, AFileThatCannotBeOpenedFailsTheOperation) {
    LoopbackHTTPServer server;
    server.route("/f", LoopbackHTTPServer::fixed(200, {}, "x"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/f")));
    operation->setOutputStream(NSOutputStream::outputStreamToFileAtPath("/no/such/folder/f.bin", false));
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
    ASSERT_TRUE(operation->error());
    EXPECT_EQ(operation->error()->code(), ENOENT);
}

TEST_F(OperationTest, CredentialsAnswerHTTPAuthenticationOnce) {
    LoopbackHTTPServer server;
    server.route("/private", [](LoopbackExchange& exchange) {
        if (exchange.request().header("Authorization") == "Basic dXNlcjpwYXNz") {  // user:pass
            LoopbackHTTPServer::fixed(200, {}, "welcome")(exchange);
        } else {
            LoopbackHTTPServer::fixed(401, {{"WWW-Authenticate", "Basic realm=\"vault\""}}, "who are you")(exchange);
        }
    });
    struct Case {
        const char* name;
        NSURLCredentialPtr credential;
        long status;
        std::string body;
        std::size_t requests;
    };
    const Case cases[] = {
        {"right credential", NSURLCredential::credentialWithUser("user", "pass", NSURLCredentialPersistenceNone), 200, "welcome", 2},
        // The second challenge has a failure behind it: the operation goes on without a credential.
        {"wrong credential", NSURLCredential::credentialWithUser("user", "nope", NSURLCredentialPersistenceNone), 401, "who are you", 2},
        {"no credential", nullptr, 401, "who are you", 1},
    };
    std::size_t before = 0;
    for (const Case& c : cases) {
        auto operation = NKURLConnectionOperation::initWithRequest(requestFor(server.url("/private")));
        operation->setCredential(c.credential);
        std::atomic<bool> completed{false};
        operation->setCompletionBlock([&] { completed = true; });
        operation->start();
        ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait)) << c.name;
        EXPECT_FALSE(operation->error()) << c.name;
        EXPECT_EQ(std::static_pointer_cast<NSHTTPURLResponse>(operation->response())->statusCode(), c.status) << c.name;
        EXPECT_EQ(operation->responseData()->stringView(), c.body) << c.name;
        EXPECT_EQ(server.requestCount() - before, c.requests) << c.name;
        before = server.requestCount();
    }
}

TEST_F(OperationTest, BlocksReplaceTheBuiltInAnswers) {
    LoopbackHTTPServer tlsServer(ca_.issue("localhost", TestCertificateAuthority::Kind::SelfSigned));
    tlsServer.route("/r", LoopbackHTTPServer::redirect(302, "/elsewhere"));
    auto operation = NKURLConnectionOperation::initWithRequest(requestFor(tlsServer.url("/r")));
    int challenges = 0;
    std::vector<long> redirects;
    operation->setWillSendRequestForAuthenticationChallengeBlock(
        [&](const NSURLConnectionPtr&, const NSURLAuthenticationChallengePtr& challenge) {
            ++challenges;
            challenge->sender()->useCredentialForAuthenticationChallenge(
                NSURLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust()), challenge);
        });
    operation->setRedirectResponseBlock(
        [&](const NSURLConnectionPtr&, const NSURLRequestPtr& request, const NSURLResponsePtr& redirect) -> NSURLRequestPtr {
            if (!redirect) return request;
            redirects.push_back(std::static_pointer_cast<NSHTTPURLResponse>(redirect)->statusCode());
            return nullptr;
        });
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
    EXPECT_FALSE(operation->error());
    EXPECT_EQ(challenges, 1);
    EXPECT_EQ(redirects, (std::vector<long>{302}));
    EXPECT_EQ(std::static_pointer_cast<NSHTTPURLResponse>(operation->response())->statusCode(), 302);
    EXPECT_EQ(tlsServer.requestCount(), 1u);
}

TEST_F(OperationTest, UploadProgressFromTheBodyStream) {
    LoopbackHTTPServer server;
    server.route("/up", LoopbackHTTPServer::fixed(201, {}, ""));
    auto request = requestFor(server.url("/up"));
    request->setHTTPMethod("POST");
    auto operation = NKURLConnectionOperation::initWithRequest(request);
    const std::string body = bodyOfSize(200 * 1024);
    operation->setInputStream(NSInputStream::inputStreamWithData(NSData::dataWithString(body)));
    EXPECT_TRUE(operation->inputStream());
    long long lastTotal = 0;
    bool offMain = false;
    operation->setUploadProgressBlock([&](long long, long long total, long long) {
        offMain |= !NSThread::isMainThread();
        lastTotal = total;
    });
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
    drainMain();
    EXPECT_FALSE(operation->error());
    EXPECT_FALSE(offMain);
    EXPECT_EQ(lastTotal, static_cast<long long>(body.size()));
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0].body, body);
}

TEST_F(OperationTest, RedirectsAreFollowedIntoTheFile) {
    LoopbackHTTPServer server;
    server.route("/old", LoopbackHTTPServer::redirect(302, "/new"));
    server.route("/new", LoopbackHTTPServer::fixed(200, {}, "moved body"));
    auto download = std::make_shared<Download>();
    startDownload(requestFor(server.url("/old")), "/var/mobile/Tandrel/r.bin", download);
    ASSERT_TRUE(runMainUntil([&] { return download->completed.load(); }, kWait));
    EXPECT_EQ(readFile("/var/mobile/Tandrel/r.bin"), "moved body");
}

TEST_F(OperationTest, PauseAndResumeContinueWhereTheFileStopped) {
    const std::string body = bodyOfSize(3000);
    for (bool honourRange : {true, false}) {
        LoopbackHTTPServer server;
        auto gate = std::make_shared<LoopbackGate>();
        server.route("/v", LoopbackHTTPServer::rangeResource(body, "\"v1\"", honourRange, 1000, gate));
        auto download = std::make_shared<Download>();
        auto weak = startDownload(requestFor(server.url("/v")), "/var/mobile/Tandrel/v.bin", download);
        auto operation = weak.lock();
        ASSERT_TRUE(runMainUntil([&] { return operation->totalBytesRead() == 1000; }, kWait));
        operation->pause();
        EXPECT_TRUE(operation->isPaused());
        EXPECT_FALSE(operation->isExecuting());
        EXPECT_FALSE(operation->isFinished());
        EXPECT_EQ(operation->request()->valueForHTTPHeaderField("Range"), "bytes=1000-");
        EXPECT_EQ(operation->request()->valueForHTTPHeaderField("If-Range"), "\"v1\"");
        gate->cancel();
        server.route("/v", LoopbackHTTPServer::rangeResource(body, "\"v1\"", honourRange));
        operation->resume();
        ASSERT_TRUE(runMainUntil([&] { return download->completed.load(); }, kWait)) << honourRange;
        EXPECT_FALSE(operation->error());
        auto requests = server.requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].header("Range"), "bytes=1000-");
        // Answered with 206 the rest is appended; answered with the whole body (200) the file
        // starts again instead of holding the first part twice.
        EXPECT_EQ(readFile("/var/mobile/Tandrel/v.bin"), body) << honourRange;
        EXPECT_EQ(operation->totalBytesRead(), honourRange ? 3000 : 3000);
    }
}

TEST_F(OperationTest, AResponseOfThePausedConnectionLeavesTheFileAsItIs) {
    const std::string body = bodyOfSize(3000);
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/v", LoopbackHTTPServer::rangeResource(body, "\"v1\"", true, 1000, gate));
    auto download = std::make_shared<Download>();
    auto operation = startDownload(requestFor(server.url("/v")), "/var/mobile/Tandrel/v.bin", download).lock();
    ASSERT_TRUE(runMainUntil([&] { return operation->totalBytesRead() == 1000; }, kWait));
    operation->pause();
    ASSERT_EQ(operation->request()->valueForHTTPHeaderField("Range"), "bytes=1000-");
    gate->cancel();
    // What the given-up connection may still report before the network thread cancels it: a
    // whole-body answer must not make the paused download start its file again.
    auto late = std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString(server.url("/v")), 200, "HTTP/1.1", NSHTTPHeaderFields{});
    operation->connectionDidReceiveResponse(operation->connection(), late);
    EXPECT_EQ(operation->outputStream()->fileCurrentOffset(), 1000);
    server.route("/v", LoopbackHTTPServer::rangeResource(body, "\"v1\"", true));
    operation->resume();
    ASSERT_TRUE(runMainUntil([&] { return download->completed.load(); }, kWait));
    EXPECT_FALSE(operation->error());
    EXPECT_EQ(readFile("/var/mobile/Tandrel/v.bin"), body);
    EXPECT_EQ(operation->totalBytesRead(), 3000);
}

TEST_F(OperationTest, CancelDuringTheTransfer) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/v", LoopbackHTTPServer::gated(200, {}, bodyOfSize(3000), 1000, gate));
    auto download = std::make_shared<Download>();
    auto operation = startDownload(requestFor(server.url("/v")), "/var/mobile/Tandrel/v.bin", download).lock();
    ASSERT_TRUE(runMainUntil([&] { return operation->totalBytesRead() == 1000; }, kWait));
    operation->cancel();
    ASSERT_TRUE(runMainUntil([&] { return download->completed.load(); }, kWait));
    gate->cancel();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_TRUE(operation->isCancelled());
    ASSERT_TRUE(operation->error());
    EXPECT_EQ(operation->error()->code(), NSURLErrorCancelled);
    EXPECT_EQ(operation->error()->userInfoValue(NSURLErrorFailingURLErrorKey).objectAs<NSURL>()->absoluteString(), server.url("/v"));
}

TEST_F(OperationTest, CancelBeforeStartFinishesWithoutAConnection) {
    LoopbackHTTPServer server;
    auto operation = NKURLConnectionOperation::initWithRequest(requestFor(server.url("/x")));
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->cancel();
    EXPECT_FALSE(operation->isFinished());
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
    EXPECT_TRUE(operation->isFinished());
    EXPECT_EQ(operation->error()->code(), NSURLErrorCancelled);
    EXPECT_EQ(server.requestCount(), 0u);
}

// Records the operation notifications of one operation, as the main thread sees them.
class NotificationRecorder {
public:
    explicit NotificationRecorder(const std::shared_ptr<NSObject>& operation) {
        for (const std::string& name : {NKNetworkingOperationDidStartNotification, NKNetworkingOperationDidFinishNotification}) {
            tokens_.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(
                name, operation, nullptr, [this](const std::shared_ptr<NSNotification>& notification) {
                    names.push_back(notification->name() == NKNetworkingOperationDidStartNotification ? "start" : "finish");
                    onMain &= NSThread::isMainThread();
                }));
        }
    }
    ~NotificationRecorder() {
        for (auto& token : tokens_) NSNotificationCenter::defaultCenter()->removeObserver(token);
    }
    std::vector<std::string> names;
    bool onMain = true;

private:
    std::vector<std::shared_ptr<NSObject>> tokens_;
};

TEST_F(OperationTest, StartAndFinishAreAnnouncedOnTheMainThread) {
    LoopbackHTTPServer server;
    server.route("/x", LoopbackHTTPServer::fixed(200, {}, "x"));
    auto operation = NKURLConnectionOperation::initWithRequest(requestFor(server.url("/x")));
    NotificationRecorder recorder(operation);
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return recorder.names.size() == 2; }, kWait));
    EXPECT_EQ(recorder.names, (std::vector<std::string>{"start", "finish"}));
    EXPECT_TRUE(recorder.onMain);

    auto cancelled = NKURLConnectionOperation::initWithRequest(requestFor(server.url("/x")));
    NotificationRecorder cancelledRecorder(cancelled);
    cancelled->cancel();
    cancelled->start();
    ASSERT_TRUE(runMainUntil([&] { return !cancelledRecorder.names.empty(); }, kWait));
    drainMain();
    EXPECT_EQ(cancelledRecorder.names, (std::vector<std::string>{"finish"})) << "never started";
}

TEST_F(OperationTest, PausingAnExecutingOperationAnnouncesAFinish) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/v", LoopbackHTTPServer::gated(200, {}, bodyOfSize(2000), 1000, gate));
    auto operation = NKURLConnectionOperation::initWithRequest(requestFor(server.url("/v")));
    NotificationRecorder recorder(operation);
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return operation->totalBytesRead() == 1000; }, kWait));
    operation->pause();
    ASSERT_TRUE(runMainUntil([&] { return recorder.names.size() == 2; }, kWait));
    EXPECT_EQ(recorder.names, (std::vector<std::string>{"start", "finish"}));
    EXPECT_TRUE(operation->isPaused());
    gate->cancel();
}

TEST_F(OperationTest, PausedOperationsAndCancellation) {
    LoopbackHTTPServer server;
    server.route("/x", LoopbackHTTPServer::fixed(200, {}, "x"));
    auto operation = NKURLConnectionOperation::initWithRequest(requestFor(server.url("/x")));
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->pause();
    EXPECT_TRUE(operation->isPaused());
    operation->cancel();
    EXPECT_TRUE(operation->isPaused()) << "a paused operation is only marked";
    operation->resume();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
    EXPECT_EQ(operation->error()->code(), NSURLErrorCancelled);
}

TEST_F(OperationTest, StateChangesAreAnnouncedInOrderAndIllegalOnesIgnored) {
    auto operation = NKURLConnectionOperation::initWithRequest(requestFor("http://127.0.0.1:9/"));
    std::vector<std::string> notices;
    for (const char* key : {"isReady", "isExecuting", "isFinished", "isPaused"}) {
        operation->addObserverForKeyPath(
            key, [&](const std::string& k, bool prior) { notices.push_back((prior ? "will " : "did ") + k); }, true);
    }
    operation->setState(NKOperationFinishedState);  // not cancelled: illegal from ready
    operation->setState(NKOperationReadyState);     // the current state
    EXPECT_TRUE(notices.empty());
    operation->setState(NKOperationExecutingState);
    EXPECT_EQ(notices, (std::vector<std::string>{"will isExecuting", "will isReady", "did isReady", "did isExecuting"}));
    notices.clear();
    operation->start();  // executing is not ready: nothing happens
    EXPECT_TRUE(notices.empty());
    operation->setState(NKOperationFinishedState);
    EXPECT_EQ(notices, (std::vector<std::string>{"will isFinished", "will isExecuting", "did isExecuting", "did isFinished"}));
    notices.clear();
    operation->setState(NKOperationPausedState);
    EXPECT_TRUE(notices.empty()) << "finished is final";
}

TEST_F(OperationTest, DescriptionShowsStateAndCancellation) {
    auto operation = NKURLConnectionOperation::initWithRequest(requestFor("http://127.0.0.1:9/d"));
    operation->setState(NKOperationExecutingState);
    operation->NSOperation::cancel();
    std::string text = operation->description();
    EXPECT_NE(text.find("<NKURLConnectionOperation: 0x"), std::string::npos) << text;
    EXPECT_NE(text.find(", state: isExecuting, cancelled: YES request: <NSURLRequest"), std::string::npos) << text;
    EXPECT_NE(text.find("response: (null)>"), std::string::npos) << text;
}

TEST_F(OperationTest, WithoutAnOutputStreamTheBodyIsKeptInMemory) {
    LoopbackHTTPServer server;
    server.route("/m", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/plain; charset=iso-8859-1"}}, "caf\xe9"));
    auto operation = NKURLConnectionOperation::initWithRequest(requestFor(server.url("/m")));
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
    ASSERT_TRUE(operation->responseData());
    EXPECT_EQ(operation->responseData()->stringView(), "caf\xe9");
    EXPECT_EQ(operation->responseStringEncoding(), NSISOLatin1StringEncoding);
    EXPECT_EQ(operation->responseString(), "caf\xc3\xa9");
}

TEST_F(OperationTest, OperationsRunOnAQueueAndInBatches) {
    LoopbackHTTPServer server;
    server.route("/1", LoopbackHTTPServer::fixed(200, {}, "one"));
    server.route("/2", LoopbackHTTPServer::fixed(200, {}, "two"));
    std::vector<NKURLConnectionOperationPtr> operations = {NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/1"))),
                                                           NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/2")))};
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    std::atomic<bool> done{false};
    std::size_t finishedAtEnd = 0;
    auto batch = NKURLConnectionOperation::batchOfRequestOperations(
        operations, [&](std::size_t finished, std::size_t total) { progress.emplace_back(finished, total); },
        [&](const std::vector<NKURLConnectionOperationPtr>& list) {
            for (const auto& op : list) finishedAtEnd += op->isFinished() ? 1 : 0;
            done = true;
        });
    ASSERT_EQ(batch.size(), 3u);
    auto queue = std::make_shared<NSOperationQueue>();
    queue->addOperations(batch, false);
    ASSERT_TRUE(runMainUntil([&] { return done.load(); }, kWait));
    EXPECT_EQ(finishedAtEnd, 2u);
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress.back(), (std::pair<std::size_t, std::size_t>{2, 2}));
    EXPECT_EQ(operations[0]->responseData()->stringView(), "one");
}

} // namespace
