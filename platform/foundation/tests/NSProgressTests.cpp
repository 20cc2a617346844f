#include "platform/foundation/NSProgress.h"

#include <gtest/gtest.h>

namespace {

TEST(NSProgressTest, CountsAreObservedWithTheFractionDerivedFromThem) {
    auto progress = NSProgress::progressWithTotalUnitCount(-1);
    std::vector<std::string> told;
    auto token = progress->addObserverForKeyPath("fractionCompleted", [&](const std::string& key, bool) { told.push_back(key); });
    EXPECT_EQ(progress->fractionCompleted(), 0);
    progress->setTotalUnitCount(200);
    progress->setCompletedUnitCount(50);
    progress->setCompletedUnitCount(50);  // unchanged: no notice
    EXPECT_DOUBLE_EQ(progress->fractionCompleted(), 0.25);
    EXPECT_EQ(told.size(), 2u);
    progress->removeObserver(token);
}

TEST(NSProgressTest, PausingAndCancellingCallTheirHandlersOnce) {
    NSProgress progress(nullptr, {});
    int paused = 0, resumed = 0, cancelled = 0;
    progress.setPausingHandler([&] { ++paused; });
    progress.setResumingHandler([&] { ++resumed; });
    progress.setCancellationHandler([&] { ++cancelled; });
    progress.pause();
    progress.pause();
    progress.resume();
    progress.cancel();
    progress.cancel();
    progress.pause();  // a cancelled progress stays cancelled
    EXPECT_EQ(paused, 1);
    EXPECT_EQ(resumed, 1);
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(progress.isCancelled());
    EXPECT_FALSE(progress.isPaused());
}

} // namespace
