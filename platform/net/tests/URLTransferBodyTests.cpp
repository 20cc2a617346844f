// What the loader makes of an answer's body: gzip and deflate decoded as a device decodes them,
// any other coding refused, and a request's bound on the body applied to the decoded bytes, the
// transfer stopping once it is passed.

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/CodedBodies.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/LoopbackRequests.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {
using namespace loopback_requests;
using coded_bodies::Format;

class URLTransferBodyTest : public DeviceTest {
protected:
    // Loads the URL on the main run loop to its end.
    std::shared_ptr<RecordingConnectionDelegate> load(const NSURLRequestPtr& request) {
        auto delegate = std::make_shared<RecordingConnectionDelegate>();
        auto connection = NSURLConnection::connectionWithRequest(request, delegate);
        EXPECT_TRUE(runMainUntil([&] { return delegate->done; }, kWait));
        return delegate;
    }

    LoopbackHTTPServer server_;
};

const std::string kContent = "The body as its server wrote it, before any coding: " + std::string(2000, 'c');

TEST_F(URLTransferBodyTest, GzipAndDeflateAreDecodedAndOtherCodingsRefused) {
    struct Case {
        const char* name;
        std::optional<std::string> coding;
        std::string body;
        bool decoded;     // the client gets kContent; otherwise the load fails as undecodable
        bool headHeard;   // when refused: whether the client heard the head first
        std::size_t bodyHeard = 0;  // when refused: the bytes the client had before the error
    };
    const std::string gzip = coded_bodies::compressed(kContent, Format::Gzip);
    const Case cases[] = {
        {"no coding", std::nullopt, kContent, true, true},
        {"identity", " Identity ", kContent, true, true},
        {"gzip", "gzip", gzip, true, true},
        {"gzip in capitals", "GZIP", gzip, true, true},
        {"x-gzip", "x-gzip", gzip, true, true},
        {"deflate with its zlib wrapper", "deflate", coded_bodies::compressed(kContent, Format::Zlib), true, true},
        {"raw deflate", "deflate", coded_bodies::compressed(kContent, Format::RawDeflate), true, true},
        {"deflate, then gzip", "deflate, gzip",
         coded_bodies::compressed(coded_bodies::compressed(kContent, Format::Zlib), Format::Gzip), true, true},
        {"gzip that is not", "gzip", "\x1f\x8b not gzip at all", false, true},
        {"gzip with bytes after its end", "gzip", gzip + "junk", false, true, kContent.size()},
        {"brotli", "br", kContent, false, false},
        {"an unknown coding", "x-bogus", kContent, false, false},
        {"gzip, then brotli", "gzip, br", gzip, false, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHTTPServer::Headers headers;
        if (c.coding) headers.push_back({"Content-Encoding", *c.coding});
        const std::string path = "/coded" + std::to_string(n++);
        server_.route(path, LoopbackHTTPServer::fixed(200, headers, c.body));
        auto delegate = load(requestFor(server_.url(path)));
        if (c.decoded) {
            EXPECT_EQ(delegate->error, nullptr);
            EXPECT_EQ(std::string(delegate->body->stringView()), kContent);
            continue;
        }
        ASSERT_NE(delegate->error, nullptr);
        EXPECT_EQ(delegate->error->code(), NSURLErrorCannotDecodeContentData);
        EXPECT_EQ(delegate->response != nullptr, c.headHeard);
        EXPECT_EQ(delegate->body->length(), c.bodyHeard);
    }
    // Every request said what it takes.
    for (const auto& request : server_.requests()) EXPECT_EQ(request.header("Accept-Encoding").value_or(""), "gzip, deflate");
}

// A redirect's body is never read, whatever its coding says.
TEST_F(URLTransferBodyTest, ARedirectsCodedBodyIsNotDecoded) {
    server_.route("/moved", [](LoopbackExchange& exchange) {
        const std::string body = "\x1f\x8b not gzip";
        exchange.sendHead(302, {{"Location", "/here"}, {"Content-Encoding", "gzip"}, {"Content-Length", std::to_string(body.size())}});
        exchange.send(body);
    });
    server_.route("/here", LoopbackHTTPServer::fixed(200, {{"Content-Encoding", "gzip"}}, coded_bodies::compressed(kContent, Format::Gzip)));
    auto delegate = load(requestFor(server_.url("/moved")));
    EXPECT_EQ(delegate->error, nullptr);
    EXPECT_EQ(std::string(delegate->body->stringView()), kContent);
}

// A request's bound holds for the body as decoded: announced past it, the body is not read; sent
// or unpacked past it, the transfer stops there and the client has no more than the bound.
TEST_F(URLTransferBodyTest, ABodyIsReadNoFurtherThanTheRequestsBound) {
    constexpr std::size_t kBound = 1 << 20;
    constexpr std::size_t kPiece = 64 * 1024;
    constexpr std::size_t kThirtyMegabytes = 30u << 20;
    auto sent = std::make_shared<std::atomic<std::size_t>>(0);
    struct Case {
        const char* name;
        LoopbackHTTPServer::Handler handler;
        bool fits;
    };
    const std::string bomb = coded_bodies::compressedZeros(64u << 20, Format::Gzip);
    ASSERT_LT(bomb.size(), 256u * 1024);
    const Case cases[] = {
        {"exactly the bound", LoopbackHTTPServer::fixed(200, {}, std::string(kBound, 'x')), true},
        {"gzip unpacking to exactly the bound",
         LoopbackHTTPServer::fixed(200, {{"Content-Encoding", "gzip"}}, coded_bodies::compressedZeros(kBound, Format::Gzip)), true},
        {"announced past it", LoopbackHTTPServer::truncated(200, kBound + 1, "x"), false},
        {"chunked past it", LoopbackHTTPServer::chunked(200, {}, {std::string(kBound / 2, 'x'), std::string(kBound / 2 + 1, 'y')}), false},
        {"a small gzip unpacking to 64 MB", LoopbackHTTPServer::fixed(200, {{"Content-Encoding", "gzip"}}, bomb), false},
        {"30 MB without a length", coded_bodies::counted({}, std::string(kPiece, 'z'), kThirtyMegabytes / kPiece, sent), false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "/bounded" + std::to_string(n++);
        server_.route(path, c.handler);
        auto request = requestFor(server_.url(path));
        request->setMaximumBodyLength(kBound);
        auto delegate = load(request);
        if (c.fits) {
            EXPECT_EQ(delegate->error, nullptr);
            EXPECT_EQ(delegate->body->length(), kBound);
            continue;
        }
        ASSERT_NE(delegate->error, nullptr);
        EXPECT_EQ(delegate->error->domain(), NSURLErrorDomain);
        EXPECT_EQ(delegate->error->code(), NSURLErrorDataLengthExceedsMaximum);
        EXPECT_LE(delegate->body->length(), kBound);
    }
    // The 30 MB answer stopped once the client left: what went out is what the client read (a
    // bound and a read) and what the two sockets' buffers hold, far from the whole.
    ASSERT_TRUE(runMainUntil([&] { return server_.handledCount() == server_.requestCount(); }, kWait));
    EXPECT_GT(sent->load(), 0u);
    EXPECT_LT(sent->load(), kThirtyMegabytes / 2);
}

// The gathered answers of the synchronous and asynchronous requests keep their limit on the
// decoded body, and decode it as any other load.
TEST_F(URLTransferBodyTest, GatheredAnswersAreDecodedWithinTheirLimit) {
    struct LimitGuard {
        LimitGuard() { NSURLConnection::setGatheredBodyLimit(1 << 20); }
        ~LimitGuard() { NSURLConnection::setGatheredBodyLimit(0); }
    } limit;
    server_.route("/page", LoopbackHTTPServer::fixed(200, {{"Content-Encoding", "gzip"}}, coded_bodies::compressed(kContent, Format::Gzip)));
    server_.route("/bomb", LoopbackHTTPServer::fixed(200, {{"Content-Encoding", "deflate"}},
                                                     coded_bodies::compressedZeros(64u << 20, Format::Zlib)));
    NSURLResponsePtr response;
    NSErrorPtr error;
    auto data = NSURLConnection::sendSynchronousRequest(requestFor(server_.url("/page")), &response, &error);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->stringView()), kContent);
    // A request's own bound below the limit is the one that holds.
    auto own = requestFor(server_.url("/page"));
    own->setMaximumBodyLength(100);
    data = NSURLConnection::sendSynchronousRequest(own, &response, &error);
    EXPECT_FALSE(data);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), NSURLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(own->maximumBodyLength(), 100u);

    bool called = false;
    NSErrorPtr asyncError;
    NSDataPtr asyncData = NSData::data();
    NSURLConnection::sendAsynchronousRequest(requestFor(server_.url("/bomb")), NSOperationQueue::mainQueue(),
                                             [&](const NSURLResponsePtr&, const NSDataPtr& d, const NSErrorPtr& e) {
                                                 asyncData = d;
                                                 asyncError = e;
                                                 called = true;
                                             });
    ASSERT_TRUE(runMainUntil([&] { return called; }, kWait));
    EXPECT_FALSE(asyncData);
    ASSERT_TRUE(asyncError);
    EXPECT_EQ(asyncError->code(), NSURLErrorDataLengthExceedsMaximum);
}

} // namespace
