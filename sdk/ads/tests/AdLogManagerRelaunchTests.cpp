// The ad-log manager across failures and launches: transfers that never became a block, blocks
// without a file, a server that never confirms, launches killed mid-upload.
#include "platform/foundation/WholeFile.h"
#include "platform/testsupport/ChildProcess.h"
#include "sdk/ads/VuderuAdLogRequest.h"
#include "sdk/ads/tests/AdLogSenderFixture.h"
#include "sdk/analytics/VuderuDataSenderIndex.h"
#include "sdk/analytics/VuderuSession.h"

#include <cctype>
#include <csignal>
#include <future>
#include <sys/stat.h>

namespace {

using namespace adlog_builders;
using Logs = std::vector<std::string>;
constexpr double kChildWaitSeconds = 60;

} // namespace

// An event outside the vocabulary makes the encoder give up: nothing is posted, and the transfer's
// events are pending again instead of stranded in an entry no block will ever confirm.
TEST_F(AdLogSenderTest, EventsOfATransferThatGaveNoBytesArePendingAgain) {
    manager()->storeAdLog(log(1, "a", {event(5), event(99)}));
    send();
    ASSERT_TRUE(settle());
    EXPECT_EQ(collector_.requestCount(), 0u);
    EXPECT_TRUE(blockIdentifiers().empty());
    auto pending = manager()->getAdLog("a")->adEvents();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0]->eventId(), 5);
    EXPECT_EQ(pending[1]->eventId(), 99);
    EXPECT_TRUE(manager()->getAdLog("a")->transmittedEvents().empty());
}

TEST_F(AdLogSenderTest, ABlockWhoseFileCannotBeWrittenIsPostedFromMemoryUntilConfirmed) {
    collector_.script(AnalyticsCollector::kAdLogPath, {CollectorAnswer::withStatus(500), result("success")});
    int status = runInChildProcess(
        [&]() -> int {
            VuderuUtil::setLogLevel(2);
            manager();
            ::chmod(host(VuderuUtil::filePathDirectory()).c_str(), 0555);
            manager()->storeAdLog(log(1, "a", {event(5)}));
            send();
            if (!settle(kChildWaitSeconds)) return 1;
            if (blockIdentifiers().size() != 1 || !blockFiles().empty()) return 2;
            if (!log_->contains("Vuderu: Failed store block with id [" + blockIdentifiers()[0] + "]")) return 3;
            networkBack();
            if (!blockIdentifiers().empty()) return 4;
            return manager()->getAdLog("a") ? 5 : 0;
        },
        true);
    EXPECT_EQ(status, 0);
    auto bodies = collector_.bodies();
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0], bodies[1]);
    EXPECT_EQ(postedLogs(bodies[0]), Logs{"a: rendered"});
}

TEST_F(AdLogSenderTest, ABlockWhoseBytesAreGoneAfterARestartGivesItsEventsBack) {
    collector_.script(AnalyticsCollector::kAdLogPath, {CollectorAnswer::withStatus(500)});
    manager()->storeAdLog(log(1, "a", {event(5)}));
    send();
    ASSERT_TRUE(settle());
    ASSERT_EQ(blockFiles().size(), 1u);
    ::unlink(host(VuderuUtil::filePathDirectory() + "/" + blockFiles()[0]).c_str());

    relaunch();
    EXPECT_EQ(collector_.requestCount(), 1u);
    EXPECT_TRUE(blockIdentifiers().empty());
    EXPECT_EQ(names(manager()->getAdLog("a")->adEvents()), std::vector<std::string>{"rendered"});
    EXPECT_TRUE(manager()->getAdLog("a")->transmittedEvents().empty());

    collector_.script(AnalyticsCollector::kAdLogPath, {result("success")});
    send();
    ASSERT_TRUE(settle());
    ASSERT_EQ(collector_.requestCount(), 2u);
    EXPECT_EQ(postedLogs(collector_.bodies()[1]), Logs{"a: rendered"});
    EXPECT_EQ(manager()->getAdLog("a"), nullptr);
}

TEST_F(AdLogSenderTest, FiftyUnconfirmedBlocksStopNewOnes) {
    VuderuUtil::setLogLevel(2);
    VuderuNetworkUtil::setAdLogServerUrl("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kAdLogPath);
    for (int i = 0; i < 50; ++i) {
        manager()->storeAdLog(log(1, "log" + std::to_string(i), {event(5)}));
        send();
    }
    ASSERT_TRUE(settle());
    ASSERT_EQ(blockIdentifiers().size(), 50u);
    manager()->storeAdLog(log(1, "late", {event(5)}));
    send();
    send();
    ASSERT_TRUE(settle());
    EXPECT_EQ(blockIdentifiers().size(), 50u);
    EXPECT_EQ(blockFiles().size(), 50u);
    EXPECT_EQ(names(manager()->getAdLog("late")->adEvents()), std::vector<std::string>{"rendered"});
    EXPECT_EQ(log_->count("AdLogManager: 50 blocks await confirmation; events stay pending"), 1u);

    // Confirmations make room again.
    VuderuNetworkUtil::setAdLogServerUrl(collector_.urlFor(AnalyticsCollector::kAdLogPath));
    collector_.setDefaultAnswer(AnalyticsCollector::kAdLogPath, result("success"));
    networkBack();
    ASSERT_TRUE(runMainUntil([] { return blockIdentifiers().empty() && runningCount() == 0; }, 30));
    send();
    ASSERT_TRUE(settle());
    EXPECT_EQ(postedLogs(collector_.bodies().back()), Logs{"late: rendered"});
}

// At start the manager removes the block files its archive does not name. The directory is shared
// with the report sender, whose payloads are named the same way, and with live writers'
// temporaries: only whole ad-log requests under a block's name go.
TEST_F(AdLogSenderTest, AtStartBlocksTheArchiveDoesNotNameAreRemovedAndNothingElse) {
    VuderuNetworkUtil::setAdLogServerUrl("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kAdLogPath);
    const std::string folder = VuderuUtil::filePathDirectory() + "/";
    const NSDataPtr report = std::make_shared<VuderuSession>("KEY", "1.0", NSDate::date())->dataForSessions({});
    auto lower = [](std::string name) {
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return name;
    };
    auto with = [](const NSData& data, std::size_t length, std::string tail) {
        std::string bytes(reinterpret_cast<const char*>(data.bytes()), std::min(length, data.length()));
        return NSData::dataWithString(bytes + tail);
    };
    struct File {
        const char* name;
        std::string file;
        NSDataPtr bytes;
        bool removed;
    };
    for (const bool damagedArchive : {true, false}) {
        SCOPED_TRACE(damagedArchive ? "damaged archive" : "whole archive");
        manager()->storeAdLog(log(1, "a", {event(5)}));
        send();
        ASSERT_TRUE(settle());
        const auto indexed = blockIdentifiers();
        ASSERT_EQ(indexed.size(), 1u);
        const NSDataPtr block = NSData::dataWithContentsOfFile(folder + indexed[0]);
        ASSERT_TRUE(block && VuderuAdLogRequest::isRequestData(*block));
        ASSERT_FALSE(VuderuSession::isReportData(*block));
        ASSERT_FALSE(VuderuAdLogRequest::isRequestData(*report));
        AdLogManager::cleanup();
        if (damagedArchive) {
            auto archive = VuderuFileCache::instance()->createFilePath(AdLogManager::kFileCachePrefix, true);
            ASSERT_TRUE(archive && NSData::dataWithString("not an archive")->writeToFile(*archive, true));
        }

        const File files[] = {
            {"our block, unnamed", VuderuUtil::generateCFUUID(), block, true},
            {"the report sender's report", VuderuUtil::generateCFUUID(), report, false},
            {"the report sender's index", VuderuDataSenderIndex::kIndexFileName, block, false},
            {"our block under another name", lower(VuderuUtil::generateCFUUID()), block, false},
            {"a request with more after it", VuderuUtil::generateCFUUID(), with(*block, block->length(), "x"), false},
            {"a request cut short", VuderuUtil::generateCFUUID(), with(*block, block->length() - 1, ""), false},
            {"an empty file", VuderuUtil::generateCFUUID(), NSData::dataWithString(""), false},
        };
        for (const File& f : files) ASSERT_TRUE(f.bytes->writeToFile(folder + f.file, true)) << f.name;
        const std::string liveName = VuderuUtil::generateCFUUID();
        WholeFileWriter live;
        ASSERT_EQ(live.begin(folder + liveName), 0);
        ASSERT_EQ(NSWriteAll(live.fd(), block->bytes(), block->length()), 0);

        relaunch();
        auto fileManager = NSFileManager::defaultManager();
        for (const File& f : files) EXPECT_EQ(fileManager->fileExistsAtPath(folder + f.file), !f.removed) << f.name;
        EXPECT_EQ(fileManager->fileExistsAtPath(folder + indexed[0]), !damagedArchive) << "the archived block";
        EXPECT_EQ(blockIdentifiers(), damagedArchive ? std::vector<std::string>{} : indexed);
        EXPECT_TRUE(fileManager->fileExistsAtPath(folder + live.temporaryName())) << "a live writer's temporary";
        EXPECT_EQ(live.commit(WholeFileWriter::Sync::None), 0);
        AdLogManager::cleanup();
        fileManager->removeItemAtPath(VuderuFileCache::instance()->createFilePath(AdLogManager::kFileCachePrefix, true).value_or(""), nullptr);
        for (const std::string& name : {indexed[0], liveName}) fileManager->removeItemAtPath(folder + name, nullptr);
        for (const File& f : files) fileManager->removeItemAtPath(folder + f.file, nullptr);
    }
}

// The archive was saved after a send took its events and before their block was written, and the
// process ended before the archive was saved again: the block is not in the archive, but a log
// still holds its transfer. It is kept, posted and confirmed instead of removed with its events.
TEST_F(AdLogSenderTest, ABlockMissingFromTheArchiveWhoseTransferALogHoldsIsSentAgain) {
    VuderuNetworkUtil::setAdLogServerUrl("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kAdLogPath);
    const std::string archivePath = VuderuFileCache::instance()->createFilePath(AdLogManager::kFileCachePrefix, true).value_or("");
    manager()->storeAdLog(log(1, "a", {event(5)}));
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    dispatch_async(manager()->queue(), [released] { released.wait(); });
    manager()->sendAdLogsAsync();
    manager()->appWillTerminate();
    const NSDataPtr archive = NSData::dataWithContentsOfFile(archivePath);
    release.set_value();
    ASSERT_TRUE(settle());
    ASSERT_TRUE(archive);
    ASSERT_EQ(blockFiles().size(), 1u);
    AdLogManager::cleanup();
    ASSERT_TRUE(archive->writeToFile(archivePath, true));

    VuderuUtil::setLogLevel(2);
    VuderuNetworkUtil::setAdLogServerUrl(collector_.urlFor(AnalyticsCollector::kAdLogPath));
    collector_.setDefaultAnswer(AnalyticsCollector::kAdLogPath, result("success"));
    relaunch();
    ASSERT_EQ(collector_.requestCount(), 1u);
    EXPECT_EQ(postedLogs(collector_.bodies()[0]), Logs{"a: rendered"});
    EXPECT_TRUE(log_->contains("was missing from the archive; it is sent again"));
    EXPECT_TRUE(blockFiles().empty());
    EXPECT_EQ(manager()->getAdLog("a"), nullptr);
}

namespace {

struct Launch {
    std::vector<CollectorAnswer> answers = {};  // then the default (200, empty: not confirmed)
    std::vector<std::string> logs = {};         // one log with one "rendered" per GUID, then one send
    bool refused = false;
    bool killed = false;                        // killed at the first stalled upload
};

class AdLogRelaunchTest : public AdLogSenderTest {
protected:
    // One launch in a child process; 0 when it ended settled, -1 when killed.
    int run(const Launch& launch) {
        collector_.script(AnalyticsCollector::kAdLogPath, launch.answers);
        const std::string url = launch.refused ? "http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kAdLogPath
                                               : collector_.urlFor(AnalyticsCollector::kAdLogPath);
        auto body = [&]() -> int {
            VuderuNetworkUtil::setAdLogServerUrl(url);
            manager();
            for (const auto& guid : launch.logs) manager()->storeAdLog(log(1, guid, {event(5)}));
            send();
            if (launch.killed) {
                runMainUntil([] { return false; }, kChildWaitSeconds * 2);
                return 254;
            }
            return settle(kChildWaitSeconds) ? 0 : 253;
        };
        if (!launch.killed) return runInChildProcess(body);
        pid_t child = startChildProcess(body);
        EXPECT_GT(child, 0);
        EXPECT_TRUE(collector_.waitForStalls(1, kChildWaitSeconds));
        ::kill(child, SIGKILL);
        int status = waitForChildProcess(child);
        collector_.releaseStalls();
        return status;
    }
    // A last launch against a confirming server, until no block is left.
    int deliverRest() {
        collector_.script(AnalyticsCollector::kAdLogPath, {});
        collector_.setDefaultAnswer(AnalyticsCollector::kAdLogPath, result("success"));
        int status = runInChildProcess([&]() -> int {
            manager();
            send();
            bool done = runMainUntil([] { return blockIdentifiers().empty() && runningCount() == 0; }, kChildWaitSeconds);
            return done && blockFiles().empty() ? 0 : 1;
        });
        collector_.setDefaultAnswer(AnalyticsCollector::kAdLogPath, CollectorAnswer::ad({}));
        return status;
    }
};

} // namespace

TEST_F(AdLogRelaunchTest, ALaunchKilledMidUploadLosesNothing) {
    EXPECT_EQ(run({.answers = {CollectorAnswer::stall()}, .logs = {"k"}, .killed = true}), -1);
    EXPECT_EQ(deliverRest(), 0);
    // The second launch resends the killed upload, and posts its own (empty) send.
    auto requests = collector_.requests();
    ASSERT_EQ(requests.size(), 3u);
    auto resent = std::find_if(requests.begin() + 1, requests.end(), [&](const auto& request) { return request.body == requests[0].body; });
    ASSERT_NE(resent, requests.end());
    EXPECT_EQ(resent->header("fm-checksum"), requests[0].header("fm-checksum"));
    EXPECT_EQ(postedLogs(resent->body), Logs{"k: rendered"});
    EXPECT_TRUE(blockFiles().empty());
}

TEST_F(AdLogRelaunchTest, FailureAndRelaunchSequencesDeliverEveryEvent) {
    const auto stall = CollectorAnswer::stall();
    using C = CollectorAnswer::Checksum;
    struct Row {
        const char* name;
        std::vector<Launch> launches;
    };
    const std::vector<Row> rows = {
        {"refused, then delivered", {{.logs = {"a", "b"}, .refused = true}}},
        {"500, then killed mid-upload", {{.answers = {CollectorAnswer::withStatus(500)}, .logs = {"a"}}, {.answers = {stall}, .logs = {"b"}, .killed = true}}},
        {"dropped, empty, failure, wrong checksum, then killed",
         {{.answers = {CollectorAnswer::dropBeforeAnswer()}, .logs = {"a"}},
          {.answers = {CollectorAnswer::ad({}), CollectorAnswer::dropMidBody()}, .logs = {"b"}},
          {.answers = {result("failure"), result("success").withChecksum(C::Wrong), result("x")}, .logs = {"c"}},
          {.answers = {stall}, .logs = {"d"}, .killed = true}}},
        {"killed twice", {{.answers = {stall}, .logs = {"a"}, .killed = true}, {.answers = {stall}, .logs = {"b"}, .killed = true}}},
        {"confirmed in part", {{.answers = {result("success")}, .logs = {"a"}}, {.answers = {CollectorAnswer::withStatus(404)}, .logs = {"b", "c"}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        removeHostTree(host("/var/mobile/Library"));
        std::vector<std::string> guids;
        const std::size_t before = collector_.requestCount();
        for (const Launch& launch : row.launches) {
            EXPECT_EQ(run(launch), launch.killed ? -1 : 0);
            guids.insert(guids.end(), launch.logs.begin(), launch.logs.end());
        }
        EXPECT_EQ(deliverRest(), 0);
        auto bodies = collector_.bodies();
        std::set<std::string> delivered;
        for (std::size_t i = before; i < bodies.size(); ++i) {
            for (const auto& line : postedLogs(bodies[i])) delivered.insert(line);
        }
        for (const auto& guid : guids) EXPECT_TRUE(delivered.count(guid + ": rendered")) << guid;
        EXPECT_TRUE(blockFiles().empty());
    }
}
