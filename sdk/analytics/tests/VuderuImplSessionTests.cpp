#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIApplication.h"
#include "sdk/analytics/VuderuAutoIncrement.h"
#include "sdk/analytics/VuderuSession.h"
#include "sdk/analytics/tests/VuderuReportReader.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace sender_fixture;

class VuderuImplSessionTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        PlatformClock::setManual(1767225600.0);
        launch("http://" + AnalyticsCollector::refusedHostAndPort() + AnalyticsCollector::kPath);
        front_ = VuderuImpl::instance();
    }
    void TearDown() override {
        endLaunch();
        UIApplication::sharedApplication()->reset();
        VuderuGlobalVariableStorage::cleanup();
        PlatformClock::setAutomatic();
        DeviceTest::TearDown();
    }
    static std::vector<SessionRecord> savedRecords() {
        std::vector<SessionRecord> out;
        onQueue([&] {
            for (const Value& record : VuderuSession::savedSessions()) {
                ReportReader reader(record.data());
                out.push_back(readSessionRecord(reader));
            }
        });
        return out;
    }
    std::shared_ptr<VuderuImpl> front_;
};

TEST_F(VuderuImplSessionTest, EndSessionReturnsAfterEveryEarlierRecord) {
    front_->setSessionReportsOnCloseEnabled(false);
    for (int i = 0; i < 50; ++i) front_->recordEventWithParameters("e" + std::to_string(i), Value());
    front_->setUserID("late");
    front_->endSession();
    auto saved = savedRecords();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].events.size(), 50u);
    EXPECT_EQ(saved[0].userID, "late");
}

// Ending reports the session once: it is not saved for the next report as well, and the wait
// before the process ends lets the accepted upload delete its block.
TEST_F(VuderuImplSessionTest, AnEndedSessionGoesOutInItsOwnReportOnceAndIsNotSavedAgain) {
    AnalyticsCollector collector;
    VuderuNetworkUtil::setServerURL(collector.url());
    front_->recordEventWithParameters("last", Value());
    front_->endSession();
    EXPECT_TRUE(savedRecords().empty());
    EXPECT_TRUE(front_->waitForUploadsInFlight(5));
    EXPECT_EQ(collector.requestCount(), 1u);
    EXPECT_TRUE(storedIdentifiers(VuderuDataSender::instance()).empty());
}

// An upload the server holds unanswered may have been accepted: quitting waits for it up to the
// bound, and the report stays stored meanwhile.
TEST_F(VuderuImplSessionTest, QuittingWaitsUpToTheBoundForAnUploadTheServerHolds) {
    AnalyticsCollector collector;
    collector.script({CollectorAnswer::stall()});
    VuderuNetworkUtil::setServerURL(collector.url());
    front_->endSession();
    ASSERT_TRUE(runMainUntil([&] { return collector.stalledCount() == 1; }));
    EXPECT_FALSE(front_->waitForUploadsInFlight(0.2));
    EXPECT_EQ(storedIdentifiers(VuderuDataSender::instance()).size(), 1u);
    collector.releaseStalls();
}

TEST_F(VuderuImplSessionTest, GettersWithoutASessionAnswerZeroOrNil) {
    front_->setupForApiKey(std::nullopt);
    EXPECT_EQ(front_->session(), nullptr);
    EXPECT_EQ(front_->latitude(), 0.0);
    EXPECT_EQ(front_->longitude(), 0.0);
    EXPECT_EQ(front_->accuracy(), 0.0);
    EXPECT_EQ(front_->gender(), 0);
    EXPECT_EQ(front_->age(), nullptr);
    EXPECT_EQ(front_->pageViewCount(), 0);
    EXPECT_EQ(front_->pauseTime(), nullptr);
    front_->recordEventWithParameters("nowhere", Value());
    front_->endSession();
}

TEST_F(VuderuImplSessionTest, ANilKeyArchivesTheSessionAndLeavesNone) {
    front_->recordEventWithParameters("kept", Value());
    front_->setGenderAsString("f");
    EXPECT_EQ(front_->gender(), 0);
    front_->setupForApiKey(std::nullopt);
    EXPECT_EQ(front_->session(), nullptr);
    auto saved = savedRecords();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].events.at(0).name, "kept");
}

TEST_F(VuderuImplSessionTest, CleanupRunsEveryQueuedBlock) {
    front_->setSessionReportsOnCloseEnabled(false);
    for (int i = 0; i < 20; ++i) front_->recordEventWithParameters("e", Value());
    front_->endSessionAsync();
    VuderuImpl::cleanup();
    VuderuImpl::instance()->setupForApiKey(kKey);
    auto saved = savedRecords();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].events.size(), 20u);
}

// The pause's background task ends once: at its deadline when the queue is still busy.
TEST_F(VuderuImplSessionTest, ThePausesBackgroundTaskEndsAtItsDeadlineToo) {
    ASSERT_TRUE(front_->isBackgroundSupported());
    auto application = UIApplication::sharedApplication();
    auto release = dispatch_semaphore_create(0);
    dispatch_async(front_->queue(), [release] { dispatch_semaphore_wait(release, DISPATCH_TIME_FOREVER); });
    front_->pauseSession();
    EXPECT_EQ(application->backgroundTaskCount(), 1u);
    application->expireBackgroundTasks();
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
    dispatch_semaphore_signal(release);
    EXPECT_NE(front_->pauseTime(), nullptr);
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
}

} // namespace
