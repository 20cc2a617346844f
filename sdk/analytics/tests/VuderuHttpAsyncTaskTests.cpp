#include "platform/foundation/NSString.h"
#include "platform/foundation/NSThread.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/analytics/VuderuConnectionDelegate.h"
#include "sdk/analytics/VuderuHttpAsyncTask.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class RecordingTaskDelegate : public VuderuHttpAsyncTaskDelegate {
public:
    struct Call {
        std::string kind;
        VuderuHttpAsyncTaskPtr task;
        VuderuHTTPResponsePtr response;
        bool onMainThread;
    };
    void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override {
        calls.push_back({"success", task, response, NSThread::isMainThread()});
    }
    void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override {
        calls.push_back({"fail", task, response, NSThread::isMainThread()});
    }
    void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override {
        calls.push_back({"cancel", task, response, NSThread::isMainThread()});
    }
    std::vector<Call> calls;
};

class VuderuHttpAsyncTaskTest : public DeviceTest {
protected:
    // Runs the task to its callback, then lets the main loop settle so that a second callback
    // would show.
    const RecordingTaskDelegate::Call& runToOutcome() {
        // A wait that runs out ends the test with a failure, never a read of a call that is not there.
        if (!runMainUntil([&] { return !delegate_->calls.empty(); })) throw std::runtime_error("the task reached no outcome");
        drainMain();
        EXPECT_EQ(delegate_->calls.size(), 1u);
        return delegate_->calls.front();
    }
    LoopbackHTTPServer server_;
    std::shared_ptr<RecordingTaskDelegate> delegate_ = std::make_shared<RecordingTaskDelegate>();
};

TEST_F(VuderuHttpAsyncTaskTest, OutcomesByStatus) {
    struct Row {
        int status;
        LoopbackHTTPServer::Headers headers;
        std::string body;
        const char* outcome;
        bool isSuccess;
    };
    const Row rows[] = {
        {200, {}, "hello", "success", true},
        {204, {}, "", "success", true},
        {299, {}, "x", "success", true},
        {302, {}, "moved", "fail", true},  // no Location: nothing to follow
        {304, {}, "", "fail", true},
        {404, {}, "not here", "fail", false},
        {500, {}, "broken", "fail", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status);
        delegate_->calls.clear();
        VuderuNetworkUtil::setLastNetworkOperationError(NSError::errorWithDomain("earlier", 1));
        const std::string path = "/s" + std::to_string(row.status);
        server_.route(path, LoopbackHTTPServer::fixed(row.status, row.headers, row.body));
        auto task = VuderuHttpAsyncTask::get(server_.url(path), delegate_);
        const auto& call = runToOutcome();
        EXPECT_EQ(call.kind, row.outcome);
        EXPECT_EQ(call.task, task);
        EXPECT_TRUE(call.onMainThread);
        EXPECT_EQ(call.response->statusCode(), row.status);
        EXPECT_EQ(call.response->isSuccess(), row.isSuccess);
        EXPECT_EQ(std::string(call.response->body()->stringView()), row.body);
        auto last = VuderuNetworkUtil::instance()->lastNetworkOperationError();
        if (std::string(row.outcome) == "success") {
            EXPECT_EQ(last, nullptr);
            EXPECT_EQ(call.response->error(), nullptr);
        } else {
            for (const auto& error : {last, call.response->error()}) {
                ASSERT_NE(error, nullptr);
                EXPECT_EQ(error->domain(), "Failed to load url");
                EXPECT_EQ(error->code(), 4);
                EXPECT_TRUE(error->userInfo().empty());
            }
        }
    }
}

TEST_F(VuderuHttpAsyncTaskTest, ARefusedConnectionFailsWithItsErrorAndMarksTheNetworkLikelyDown) {
    auto task = VuderuHttpAsyncTask::post("http://" + AnalyticsCollector::refusedHostAndPort() + "/aas.do", NSData::dataWithString("x"),
                                          delegate_);
    const auto& call = runToOutcome();
    EXPECT_EQ(call.kind, "fail");
    ASSERT_NE(call.response->error(), nullptr);
    EXPECT_EQ(call.response->error()->domain(), NSURLErrorDomain);
    EXPECT_EQ(call.response->statusCode(), 0);
    EXPECT_EQ(VuderuNetworkUtil::instance()->lastNetworkOperationError(), call.response->error());
    EXPECT_TRUE(VuderuNetworkUtil::isNetworkLikelyNotReachable());

    // A later success clears it.
    delegate_->calls.clear();
    server_.route("/ok", LoopbackHTTPServer::fixed(200, {}, ""));
    VuderuHttpAsyncTask::get(server_.url("/ok"), delegate_);
    EXPECT_EQ(runToOutcome().kind, "success");
    EXPECT_FALSE(VuderuNetworkUtil::isNetworkLikelyNotReachable());
}

// A server that declares or sends more than an answer may hold fails the request; an answer of
// exactly the most arrives whole.
TEST_F(VuderuHttpAsyncTaskTest, AnAnswerLargerThanTheMostFailsTheRequest) {
    const std::size_t most = VuderuConnectionDelegate::kMaxBodyBytes;
    struct Row {
        const char* name;
        LoopbackHTTPServer::Handler handler;
        const char* outcome;
    };
    const Row rows[] = {
        {"declared too large", LoopbackHTTPServer::truncated(200, most + 1, "abc"), "fail"},
        {"sent too large without a length", LoopbackHTTPServer::closeDelimited(200, {}, std::string(most + 1, 'x')), "fail"},
        {"sent too large in chunks", LoopbackHTTPServer::chunked(200, {}, {std::string(most / 2, 'x'), std::string(most / 2 + 1, 'y')}), "fail"},
        {"exactly the most", LoopbackHTTPServer::closeDelimited(200, {}, std::string(most, 'x')), "success"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        delegate_->calls.clear();
        server_.route("/big", row.handler);
        VuderuHttpAsyncTask::get(server_.url("/big"), delegate_);
        const auto& call = runToOutcome();
        EXPECT_EQ(call.kind, row.outcome);
        if (std::string(row.outcome) == "success") {
            EXPECT_EQ(call.response->body()->length(), most);
            continue;
        }
        ASSERT_NE(call.response->error(), nullptr);
        EXPECT_EQ(call.response->error()->domain(), NSURLErrorDomain);
        EXPECT_EQ(call.response->error()->code(), NSURLErrorDataLengthExceedsMaximum);
        EXPECT_EQ(call.response->body()->length(), 0u);
        EXPECT_EQ(VuderuNetworkUtil::instance()->lastNetworkOperationError(), call.response->error());
    }
}

TEST_F(VuderuHttpAsyncTaskTest, ACancelledTaskGivesNoCallback) {
    server_.route("/silent", LoopbackHTTPServer::silent());
    auto task = VuderuHttpAsyncTask::get(server_.url("/silent"), delegate_);
    ASSERT_TRUE(runMainUntil([&] { return server_.requestCount() == 1; }));
    task->cancelTask();
    ASSERT_TRUE(runMainUntil([&] { return server_.handledCount() == 1; }));
    drainMain();
    EXPECT_TRUE(delegate_->calls.empty());
}

TEST_F(VuderuHttpAsyncTaskTest, TheRequestCarriesMethodHeadersAndBodyAndTheAnswerHeadersAreLowerCased) {
    server_.route("/echo", LoopbackHTTPServer::fixed(200, {{"X-Mixed-Case", "Value"}, {"CONTENT-TYPE", "text/plain"}}, "ok"));
    auto task = VuderuHttpAsyncTask::post(server_.url("/echo"), NSData::dataWithString("payload"),
                                          VuderuHttpAsyncTask::HeaderFields{{"Content-Type", "application/octet-stream"}}, delegate_);
    EXPECT_TRUE(task->taskParams().empty());
    const auto& call = runToOutcome();
    auto headers = *call.response->headers();
    EXPECT_EQ(headers["x-mixed-case"], "Value");
    EXPECT_EQ(headers["content-type"], "text/plain");
    for (const auto& [key, value] : headers) EXPECT_EQ(key, NSString::lowercaseString(key));
    auto request = server_.requests().front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.body, "payload");
    EXPECT_EQ(request.header("content-type"), "application/octet-stream");
    EXPECT_EQ(request.header("cookie"), std::nullopt);
}

TEST(VuderuHttpAsyncTaskURLTest, BuiltURLs) {
    using Task = VuderuHttpAsyncTask;
    struct Row {
        std::optional<std::string> protocol;
        std::optional<std::string> host;
        int port;
        std::optional<std::string> path;
        std::optional<Task::Query> query;
        const char* expected;
    };
    const Row rows[] = {
        {std::nullopt, "h", 0, "p", std::nullopt, "http://h/p"},
        {"https", "h", 80, std::nullopt, std::nullopt, "https://h"},
        {"http", "h", 8124, "a/b", std::string("x=1"), "http://h:8124/a/b?x=1"},
        {"http", "h", 443, std::nullopt, Value::Dictionary{{"a", Value(1)}, {"b", Value("two")}}, "http://h:443?a=1&b=two"},
        {"http", "h", 0, "bad path", std::nullopt, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected ? row.expected : "nil");
        auto url = Task::urlWithProtocolHostPortPathQuery(row.protocol, row.host, row.port, row.path, row.query);
        if (!row.expected) {
            EXPECT_EQ(url, nullptr);
        } else {
            ASSERT_NE(url, nullptr);
            EXPECT_EQ(url->absoluteString(), row.expected);
        }
    }
}

TEST(VuderuHttpAsyncTaskURLTest, QueryStrings) {
    using Map = std::map<std::string, std::string>;
    EXPECT_EQ(VuderuHttpAsyncTask::stringToQueryDictionary("a&b=1=2"), (Map{{"a", ""}, {"b", "1"}}));
    EXPECT_EQ(VuderuHttpAsyncTask::stringToQueryDictionary("k=v&k=w&=x"), (Map{{"k", "w"}, {"", "x"}}));
    EXPECT_EQ(VuderuHttpAsyncTask::stringToQueryDictionary(""), (Map{{"", ""}}));
    EXPECT_EQ(VuderuHttpAsyncTask::queryDictionaryToString({{"a b", Value("c&d")}, {"n", Value(2)}}), "a b=c&d&n=2");
}

TEST_F(VuderuHttpAsyncTaskTest, ASavedResponseReadsBackEqual) {
    VuderuHTTPResponse response(NSData::dataWithString("body bytes"), 201, VuderuHTTPResponse::Headers{{"X-One", "1"}, {"two", "2"}},
                                NSError::errorWithDomain("ignored", 1));
    auto path = response.saveToDisk();
    ASSERT_TRUE(path);
    EXPECT_EQ(path->rfind(VuderuUtil::filePathDirectory() + "/vuderuResponse", 0), 0u);
    auto read = VuderuHTTPResponse::readFromURL(*path);
    EXPECT_EQ(read->statusCode(), 201);
    EXPECT_EQ(std::string(read->body()->stringView()), "body bytes");
    EXPECT_EQ(*read->headers(), (VuderuHTTPResponse::Headers{{"x-one", "1"}, {"two", "2"}}));
    EXPECT_EQ(read->error(), nullptr);

    auto missing = VuderuHTTPResponse::readFromURL(VuderuHTTPResponse::filePath(7));
    EXPECT_EQ(missing->body(), nullptr);
    EXPECT_EQ(missing->statusCode(), 0);
    EXPECT_TRUE(missing->headers()->empty());
}

TEST(VuderuHTTPResponseTest, StatusIsClampedAndSuccessMeans200To399) {
    struct Row {
        std::int64_t status;
        std::int32_t clamped;
        bool success;
    };
    const Row rows[] = {{199, 199, false}, {200, 200, true}, {399, 399, true}, {400, 400, false}, {-5, -5, false},
                        {5'000'000'000, 2147483647, false}, {-5'000'000'000, -2147483647 - 1, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status);
        VuderuHTTPResponse response(nullptr, row.status, std::nullopt, nullptr);
        EXPECT_EQ(response.statusCode(), row.clamped);
        EXPECT_EQ(response.isSuccess(), row.success);
        EXPECT_EQ(response.isError(), !row.success);
    }
    VuderuHTTPResponse none(NSHTTPURLResponsePtr(), NSData::dataWithString("b"), NSError::errorWithDomain("d", 2));
    EXPECT_EQ(none.body(), nullptr);
    EXPECT_EQ(none.headers(), std::nullopt);
    EXPECT_EQ(none.statusCode(), 0);
    EXPECT_EQ(none.error()->code(), 2);
}

} // namespace

namespace {

// A URL string that makes no URL goes into the request as nil; the connection reports it as a
// failure after start, which reaches the delegate as one failure callback.
TEST_F(VuderuHttpAsyncTaskTest, AStringThatIsNoURLFailsThroughTheDelegate) {
    auto task = VuderuHttpAsyncTask::get(std::string("not a url"), delegate_);
    ASSERT_NE(task->connection(), nullptr);
    const auto& call = runToOutcome();
    EXPECT_EQ(call.kind, "fail");
    EXPECT_NE(call.response->error(), nullptr);
}

} // namespace

namespace {

// HTTP authentication is answered with the challenge's own proposed credential: none here, so
// the 401 arrives as a failure.
TEST_F(VuderuHttpAsyncTaskTest, AnAuthenticationChallengeWithoutAProposedCredentialEndsInAFailure) {
    server_.route("/private", LoopbackHTTPServer::fixed(401, {{"WWW-Authenticate", "Basic realm=\"collector\""}}, "who?"));
    VuderuHttpAsyncTask::get(server_.url("/private"), delegate_);
    const auto& call = runToOutcome();
    EXPECT_EQ(call.kind, "fail");
    EXPECT_EQ(call.response->statusCode(), 401);
    EXPECT_EQ(server_.requestCount(), 1u);
}

} // namespace

// A large answer is held once: gathered into room the head announced, and handed to the task's
// delegate as it was gathered, not copied.
TEST_F(VuderuHttpAsyncTaskTest, AnAnswerIsGatheredInPlaceAndHandedOnWithoutACopy) {
    const std::string body(1000003, 'b');
    server_.route("/large", LoopbackHTTPServer::fixed(200, {}, body));
    VuderuHttpAsyncTask::get(server_.url("/large"), delegate_);
    const auto& call = runToOutcome();
    ASSERT_EQ(call.kind, "success");
    ASSERT_EQ(call.response->body()->length(), body.size());
    EXPECT_EQ(call.response->body()->vector().capacity(), body.size());

    VuderuConnectionDelegate gathering(delegate_, nullptr);
    gathering.connectionDidReceiveResponse(
        nullptr, std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("http://127.0.0.1/"), 200, "HTTP/1.1", NSHTTPHeaderFields{}));
    gathering.connectionDidReceiveData(nullptr, NSData::dataWithString("part one, "));
    gathering.connectionDidReceiveData(nullptr, NSData::dataWithString("part two"));
    auto first = gathering.constructResponse(), second = gathering.constructResponse();
    ASSERT_NE(first->body(), nullptr);
    EXPECT_EQ(first->body().get(), gathering.body().get());
    EXPECT_EQ(second->body().get(), gathering.body().get());
    EXPECT_EQ(std::string(first->body()->stringView()), "part one, part two");
}
