#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLSession.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/TestCertificates.h"
#include "platform/testsupport/LoopbackRequests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <condition_variable>
#include <mutex>

namespace {
using namespace loopback_requests;

constexpr auto kWaitFor = std::chrono::seconds(10);

// Records the delegate calls as text, in order, and answers as configured.
class Recorder : public NSURLSessionDelegate {
public:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    std::string body;
    std::map<unsigned long, NSErrorPtr> errors;
    std::string downloaded;  // the file's contents when the download finished
    std::string location;
    int completed = 0;
    bool invalid = false;
    bool sessionChallenges = false;
    bool followRedirects = true;
    NSURLSessionResponseDisposition disposition = NSURLSessionResponseAllow;
    NSURLSessionAuthChallengeDisposition trustAnswer = NSURLSessionAuthChallengePerformDefaultHandling;
    bool acceptTrust = false;  // answer with a trust credential

    bool respondsToSelector(std::string_view selector) const override {
        return selector != NSURLSessionSelector::DidReceiveChallenge || sessionChallenges;
    }
    void note(const std::string& event) {
        std::lock_guard guard(mutex);
        events.push_back(event);
        changed.notify_all();
    }
    bool waitFor(const std::function<bool()>& done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kWaitFor, done);
    }
    bool waitForCompletions(int count) { return waitFor([&] { return completed >= count; }); }

    void answerChallenge(const NSURLAuthenticationChallengePtr& challenge, const ChallengeHandler& handler) {
        auto trust = challenge->protectionSpace()->serverTrust();
        handler(trustAnswer, acceptTrust ? NSURLCredential::credentialForTrust(trust) : nullptr);
    }
    void URLSessionDidReceiveChallenge(const NSURLSessionPtr&, const NSURLAuthenticationChallengePtr& challenge, ChallengeHandler handler) override {
        note("session challenge");
        answerChallenge(challenge, handler);
    }
    void URLSessionTaskDidReceiveChallenge(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSURLAuthenticationChallengePtr& challenge,
                                           ChallengeHandler handler) override {
        note("task challenge");
        answerChallenge(challenge, handler);
    }
    void URLSessionTaskWillPerformHTTPRedirection(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const std::shared_ptr<NSHTTPURLResponse>& response,
                                                  const NSURLRequestPtr& request, RedirectHandler handler) override {
        note("redirect " + std::to_string(response->statusCode()) + " " + request->URL()->path());
        handler(followRedirects ? request : nullptr);
    }
    void URLSessionDataTaskDidReceiveResponse(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSURLResponsePtr& response,
                                              ResponseHandler handler) override {
        note("response " + std::to_string(std::static_pointer_cast<NSHTTPURLResponse>(response)->statusCode()));
        handler(disposition);
    }
    void URLSessionDataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSDataPtr& data) override {
        std::lock_guard guard(mutex);
        if (events.empty() || events.back() != "data") events.push_back("data");
        body += std::string(data->stringView());
        changed.notify_all();
    }
    void URLSessionTaskNeedNewBodyStream(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, BodyStreamHandler handler) override {
        note("stream");
        handler(NSInputStream::inputStreamWithData(NSData::dataWithString("streamed")));
    }
    void URLSessionDidFinishEventsForBackgroundURLSession(const NSURLSessionPtr&) override { note("background done"); }
    void URLSessionDataTaskDidBecomeDownloadTask(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr& data,
                                                 const NSURLSessionDownloadTaskPtr& download) override {
        note("became download " + std::to_string(download->taskIdentifier() - data->taskIdentifier()));
    }
    void URLSessionTaskDidSendBodyData(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, long long, long long total, long long expected) override {
        note("sent " + std::to_string(total) + "/" + std::to_string(expected));
    }
    void URLSessionDownloadTaskDidWriteData(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long, long long, long long) override {
        std::lock_guard guard(mutex);
        if (events.empty() || events.back() != "write") events.push_back("write");
        changed.notify_all();
    }
    void URLSessionDownloadTaskDidResumeAtOffset(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, long long offset,
                                                 long long expected) override {
        note("resume " + std::to_string(offset) + "/" + std::to_string(expected));
    }
    void URLSessionDownloadTaskDidFinishDownloadingToURL(const NSURLSessionPtr&, const NSURLSessionDownloadTaskPtr&, const NSURLPtr& url) override {
        auto data = NSData::dataWithContentsOfFile(url->path());
        std::lock_guard guard(mutex);
        events.push_back("finished");
        location = url->path();
        downloaded = data ? std::string(data->stringView()) : "<unreadable>";
    }
    void URLSessionTaskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr& task, const NSErrorPtr& error) override {
        std::lock_guard guard(mutex);
        events.push_back(error ? "complete " + std::to_string(error->code()) : "complete");
        errors[task->taskIdentifier()] = error;
        ++completed;
        changed.notify_all();
    }
    void URLSessionDidBecomeInvalidWithError(const NSURLSessionPtr&, const NSErrorPtr&) override {
        std::lock_guard guard(mutex);
        events.push_back("invalid");
        invalid = true;
        changed.notify_all();
    }
};

class NSURLSessionTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        SecTrustSetAdditionalSystemAnchorsForTesting({SecCertificateCreateWithData(std::make_shared<NSData>(ca_.rootDER()))});
    }
    void TearDown() override {
        if (session_) session_->invalidateAndCancel();
        if (session_) recorder_->waitFor([&] { return recorder_->invalid; });
        SecTrustSetAdditionalSystemAnchorsForTesting({});
        DeviceTest::TearDown();
    }
    NSURLSessionPtr makeSession() {
        session_ = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::defaultSessionConfiguration(), recorder_, nullptr);
        return session_;
    }
    std::vector<std::string> events() {
        std::lock_guard guard(recorder_->mutex);
        return recorder_->events;
    }

    TestCertificateAuthority ca_;
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
    NSURLSessionPtr session_;
};

using Events = std::vector<std::string>;

TEST_F(NSURLSessionTest, DataTaskStartsSuspendedAndReportsInOrder) {
    LoopbackHTTPServer server;
    server.route("/hello", LoopbackHTTPServer::fixed(200, {{"Content-Type", "text/plain"}}, "hello"));
    auto session = makeSession();
    auto first = session->dataTaskWithRequest(requestFor(server.url("/hello")));
    auto second = session->dataTaskWithRequest(requestFor(server.url("/hello")));
    EXPECT_EQ(first->state(), NSURLSessionTaskStateSuspended);
    EXPECT_EQ(second->taskIdentifier(), first->taskIdentifier() + 1);
    EXPECT_EQ(server.requestCount(), 0u);
    first->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(1));
    EXPECT_EQ(events(), (Events{"response 200", "data", "complete"}));
    EXPECT_EQ(recorder_->body, "hello");
    EXPECT_EQ(first->state(), NSURLSessionTaskStateCompleted);
    EXPECT_EQ(std::static_pointer_cast<NSHTTPURLResponse>(first->response())->statusCode(), 200);
    EXPECT_EQ(first->countOfBytesReceived(), 5);
}

TEST_F(NSURLSessionTest, RedirectsAreFollowedOrDeliveredAsTheDelegateSays) {
    for (bool follow : {true, false}) {
        SCOPED_TRACE(follow);
        recorder_ = std::make_shared<Recorder>();
        recorder_->followRedirects = follow;
        LoopbackHTTPServer server;
        server.route("/old", LoopbackHTTPServer::redirect(302, "/new"));
        server.route("/new", LoopbackHTTPServer::fixed(200, {}, "moved"));
        auto session = makeSession();
        session->dataTaskWithRequest(requestFor(server.url("/old")))->resume();
        ASSERT_TRUE(recorder_->waitForCompletions(1));
        if (follow) {
            EXPECT_EQ(events(), (Events{"redirect 302 /new", "response 200", "data", "complete"}));
        } else {
            EXPECT_EQ(events().at(1), "response 302");
        }
        session_->invalidateAndCancel();
        ASSERT_TRUE(recorder_->waitFor([&] { return recorder_->invalid; }));
        session_.reset();
    }
}

TEST_F(NSURLSessionTest, ResponseDispositionCancelEndsTheTaskAsCancelled) {
    LoopbackHTTPServer server;
    server.route("/r", LoopbackHTTPServer::fixed(200, {}, "body"));
    recorder_->disposition = NSURLSessionResponseCancel;
    auto task = makeSession()->dataTaskWithRequest(requestFor(server.url("/r")));
    task->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(1));
    EXPECT_EQ(events(), (Events{"response 200", "complete -999"}));
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST_F(NSURLSessionTest, ADataTaskBecomesADownload) {
    LoopbackHTTPServer server;
    server.route("/r", LoopbackHTTPServer::fixed(200, {}, "to a file"));
    recorder_->disposition = NSURLSessionResponseBecomeDownload;
    auto task = makeSession()->dataTaskWithRequest(requestFor(server.url("/r")));
    task->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(1));
    EXPECT_EQ(events(), (Events{"response 200", "became download 1", "write", "finished", "complete"}));
    EXPECT_EQ(recorder_->downloaded, "to a file");
    EXPECT_EQ(task->state(), NSURLSessionTaskStateCompleted);
}

TEST_F(NSURLSessionTest, ServerTrustIsChallengedAtSessionOrTaskLevel) {
    struct Case {
        const char* name;
        TestCertificateAuthority::Kind kind;
        bool sessionLevel;
        NSURLSessionAuthChallengeDisposition answer;
        bool credential;
        long error;
    } cases[] = {
        {"task level, default, trusted", TestCertificateAuthority::Kind::Valid, false, NSURLSessionAuthChallengePerformDefaultHandling, false, 0},
        {"session level, default, trusted", TestCertificateAuthority::Kind::Valid, true, NSURLSessionAuthChallengePerformDefaultHandling, false, 0},
        {"default, self-signed", TestCertificateAuthority::Kind::SelfSigned, false, NSURLSessionAuthChallengePerformDefaultHandling, false,
         NSURLErrorServerCertificateUntrusted},
        {"credential for self-signed", TestCertificateAuthority::Kind::SelfSigned, true, NSURLSessionAuthChallengeUseCredential, true, 0},
        {"cancelled", TestCertificateAuthority::Kind::Valid, false, NSURLSessionAuthChallengeCancelAuthenticationChallenge, false,
         NSURLErrorCancelled},
        {"rejected space, trusted", TestCertificateAuthority::Kind::Valid, true, NSURLSessionAuthChallengeRejectProtectionSpace, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder_ = std::make_shared<Recorder>();
        recorder_->sessionChallenges = c.sessionLevel;
        recorder_->trustAnswer = c.answer;
        recorder_->acceptTrust = c.credential;
        LoopbackHTTPServer server(ca_.issue("localhost", c.kind));
        server.route("/s", LoopbackHTTPServer::fixed(200, {}, "secret"));
        auto session = makeSession();
        // Two requests on one kept-alive connection: each is challenged.
        auto task = session->dataTaskWithRequest(requestFor(server.url("/s")));
        task->resume();
        ASSERT_TRUE(recorder_->waitForCompletions(1));
        auto again = session->dataTaskWithRequest(requestFor(server.url("/s")));
        again->resume();
        ASSERT_TRUE(recorder_->waitForCompletions(2));
        auto error = recorder_->errors[task->taskIdentifier()];
        EXPECT_EQ(error ? error->code() : 0, c.error);
        auto all = events();
        std::string level = c.sessionLevel ? "session challenge" : "task challenge";
        EXPECT_EQ(std::count(all.begin(), all.end(), level), 2);
        if (c.error == 0) {
            EXPECT_EQ(server.connectionCount(), 1);
        }
        session_->invalidateAndCancel();
        ASSERT_TRUE(recorder_->waitFor([&] { return recorder_->invalid; }));
        session_.reset();
    }
}

TEST_F(NSURLSessionTest, SuspendHoldsTheTransferAndStatesAreObservable) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/slow", LoopbackHTTPServer::gated(200, {}, std::string(300000, 'x'), 100000, gate));
    auto task = makeSession()->dataTaskWithRequest(requestFor(server.url("/slow")));
    std::mutex mutex;
    std::vector<long> states;
    auto token = task->addObserverForKeyPath("state", [&](const std::string&, bool) {
        std::lock_guard guard(mutex);
        states.push_back(task->state());
    });
    task->resume();
    ASSERT_TRUE(recorder_->waitFor([&] { return !recorder_->body.empty(); }));
    task->suspend();
    gate->release(2);
    task->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(1));
    EXPECT_EQ(recorder_->body.size(), 300000u);
    task->cancel();  // a completed task stays completed
    task->removeObserver(token);
    EXPECT_EQ(states, (std::vector<long>{0, 1, 0, 3}));
}

TEST_F(NSURLSessionTest, CancelEndsARunningTaskWithMinus999) {
    LoopbackHTTPServer server;
    server.route("/silent", LoopbackHTTPServer::silent());
    auto task = makeSession()->dataTaskWithRequest(requestFor(server.url("/silent")));
    std::vector<long> states;
    auto token = task->addObserverForKeyPath("state", [&](const std::string&, bool) { states.push_back(task->state()); });
    task->resume();
    task->cancel();
    ASSERT_TRUE(recorder_->waitForCompletions(1));
    task->removeObserver(token);
    EXPECT_EQ(events(), (Events{"complete -999"}));
    EXPECT_EQ(task->error()->code(), NSURLErrorCancelled);
    EXPECT_EQ(states, (std::vector<long>{0, 2, 3}));
}

TEST_F(NSURLSessionTest, UploadFromDataSendsTheBodyAndReportsProgress) {
    LoopbackHTTPServer server;
    server.route("/up", LoopbackHTTPServer::fixed(201, {}, "ok"));
    auto request = requestFor(server.url("/up"));
    request->setHTTPMethod("POST");
    auto task = makeSession()->uploadTaskWithRequestFromData(request, NSData::dataWithString("payload"));
    EXPECT_EQ(task->countOfBytesExpectedToSend(), 7);
    auto streamed = session_->uploadTaskWithStreamedRequest(request);
    EXPECT_EQ(streamed->countOfBytesExpectedToSend(), NSURLSessionTransferSizeUnknown);
    task->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(1));
    EXPECT_EQ(server.requests().at(0).body, "payload");
    EXPECT_EQ(events().front(), "sent 7/7");
}

TEST_F(NSURLSessionTest, UploadsFromAFileAndFromAStreamAskedAtEveryStart) {
    LoopbackHTTPServer server;
    server.route("/up", LoopbackHTTPServer::fixed(200, {}, "ok"));
    server.route("/again", LoopbackHTTPServer::redirect(307, "/up"));
    writeFile("/var/mobile/Documents/body.txt", "from a file");
    auto request = requestFor(server.url("/up"));
    request->setHTTPMethod("PUT");
    auto session = makeSession();
    auto fromFile = session->uploadTaskWithRequestFromFile(request, NSURL::fileURLWithPath("/var/mobile/Documents/body.txt"));
    fromFile->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(1));
    EXPECT_EQ(server.requests().at(0).body, "from a file");
    EXPECT_EQ(fromFile->countOfBytesExpectedToSend(), 11);

    auto missing = session->uploadTaskWithRequestFromFile(request, NSURL::fileURLWithPath("/var/mobile/Documents/none.txt"));
    missing->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(2));
    EXPECT_EQ(missing->error()->code(), NSURLErrorFileDoesNotExist);

    auto streamedRequest = requestFor(server.url("/again"));
    streamedRequest->setHTTPMethod("POST");
    {
        std::lock_guard guard(recorder_->mutex);
        recorder_->events.clear();
    }
    session->uploadTaskWithStreamedRequest(streamedRequest)->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(3));
    auto all = events();
    EXPECT_EQ(std::count(all.begin(), all.end(), "stream"), 2);  // the start and the resend after 307
    EXPECT_EQ(server.requests().back().body, "streamed");
}

TEST_F(NSURLSessionTest, ABackgroundSessionTellsWhenItsLastTaskEndsInTheBackground) {
    LoopbackHTTPServer server;
    server.route("/ok", LoopbackHTTPServer::fixed(200, {}, "ok"));
    session_ = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::backgroundSessionConfiguration("sync"), recorder_, nullptr);
    NSURLSession::setApplicationInBackground(true);
    session_->dataTaskWithRequest(requestFor(server.url("/ok")))->resume();
    ASSERT_TRUE(recorder_->waitFor([&] { return !recorder_->events.empty() && recorder_->events.back() == "background done"; }));
    NSURLSession::setApplicationInBackground(false);
    EXPECT_EQ(events(), (Events{"response 200", "data", "complete", "background done"}));
}

TEST_F(NSURLSessionTest, DownloadGoesToATemporaryFileThatIsDeletedAfterwards) {
    LoopbackHTTPServer server;
    server.route("/file", LoopbackHTTPServer::fixed(200, {}, "file contents"));
    makeSession()->downloadTaskWithRequest(requestFor(server.url("/file")))->resume();
    ASSERT_TRUE(recorder_->waitForCompletions(1));
    EXPECT_EQ(events(), (Events{"write", "finished", "complete"}));
    EXPECT_EQ(recorder_->downloaded, "file contents");
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(recorder_->location));
}

TEST_F(NSURLSessionTest, ResumeDataResumesWithRangeAndIfRange) {
    std::string body(200000, 'a');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
    for (bool honour : {true, false}) {
        SCOPED_TRACE(honour);
        recorder_ = std::make_shared<Recorder>();
        LoopbackHTTPServer server;
        auto gate = std::make_shared<LoopbackGate>();
        server.route("/big", LoopbackHTTPServer::rangeResource(body, "\"v1\"", honour, 50000, gate));
        auto session = makeSession();
        auto task = session->downloadTaskWithRequest(requestFor(server.url("/big")));
        task->resume();
        ASSERT_TRUE(recorder_->waitFor([&] { return !recorder_->events.empty(); }));
        std::mutex mutex;
        std::condition_variable given;
        NSDataPtr resumeData;
        bool answered = false;
        task->cancelByProducingResumeData([&](const NSDataPtr& data) {
            std::lock_guard guard(mutex);
            resumeData = data;
            answered = true;
            given.notify_all();
        });
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(given.wait_for(lock, kWaitFor, [&] { return answered; }));
        }
        ASSERT_TRUE(resumeData);
        ASSERT_TRUE(recorder_->waitForCompletions(1));
        gate->release(10);
        auto resumed = session->downloadTaskWithResumeData(resumeData);
        resumed->resume();
        ASSERT_TRUE(recorder_->waitForCompletions(2));
        auto last = server.requests().back();
        // The offset is what had been written when the task was cancelled: up to the first piece.
        std::string range = last.header("Range").value_or("");
        ASSERT_EQ(range.rfind("bytes=", 0), 0u);
        long long offset = std::atoll(range.c_str() + 6);
        EXPECT_GT(offset, 0);
        EXPECT_LE(offset, 50000);
        EXPECT_EQ(range, "bytes=" + std::to_string(offset) + "-");
        EXPECT_EQ(last.header("If-Range").value_or(""), "\"v1\"");
        auto all = events();
        std::string resumeEvent = "resume " + std::to_string(honour ? offset : 0) + "/200000";
        EXPECT_NE(std::find(all.begin(), all.end(), resumeEvent), all.end());
        EXPECT_EQ(recorder_->downloaded, body);
        EXPECT_EQ(resumed->error(), nullptr);
        session_->invalidateAndCancel();
        ASSERT_TRUE(recorder_->waitFor([&] { return recorder_->invalid; }));
        session_.reset();
    }
}

TEST_F(NSURLSessionTest, InvalidationFinishesOrCancelsTheTasks) {
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        recorder_ = std::make_shared<Recorder>();
        LoopbackHTTPServer server;
        auto gate = std::make_shared<LoopbackGate>();
        server.route("/slow", LoopbackHTTPServer::gated(200, {}, "ab", 1, gate));
        auto session = makeSession();
        session->dataTaskWithRequest(requestFor(server.url("/slow")))->resume();
        ASSERT_TRUE(recorder_->waitFor([&] { return !recorder_->body.empty(); }));
        if (cancel) {
            session->invalidateAndCancel();
        } else {
            session->finishTasksAndInvalidate();
            gate->release();
        }
        EXPECT_EQ(session->dataTaskWithURL(NSURL::URLWithString(server.url("/slow"))), nullptr);
        ASSERT_TRUE(recorder_->waitFor([&] { return recorder_->invalid; }));
        EXPECT_EQ(events(), (Events{"response 200", "data", cancel ? "complete -999" : "complete", "invalid"}));
        EXPECT_EQ(session->delegate(), nullptr);
        gate->cancel();
        session_.reset();
    }
}

TEST_F(NSURLSessionTest, TasksAreListedOnTheDelegateQueue) {
    auto session = makeSession();
    auto data = session->dataTaskWithURL(NSURL::URLWithString("http://127.0.0.1:9/"));
    auto download = session->downloadTaskWithURL(NSURL::URLWithString("http://127.0.0.1:9/"));
    std::mutex mutex;
    std::condition_variable given;
    std::size_t counts[3] = {9, 9, 9};
    bool answered = false;
    session->getTasksWithCompletionHandler([&](const auto& d, const auto& u, const auto& l) {
        std::lock_guard guard(mutex);
        counts[0] = d.size();
        counts[1] = u.size();
        counts[2] = l.size();
        answered = true;
        given.notify_all();
    });
    std::unique_lock lock(mutex);
    ASSERT_TRUE(given.wait_for(lock, kWaitFor, [&] { return answered; }));
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[1], 0u);
    EXPECT_EQ(counts[2], 1u);
}

TEST_F(NSURLSessionTest, BackgroundConfigurationArchives) {
    auto configuration = NSURLSessionConfiguration::backgroundSessionConfiguration("com.example.sync");
    auto data = NSKeyedArchiver::archivedDataWithRootObject(Value(configuration));
    auto decoded = NSDynamicCast<NSURLSessionConfiguration>(NSKeyedUnarchiver::unarchiveObjectWithData(*data).object());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->identifier(), "com.example.sync");
    EXPECT_TRUE(decoded->isBackground());
    EXPECT_TRUE(decoded->isEqual(configuration.get()));
}

// A disk with this much room left for any one file (none of it taken when 0): writes past it fail
// as on a full disk, for as long as the object lives.
class DiskRoom {
public:
    explicit DiskRoom(rlim_t bytes) : set_(bytes > 0) {
        if (!set_) return;
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskRoom() {
        if (!set_) return;
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, previousHandler_);
    }
    DiskRoom(const DiskRoom&) = delete;
    DiskRoom& operator=(const DiskRoom&) = delete;

private:
    bool set_;
    rlimit saved_{};
    sighandler_t previousHandler_ = SIG_DFL;
};

} // namespace

// A partial answer is the answer only when it is the range asked for, with a body of its length:
// a session's data and download tasks and a gathering load fail any other with -1011, and no
// download file reaches the delegate. Whatever fails, and wherever (the head, the body as it
// comes, the end, the download's file), each task completes, once, with its error.
TEST_F(NSURLSessionTest, OnlyThePartAskedForIsTheAnswer) {
    struct Case {
        const char* name;
        std::string range;  // the request's "Range" ("" for a plain GET)
        LoopbackHTTPServer::Handler answer;
        bool succeeds;
        long code = NSURLErrorBadServerResponse;
        // The disk fills after this many bytes of a file (0: it does not); the tasks that keep
        // their body in memory then succeed.
        rlim_t diskRoom = 0;
    };
    const std::string part(100, 'p');
    auto partial = [](std::string contentRange, std::string body) {
        return LoopbackHTTPServer::fixed(206, {{"Content-Range", std::move(contentRange)}}, std::move(body));
    };
    const Case cases[] = {
        {"honest", "bytes=100-199", partial("bytes 100-199/1000", part), true},
        {"unasked", "", partial("bytes 0-99/1000", part), false},
        {"another part", "bytes=100-199", partial("bytes 300-399/1000", part), false},
        {"no Content-Range", "bytes=100-199", LoopbackHTTPServer::fixed(206, {}, part), false},
        {"wrong length", "bytes=100-199", partial("bytes 100-199/1000", std::string(150, 'l')), false},
        {"short body", "bytes=100-199",
         LoopbackHTTPServer::chunked(206, {{"Content-Range", "bytes 100-199/1000"}}, {std::string(60, 's')}), false},
        {"long body, no length", "bytes=100-199",
         LoopbackHTTPServer::chunked(206, {{"Content-Range", "bytes 100-199/1000"}}, {std::string(150, 'l')}), false},
        {"the whole resource", "bytes=100-199", LoopbackHTTPServer::fixed(200, {}, part), true},
        {"a full disk", "", LoopbackHTTPServer::fixed(200, {}, std::string(1 << 20, 'd')), false, NSURLErrorCannotWriteToFile, 64 * 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder_ = std::make_shared<Recorder>();
        LoopbackHTTPServer server;
        server.route("/r", c.answer);
        auto request = requestFor(server.url("/r"))->mutableCopy();
        if (!c.range.empty()) request->setValueForHTTPHeaderField(c.range, "Range");

        auto session = makeSession();
        auto data = session->dataTaskWithRequest(request);
        data->resume();
        ASSERT_TRUE(recorder_->waitForCompletions(1));
        NSURLSessionTaskPtr download;
        {
            DiskRoom room(c.diskRoom);
            download = session->downloadTaskWithRequest(request);
            download->resume();
            ASSERT_TRUE(recorder_->waitForCompletions(2));
        }
        for (const auto& task : {NSURLSessionTaskPtr(data), download}) {
            NSErrorPtr error = task->error();
            const bool inMemory = task == data;
            if (c.succeeds || (c.diskRoom && inMemory)) {
                EXPECT_FALSE(error);
            } else {
                ASSERT_TRUE(error);
                EXPECT_EQ(error->code(), c.code);
            }
        }
        auto all = events();
        EXPECT_EQ(std::count(all.begin(), all.end(), "finished"), c.succeeds ? 1 : 0);
        EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const std::string& e) { return e.rfind("complete", 0) == 0; }), 2);
        if (c.succeeds) {
            EXPECT_EQ(recorder_->downloaded, part);
        }

        NSErrorPtr error;
        NSURLResponsePtr response;
        auto body = NSURLConnection::sendSynchronousRequest(request, &response, &error);
        EXPECT_EQ(body != nullptr, c.succeeds || c.diskRoom);
        if (!c.succeeds && !c.diskRoom) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
        }

        session_->invalidateAndCancel();
        ASSERT_TRUE(recorder_->waitFor([&] { return recorder_->invalid; }));
        session_.reset();
    }
}
