#include "netkit/NKHTTPRequestOperation.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/LoopbackRequests.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {
using namespace loopback_requests;

class NKHTTPRequestOperationTest : public DeviceTest {
protected:
    struct Outcome {
        std::atomic<int> successes{0};
        std::atomic<int> failures{0};
        Value object;
        NSErrorPtr error;
        bool onMain = false;
    };

    std::shared_ptr<Outcome> run(const NKHTTPRequestOperationPtr& operation) {
        auto outcome = std::make_shared<Outcome>();
        operation->setCompletionBlockWithSuccess(
            [outcome](const NKHTTPRequestOperationPtr&, const Value& object) {
                outcome->object = object;
                outcome->onMain = NSThread::isMainThread();
                ++outcome->successes;
            },
            [outcome](const NKHTTPRequestOperationPtr&, const NSErrorPtr& error) {
                outcome->error = error;
                outcome->onMain = NSThread::isMainThread();
                ++outcome->failures;
            });
        operation->start();
        EXPECT_TRUE(runMainUntil([&] { return outcome->successes + outcome->failures > 0; }, kWait));
        return outcome;
    }
};

TEST_F(NKHTTPRequestOperationTest, SuccessGetsTheBodyOnTheMainQueue) {
    LoopbackHTTPServer server;
    server.route("/ok", LoopbackHTTPServer::fixed(200, {}, "body"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/ok")));
    EXPECT_TRUE(operation->responseObject().isNull()) << "nothing is built before it finished";
    auto outcome = run(operation);
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_EQ(outcome->failures, 0);
    EXPECT_TRUE(outcome->onMain);
    ASSERT_TRUE(outcome->object.objectAs<NSData>());
    EXPECT_EQ(outcome->object.objectAs<NSData>()->stringView(), "body");
    EXPECT_EQ(operation->response()->statusCode(), 200);
}

TEST_F(NKHTTPRequestOperationTest, UnacceptableStatusGoesToTheFailureBlock) {
    LoopbackHTTPServer server;
    server.route("/missing", LoopbackHTTPServer::fixed(404, {}, "no such page"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/missing")));
    auto outcome = run(operation);
    EXPECT_EQ(outcome->successes, 0);
    EXPECT_EQ(outcome->failures, 1);
    ASSERT_TRUE(outcome->error);
    EXPECT_EQ(outcome->error->domain(), "NKNetworkingErrorDomain");
    EXPECT_EQ(outcome->error->code(), NSURLErrorBadServerResponse);
    EXPECT_EQ(operation->error(), outcome->error);
    EXPECT_EQ(operation->responseObject().objectAs<NSData>()->stringView(), "no such page");
}

TEST_F(NKHTTPRequestOperationTest, ConnectionErrorsSkipTheSerializer) {
    LoopbackHTTPServer server;
    int port = server.port();
    server.stop();
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor("http://127.0.0.1:" + std::to_string(port) + "/"));
    auto outcome = run(operation);
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error->code(), NSURLErrorCannotConnectToHost);
    EXPECT_FALSE(operation->responseSerializationError());
}

TEST_F(NKHTTPRequestOperationTest, ThePlainCompletionBlockWritesA404LikeAnyBody) {
    LoopbackHTTPServer server;
    server.route("/missing", LoopbackHTTPServer::fixed(404, {}, "no such page"));
    makeDirectory("/var/mobile/Tandrel");
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/missing")));
    operation->setOutputStream(NSOutputStream::outputStreamToFileAtPath("/var/mobile/Tandrel/page", false));
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, kWait));
    EXPECT_FALSE(operation->error());
    EXPECT_EQ(readFile("/var/mobile/Tandrel/page"), "no such page");
}

TEST_F(NKHTTPRequestOperationTest, NoBlocksStillRunsTheStages) {
    LoopbackHTTPServer server;
    server.route("/ok", LoopbackHTTPServer::fixed(200, {}, "x"));
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(server.url("/ok")));
    auto group = dispatch_group_create();
    operation->setCompletionGroup(group);
    operation->setCompletionBlockWithSuccess(nullptr, nullptr);
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return operation->isFinished(); }, kWait));
    ASSERT_TRUE(runMainUntil([&] { return dispatch_group_wait(group, DISPATCH_TIME_NOW) == 0; }, kWait));
}

TEST_F(NKHTTPRequestOperationTest, PauseWithoutAStreamAsksFromTheStart) {
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor("http://127.0.0.1:9/x"));
    operation->pause();
    EXPECT_EQ(operation->request()->valueForHTTPHeaderField("Range"), "bytes=0-");
    EXPECT_EQ(operation->request()->valueForHTTPHeaderField("If-Range"), "");
    EXPECT_TRUE(operation->isPaused());
}

TEST_F(NKHTTPRequestOperationTest, CopyKeepsRequestSerializerAndQueues) {
    auto operation = NKHTTPRequestOperation::initWithRequest(requestFor("http://127.0.0.1:9/x"));
    auto queue = dispatch_queue_create("q");
    operation->setCompletionQueue(queue);
    operation->responseSerializer()->setAcceptableStatusCodes(NSIndexSet::indexSetWithIndex(204));
    auto copy = std::dynamic_pointer_cast<NKHTTPRequestOperation>(operation->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->request(), operation->request());
    EXPECT_EQ(copy->completionQueue(), queue);
    EXPECT_NE(copy->responseSerializer(), operation->responseSerializer());
    EXPECT_TRUE(copy->responseSerializer()->acceptableStatusCodes()->containsIndex(204));
    EXPECT_EQ(copy->state(), NKOperationReadyState);
}

} // namespace
