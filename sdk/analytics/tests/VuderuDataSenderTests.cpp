#include "platform/foundation/WholeFile.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/security/SecCertificate.h"
#include "platform/security/SecTrust.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

#include <set>

#include <algorithm>
#include <cctype>

namespace {

using namespace sender_fixture;

class VuderuDataSenderTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        VuderuUtil::setLogLevel(2);
    }
    void TearDown() override {
        endLaunch();
        SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Measured);
        VuderuGlobalVariableStorage::cleanup();
        DeviceTest::TearDown();
    }
    std::string refusedURL() const { return "http://" + AnalyticsCollector::refusedHostAndPort() + "/aas.do"; }

    AnalyticsCollector collector_;
};

TEST_F(VuderuDataSenderTest, AcceptedReportsArriveByteForByteAndLeaveNothingStored) {
    auto sender = launch(collector_.url());
    const std::string report("\x01\x00\xff report \x00 bytes", 19);
    send(sender, report);
    ASSERT_TRUE(settle(sender));
    ASSERT_EQ(collector_.requestCount(), 1u);
    auto request = collector_.requests().front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/aas.do");
    EXPECT_EQ(request.body, report);
    EXPECT_EQ(request.header("content-type"), "application/octet-stream");
    EXPECT_TRUE(storedIdentifiers(sender).empty());
    EXPECT_TRUE(blockFiles().empty());
    bool sent = false;
    onQueue([&] { sent = sender->everSentReportSuccessfully(); });
    EXPECT_TRUE(sent);
    EXPECT_TRUE(log_->contains("VuderuSession: async http response code: 200, id ["));
}

// A failed upload keeps its block; the next success sends it again.
TEST_F(VuderuDataSenderTest, AFailedUploadIsKeptUntilTheNextSuccess) {
    struct Row {
        const char* name;
        CollectorAnswer failure;
        bool refused;
    };
    const Row rows[] = {
        {"500", CollectorAnswer::withStatus(500, "broken"), false},
        {"404", CollectorAnswer::withStatus(404, "gone"), false},
        {"drop mid-body", CollectorAnswer::dropMidBody(), false},
        {"drop before the answer", CollectorAnswer::dropBeforeAnswer(), false},
        {"refused", {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AnalyticsCollector collector;
        if (!row.refused) collector.script({row.failure});
        auto sender = launch(row.refused ? refusedURL() : collector.url());
        send(sender, "first");
        ASSERT_TRUE(settle(sender));
        EXPECT_EQ(storedReports(sender), std::vector<std::string>{"first"});
        EXPECT_EQ(blockFiles().size(), 1u);
        EXPECT_TRUE(log_->contains("VuderuSession: Could not connect to server: "));

        VuderuNetworkUtil::setServerURL(collector.url());
        send(sender, "second");
        ASSERT_TRUE(settle(sender));
        ASSERT_TRUE(runMainUntil([&] { return collector.requestCount() == (row.refused ? 2u : 3u); }));
        auto bodies = collector.bodies();
        EXPECT_EQ(std::count(bodies.begin(), bodies.end(), "first"), row.refused ? 1 : 2);
        EXPECT_EQ(std::count(bodies.begin(), bodies.end(), "second"), 1);
        EXPECT_TRUE(storedIdentifiers(sender).empty());
        EXPECT_TRUE(blockFiles().empty());
        endLaunch();
    }
}

TEST_F(VuderuDataSenderTest, TheNetworkComingBackSendsTheKeptBlock) {
    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::WiFi);
    VuderuNetworkUtil::initNetworkReachability();
    collector_.script({CollectorAnswer::withStatus(500)});
    auto sender = launch(collector_.url());
    send(sender, "kept");
    ASSERT_TRUE(settle(sender));

    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::None);
    ASSERT_TRUE(runMainUntil([&] { return log_->contains("VuderuSession: networkStatusChanged to not reachable"); }));
    onQueue([] {});
    drainMain();
    EXPECT_EQ(collector_.requestCount(), 1u);

    SCNetworkReachabilitySetDeviceNetwork(SCDeviceNetwork::Cellular);
    ASSERT_TRUE(runMainUntil([&] { return collector_.requestCount() == 2; }));
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(collector_.bodies(), (std::vector<std::string>{"kept", "kept"}));
    EXPECT_TRUE(storedIdentifiers(sender).empty());
}

TEST_F(VuderuDataSenderTest, TheNextStartSendsTheKeptBlock) {
    collector_.script({CollectorAnswer::withStatus(503)});
    auto sender = launch(collector_.url());
    send(sender, "kept");
    ASSERT_TRUE(settle(sender));
    endLaunch();

    sender = launch(collector_.url());
    ASSERT_TRUE(runMainUntil([&] { return collector_.requestCount() == 2; }));
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(collector_.bodies(), (std::vector<std::string>{"kept", "kept"}));
    EXPECT_TRUE(storedIdentifiers(sender).empty());
    EXPECT_TRUE(blockFiles().empty());
}

// The upload's 20-second time-out passes in real time.
TEST_F(VuderuDataSenderTest, AStallUntilTheTimeOutKeepsTheBlock) {
    collector_.script({CollectorAnswer::stall()});
    auto sender = launch(collector_.url());
    send(sender, "slow");
    ASSERT_TRUE(runMainUntil([&] { return collector_.stalledCount() == 1; }));
    ASSERT_TRUE(settle(sender, 60));
    EXPECT_EQ(storedReports(sender), std::vector<std::string>{"slow"});
    collector_.releaseStalls();
    endLaunch();

    sender = launch(collector_.url());
    ASSERT_TRUE(runMainUntil([&] { return collector_.requestCount() == 2; }));
    ASSERT_TRUE(settle(sender));
    EXPECT_TRUE(storedIdentifiers(sender).empty());
}

TEST_F(VuderuDataSenderTest, NineStalledUploadsHoldTheTenthUntilOneSucceeds) {
    collector_.script(std::vector<CollectorAnswer>(9, CollectorAnswer::stall()));
    auto sender = launch(collector_.url());
    std::vector<std::string> reports;
    for (int i = 0; i < 10; ++i) {
        reports.push_back("report " + std::to_string(i));
        send(sender, reports.back());
    }
    ASSERT_TRUE(runMainUntil([&] { return collector_.stalledCount() == 9; }));
    drainMain();
    EXPECT_EQ(collector_.requestCount(), 9u);
    EXPECT_EQ(storedIdentifiers(sender).size(), 10u);
    EXPECT_EQ(runningCount(sender), 9u);

    collector_.releaseStalls();
    ASSERT_TRUE(runMainUntil([&] { return collector_.requestCount() == 10; }));
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(sorted(collector_.bodies()), sorted(reports));
    EXPECT_TRUE(storedIdentifiers(sender).empty());
    EXPECT_TRUE(blockFiles().empty());
}

TEST_F(VuderuDataSenderTest, FiftyOneBlocksBecomeTheNewestFiftyWhenTheLastUploadEnds) {
    auto sender = launch(refusedURL());
    std::vector<std::string> identifiers;
    onQueue([&] {
        for (int i = 0; i < 51; ++i) identifiers.push_back(*sender->storeData(NSData::dataWithString("r" + std::to_string(i))));
        sender->sendDataWithIdentifier(NSData::dataWithString("r50"), identifiers.back());
    });
    EXPECT_EQ(blockFiles().size(), 51u);
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(storedIdentifiers(sender), std::vector<std::string>(identifiers.begin() + 1, identifiers.end()));
    EXPECT_EQ(blockFiles(), sorted(std::vector<std::string>(identifiers.begin() + 1, identifiers.end())));
}

TEST_F(VuderuDataSenderTest, ReportsWhileTheCollectorRefusesStayBoundedAcrossRelaunches) {
    std::vector<std::string> reports;
    for (int launchNumber = 0; launchNumber < 3; ++launchNumber) {
        auto sender = launch(refusedURL());
        for (int i = 0; i < 20; ++i) {
            reports.push_back("report " + std::to_string(launchNumber) + "." + std::to_string(i));
            send(sender, reports.back());
        }
        ASSERT_TRUE(settle(sender));
        EXPECT_LE(storedIdentifiers(sender).size(), 50u);
        endLaunch();
    }
    auto sender = launch(collector_.url());
    ASSERT_TRUE(runMainUntil([&] { return collector_.requestCount() == 50; }));
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(sorted(collector_.bodies()), sorted(std::vector<std::string>(reports.end() - 50, reports.end())));
    EXPECT_TRUE(blockFiles().empty());
}

TEST_F(VuderuDataSenderTest, AnotherKeyAtStartDropsTheOldKeysBlocks) {
    auto sender = launch(refusedURL(), "OLDKEY");
    send(sender, "a");
    send(sender, "b");
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(blockFiles().size(), 2u);
    endLaunch();
    sender = launch(collector_.url(), "NEWKEY");
    EXPECT_TRUE(storedIdentifiers(sender).empty());
    EXPECT_TRUE(blockFiles().empty());
    drainMain();
    EXPECT_EQ(collector_.requestCount(), 0u);
}

// A process ended between a removal's file delete and its index save leaves such a record: the
// launch keeps it, and the next start forgets it.
TEST_F(VuderuDataSenderTest, ABlockWhoseFileIsGoneIsSkippedUntilTheNextStartForgetsIt) {
    auto sender = launch(refusedURL());
    send(sender, "gone");
    send(sender, "here");
    ASSERT_TRUE(settle(sender));
    auto identifiers = storedIdentifiers(sender);
    ASSERT_EQ(identifiers.size(), 2u);
    ASSERT_TRUE(NSFileManager::defaultManager()->removeItemAtPath(VuderuUtil::filePathDirectory() + "/" + identifiers[0], nullptr));
    VuderuNetworkUtil::setServerURL(collector_.url());
    onQueue([&] { sender->retransmitNotSentBlocks(); });
    ASSERT_TRUE(runMainUntil([&] { return collector_.requestCount() == 1; }));
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(collector_.bodies(), std::vector<std::string>{"here"});
    EXPECT_EQ(storedIdentifiers(sender), std::vector<std::string>{identifiers[0]});

    endLaunch();
    sender = launch(collector_.url());
    EXPECT_TRUE(storedIdentifiers(sender).empty());
    endLaunch();
    sender = launch(collector_.url());
    EXPECT_TRUE(storedIdentifiers(sender).empty());
    EXPECT_EQ(collector_.requestCount(), 1u);
}

// At start the sender adopts the reports its index does not name (written, never posted) and
// sends them. The directory is shared with the ad-log sender, whose blocks are named the same way,
// and with a live writer's temporaries: only our own payloads under a block's name are taken, and
// no file is removed.
TEST_F(VuderuDataSenderTest, AtStartReportsTheIndexDoesNotNameAreAdoptedAndNothingElse) {
    const NSDataPtr report = std::make_shared<VuderuSession>(kKey, "1.0", NSDate::date())->dataForSessions({});
    ASSERT_TRUE(VuderuSession::isReportData(*report));
    const std::string folder = VuderuUtil::filePathDirectory() + "/";
    auto lower = [](std::string name) {
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return name;
    };
    struct File {
        const char* name;
        std::string file;
        NSDataPtr bytes;
        bool adopted;
    };
    for (const bool damagedIndex : {true, false}) {
        SCOPED_TRACE(damagedIndex ? "damaged index" : "whole index");
        auto sender = launch(refusedURL());
        onQueue([&] { sender->sendSessionsData(report); });
        ASSERT_TRUE(settle(sender));
        const auto indexed = storedIdentifiers(sender);
        ASSERT_EQ(indexed.size(), 1u);
        endLaunch();
        if (damagedIndex) {
            ASSERT_TRUE(NSData::dataWithString("not an archive")->writeToFile(VuderuDataSenderIndex::indexFilePath(), true));
        }

        const File files[] = {
            {"our report, unnamed", VuderuUtil::generateCFUUID(), report, true},
            {"the ad-log sender's block", VuderuUtil::generateCFUUID(), NSData::dataWithString("\x02\x0c ad log request"), false},
            {"a report under another name", lower(VuderuUtil::generateCFUUID()), report, false},
            {"another file of the directory", "vuderuResponse7", report, false},
        };
        for (const File& f : files) {
            ASSERT_TRUE(f.bytes->writeToFile(folder + f.file, true)) << f.name;
        }
        const std::string liveName = VuderuUtil::generateCFUUID();
        WholeFileWriter live;
        ASSERT_EQ(live.begin(folder + liveName), 0);
        ASSERT_EQ(NSWriteAll(live.fd(), report->bytes(), report->length()), 0);

        sender = launch(refusedURL());
        auto fileManager = NSFileManager::defaultManager();
        std::set<std::string> expected{indexed[0]};
        for (const File& f : files) {
            EXPECT_TRUE(fileManager->fileExistsAtPath(folder + f.file)) << f.name;
            if (f.adopted) expected.insert(f.file);
        }
        EXPECT_TRUE(fileManager->fileExistsAtPath(folder + indexed[0])) << "the stored report";
        const auto stored = storedIdentifiers(sender);
        EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()), expected);
        EXPECT_TRUE(fileManager->fileExistsAtPath(folder + live.temporaryName())) << "a live writer's temporary";
        EXPECT_EQ(live.commit(WholeFileWriter::Sync::None), 0);
        endLaunch();
        for (const std::string& name : {indexed[0], liveName}) fileManager->removeItemAtPath(folder + name, nullptr);
        for (const File& f : files) fileManager->removeItemAtPath(folder + f.file, nullptr);
    }
}

// An adopted report is posted like any other, once, and goes when it is accepted.
TEST_F(VuderuDataSenderTest, AnAdoptedReportIsSentOnce) {
    const NSDataPtr report = std::make_shared<VuderuSession>(kKey, "1.0", NSDate::date())->dataForSessions({});
    ASSERT_TRUE(report->writeToFile(VuderuUtil::filePathDirectory() + "/" + VuderuUtil::generateCFUUID(), true));
    auto sender = launch(collector_.url());
    ASSERT_TRUE(runMainUntil([&] { return collector_.requestCount() == 1; }));
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(collector_.bodies(), std::vector<std::string>{std::string(report->stringView())});
    EXPECT_TRUE(storedIdentifiers(sender).empty());
    endLaunch();
    sender = launch(collector_.url());
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(collector_.requestCount(), 1u);
}

TEST_F(VuderuDataSenderTest, ReportsReachAnHTTPSCollectorTrustedThroughTheSystemAnchors) {
    AnalyticsCollector secure(true);
    auto root = secure.rootCertificateDER();
    SecTrustSetAdditionalSystemAnchorsForTesting({SecCertificateCreateWithData(NSData::dataWithBytes(root.data(), root.size()))});
    auto sender = launch("https://localhost:" + std::to_string(secure.port()) + "/aas.do");
    send(sender, "over TLS");
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(secure.bodies(), std::vector<std::string>{"over TLS"});
    EXPECT_TRUE(storedIdentifiers(sender).empty());
}

} // namespace
