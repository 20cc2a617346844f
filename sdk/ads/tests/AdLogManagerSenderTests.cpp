// The ad-log manager on the wire: what a send posts, what a reply confirms, how unconfirmed
// blocks wait for the next trigger; and the status recorder of fired tracking URLs.
#include "sdk/ads/VuderuAdHttptaskDelegate.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/tests/AdLogSenderFixture.h"

namespace {

using namespace adlog_builders;
using AdLogManagerSenderLogs = std::vector<std::string>;

} // namespace

TEST_F(AdLogSenderTest, ASendPostsExactlyTheSendableEventsOfItsTransfer) {
    manager()->storeAdLog(log(1000, "g1", {event(5), event(7, false), event(0, true, 3, "custom", {{"k", "v"}}), event(7), event(7)}));
    manager()->storeAdLog(log(1000, "g2", {event(3, false)}));
    manager()->storeAdLog(VuderuAdLog::adLogWithAdEventId(VuderuAdEvent::kUnfilled, std::nullopt));
    send();
    ASSERT_TRUE(settle());
    auto requests = collector_.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, AnalyticsCollector::kAdLogPath);
    EXPECT_EQ(requests[0].header("content-type"), "avro/binary");
    EXPECT_EQ(requests[0].header("accept"), "avro/binary");
    EXPECT_EQ(requests[0].header("fm-checksum"), AnalyticsCollector::checksumText(requests[0].body));
    // One sendable click leaves; a log whose events are all held back still travels, empty.
    EXPECT_EQ(postedLogs(requests[0].body), (AdLogManagerSenderLogs{": unfilled", "g1: rendered custom{k=v} clicked", "g2:"}));

    // Later events go into the next transfer only.
    manager()->getAdLog("g2")->logAdEvent(event(3));
    send();
    ASSERT_TRUE(settle());
    ASSERT_EQ(collector_.requestCount(), 2u);
    EXPECT_EQ(postedLogs(collector_.bodies()[1]), AdLogManagerSenderLogs{"g2: filled"});
    EXPECT_EQ(blockIdentifiers().size(), 2u);
    EXPECT_EQ(blockFiles().size(), 2u);
}

TEST_F(AdLogSenderTest, ASendWithNothingPendingStillPosts) {
    send();
    ASSERT_TRUE(settle());
    ASSERT_EQ(collector_.requestCount(), 1u);
    EXPECT_EQ(postedLogs(collector_.bodies()[0]), AdLogManagerSenderLogs{});
}

TEST_F(AdLogSenderTest, AVerifiedSuccessDeletesTheBlockAndOnlyTheLogsItCompletes) {
    manager()->storeAdLog(log(1, "done", {event(5)}));
    manager()->storeAdLog(log(1, "shown", {event(5)}));
    manager()->storeAdLog(log(1, "busy", {event(5)}));
    VuderuAdManager::instance()->registerAdAdSpaceName(std::make_shared<ShowingAd>("banner", "shown"), "banner");
    collector_.script(AnalyticsCollector::kAdLogPath, {CollectorAnswer::stall()});
    collector_.setReleasedAnswer(result("SUCCESS"));
    send();
    ASSERT_TRUE(runMainUntil([&] { return collector_.stalledCount() >= 1; }, 30));
    // While the upload runs: a new event for one log, and a log the transfer does not know.
    manager()->getAdLog("busy")->logAdEvent(event(7));
    manager()->storeAdLog(log(1, "late"));
    collector_.releaseStalls();
    ASSERT_TRUE(settle());

    EXPECT_EQ(collector_.requestCount(), 1u);
    EXPECT_TRUE(blockIdentifiers().empty());
    EXPECT_TRUE(blockFiles().empty());
    EXPECT_EQ(manager()->getAdLog("done"), nullptr);
    EXPECT_NE(manager()->getAdLog("shown"), nullptr);
    ASSERT_NE(manager()->getAdLog("busy"), nullptr);
    EXPECT_EQ(names(manager()->getAdLog("busy")->adEvents()), std::vector<std::string>{"clicked"});
    EXPECT_NE(manager()->getAdLog("late"), nullptr);
    // The confirmation is saved: a new launch reads the same logs.
    relaunch();
    EXPECT_EQ(manager()->adLogs().size(), 3u);
    EXPECT_EQ(manager()->getAdLog("done"), nullptr);
}

// Every reply but a verified success keeps the block, its file and the logs' entries, ends the
// task without an immediate repost, and the next trigger posts the same bytes.
TEST_F(AdLogSenderTest, RepliesThatConfirmNothingKeepEverythingForTheNextTrigger) {
    using C = CollectorAnswer::Checksum;
    struct Row {
        const char* name;
        CollectorAnswer answer;
        bool refused = false;
        bool retried = false;  // the connection may post once more on its own when closed unanswered
    };
    const Row rows[] = {
        {"wrong checksum", result("success").withChecksum(C::Wrong)},
        {"missing checksum", result("success").withChecksum(C::Absent)},
        {"500", CollectorAnswer::ad(AvroBytes().s("success").strings({}).str(), 500)},
        {"empty body", CollectorAnswer::ad({})},
        {"failure result", result("failure")},
        {"undecodable", CollectorAnswer::ad("not avro")},
        {"dropped before the answer", CollectorAnswer::dropBeforeAnswer(), false, true},
        {"dropped mid body", CollectorAnswer::dropMidBody()},
        {"refused port", CollectorAnswer::ok(), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t before = collector_.requestCount();
        VuderuNetworkUtil::setAdLogServerUrl(row.refused ? "http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kAdLogPath
                                                         : collector_.urlFor(AnalyticsCollector::kAdLogPath));
        collector_.script(AnalyticsCollector::kAdLogPath, {row.answer});
        manager()->storeAdLog(log(1, row.name, {event(5)}));
        send();
        ASSERT_TRUE(settle());
        ASSERT_EQ(blockIdentifiers().size(), 1u);
        const std::string identifier = blockIdentifiers()[0];
        EXPECT_EQ(blockFiles(), blockIdentifiers());
        EXPECT_EQ(manager()->getAdLog(row.name)->transmittedEvents().count(identifier), 1u);
        const std::size_t posted = collector_.requestCount() - before;
        if (row.retried) EXPECT_LE(posted, 2u);
        else EXPECT_EQ(posted, row.refused ? 0u : 1u);

        VuderuNetworkUtil::setAdLogServerUrl(collector_.urlFor(AnalyticsCollector::kAdLogPath));
        collector_.script(AnalyticsCollector::kAdLogPath, {result("success")});
        networkBack();
        auto bodies = collector_.bodies();
        ASSERT_EQ(bodies.size(), before + posted + 1);
        for (std::size_t i = before; i < bodies.size(); ++i) EXPECT_EQ(bodies[i], bodies.back());
        EXPECT_EQ(postedLogs(bodies.back()), AdLogManagerSenderLogs{std::string(row.name) + ": rendered"});
        EXPECT_TRUE(blockIdentifiers().empty());
        EXPECT_TRUE(blockFiles().empty());
        EXPECT_EQ(manager()->getAdLog(row.name), nullptr);
    }
}

TEST_F(AdLogSenderTest, AnotherSuccessAndTheNextStartResendTheSameBytes) {
    collector_.script(AnalyticsCollector::kAdLogPath, {CollectorAnswer::withStatus(500)});
    manager()->storeAdLog(log(1, "a", {event(5)}));
    send();
    ASSERT_TRUE(settle());
    const std::string first = collector_.bodies()[0];
    const auto identifiers = blockIdentifiers();

    collector_.script(AnalyticsCollector::kAdLogPath, {CollectorAnswer::withStatus(500)});
    relaunch();
    ASSERT_EQ(collector_.requestCount(), 2u);
    EXPECT_EQ(collector_.bodies()[1], first);
    EXPECT_EQ(blockIdentifiers(), identifiers);

    // A success of a later block triggers the resend of the earlier one, which then succeeds.
    collector_.script(AnalyticsCollector::kAdLogPath, {result("success"), result("success")});
    manager()->getAdLog("a")->logAdEvent(event(7));
    send();
    ASSERT_TRUE(settle());
    auto bodies = collector_.bodies();
    ASSERT_EQ(bodies.size(), 4u);
    EXPECT_EQ(postedLogs(bodies[2]), AdLogManagerSenderLogs{"a: clicked"});
    EXPECT_EQ(bodies[3], first);
    EXPECT_TRUE(blockIdentifiers().empty());
    EXPECT_EQ(manager()->getAdLog("a"), nullptr);
}

TEST_F(AdLogSenderTest, NineUploadsAtOnceAndNoBlockPostedTwiceWhileRunning) {
    collector_.setDefaultAnswer(AnalyticsCollector::kAdLogPath, CollectorAnswer::stall());
    collector_.setReleasedAnswer(result("success"));
    for (int i = 0; i < 10; ++i) {
        manager()->storeAdLog(log(1, "log" + std::to_string(i), {event(5)}));
        send();
    }
    ASSERT_TRUE(runMainUntil([&] { return collector_.stalledCount() >= 9; }, 30));
    EXPECT_EQ(runningCount(), 9u);
    EXPECT_EQ(blockIdentifiers().size(), 10u);
    NSNotificationCenter::defaultCenter()->postNotificationName(kVuderuNetworkStatusChangedNotification);
    onQueue([] { manager()->retransmitNotSentBlocks(); });
    drainMain();
    EXPECT_EQ(collector_.requestCount(), 9u);

    collector_.setDefaultAnswer(AnalyticsCollector::kAdLogPath, result("success"));
    collector_.releaseStalls();
    ASSERT_TRUE(runMainUntil([&] { return blockIdentifiers().empty() && runningCount() == 0; }, 30));
    settle();
    auto bodies = collector_.bodies();
    EXPECT_EQ(bodies.size(), 10u);
    EXPECT_EQ(std::set<std::string>(bodies.begin(), bodies.end()).size(), 10u);
    EXPECT_TRUE(blockFiles().empty());
}

TEST_F(AdLogSenderTest, TheLogsOfTheOldestSessionGoPastTwoHundred) {
    VuderuNetworkUtil::setAdLogServerUrl("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kAdLogPath);
    manager()->storeAdLog(log(1, "oldest", {event(5)}));
    send();  // held by the oldest log alone
    ASSERT_TRUE(settle());
    const std::string exclusive = blockIdentifiers()[0];
    manager()->storeAdLog(log(2, "second", {event(5)}));
    send();  // held by both
    ASSERT_TRUE(settle());
    ASSERT_EQ(blockIdentifiers().size(), 2u);
    const std::string shared = blockIdentifiers()[0] == exclusive ? blockIdentifiers()[1] : blockIdentifiers()[0];
    for (int i = 3; i <= 201; ++i) manager()->storeAdLog(log(i, "log" + std::to_string(i)));

    onQueue([] { manager()->discardOldAdLogs(); });
    EXPECT_EQ(manager()->adLogs().size(), 200u);
    EXPECT_EQ(manager()->getAdLog("oldest"), nullptr);
    EXPECT_NE(manager()->getAdLog("second"), nullptr);
    EXPECT_EQ(blockIdentifiers(), std::vector<std::string>{shared});
    EXPECT_EQ(blockFiles(), std::vector<std::string>{shared});
}


TEST_F(AdLogSenderTest, AFiredTrackingUrlLeavesItsStatusInTheFramesLog) {
    makeDirectory("/tmp/served");
    writeFile("/tmp/served/pixel", "x");
    collector_.serveFiles(host("/tmp/served"));
    VuderuUtil::setLogLevel(2);
    struct Row {
        const char* name;
        std::string url;
        std::string guid;
        bool needLogging;
        std::optional<std::string> response;  // the recorded status; nullopt: nothing recorded
    };
    const Row rows[] = {
        {"200", collector_.urlFor("/pixel"), "g", true, "200"},
        {"404", collector_.urlFor("/missing"), "g", true, "404"},
        {"refused", "http://" + AnalyticsCollector::refusedHostAndPort() + "/pixel", "g", true, "0"},
        {"not asked to log", collector_.urlFor("/pixel"), "g", false, std::nullopt},
        {"no log for the GUID", collector_.urlFor("/pixel"), "other", true, std::nullopt},
    };
    manager()->storeAdLog(log(1, "g"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        log_->clear();
        auto delegate = std::make_shared<VuderuAdHttptaskDelegate>(row.guid, row.needLogging, row.url, "clicked");
        const std::size_t before = manager()->getAdLog("g")->adEvents().size();
        auto task = VuderuHttpAsyncTask::get(row.url, delegate);
        ASSERT_TRUE(runMainUntil([&] { return delegate.use_count() == 1; }, 30));
        auto events = manager()->getAdLog("g")->adEvents();
        ASSERT_EQ(events.size(), before + (row.response ? 1 : 0));
        if (!row.response) {
            EXPECT_EQ(log_->contains("Ad Log sent is nil"), row.needLogging);
            continue;
        }
        EXPECT_EQ(events.back()->eventName(), "sendUrlStatusResult");
        EXPECT_TRUE(events.back()->toBeSent());
        EXPECT_EQ(*events.back()->paramMap(), (VuderuAdEvent::ParamMap{{"response", *row.response}, {"url", row.url}, {"event", "clicked"}}));
    }
}
