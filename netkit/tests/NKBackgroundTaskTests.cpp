#include "netkit/NKURLConnectionOperation.h"
#include "platform/foundation/NSURL.h"
#include "platform/net/NSURLRequest.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

namespace {

class BackgroundTaskTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
    }
    NKURLConnectionOperationPtr operation() {
        return NKURLConnectionOperation::initWithRequest(NSURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1:9/x")));
    }
};

TEST_F(BackgroundTaskTest, ExpiryCallsTheHandlerCancelsAndEndsTheTask) {
    auto app = UIApplication::sharedApplication();
    auto op = operation();
    int handled = 0;
    op->setShouldExecuteAsBackgroundTaskWithExpirationHandler([&] { ++handled; });
    UIBackgroundTaskIdentifier first = op->backgroundTaskIdentifier();
    EXPECT_NE(first, UIBackgroundTaskInvalid);
    // Only the first call begins a task.
    op->setShouldExecuteAsBackgroundTaskWithExpirationHandler(nullptr);
    EXPECT_EQ(op->backgroundTaskIdentifier(), first);
    EXPECT_EQ(app->backgroundTaskCount(), 1u);

    app->expireBackgroundTasks();
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(op->isCancelled());
    EXPECT_EQ(op->backgroundTaskIdentifier(), UIBackgroundTaskInvalid);
    EXPECT_EQ(app->backgroundTaskCount(), 0u);
}

TEST_F(BackgroundTaskTest, TheTaskEndsWhenTheOperationGoesAndExpiryAfterwardsIsHarmless) {
    auto app = UIApplication::sharedApplication();
    int handled = 0;
    {
        auto op = operation();
        op->setShouldExecuteAsBackgroundTaskWithExpirationHandler([&] { ++handled; });
        EXPECT_EQ(app->backgroundTaskCount(), 1u);
    }
    EXPECT_EQ(app->backgroundTaskCount(), 0u);
    app->expireBackgroundTasks();
    EXPECT_EQ(handled, 0);
}

} // namespace
