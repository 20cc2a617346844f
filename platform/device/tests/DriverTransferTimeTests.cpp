// The script clock's one rule over a transfer the loopback server paces: however a wait is split,
// the clock runs with the transfer's real time from its start, the transfer's end is dated at its
// real end, and a wait is its seconds in all. Real time only bounds the clock from below (the
// server's pacing) and from above (the real time the test saw pass), whatever the machine's speed.

#include "platform/device/Driver.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/net/NSURLConnection.h"
#include "platform/net/NSURLRequest.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIApplication.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {
// The server sends the body over this long, so the transfer cannot end sooner on any machine.
constexpr double kPacedSeconds = 1.0;
constexpr int kPacedPieces = 10;
constexpr double kExactClock = 1e-6;

double realSecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class DriverTransferTimeTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        server_.route("/paced", [](LoopbackExchange& exchange) {
            const std::string piece(1000, 'v');
            if (!exchange.sendHead(200, {{"Content-Length", std::to_string(piece.size() * kPacedPieces)}})) return;
            for (int i = 0; i < kPacedPieces; ++i) {
                // The pacing is the server's: the body's last byte leaves kPacedSeconds after the head.
                std::this_thread::sleep_for(std::chrono::duration<double>(kPacedSeconds / kPacedPieces));
                if (!exchange.send(piece)) return;
            }
        });
        // An answer that comes only after kPacedSeconds (a slow version service).
        server_.route("/late", [](LoopbackExchange& exchange) {
            std::this_thread::sleep_for(std::chrono::duration<double>(kPacedSeconds));
            exchange.sendHead(200, {{"Content-Length", "2"}});
            exchange.send("ok");
        });
        clock_ = std::make_unique<ManualClock>(1400000000);
    }
    void TearDown() override {
        clock_.reset();
        server_.stop();
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    // Starts a fetch of `path` (by the main queue's connection, or by a worker blocked on the
    // answer, as the update check asks) that records on the main queue the clock when its answer
    // is in (kept alive by the fetch too).
    void startFetch(const std::string& path, bool synchronousOnWorker, const std::shared_ptr<double>& endedAt) {
        auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(server_.url(path)));
        *endedAt = -1;
        auto record = [endedAt] { *endedAt = PlatformClock::monotonic(); };
        if (!synchronousOnWorker) {
            NSURLConnection::sendAsynchronousRequest(request, NSOperationQueue::mainQueue(),
                                                     [record](const NSURLResponsePtr&, const NSDataPtr&, const NSErrorPtr&) { record(); });
            return;
        }
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [request, record] {
            NSURLResponsePtr response;
            NSErrorPtr error;
            NSURLConnection::sendSynchronousRequest(request, &response, &error);
            dispatch_async(dispatch_get_main_queue(), record);
        });
    }
    void addFetchCommand(const std::string& name, const std::string& path, bool synchronousOnWorker, std::shared_ptr<double> endedAt) {
        Driver::addHostCommand(name, "", "", [=, this](Driver&, const std::string&, UIScreenReply&) {
            startFetch(path, synchronousOnWorker, endedAt);
            return true;
        });
    }

    LoopbackHTTPServer server_;
    Driver driver_;
    std::unique_ptr<ManualClock> clock_;
};
} // namespace

// One table of wait splits over each kind of client: a paced body read by the main queue's
// connection, and an answer a worker waits for. The waits before the transfer's end move the
// clock by their seconds and take at least as much real time; none of them sees the end; the
// long wait after sees it, dated at least the pacing after the start and no later than the real
// time that passed; every split ends the clock at the waits' sum.
TEST_F(DriverTransferTimeTest, EverySplitOfAWaitFollowsTheTransfersRealTime) {
    const struct {
        const char* client;
        std::string path;
        bool synchronousOnWorker;
    } clients[] = {
        {"paced body, main queue", "/paced", false},
        {"late answer, worker waiting", "/late", true},
    };
    const struct {
        const char* name;
        std::vector<double> before;  // waits that end before the transfer can
    } splits[] = {
        {"one wait", {}},
        {"waits of 0.1", std::vector<double>(8, 0.1)},
        {"waits of 0.25", {0.25, 0.25, 0.25}},
        {"a wait shorter than the transfer", {0.5}},
    };
    constexpr double kLongWait = 3;
    int command = 0;
    for (const auto& client : clients) {
        for (const auto& split : splits) {
            SCOPED_TRACE(std::string(client.client) + ", " + split.name);
            auto endedAt = std::make_shared<double>(-1);
            const std::string name = "fetch" + std::to_string(command++);
            addFetchCommand(name, client.path, client.synchronousOnWorker, endedAt);
            const double start = PlatformClock::monotonic();
            const auto realStart = std::chrono::steady_clock::now();
            EXPECT_EQ(driver_.execute(name), "");
            double waited = 0;
            for (double seconds : split.before) {
                EXPECT_EQ(driver_.execute("wait " + std::to_string(seconds)), "");
                waited += seconds;
                EXPECT_NEAR(PlatformClock::monotonic() - start, waited, kExactClock);
                EXPECT_EQ(*endedAt, -1) << "the end was seen " << waited << " s into a transfer of " << kPacedSeconds << " s";
            }
            EXPECT_GE(realSecondsSince(realStart), waited) << "the clock ran ahead of real time over the transfer";
            EXPECT_EQ(driver_.execute("wait " + std::to_string(kLongWait)), "");
            const double real = realSecondsSince(realStart);
            EXPECT_NEAR(PlatformClock::monotonic() - start, waited + kLongWait, kExactClock);
            ASSERT_GE(*endedAt, 0) << "the wait did not see the transfer end";
            EXPECT_GE(*endedAt - start, kPacedSeconds) << "the end was dated before the server could send it";
            EXPECT_LE(*endedAt - start, real) << "the end was dated after the real time that passed";
        }
    }
}

// settle runs while a transfer is in flight or about to begin: one a timer starts half a second
// on is run and ended, the clock standing where it ended; with nothing in flight or due soon it
// leaves the clock where it stands.
TEST_F(DriverTransferTimeTest, SettleRunsATransferAboutToBeginToItsEnd) {
    auto endedAt = std::make_shared<double>(-1);
    Driver::addHostCommand("fetch-soon", "", "", [this, endedAt](Driver&, const std::string&, UIScreenReply&) {
        NSRunLoop::mainRunLoop()->performAfterDelay(0.5, [this, endedAt] { startFetch("/paced", false, endedAt); });
        return true;
    });
    const double start = PlatformClock::monotonic();
    EXPECT_EQ(driver_.execute("settle"), "");
    EXPECT_EQ(PlatformClock::monotonic(), start) << "settle moved the clock with nothing in flight";
    EXPECT_EQ(driver_.execute("fetch-soon"), "");
    EXPECT_EQ(driver_.execute("settle 10"), "");
    ASSERT_GE(*endedAt, 0) << "settle ended before the transfer";
    EXPECT_GE(*endedAt - start, 0.5 + kPacedSeconds);
    EXPECT_NEAR(PlatformClock::monotonic(), *endedAt, 0.05) << "settle left the clock away from the transfer's end";
}
