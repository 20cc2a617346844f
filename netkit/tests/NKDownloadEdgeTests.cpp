// Download edge cases: a pause after the last byte, a slow output stream, and the body of a
// download kept in memory.

#include "netkit/NKHTTPRequestOperation.h"
#include "netkit/NKURLResponseSerialization.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/LoopbackRequests.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <future>

namespace {
using namespace loopback_requests;

const char* const kFolder = "/var/mobile/Tandrel";
const char* const kDownloadPath = "/var/mobile/Tandrel/v.bin";

class NKDownloadEdgeTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        makeDirectory(kFolder);
    }

    NKHTTPRequestOperationPtr start(const std::string& url, const std::shared_ptr<NSOutputStream>& stream) {
        auto operation = NKHTTPRequestOperation::initWithRequest(requestFor(url));
        if (stream) operation->setOutputStream(stream);
        operation->setCompletionBlock([this] { completed_ = true; });
        operation->start();
        return operation;
    }

    // Downloads the body of "/v" into kDownloadPath up to its last byte, with the end of the
    // chunked answer held back so that the transfer has not ended, and pauses there. The server's
    // next route for "/v" answers the resume. Nil when the body never arrived.
    NKHTTPRequestOperationPtr pauseAfterTheLastByte(LoopbackHTTPServer& server, const std::string& body) {
        completed_ = false;
        auto gate = std::make_shared<LoopbackGate>();
        server.route("/v", [gate, body](LoopbackExchange& exchange) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", body.size());
            exchange.sendHead(200, {{"ETag", "\"v1\""}, {"Transfer-Encoding", "chunked"}});
            exchange.send(size + body + "\r\n");
            if (gate->wait()) exchange.send("0\r\n\r\n");
            exchange.closeAfterResponse();
        });
        auto operation = start(server.url("/v"), NSOutputStream::outputStreamToFileAtPath(kDownloadPath, false));
        const auto expected = static_cast<long long>(body.size());
        if (!runMainUntil([&] { return operation->totalBytesRead() == expected; }, kWait)) {
            ADD_FAILURE() << "the body never arrived";
            return nullptr;
        }
        operation->pause();
        gate->cancel();
        return operation;
    }

    std::atomic<bool> completed_{false};
};

TEST_F(NKDownloadEdgeTest, APauseAfterTheLastByteResumesIntoACompleteDownload) {
    struct Case {
        const char* name;
        std::string resource;  // what the server holds when the download resumes
        std::string etag;      // and its tag (the download began with "v1")
        std::string file;      // what the download's file then holds
        long status;           // the operation's response at the end
        bool fails;
    };
    const std::string body(3000, 'b');
    const Case cases[] = {
        // The stream holds the whole resource: the 416 completes the download.
        {"the same resource", body, "\"v1\"", body, 200, false},
        {"a longer resource", body + "more", "\"v1\"", body + "more", 206, false},
        // Another resource's rest would be spliced onto this one's start.
        {"a changed resource", body + "more", "\"v2\"", body, 206, true},
        // A 416 that gives another length completes nothing: the download fails.
        {"a shorter resource", body.substr(0, 2000), "\"v2\"", body, 416, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHTTPServer server;
        auto operation = pauseAfterTheLastByte(server, body);
        ASSERT_TRUE(operation);
        ASSERT_EQ(operation->request()->valueForHTTPHeaderField("Range"), "bytes=3000-");
        server.route("/v", LoopbackHTTPServer::rangeResource(c.resource, c.etag, true));
        operation->resume();
        ASSERT_TRUE(runMainUntil([&] { return completed_.load(); }, kWait));
        EXPECT_EQ(readFile(kDownloadPath), c.file);
        EXPECT_EQ(operation->response()->statusCode(), c.status);
        EXPECT_EQ(operation->error() != nullptr, c.fails);
        if (!c.fails) {
            EXPECT_EQ(operation->totalBytesRead(), static_cast<long long>(c.file.size()));
        }
    }
}

// A resumed download continues only with a part that starts where its file ends; any other part,
// one from the first byte included, fails the download.
TEST_F(NKDownloadEdgeTest, APartialAnswerMustContinueTheFile) {
    struct Case {
        const char* name;
        std::string contentRange;
        std::string part;
        std::string file;
        bool fails;
    };
    const std::string body(3000, 'b');
    const Case cases[] = {
        {"continues", "bytes 3000-3003/3004", "more", body + "more", false},
        {"from the first byte", "bytes 0-2999/3000", std::string(3000, 'n'), body, true},
        {"past the end", "bytes 3500-3503/3504", "late", body, true},
        {"inside the file", "bytes 1000-1003/1004", "half", body, true},
        {"no usable range", "items 1-2", "odd!", body, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHTTPServer server;
        auto operation = pauseAfterTheLastByte(server, body);
        ASSERT_TRUE(operation);
        server.route("/v", [&](LoopbackExchange& exchange) {
            exchange.sendHead(206, {{"Content-Range", c.contentRange}, {"Content-Length", std::to_string(c.part.size())}});
            exchange.send(c.part);
            exchange.closeAfterResponse();
        });
        operation->resume();
        ASSERT_TRUE(runMainUntil([&] { return completed_.load(); }, kWait));
        EXPECT_EQ(readFile(kDownloadPath), c.file);
        ASSERT_EQ(operation->error() != nullptr, c.fails);
        if (c.fails) {
            EXPECT_EQ(operation->error()->domain(), NKNetworkingErrorDomain);
            EXPECT_EQ(operation->error()->code(), NSURLErrorBadServerResponse);
        }
    }
}

TEST_F(NKDownloadEdgeTest, APauseNeverWaitsForAStreamWrite) {
    // A named pipe that nobody reads: the network thread's write blocks once the pipe is full.
    const std::string path = std::string(kFolder) + "/pipe";
    ASSERT_EQ(::mkfifo(host(path).c_str(), 0600), 0);
    int reader = ::open(host(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const long capacity = ::fcntl(reader, F_GETPIPE_SZ);
    LoopbackHTTPServer server;
    server.route("/big", LoopbackHTTPServer::fixed(200, {}, std::string(static_cast<std::size_t>(capacity) * 4, 'p')));
    auto operation = start(server.url("/big"), NSOutputStream::outputStreamToFileAtPath(path, false));
    auto pipeFull = [&] {
        int queued = 0;
        return ::ioctl(reader, FIONREAD, &queued) == 0 && queued >= capacity;
    };
    ASSERT_TRUE(runMainUntil(pipeFull, kWait));

    // Nobody reads the pipe until the pause has returned or the loopback wait is over, so a pause
    // that waited for the write could only end by running out that wait.
    auto paused = std::async(std::launch::async, [&] { operation->pause(); });
    bool returned = paused.wait_for(std::chrono::duration<double>(kWait)) == std::future_status::ready;
    // The writer goes on once the pipe is read, so that a pause that waited for it ends too.
    std::vector<char> sink(static_cast<std::size_t>(capacity));
    while (paused.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        [[maybe_unused]] auto n = ::read(reader, sink.data(), sink.size());
    }
    paused.wait();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(operation->isPaused());
    // The download resumes after what was written whole before the write that blocked: the
    // chunks before it (if the first arrived in pieces) fitted in the pipe, the blocked one did not.
    const std::string range = operation->request()->valueForHTTPHeaderField("Range");
    long long resumeAt = -1;
    ASSERT_EQ(std::sscanf(range.c_str(), "bytes=%lld-", &resumeAt), 1) << range;
    EXPECT_EQ(range, "bytes=" + std::to_string(resumeAt) + "-");
    EXPECT_GE(resumeAt, 0);
    EXPECT_LE(resumeAt, capacity);
    operation->cancel();
    ::close(reader);
}

TEST_F(NKDownloadEdgeTest, AMemoryDownloadHandsOverTheStreamsOwnBuffer) {
    LoopbackHTTPServer server;
    const std::string body(200000, 'm');
    server.route("/m", LoopbackHTTPServer::fixed(200, {}, body));
    auto stream = NSOutputStream::outputStreamToMemory();
    auto operation = start(server.url("/m"), stream);
    ASSERT_TRUE(runMainUntil([&] { return completed_.load(); }, kWait));
    ASSERT_TRUE(operation->responseData());
    EXPECT_EQ(operation->responseData()->stringView(), body);
    // One buffer, not a copy of it: the body is held once.
    EXPECT_EQ(operation->responseData(), stream->dataWrittenToMemory());
}

} // namespace
