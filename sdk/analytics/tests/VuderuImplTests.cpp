#include "platform/dispatch/DispatchQueue.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIApplication.h"
#include "sdk/analytics/tests/VuderuSenderFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace sender_fixture;

class VuderuImplTest : public DeviceTest {
protected:
    void TearDown() override {
        endLaunch();
        VuderuGlobalVariableStorage::cleanup();
        DeviceTest::TearDown();
    }
};

TEST_F(VuderuImplTest, TheFrontsDataAndQueue) {
    auto front = VuderuImpl::instance();
    EXPECT_EQ(VuderuImpl::instance(), front);
    ASSERT_TRUE(front->queue());
    EXPECT_EQ(front->queue()->label(), "com.Vuderu.Analytics.Session");
    EXPECT_TRUE(front->isBackgroundSupported());
    EXPECT_EQ(front->apiKey(), "");
    auto before = NSDate::date()->timeIntervalSince1970();
    front->setupForApiKey("KEY");
    EXPECT_EQ(front->apiKey(), "KEY");
    EXPECT_GE(front->startTime()->timeIntervalSince1970(), before);
    // Making the queue set up the report sender on it.
    std::shared_ptr<VuderuDataSender> sender;
    onQueue([&] { sender = VuderuDataSender::instance(); });
    ASSERT_TRUE(sender);
    EXPECT_EQ(sender->queue(), front->queue());

    auto identifier = VuderuImpl::registerBackgoundTask();
    EXPECT_NE(identifier, UIBackgroundTaskInvalid);
    EXPECT_EQ(UIApplication::sharedApplication()->backgroundTaskCount(), 1u);
    VuderuImpl::unregisterBackgoundTask(identifier);
    EXPECT_EQ(UIApplication::sharedApplication()->backgroundTaskCount(), 0u);
}

TEST_F(VuderuImplTest, CleanupWaitsForEveryQueuedBlock) {
    auto queue = VuderuImpl::instance()->queue();
    int ran = 0;
    for (int i = 0; i < 20; ++i) dispatch_async(queue, [&] { ++ran; });
    // Work on the queue that needs the main thread still finishes.
    dispatch_async(queue, [&] { dispatch_sync(dispatch_get_main_queue(), [&] { ++ran; }); });
    VuderuImpl::cleanup();
    EXPECT_EQ(ran, 21);
    EXPECT_NE(VuderuImpl::instance()->queue(), queue);
}

// The sender may start on the queue before the key is known: it neither drops nor stores
// anything under a key it does not know, and sets up for the key once it comes.
TEST_F(VuderuImplTest, ASenderSetUpBeforeTheKeyKeepsTheStoredReportsAndSendsThemOnceTheKeyComes) {
    AnalyticsCollector collector;
    auto sender = launch("http://" + AnalyticsCollector::refusedHostAndPort() + "/aas.do");
    send(sender, "from the last launch");
    ASSERT_TRUE(settle(sender));
    endLaunch();

    VuderuNetworkUtil::setServerURL(collector.url());
    auto front = VuderuImpl::instance();
    onQueue([&] { sender = VuderuDataSender::instance(); });
    EXPECT_EQ(VuderuDataSender::dataKey(), std::nullopt);
    EXPECT_EQ(blockFiles().size(), 1u);
    onQueue([&] { EXPECT_EQ(sender->storeData(NSData::dataWithString("keyless")), std::nullopt); });

    front->setupForApiKey(kKey);
    ASSERT_TRUE(runMainUntil([&] { return collector.requestCount() == 1; }));
    ASSERT_TRUE(settle(sender));
    EXPECT_EQ(collector.bodies(), std::vector<std::string>{"from the last launch"});
    EXPECT_TRUE(blockFiles().empty());
}

} // namespace
