// Running out of memory while a request sets up its loading fails that request with an error,
// every API alike, and leaves nothing broken behind: the next request loads.

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/URLLoader.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/LoopbackRequests.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {
using namespace loopback_requests;

struct Outcome {
    std::mutex mutex;
    bool done = false;
    std::string body;
    NSErrorPtr error;

    void finish(const NSDataPtr& data, const NSErrorPtr& failure) {
        std::lock_guard guard(mutex);
        body = data ? std::string(data->stringView()) : std::string();
        error = failure;
        done = true;
    }
    bool isDone() {
        std::lock_guard guard(mutex);
        return done;
    }
};

class ConnectionDelegate : public NSURLConnectionDataDelegate {
public:
    explicit ConnectionDelegate(std::shared_ptr<Outcome> outcome) : outcome_(std::move(outcome)) {}
    void connectionDidReceiveData(const NSURLConnectionPtr&, const NSDataPtr& data) override { body_->appendData(*data); }
    void connectionDidFinishLoading(const NSURLConnectionPtr&) override { outcome_->finish(body_, nullptr); }
    void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& error) override { outcome_->finish(nullptr, error); }

private:
    std::shared_ptr<Outcome> outcome_;
    NSDataPtr body_ = NSData::data();
};

class SessionDelegate : public NSURLSessionDelegate {
public:
    std::shared_ptr<Outcome> outcome;
    void URLSessionDataTaskDidReceiveData(const NSURLSessionPtr&, const NSURLSessionDataTaskPtr&, const NSDataPtr& data) override {
        body_->appendData(*data);
    }
    void URLSessionTaskDidCompleteWithError(const NSURLSessionPtr&, const NSURLSessionTaskPtr&, const NSErrorPtr& error) override {
        outcome->finish(error ? nullptr : body_, error);
        body_ = NSData::data();
    }

private:
    NSDataPtr body_ = NSData::data();
};

// Starts a request through one API; the outcome is set when it ends.
struct Api {
    const char* name;
    // The look-ups of a loader the request's set-up makes when it fails each time.
    int lookUpsWhenFailing;
    std::function<void(const std::string& url, const std::shared_ptr<Outcome>& outcome)> start;
};

class URLLoadingOutOfMemoryTest : public DeviceTest {
protected:
    void TearDown() override {
        URLLoader::failNextLookUpsForTesting(0);
        if (session_) session_->invalidateAndCancel();
        DeviceTest::TearDown();
    }

    std::vector<Api> apis() {
        return {
            {"a connection with a delegate", 1,
             [this](const std::string& url, const std::shared_ptr<Outcome>& outcome) {
                 connection_ = NSURLConnection::connectionWithRequest(requestFor(url), std::make_shared<ConnectionDelegate>(outcome));
                 // The delegate hears nothing while the code that started the connection runs.
                 EXPECT_FALSE(outcome->isDone());
             }},
            {"a synchronous request", 1,
             [](const std::string& url, const std::shared_ptr<Outcome>& outcome) {
                 NSErrorPtr error;
                 auto data = NSURLConnection::sendSynchronousRequest(requestFor(url), nullptr, &error);
                 outcome->finish(data, error);
             }},
            {"an asynchronous request", 1,
             [](const std::string& url, const std::shared_ptr<Outcome>& outcome) {
                 NSURLConnection::sendAsynchronousRequest(requestFor(url), NSOperationQueue::mainQueue(),
                                                          [outcome](const NSURLResponsePtr&, const NSDataPtr& data, const NSErrorPtr& error) {
                                                              outcome->finish(data, error);
                                                          });
             }},
            // The session's own set-up fails, then its first task's second try.
            {"a session's data task", 2,
             [this](const std::string& url, const std::shared_ptr<Outcome>& outcome) {
                 if (!session_) session_ = NSURLSession::sessionWithConfiguration(nullptr, sessionDelegate_, NSOperationQueue::mainQueue());
                 sessionDelegate_->outcome = outcome;
                 session_->dataTaskWithRequest(requestFor(url))->resume();
             }},
        };
    }

    std::shared_ptr<Outcome> load(const Api& api, const std::string& url) {
        auto outcome = std::make_shared<Outcome>();
        api.start(url, outcome);
        EXPECT_TRUE(runMainUntil([&] { return outcome->isDone(); }, kWait));
        return outcome;
    }

    NSURLConnectionPtr connection_;
    NSURLSessionPtr session_;
    std::shared_ptr<SessionDelegate> sessionDelegate_ = std::make_shared<SessionDelegate>();
};

TEST_F(URLLoadingOutOfMemoryTest, TheRequestFailsWithAnErrorAndTheNextOneLoads) {
    for (const Api& api : apis()) {
        SCOPED_TRACE(api.name);
        LoopbackHTTPServer server;
        server.route("/v", LoopbackHTTPServer::fixed(200, {}, "ok"));
        URLLoader::failNextLookUpsForTesting(api.lookUpsWhenFailing);
        auto failed = load(api, server.url("/v"));
        ASSERT_TRUE(failed->error);
        EXPECT_EQ(failed->error->domain(), NSURLErrorDomain);
        EXPECT_EQ(failed->error->code(), NSURLErrorUnknown);
        EXPECT_EQ(failed->error->localizedDescription(), "out of memory");
        EXPECT_EQ(server.requestCount(), 0u);

        auto loaded = load(api, server.url("/v"));
        EXPECT_FALSE(loaded->error) << (loaded->error ? loaded->error->localizedDescription() : "");
        EXPECT_EQ(loaded->body, "ok");
        EXPECT_EQ(server.requestCount(), 1u);
    }
}

// A session whose loader could not be made at first makes it when its first task starts.
TEST_F(URLLoadingOutOfMemoryTest, ASessionMadeOutOfMemoryLoadsOnceMemoryIsBack) {
    LoopbackHTTPServer server;
    server.route("/v", LoopbackHTTPServer::fixed(200, {}, "ok"));
    URLLoader::failNextLookUpsForTesting(1);
    auto loaded = load(apis().back(), server.url("/v"));
    EXPECT_FALSE(loaded->error);
    EXPECT_EQ(loaded->body, "ok");
}

} // namespace
