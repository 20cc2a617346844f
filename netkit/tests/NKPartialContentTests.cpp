// Partial answers (206) to an operation: only the range the request asked for, with a body of its
// length and, on the operation's own resume, the rest of the resource the download began with,
// succeeds. Anything else fails with the library's -1011 error, and a refused head leaves the
// output file as it stood.

#include "netkit/NKHTTPRequestOperation.h"
#include "netkit/NKURLResponseSerialization.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/LoopbackRequests.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

namespace {
using namespace loopback_requests;

const char* const kPartialFolder = "/var/mobile/Tandrel";
const char* const kPartialPath = "/var/mobile/Tandrel/part.bin";

// One answer of the server: status, headers, body, sent with a Content-Length or chunked.
struct PartialAnswer {
    int status;
    LoopbackHTTPServer::Headers headers;
    std::string body;
    bool chunked = false;
};

LoopbackHTTPServer::Handler partialAnswerHandler(PartialAnswer answer) {
    return [answer](LoopbackExchange& exchange) {
        auto headers = answer.headers;
        if (answer.chunked) {
            headers.emplace_back("Transfer-Encoding", "chunked");
            exchange.sendHead(answer.status, headers);
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", answer.body.size());
            if (!answer.body.empty()) exchange.send(size + answer.body + "\r\n");
            exchange.send("0\r\n\r\n");
        } else {
            headers.emplace_back("Content-Length", std::to_string(answer.body.size()));
            exchange.sendHead(answer.status, headers);
            exchange.send(answer.body);
        }
        exchange.closeAfterResponse();
    };
}

class NKPartialContentTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        makeDirectory(kPartialFolder);
    }

    NKHTTPRequestOperationPtr startOperation(const NSURLRequestPtr& request) {
        completed_ = false;
        auto operation = NKHTTPRequestOperation::initWithRequest(request);
        operation->setOutputStream(NSOutputStream::outputStreamToFileAtPath(kPartialPath, false));
        operation->setCompletionBlock([this] { completed_ = true; });
        operation->start();
        return operation;
    }

    std::atomic<bool> completed_{false};
};

TEST_F(NKPartialContentTest, OnlyThePartAskedForSucceeds) {
    struct Case {
        const char* name;
        std::string range;  // the request's "Range" ("" for a plain GET)
        PartialAnswer answer;
        bool succeeds;
        bool headRefused;  // refused before any byte reached the file
    };
    const std::string part(100, 'p');
    const std::string quarter(262144, 'q');
    const Case cases[] = {
        {"honest", "bytes=100-199", {206, {{"Content-Range", "bytes 100-199/1000"}}, part}, true, false},
        {"honest, to the end", "bytes=900-", {206, {{"Content-Range", "bytes 900-999/1000"}}, part}, true, false},
        {"honest, the last bytes", "bytes=-100", {206, {{"Content-Range", "bytes 900-999/1000"}}, part}, true, false},
        {"honest, cut at the end", "bytes=900-1500", {206, {{"Content-Range", "bytes 900-999/1000"}}, part}, true, false},
        {"the whole resource", "bytes=100-199", {200, {}, std::string(1000, 'w')}, true, false},
        {"unasked", "", {206, {{"Content-Range", "bytes 0-262143/1048576"}}, quarter}, false, true},
        {"another part", "bytes=100-199", {206, {{"Content-Range", "bytes 300-399/1000"}}, part}, false, true},
        {"no Content-Range", "bytes=100-199", {206, {}, part}, false, true},
        {"a malformed Content-Range", "bytes=100-199", {206, {{"Content-Range", "bytes 199-100/1000"}}, part}, false, true},
        {"an open end of unknown length", "bytes=900-", {206, {{"Content-Range", "bytes 900-999/*"}}, part}, false, true},
        {"wrong length announced", "bytes=100-199", {206, {{"Content-Range", "bytes 100-199/1000"}}, std::string(150, 'l')}, false, true},
        {"short body", "bytes=100-199", {206, {{"Content-Range", "bytes 100-199/1000"}}, std::string(60, 's'), true}, false, false},
        {"long body", "bytes=100-199", {206, {{"Content-Range", "bytes 100-199/1000"}}, std::string(160, 'l'), true}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(kPartialPath, "earlier");
        LoopbackHTTPServer server;
        server.route("/r", partialAnswerHandler(c.answer));
        auto request = requestFor(server.url("/r"))->mutableCopy();
        if (!c.range.empty()) request->setValueForHTTPHeaderField(c.range, "Range");
        auto operation = startOperation(request);
        ASSERT_TRUE(runMainUntil([&] { return completed_.load(); }, kWait));
        if (c.succeeds) {
            EXPECT_FALSE(operation->error());
            EXPECT_EQ(readFile(kPartialPath), c.answer.body);
            continue;
        }
        auto error = operation->error();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NKNetworkingErrorDomain);
        EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
        EXPECT_NE(error->localizedDescription().find("part"), std::string::npos) << error->localizedDescription();
        EXPECT_EQ(error->userInfoValue(NKNetworkingOperationFailingURLResponseErrorKey).objectAs<NSURLResponse>(), operation->response());
        if (c.headRefused) {
            EXPECT_EQ(readFile(kPartialPath), "earlier");
        }
    }
}

// The operation's own resume: the first answer gave 1,000 bytes with the tag "v1", of which 500
// reached the file before the pause. The resumed answer must be the rest of that resource; a
// refusal of the range (416) that names another length than the first answer's is no end.
TEST_F(NKPartialContentTest, AResumeTakesOnlyTheRestOfTheSameResource) {
    struct Case {
        const char* name;
        PartialAnswer answer;
        std::string file;  // what the file holds at the end ("" when the download fails)
    };
    const std::string head(500, 'a'), rest(500, 'b');
    const Case cases[] = {
        {"honest", {206, {{"Content-Range", "bytes 500-999/1000"}, {"ETag", "\"v1\""}}, rest}, head + rest},
        {"the whole resource again", {200, {{"ETag", "\"v2\""}}, std::string(1000, 'n')}, std::string(1000, 'n')},
        {"a changed length", {206, {{"Content-Range", "bytes 500-1199/1200"}, {"ETag", "\"v1\""}}, std::string(700, 'c')}, ""},
        {"a changed tag", {206, {{"Content-Range", "bytes 500-999/1000"}, {"ETag", "\"v2\""}}, std::string(500, 'c')}, ""},
        {"from the first byte", {206, {{"Content-Range", "bytes 0-999/1000"}, {"ETag", "\"v1\""}}, std::string(1000, 'f')}, ""},
        {"a short part", {206, {{"Content-Range", "bytes 500-799/1000"}, {"ETag", "\"v1\""}}, std::string(300, 's')}, ""},
        {"a short body", {206, {{"Content-Range", "bytes 500-999/1000"}, {"ETag", "\"v1\""}}, std::string(300, 's'), true}, ""},
        // A refused range completes the download only when the file holds the whole resource.
        {"a 416 naming what the file holds", {416, {{"Content-Range", "bytes */500"}}, ""}, ""},
        {"a 416 naming the whole", {416, {{"Content-Range", "bytes */1000"}, {"ETag", "\"v1\""}}, ""}, ""},
        {"a 416 naming no length", {416, {}, ""}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHTTPServer server;
        auto gate = std::make_shared<LoopbackGate>();
        server.route("/v", [&head, gate](LoopbackExchange& exchange) {
            exchange.sendHead(200, {{"ETag", "\"v1\""}, {"Content-Length", "1000"}});
            exchange.send(head);
            gate->wait();
            exchange.closeAfterResponse();
        });
        auto operation = startOperation(requestFor(server.url("/v")));
        ASSERT_TRUE(runMainUntil([&] { return operation->totalBytesRead() == 500; }, kWait));
        operation->pause();
        gate->cancel();
        ASSERT_EQ(operation->request()->valueForHTTPHeaderField("Range"), "bytes=500-");
        ASSERT_EQ(operation->request()->valueForHTTPHeaderField("If-Range"), "\"v1\"");
        server.route("/v", partialAnswerHandler(c.answer));
        operation->resume();
        ASSERT_TRUE(runMainUntil([&] { return completed_.load(); }, kWait));
        if (!c.file.empty()) {
            EXPECT_FALSE(operation->error());
            EXPECT_EQ(readFile(kPartialPath), c.file);
            continue;
        }
        auto error = operation->error();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NKNetworkingErrorDomain);
        EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    }
}

} // namespace
