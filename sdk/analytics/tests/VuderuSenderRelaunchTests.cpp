// Launches of the sending side in child processes on one device, killed mid-upload or ended.
// The collector lives in the test process, so it outlives every launch and synchronises with
// them: a launch is killed only once the collector holds its uploads.

#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

using namespace sender_fixture;

constexpr double kChildWaitSeconds = 60;

struct Launch {
    std::vector<CollectorAnswer> answers = {};  // then 200 for the rest
    std::vector<std::string> reports = {};      // handed to the sender after its start
    bool refused = false;                  // the collector's address refuses connections
    std::size_t killAfterStalls = 0;       // 0: the launch ends once its uploads are over
};

class VuderuSenderRelaunchTest : public DeviceTest {
protected:
    // Runs one launch in a child process. An ended launch answers how many blocks its sender
    // found stored at start; a killed one -1.
    int run(const Launch& launch) {
        collector_.script(launch.answers);
        const std::string url = launch.refused ? refused_ : collector_.url();
        auto body = [&]() -> int {
            auto sender = sender_fixture::launch(url);
            const int storedAtStart = static_cast<int>(std::min<std::size_t>(storedIdentifiers(sender).size(), 250));
            for (const auto& report : launch.reports) send(sender, report);
            if (launch.killAfterStalls > 0) {
                runMainUntil([] { return false; }, kChildWaitSeconds * 2);
                return 254;
            }
            return settle(sender, kChildWaitSeconds) ? storedAtStart : 253;
        };
        if (launch.killAfterStalls == 0) return runInChildProcess(body);
        pid_t child = startChildProcess(body);
        EXPECT_GT(child, 0);
        EXPECT_TRUE(collector_.waitForStalls(launch.killAfterStalls, kChildWaitSeconds));
        ::kill(child, SIGKILL);
        int status = waitForChildProcess(child);
        collector_.releaseStalls();
        return status;
    }

    // A last launch against a willing collector, until nothing is stored; the blocks it found.
    int deliverRest() {
        collector_.script({});
        return runInChildProcess([&]() -> int {
            auto sender = launch(collector_.url());
            const int storedAtStart = static_cast<int>(std::min<std::size_t>(storedIdentifiers(sender).size(), 250));
            bool empty = runMainUntil([&] { return storedIdentifiers(sender).empty() && runningCount(sender) == 0; }, kChildWaitSeconds);
            return empty ? storedAtStart : 252;
        });
    }

    AnalyticsCollector collector_;
    const std::string refused_ = "http://" + AnalyticsCollector::refusedHostAndPort() + "/aas.do";
};

TEST_F(VuderuSenderRelaunchTest, ALaunchKilledMidUploadLosesNothing) {
    const std::vector<std::string> reports{std::string("first\0report", 12), "second report", std::string(3000, '\x7f')};
    EXPECT_EQ(run({.answers = std::vector<CollectorAnswer>(3, CollectorAnswer::stall()), .reports = reports, .killAfterStalls = 3}), -1);
    ASSERT_EQ(collector_.requestCount(), 3u);
    EXPECT_EQ(sorted(collector_.bodies()), sorted(reports));

    EXPECT_EQ(deliverRest(), 3);
    auto bodies = collector_.bodies();
    ASSERT_EQ(bodies.size(), 6u);
    EXPECT_EQ(sorted(std::vector<std::string>(bodies.begin() + 3, bodies.end())), sorted(reports));
    EXPECT_TRUE(blockFiles().empty());
}

TEST_F(VuderuSenderRelaunchTest, FailureAndRelaunchSequencesDeliverEveryReport) {
    const auto stall = CollectorAnswer::stall();
    const auto failed = CollectorAnswer::withStatus(500, "no");
    struct Row {
        const char* name;
        std::vector<Launch> launches;
    };
    const std::vector<Row> rows = {
        {"refused, then delivered", {{.reports = {"a", "b"}, .refused = true}}},
        {"failed, then killed mid-upload",
         {{.answers = {failed, failed}, .reports = {"a", "b"}}, {.answers = {stall}, .reports = {"c"}, .killAfterStalls = 1}}},
        {"dropped, refused, then every upload killed",
         {{.answers = {CollectorAnswer::dropBeforeAnswer(), CollectorAnswer::dropMidBody()}, .reports = {"a", "b"}},
          {.reports = {"c"}, .refused = true},
          {.answers = {stall, stall, stall}, .killAfterStalls = 3}}},
        {"killed twice",
         {{.answers = {stall, stall}, .reports = {"a", "b"}, .killAfterStalls = 2},
          {.answers = {stall, stall}, .reports = {"c"}, .killAfterStalls = 2}}},
        {"a 404 and a success in one launch", {{.answers = {CollectorAnswer::withStatus(404)}, .reports = {"a", "b", "c"}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        removeHostTree(host("/var/mobile/Library"));
        std::vector<std::string> reports;
        const std::size_t before = collector_.requestCount();
        for (const Launch& launch : row.launches) {
            int status = run(launch);
            EXPECT_EQ(status, launch.killAfterStalls ? -1 : status);
            EXPECT_LT(status, 250);
            reports.insert(reports.end(), launch.reports.begin(), launch.reports.end());
        }
        EXPECT_LT(deliverRest(), 250);
        auto bodies = collector_.bodies();
        bodies.erase(bodies.begin(), bodies.begin() + static_cast<std::ptrdiff_t>(before));
        for (const auto& report : reports) EXPECT_NE(std::find(bodies.begin(), bodies.end(), report), bodies.end()) << report;
        EXPECT_TRUE(blockFiles().empty());
    }
}

// A launch killed mid-upload never reaches the trim at the end of its last upload; the next
// start trims.
TEST_F(VuderuSenderRelaunchTest, LaunchesKilledMidUploadKeepAtMostFiftyBlocks) {
    int serial = 0;
    for (int launch = 0; launch < 4; ++launch) {
        Launch killed{.answers = std::vector<CollectorAnswer>(9, CollectorAnswer::stall()), .killAfterStalls = 9};
        for (int i = 0; i < 15; ++i) killed.reports.push_back("report " + std::to_string(serial++));
        EXPECT_EQ(run(killed), -1);
    }
    EXPECT_EQ(run({.refused = true}), 50);
    EXPECT_LE(blockFiles().size(), 50u);
    EXPECT_EQ(deliverRest(), 50);
    EXPECT_TRUE(blockFiles().empty());
}

} // namespace

namespace {

// Kept as designed: a report whose block cannot be written goes out once, untagged, and its
// success deletes nothing.
TEST_F(VuderuSenderRelaunchTest, AReportWhoseBlockCannotBeWrittenIsSentOnceUntagged) {
    int status = runInChildProcess(
        [&]() -> int {
            VuderuUtil::setLogLevel(2);
            auto sender = launch(collector_.url());
            ::chmod(host(VuderuUtil::filePathDirectory()).c_str(), 0555);
            send(sender, "unstored");
            if (!settle(sender, kChildWaitSeconds)) return 1;
            if (!log_->contains("Failed to create VuderuDataSenderBlockInfo for data size 8")) return 2;
            if (!log_->contains("VuderuSession: async http response code: 200, id []")) return 3;
            return storedIdentifiers(sender).empty() ? 0 : 4;
        },
        true);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(collector_.bodies(), std::vector<std::string>{"unstored"});
}

} // namespace
