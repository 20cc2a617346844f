#include "platform/foundation/NSNotificationCenter.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/analytics/VuderuHeartBeater.h"

#include <gtest/gtest.h>

namespace {

class VuderuHeartBeaterTest : public DeviceTest {};

TEST_F(VuderuHeartBeaterTest, BeatsOncePerSecondOfThePlatformClock) {
    ManualClock clock(1000);
    int beats = 0;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForName(
        VuderuHeartBeatNotification, nullptr, nullptr, [&beats](const std::shared_ptr<NSNotification>& n) {
            EXPECT_TRUE(n->object().isNull());
            ++beats;
        });
    EXPECT_EQ(VuderuHeartBeater::instance(), nullptr);
    auto beater = VuderuHeartBeater::createAndStartInstance(1.0);
    ASSERT_TRUE(beater);
    // A second call keeps the first timer and its interval.
    EXPECT_EQ(VuderuHeartBeater::createAndStartInstance(5.0), beater);
    EXPECT_EQ(VuderuHeartBeater::instance(), beater);
    EXPECT_EQ(beater->interval(), 1.0);

    drainMain();
    EXPECT_EQ(beats, 0);
    clock.advance(0.5);
    EXPECT_EQ(beats, 0);
    clock.advance(0.5);
    EXPECT_EQ(beats, 1);
    for (int second = 2; second <= 10; ++second) {
        clock.advance(1.0);
        EXPECT_EQ(beats, second);
    }
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

} // namespace
