#include "app/support/VTVersionTracker.h"
#include "app/support/tests/VTVersionFixture.h"

#include "platform/foundation/NSThread.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace {

const std::string kOptional13 = R"({"version":{"number":"1.3","install_url":"cydia://package/org.harborstack.tandrel"}})";
const std::string kMandatory13 = R"({"version":{"number":"1.3","install_url":"cydia://package/org.harborstack.tandrel","mandatory":true}})";

// What the handler heard, from whichever thread.
struct Announcements {
    mutable std::mutex lock;
    std::vector<std::int32_t> states;
    std::vector<std::string> versions;
    bool onMainThread = false;

    VTVersionTracker::Handler handler() {
        return [this](std::int32_t state, const VTVersionPtr& version) {
            std::lock_guard<std::mutex> guard(lock);
            onMainThread = onMainThread || NSThread::isMainThread();
            states.push_back(state);
            versions.push_back(version ? version->versionString() : "(none)");
        };
    }
    std::size_t count() const {
        std::lock_guard<std::mutex> guard(lock);
        return states.size();
    }
};

struct TrackerCase {
    const char* name;
    const char* local;
    std::vector<VTServiceReply> replies;
    std::vector<std::int32_t> statesAfterEachCheck;
    std::vector<std::int32_t> announced;
};

class VTVersionTrackerEdgeTest : public VTVersionServiceTest, public ::testing::WithParamInterface<TrackerCase> {};

// Each check runs on a thread of its own, as the timer's checks do, and ends before the next.
TEST_P(VTVersionTrackerEdgeTest, ChecksInOrder) {
    const auto& c = GetParam();
    setLocalVersion(c.local);
    serve(c.replies);
    Announcements heard;
    auto tracker = std::make_shared<VTVersionTracker>("release", baseUrl(), 1800, heard.handler());
    EXPECT_EQ(tracker->currentState(), VTVersionTrackerStateUnchecked);
    for (std::size_t i = 0; i < c.statesAfterEachCheck.size(); ++i) {
        SCOPED_TRACE(i);
        std::thread([&] { tracker->checkForUpdates(); }).join();
        EXPECT_EQ(tracker->currentState(), c.statesAfterEachCheck[i]);
    }
    EXPECT_EQ(heard.states, c.announced);
    EXPECT_FALSE(heard.onMainThread);
    EXPECT_TRUE(log_->contains(std::string("Current Version: ") + (*c.local ? c.local : "0")));
    EXPECT_EQ(log_->count("Checking for Application Updates"), c.statesAfterEachCheck.size());
}

const std::string kNoNumber = R"({"version":{"install_url":"cydia://x"}})";
const std::string kNoInstallURL = R"({"version":{"number":"1.3"}})";

INSTANTIATE_TEST_SUITE_P(
    Replies, VTVersionTrackerEdgeTest,
    ::testing::Values(
        TrackerCase{"OptionalAnnouncedOnce", "1.2", {{200, kOptional13}}, {2, 2, 2}, {2}},
        TrackerCase{"MandatoryAtEveryCheck", "1.2", {{200, kMandatory13}}, {3, 3, 3}, {3, 3, 3}},
        TrackerCase{"OptionalThenMandatoryStaysOptional", "1.2", {{200, kOptional13}, {200, kMandatory13}}, {2, 2}, {2}},
        TrackerCase{"AnnouncedAgainAfterAFailedCheck", "1.2", {{200, kOptional13}, {404, ""}, {200, kOptional13}}, {2, 1, 2}, {2, 2}},
        TrackerCase{"LetteredRemoteIsOlder", "1.2", {{200, R"({"version":{"number":"1.2b"}})"}}, {1}, {}},
        TrackerCase{"NumericComparison", "1.9", {{200, R"({"version":{"number":"1.10"}})"}}, {2}, {2}},
        TrackerCase{"SameVersion", "1.3", {{200, kMandatory13}}, {1}, {}},
        TrackerCase{"NoBundleVersion", "", {{200, kOptional13}}, {2}, {2}},
        TrackerCase{"NotFound", "1.2", {{404, kOptional13}}, {1}, {}},
        TrackerCase{"BadJSON", "1.2", {{200, "{\"version\":"}}, {1}, {}},
        TrackerCase{"NoNumber", "1.2", {{200, kNoNumber}}, {1}, {}},
        TrackerCase{"NoInstallURL", "1.2", {{200, kNoInstallURL}}, {2}, {2}}),
    [](const auto& info) { return std::string(info.param.name); });

class VTVersionTrackerTimerTest : public VTVersionServiceTest {
protected:
    void TearDown() override {
        if (auto tracker = VTVersionTracker::tracker()) tracker->stopTracking();
        VTVersionServiceTest::TearDown();
    }
    ManualClock clock_{1400000000};
};

TEST_F(VTVersionTrackerTimerTest, ChecksAtOnceAndThenEveryInterval) {
    setLocalVersion("1.2");
    serve({{200, kMandatory13}});
    Announcements heard;
    ASSERT_TRUE(VTVersionTracker::beginTrackingVersionForChannelServiceBaseUrlTimeIntervalWithHandler("release", baseUrl(), 0,
                                                                                                    heard.handler()));
    auto tracker = VTVersionTracker::tracker();
    ASSERT_TRUE(tracker);
    EXPECT_EQ(tracker->checkInterval(), 1800u);
    EXPECT_EQ(tracker->channelName(), "release");

    // The first check runs at once, on the timer's thread.
    ASSERT_TRUE(runMainUntil([&] { return heard.count() == 1; }));
    clock_.advance(1800);
    ASSERT_TRUE(runMainUntil([&] { return heard.count() == 2; }));
    clock_.advance(1800);
    ASSERT_TRUE(runMainUntil([&] { return heard.count() == 3; }));
    EXPECT_FALSE(heard.onMainThread);
    EXPECT_EQ(heard.versions, (std::vector<std::string>{"1.3", "1.3", "1.3"}));
    EXPECT_EQ(tracker->currentState(), VTVersionTrackerStateMandatoryUpdate);
    for (const auto& request : server_.requests()) EXPECT_EQ(request.target, "/Tandrel/track/release");

    // A new tracker replaces the old one, whose timer stops.
    Announcements second;
    ASSERT_TRUE(VTVersionTracker::beginTrackingVersionForChannelServiceBaseUrlTimeIntervalWithHandler("release", baseUrl(), 60,
                                                                                                    second.handler()));
    EXPECT_NE(VTVersionTracker::tracker(), tracker);
    EXPECT_FALSE(tracker->timerSource());
    ASSERT_TRUE(runMainUntil([&] { return second.count() == 1; }));
    EXPECT_EQ(VTVersionTracker::tracker()->checkInterval(), 60u);
}

TEST_F(VTVersionTrackerTimerTest, AnOptionalUpdateIsAnnouncedOnceFromTheFirstCheck) {
    setLocalVersion("1.2");
    serve({{200, kOptional13}});
    Announcements heard;
    auto tracker = VTVersionTracker::initWithChannelServiceBaseUrlTimeIntervalAndHandler("release", baseUrl(), 10, heard.handler());
    ASSERT_TRUE(runMainUntil([&] { return heard.count() == 1; }));
    EXPECT_EQ(heard.states, std::vector<std::int32_t>{2});
    // Later checks find the same release and say nothing.
    for (int i = 2; i <= 3; ++i) {
        clock_.advance(10);
        ASSERT_TRUE(runMainUntil([&] { return log_->count("Latest Version: 1.3") == static_cast<std::size_t>(i); }));
    }
    tracker->stopTracking();
    EXPECT_FALSE(tracker->timerSource());
    EXPECT_EQ(heard.count(), 1u);
}

TEST_F(VTVersionTrackerTimerTest, ANewIntervalRestartsTheTimerAndZeroMeansTheDefault) {
    setLocalVersion("1.2");
    serve({{200, kMandatory13}});
    Announcements heard;
    auto tracker = VTVersionTracker::initWithChannelServiceBaseUrlTimeIntervalAndHandler("release", baseUrl(), 10, heard.handler());
    ASSERT_TRUE(runMainUntil([&] { return heard.count() == 1; }));
    tracker->setCheckInterval(0);
    EXPECT_EQ(tracker->checkInterval(), 1800u);
    // Restarted: a check at once, and the next one 1800 seconds on.
    ASSERT_TRUE(runMainUntil([&] { return heard.count() == 2; }));
    clock_.advance(1800);
    ASSERT_TRUE(runMainUntil([&] { return heard.count() == 3; }));
    tracker->stopTracking();
}

// The handler may wait for another thread that asks the tracker for a check of its own (the app's
// handler waits for the main thread): no lock of the tracker is held while it runs.
TEST_F(VTVersionServiceTest, AHandlerMayWaitForAnotherThreadsCheck) {
    setLocalVersion("1.2");
    serve({{200, kMandatory13}});
    auto inner = std::make_shared<std::promise<void>>();
    std::future<void> innerDone = inner->get_future();
    std::atomic<int> calls{0};
    std::shared_ptr<VTVersionTracker> tracker;
    std::atomic<bool> innerEnded{false};
    tracker = std::make_shared<VTVersionTracker>("release", baseUrl(), 1800, [&](std::int32_t, const VTVersionPtr&) {
        if (calls.fetch_add(1) > 0) return;
        std::thread other([&, inner] {
            tracker->checkForUpdates();
            inner->set_value();
        });
        // Bounded, so that a tracker that still held its lock fails here instead of hanging.
        innerEnded = innerDone.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        if (innerEnded) other.join();
        else other.detach();
    });
    std::thread([&] { tracker->checkForUpdates(); }).join();
    EXPECT_TRUE(innerEnded);
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(tracker->currentState(), VTVersionTrackerStateMandatoryUpdate);
}

} // namespace
