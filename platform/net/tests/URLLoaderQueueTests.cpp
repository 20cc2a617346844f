// The loader's bound on exchanges at once (in all and per server) with the rest queued.

#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLLoader.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/LoopbackRequests.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

namespace {
using namespace loopback_requests;

class URLLoaderQueueTest : public DeviceTest {
protected:
    std::shared_ptr<URLLoader> loader_ = URLLoader::forRunLoop(NSRunLoop::mainRunLoop());
};

struct Started {
    std::vector<std::shared_ptr<RecordingConnectionDelegate>> delegates;
    std::vector<NSURLConnectionPtr> connections;
    std::size_t doneCount() const {
        std::size_t done = 0;
        for (const auto& delegate : delegates) done += delegate->done ? 1 : 0;
        return done;
    }
};

Started startMany(const std::string& url, std::size_t count, double timeout) {
    Started started;
    for (std::size_t i = 0; i < count; ++i) {
        started.delegates.push_back(std::make_shared<RecordingConnectionDelegate>());
        started.connections.push_back(NSURLConnection::connectionWithRequest(requestFor(url, timeout), started.delegates.back()));
    }
    return started;
}

} // namespace

// A server that never answers holds its share of connections and no more: the rest wait without
// a connection, their time-out not running, and start as earlier ones end; another server's
// request goes past the queue at once.
TEST_F(URLLoaderQueueTest, AServerThatNeverAnswersHoldsItsShareAndTheRestWait) {
    ManualClock clock;
    LoopbackHTTPServer silent;
    silent.route("/t", LoopbackHTTPServer::silent());
    LoopbackHTTPServer other;
    other.route("/ok", LoopbackHTTPServer::fixed(200, {}, "ok"));
    const std::size_t share = URLLoader::kMaximumRunningPerHost;

    Started stuck = startMany(silent.url("/t"), share * 3, 2);
    ASSERT_TRUE(runMainUntil([&] { return silent.requestCount() == share; }, kWait));
    EXPECT_EQ(loader_->runningCount(), share);
    EXPECT_EQ(loader_->waitingCount(), share * 2);

    Started passing = startMany(other.url("/ok"), 1, 2);
    ASSERT_TRUE(runMainUntil([&] { return passing.doneCount() == 1; }, kWait));
    EXPECT_EQ(passing.delegates[0]->error, nullptr);
    EXPECT_EQ(passing.delegates[0]->body->length(), 2u);

    for (std::size_t round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(stuck.doneCount(), share * (round - 1));
        clock.advance(2.5);
        ASSERT_TRUE(runMainUntil([&] { return stuck.doneCount() == share * round; }, kWait));
        if (round < 3) {
            ASSERT_TRUE(runMainUntil([&] { return silent.requestCount() == share * (round + 1); }, kWait));
        }
        EXPECT_EQ(loader_->waitingCount(), round < 3 ? share * (2 - round) : 0);
    }
    for (const auto& delegate : stuck.delegates) {
        ASSERT_NE(delegate->error, nullptr);
        EXPECT_EQ(delegate->error->code(), NSURLErrorTimedOut);
    }
    EXPECT_EQ(loader_->runningCount(), 0u);
}

// Requests cancelled while they wait leave the queue and never reach the server.
TEST_F(URLLoaderQueueTest, CancellingWaitingRequestsEmptiesTheQueue) {
    LoopbackHTTPServer silent;
    silent.route("/t", LoopbackHTTPServer::silent());
    const std::size_t share = URLLoader::kMaximumRunningPerHost;
    Started stuck = startMany(silent.url("/t"), share + 500, 30);
    ASSERT_TRUE(runMainUntil([&] { return silent.requestCount() == share; }, kWait));
    EXPECT_EQ(loader_->waitingCount(), 500u);
    for (std::size_t i = stuck.connections.size(); i-- > 0;) stuck.connections[i]->cancel();
    EXPECT_EQ(loader_->waitingCount(), 0u);
    EXPECT_EQ(loader_->runningCount(), 0u);
    EXPECT_EQ(silent.requestCount(), share);
}
