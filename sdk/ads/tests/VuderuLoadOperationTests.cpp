// Asset loads against the loopback server: outcomes, the thread each arrives on, retries,
// cancellation and the files they leave.

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSThread.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/ads/VuderuFileLoadOperation.h"
#include "sdk/ads/VuderuHttpLoadOperation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Heard {
    std::string outcome;  // "finish", "fail" or "cancel"
    bool onMainThread = false;
    NSErrorPtr error;
};

class RecordingLoadDelegate : public VuderuContentLoadOperationDelegate {
public:
    void loadOperationDidFinishLoading(const std::shared_ptr<VuderuLoadOperation>& operation) override { record("finish", operation); }
    void loadOperationDidFailLoading(const std::shared_ptr<VuderuLoadOperation>& operation) override { record("fail", operation); }
    void loadOperationDidCancel(const std::shared_ptr<VuderuLoadOperation>& operation) override { record("cancel", operation); }
    std::vector<Heard> heard() const {
        std::lock_guard guard(mutex_);
        return heard_;
    }

private:
    void record(const std::string& outcome, const std::shared_ptr<VuderuLoadOperation>& operation) {
        std::lock_guard guard(mutex_);
        heard_.push_back({outcome, NSThread::isMainThread(), operation->operationError()});
    }
    mutable std::mutex mutex_;
    std::vector<Heard> heard_;
};

const std::string kSavePath = "/var/mobile/Library/Caches/VuderuFiles/asset_cache/r1/a.mp4";

class LoadOperationTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        queue_->setMaxConcurrentOperationCount(3);
    }
    void TearDown() override {
        server_.stop();
        DeviceTest::TearDown();
    }

    std::shared_ptr<VuderuHttpLoadOperation> httpLoad(const std::string& path, std::int64_t maxAssetSize = 0) {
        auto operation = std::make_shared<VuderuHttpLoadOperation>("r1", server_.url(path), 1e9, Value::Dictionary{{"k", "v"}},
                                                                   delegate_, kSavePath, "cb1");
        operation->setMaxAssetSize(maxAssetSize);
        return operation;
    }
    // Runs the operation on the queue until its delegate heard something and the queue let it go.
    Heard run(const std::shared_ptr<VuderuLoadOperation>& operation) {
        queue_->addOperation(operation);
        EXPECT_TRUE(runMainUntil([&] { return !delegate_->heard().empty() && queue_->operationCount() == 0; }));
        drainMain();
        auto heard = delegate_->heard();
        EXPECT_EQ(heard.size(), 1u);
        return heard.empty() ? Heard{} : heard.front();
    }
    bool saved() const { return NSFileManager::defaultManager()->fileExistsAtPath(kSavePath); }

    LoopbackHTTPServer server_;
    std::shared_ptr<NSOperationQueue> queue_ = std::make_shared<NSOperationQueue>();
    std::shared_ptr<RecordingLoadDelegate> delegate_ = std::make_shared<RecordingLoadDelegate>();
};

} // namespace

// A download replaces whatever stood at its path with a file of its own: a longer older file
// leaves no tail, and a link there is replaced, never written through.
TEST_F(LoadOperationTest, ADownloadReplacesWhatStoodAtItsPath) {
    server_.route("/new", LoopbackHTTPServer::fixed(200, {}, std::string(150, 'n')));
    writeFile(kSavePath, std::string(400, 'o'));
    EXPECT_EQ(run(httpLoad("/new")).outcome, "finish");
    EXPECT_EQ(readFile(kSavePath), std::string(150, 'n'));

    delegate_ = std::make_shared<RecordingLoadDelegate>();
    const std::string target = "/var/mobile/Documents/kept.txt";
    writeFile(target, "kept");
    ::unlink(host(kSavePath).c_str());
    ASSERT_EQ(::symlink(host(target).c_str(), host(kSavePath).c_str()), 0);
    EXPECT_EQ(run(httpLoad("/new")).outcome, "finish");
    EXPECT_EQ(readFile(target), "kept");
    EXPECT_EQ(readFile(kSavePath), std::string(150, 'n'));
    struct stat st{};
    ASSERT_EQ(::lstat(host(kSavePath).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

// A body of at least 100 bytes is kept and reported on the worker thread; a shorter one, an error
// status, a part not asked for or a body past the size limit is deleted and reported on the main thread.
TEST_F(LoadOperationTest, OutcomesThreadsAndFilesByAnswer) {
    struct Case {
        const char* name;
        LoopbackHTTPServer::Handler handler;
        std::int64_t maxAssetSize;
        const char* outcome;
        bool onMainThread;
        bool kept;
        long errorCode;  // 0: no error
    };
    const Case cases[] = {
        {"100 bytes", LoopbackHTTPServer::fixed(200, {}, std::string(100, 'x')), 0, "finish", false, true, 0},
        {"99 bytes", LoopbackHTTPServer::fixed(200, {}, std::string(99, 'x')), 0, "fail", true, false, 0},
        {"404 page", LoopbackHTTPServer::fixed(404, {}, std::string(200, 'p')), 0, "fail", true, false, 404},
        {"at the limit", LoopbackHTTPServer::fixed(200, {}, std::string(1000, 'x')), 1000, "finish", false, true, 0},
        {"announced past the limit", LoopbackHTTPServer::fixed(200, {}, std::string(1001, 'x')), 1000, "fail", true, false,
         NSURLErrorDataLengthExceedsMaximum},
        {"chunked past the limit", LoopbackHTTPServer::chunked(200, {}, {std::string(600, 'x'), std::string(600, 'y')}), 1000, "fail",
         true, false, NSURLErrorDataLengthExceedsMaximum},
        // A part of the asset, answered to a request for the whole of it.
        {"a part not asked for", LoopbackHTTPServer::fixed(206, {{"Content-Range", "bytes 0-199/800"}}, std::string(200, 'x')), 0,
         "fail", true, false, NSURLErrorBadServerResponse},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate_ = std::make_shared<RecordingLoadDelegate>();
        std::string path = "/asset" + std::to_string(n++);
        server_.route(path, c.handler);
        auto operation = httpLoad(path, c.maxAssetSize);
        Heard heard = run(operation);
        EXPECT_EQ(heard.outcome, c.outcome);
        EXPECT_EQ(heard.onMainThread, c.onMainThread);
        EXPECT_EQ(saved(), c.kept);
        EXPECT_TRUE(operation->isFinished());
        EXPECT_FALSE(operation->isExecuting());
        EXPECT_GE(operation->endTime(), operation->startTime());
        EXPECT_EQ(heard.error != nullptr, c.errorCode != 0);
        if (heard.error) {
            EXPECT_EQ(heard.error->domain(), "LoadManager");
            EXPECT_EQ(heard.error->code(), c.errorCode);
        }
        if (c.kept) {
            EXPECT_EQ(readFile(kSavePath).size(), c.maxAssetSize ? 1000u : 100u);
        }
        NSFileManager::defaultManager()->removeItemAtPath(kSavePath, nullptr);
    }
}

TEST_F(LoadOperationTest, ErrorStatusCarriesItsText) {
    server_.route("/missing", LoopbackHTTPServer::fixed(404, {}, std::string(200, 'p')));
    Heard heard = run(httpLoad("/missing"));
    ASSERT_TRUE(heard.error);
    EXPECT_EQ(heard.error->localizedDescription(), "Received status code: 404 for asset: r1");
}

// Two dropped connections and then an answer: three attempts, the last one kept. Three dropped
// ones: the connection's error, reported on the worker thread, and no file.
TEST_F(LoadOperationTest, DroppedConnectionsAreRetriedTwice) {
    for (int drops : {2, 3}) {
        SCOPED_TRACE(drops);
        delegate_ = std::make_shared<RecordingLoadDelegate>();
        auto attempts = std::make_shared<std::atomic<int>>(0);
        std::string path = "/flaky" + std::to_string(drops);
        server_.route(path, [attempts, drops](LoopbackExchange& exchange) {
            if (++*attempts <= drops) {
                exchange.closeAfterResponse();
                return;
            }
            // Not kept alive: the next case's first attempt opens a connection of its own.
            LoopbackHTTPServer::fixed(200, {{"Connection", "close"}}, std::string(300, 'v'))(exchange);
            exchange.closeAfterResponse();
        });
        auto operation = httpLoad(path);
        Heard heard = run(operation);
        EXPECT_EQ(operation->numRetries(), 2);
        EXPECT_EQ(attempts->load(), 3);
        if (drops == 2) {
            EXPECT_EQ(heard.outcome, "finish");
            EXPECT_EQ(readFile(kSavePath), std::string(300, 'v'));
        } else {
            EXPECT_EQ(heard.outcome, "fail");
            EXPECT_FALSE(heard.onMainThread);
            ASSERT_TRUE(heard.error);
            EXPECT_EQ(heard.error->domain(), NSURLErrorDomain);
            EXPECT_FALSE(saved());
        }
    }
}

// Cancelled before it starts, an operation reads as finished, and a queue that starts it lets
// it go without a load (the queue's slots stay free for later loads).
TEST_F(LoadOperationTest, CancelledBeforeStartReadsFinishedAndFreesItsSlot) {
    server_.route("/a", LoopbackHTTPServer::fixed(200, {}, std::string(100, 'x')));
    queue_->setSuspended(true);
    std::vector<std::shared_ptr<VuderuHttpLoadOperation>> cancelled;
    for (int i = 0; i < 3; ++i) {
        cancelled.push_back(httpLoad("/a"));
        queue_->addOperation(cancelled.back());
        cancelled.back()->cancel();
        EXPECT_TRUE(cancelled.back()->isFinished());
        EXPECT_FALSE(cancelled.back()->isExecuting());
    }
    queue_->setSuspended(false);
    Heard heard = run(httpLoad("/a"));
    EXPECT_EQ(heard.outcome, "finish");
    EXPECT_EQ(server_.requestCount(), 1u);
}

// A running load the test marks started itself, to finish it from two threads at once.
struct StartedByHandLoad : VuderuHttpLoadOperation {
    using VuderuHttpLoadOperation::VuderuHttpLoadOperation;
    using VuderuLoadOperation::markStarted;
};

// Finished from two threads at once, a load tells its observers (its queue) once, and stays
// finished: here the second cancel comes, on another thread, while the first is telling the
// observers that the load stops executing.
TEST_F(LoadOperationTest, FinishedFromTwoThreadsAtOnceItTellsItsObserversOnce) {
    auto operation = std::make_shared<StartedByHandLoad>("r1", server_.url("/a"), 1e9, Value::Dictionary{}, delegate_, kSavePath, "cb1");
    operation->markStarted();
    ASSERT_TRUE(operation->isExecuting());
    int finishedNotices = 0;
    bool secondCancelSent = false;
    operation->addObserverForKeyPath("isFinished", [&](const std::string&, bool prior) {
        if (!prior) ++finishedNotices;
    });
    operation->addObserverForKeyPath(
        "isExecuting",
        [&](const std::string&, bool prior) {
            if (!prior || secondCancelSent) return;
            secondCancelSent = true;
            std::thread([&] { operation->cancel(); }).join();
        },
        true);
    operation->cancel();
    EXPECT_TRUE(secondCancelSent);
    EXPECT_EQ(finishedNotices, 1);
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->isExecuting());
}

// Cancelled while the body arrives: the load stops without waiting for the server, reports
// nothing and deletes what it had written.
TEST_F(LoadOperationTest, CancelledMidBodyReportsNothingAndLeavesNoFile) {
    auto gate = std::make_shared<LoopbackGate>();
    server_.route("/slow", LoopbackHTTPServer::gated(200, {}, std::string(4000, 's'), 1000, gate));
    auto operation = httpLoad("/slow");
    queue_->addOperation(operation);
    ASSERT_TRUE(runMainUntil([&] { return gate->waiting() > 0 && saved() && readFile(kSavePath).size() == 1000; }));
    operation->cancel();
    EXPECT_TRUE(operation->isFinished());
    ASSERT_TRUE(runMainUntil([&] { return !operation->runLoop() && queue_->operationCount() == 0; }));
    gate->cancel();
    drainMain();
    EXPECT_TRUE(delegate_->heard().empty());
    EXPECT_FALSE(saved());
}

// A local load reads the path in its resource id; without a URL it cannot start. Every outcome
// arrives on the main thread.
TEST_F(LoadOperationTest, LocalLoadsReadTheResourceIdPath) {
    writeFile("/tmp/local.bin", "local bytes");
    struct Case {
        const char* resourceId;
        const char* url;
        const char* outcome;
        std::string errorDomain;
        long errorCode;
    };
    const Case cases[] = {
        {"/tmp/local.bin", "file:///ignored.bin", "finish", "", 0},
        {"/tmp/local.bin", "", "fail", "Vuderu", 1001},
        {"not-a-path", "/tmp/local.bin", "fail", NSCocoaErrorDomain, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resourceId + std::string(" ") + c.url);
        delegate_ = std::make_shared<RecordingLoadDelegate>();
        auto operation = std::make_shared<VuderuFileLoadOperation>(c.resourceId, c.url, 0, Value::Dictionary{}, delegate_, std::nullopt);
        Heard heard = run(operation);
        EXPECT_EQ(heard.outcome, c.outcome);
        EXPECT_TRUE(heard.onMainThread);
        if (c.errorDomain.empty()) {
            EXPECT_EQ(operation->fileData()->stringView(), "local bytes");
            continue;
        }
        ASSERT_TRUE(heard.error);
        EXPECT_EQ(heard.error->domain(), c.errorDomain);
        if (c.errorCode) {
            EXPECT_EQ(heard.error->code(), c.errorCode);
            EXPECT_EQ(heard.error->localizedDescription(), "Could not find file.");
        }
    }
}

TEST_F(LoadOperationTest, DefaultSavePathIsTheUrlsLastComponentInTheAssetCache) {
    VuderuHttpLoadOperation operation("id", "http://h/x/clip.mp4", 0, {}, {}, std::nullopt, "k");
    EXPECT_EQ(operation.savePath(), "/var/mobile/Library/Caches/VuderuFiles/asset_cache/clip.mp4");
    EXPECT_EQ(operation.cbKey(), "k");
    EXPECT_EQ(operation.numRetries(), 0);
    EXPECT_EQ(operation.queuePriority(), NSOperationQueuePriorityNormal);
}
