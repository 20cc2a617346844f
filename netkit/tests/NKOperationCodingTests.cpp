#include "netkit/NKHTTPRequestOperation.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/ArchivedCopy.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class NKOperationCodingTest : public DeviceTest {};

TEST_F(NKOperationCodingTest, SerializerKeepsItsSetsButNotItsEncoding) {
    auto serializer = NKHTTPResponseSerializer::serializer();
    serializer->setStringEncoding(NSASCIIStringEncoding);
    serializer->setAcceptableContentTypes(std::set<std::string>{"text/html", "application/json"});
    auto decoded = archivedCopy(serializer);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->acceptableContentTypes(), serializer->acceptableContentTypes());
    EXPECT_TRUE(decoded->acceptableStatusCodes()->isEqual(serializer->acceptableStatusCodes().get()));
    EXPECT_EQ(decoded->stringEncoding(), NSUTF8StringEncoding);

    serializer->setAcceptableStatusCodes(nullptr);
    serializer->setAcceptableContentTypes(std::nullopt);
    decoded = archivedCopy(serializer);
    EXPECT_FALSE(decoded->acceptableStatusCodes());
    EXPECT_FALSE(decoded->acceptableContentTypes());
}

TEST_F(NKOperationCodingTest, RequestsAndResponsesRoundTrip) {
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString("https://example.com/a?b=1"), NSURLRequestReloadIgnoringLocalCacheData, 12);
    request->setHTTPMethod("POST");
    request->setValueForHTTPHeaderField("bytes=10-", "Range");
    request->setHTTPBody(NSData::dataWithString("body"));
    auto decoded = archivedCopy(request);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->URL()->absoluteString(), "https://example.com/a?b=1");
    EXPECT_EQ(decoded->HTTPMethod(), "POST");
    EXPECT_EQ(decoded->timeoutInterval(), 12);
    EXPECT_EQ(decoded->cachePolicy(), NSURLRequestReloadIgnoringLocalCacheData);
    EXPECT_EQ(decoded->valueForHTTPHeaderField("range"), "bytes=10-");
    EXPECT_EQ(decoded->HTTPBody()->stringView(), "body");

    auto response = std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("https://example.com/a"), 206, "HTTP/1.1",
                                                        NSHTTPHeaderFields{{"Content-Type", "text/plain; charset=utf-8"}, {"ETag", "x"}});
    auto decodedResponse = archivedCopy(response);
    ASSERT_TRUE(decodedResponse);
    EXPECT_EQ(decodedResponse->statusCode(), 206);
    EXPECT_EQ(decodedResponse->MIMEType(), "text/plain");
    EXPECT_EQ(decodedResponse->textEncodingName(), "utf-8");
    EXPECT_EQ(decodedResponse->valueForHTTPHeaderField("etag"), "x");
}

TEST_F(NKOperationCodingTest, ArchivingPausesAndTheDecodedOperationIsReadyToResume) {
    LoopbackHTTPServer server;
    auto gate = std::make_shared<LoopbackGate>();
    server.route("/v", LoopbackHTTPServer::rangeResource(std::string(2000, 'v'), "\"e\"", true, 1000, gate));
    auto operation = NKHTTPRequestOperation::initWithRequest(
        NSURLRequest::requestWithURL(NSURL::URLWithString(server.url("/v")), NSURLRequestReloadIgnoringLocalCacheData, 5));
    auto serializer = NKHTTPResponseSerializer::serializer();
    serializer->setAcceptableContentTypes(std::set<std::string>{"application/octet-stream"});
    operation->setResponseSerializer(serializer);
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return operation->totalBytesRead() == 1000; }, 10));

    auto decoded = archivedCopy(operation);
    gate->cancel();
    EXPECT_TRUE(operation->isPaused()) << "archiving paused it";
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->state(), NKOperationReadyState);
    EXPECT_EQ(decoded->request()->valueForHTTPHeaderField("Range"), "bytes=1000-");
    EXPECT_EQ(decoded->request()->valueForHTTPHeaderField("If-Range"), "\"e\"");
    EXPECT_EQ(decoded->response()->statusCode(), 200);
    EXPECT_EQ(decoded->totalBytesRead(), 1000);
    EXPECT_EQ(decoded->responseSerializer()->acceptableContentTypes(), serializer->acceptableContentTypes());
}

TEST_F(NKOperationCodingTest, AFinishedOperationKeepsItsErrorButDecodesReady) {
    auto operation = NKURLConnectionOperation::initWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1:9/")));
    std::atomic<bool> completed{false};
    operation->setCompletionBlock([&] { completed = true; });
    operation->cancel();
    operation->start();
    ASSERT_TRUE(runMainUntil([&] { return completed.load(); }, 10));
    auto decoded = archivedCopy(operation);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->state(), NKOperationReadyState) << "a finished state is not a legal move from ready";
    ASSERT_TRUE(decoded->error());
    EXPECT_EQ(decoded->error()->domain(), NSURLErrorDomain);
    EXPECT_EQ(decoded->error()->code(), NSURLErrorCancelled);
    EXPECT_EQ(decoded->error()->userInfoValue(NSURLErrorFailingURLErrorKey).stringValue(), "http://127.0.0.1:9/");
}

} // namespace
