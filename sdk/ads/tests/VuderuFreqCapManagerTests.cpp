// Frequency caps: merging served batches, expiry, counting views up to the cap and asking for it,
// and the records kept across launches and reported with the next ad request.
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/testsupport/ChildProcess.h"
#include "platform/testsupport/ShellCommand.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuFreqCapManager.h"
#include "sdk/ads/tests/AdLogBuilders.h"
#include "sdk/ads/tests/AdRequestFixture.h"
#include "sdk/analytics/VuderuFileCache.h"

#include <fstream>
#include <thread>

namespace {

using namespace adlog_builders;
constexpr std::int64_t kFarFuture = 1800000000000;

VuderuAdUnitPtr served(const std::string& hash, std::int32_t cap, std::int64_t expirationTime = kFarFuture) {
    auto unit = unitWithFrame("banner", "g-" + hash, hash);
    unit->setNewCap(cap);
    unit->setExpirationTime(expirationTime);
    unit->setServeTime(1600000000000);
    unit->setPrevCap(1);
    unit->setPrevCapType(2);
    return unit;
}

class FreqCapTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        PlatformClock::setManual(1700000000.5);
        VuderuFileCache::createInstanceWithApiKeyAgentVersion("KEY", "137");
    }
    void TearDown() override {
        VuderuUtil::setLogLevel(1);
        DeviceTest::TearDown();
    }
};

} // namespace

TEST_F(FreqCapTest, ServedBatchesMerge) {
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::int32_t>> before;  // hash and cap served earlier
        std::vector<std::pair<std::string, std::int32_t>> batch;
        std::optional<std::int32_t> cap;                           // the record of "h" after; nullopt: none
    };
    const Row rows[] = {
        {"cap -1 creates no record", {}, {{"h", -1}}, std::nullopt},
        {"cap -1 removes the record", {{"h", 3}}, {{"h", -1}}, std::nullopt},
        {"caps 3 and 5 in one batch", {}, {{"h", 3}, {"h", 5}}, 5},
        {"caps 5 and 3 in one batch", {}, {{"h", 5}, {"h", 3}}, 5},
        {"cap -2 without a record", {}, {{"h", -2}}, -2},
        {"cap -2 over a record", {{"h", 4}}, {{"h", -2}}, 0},
        {"served again", {{"h", 4}}, {{"h", 2}}, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        VuderuFreqCapManager::removeFreqCapInfo("h");
        std::vector<VuderuAdUnitPtr> before, batch;
        for (const auto& [hash, cap] : row.before) before.push_back(served(hash, cap, 1700000100000));
        for (const auto& [hash, cap] : row.batch) batch.push_back(served(hash, cap));
        VuderuFreqCapManager::storeFreqCapInfoForAdUnits(before);
        if (auto earlier = VuderuFreqCapManager::getFreqCapInfo("h")) earlier->views = 3;
        VuderuFreqCapManager::storeFreqCapInfoForAdUnits(batch);
        auto record = VuderuFreqCapManager::getFreqCapInfo("h");
        ASSERT_EQ(record != nullptr, row.cap.has_value());
        if (!record) continue;
        EXPECT_EQ(record->newCap, *row.cap);
        EXPECT_EQ(record->views, 0);
        EXPECT_EQ(record->expirationTime, kFarFuture);
        EXPECT_EQ(VuderuFreqCapManager::getAllFreqCapInfoObjects().size(), 1u);
    }
}

TEST_F(FreqCapTest, ExpiryComparesWholeSecondsInMilliseconds) {
    struct Row {
        std::int64_t time;
        bool expired;
    };
    const Row rows[] = {{0, true}, {-5, true}, {1700000000000, true}, {1700000000001, false}, {1700000001000, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.time);
        EXPECT_EQ(VuderuFreqCapManager::hasFrequencyCapExpired(row.time), row.expired);
    }
    VuderuFreqCapManager::storeFreqCapInfoForAdUnits({served("old", 2, 1700000000000), served("new", 2)});
    VuderuFreqCapManager::discardExpiredFreqCapObjects();
    EXPECT_EQ(VuderuFreqCapManager::getFreqCapInfo("old"), nullptr);
    EXPECT_NE(VuderuFreqCapManager::getFreqCapInfo("new"), nullptr);
}

TEST_F(FreqCapTest, ViewsUpToTheCapDropTheSpacesQueuedAdsUntilTheRecordExpires) {
    VuderuUtil::setLogLevel(2);
    auto manager = VuderuAdManager::instance();
    auto pending = std::make_shared<ShowingAd>("banner", "p");
    manager->addPendingAd(pending);
    VuderuAdCache::addAdUnitForKey(unitWithFrame("banner", "cached"), VuderuCacheKey("banner", 0));
    VuderuAdCache::addAdUnitForKey(unitWithFrame("other", "kept"), VuderuCacheKey("other", 0));
    VuderuFreqCapManager::storeFreqCapInfoForAdUnits({served("h", 2, 1700000010000)});

    VuderuFreqCapManager::updateViewCount("h", "banner");
    EXPECT_EQ(VuderuFreqCapManager::checkCap("h"), VuderuAdEvent::kCapNotExhausted);
    EXPECT_EQ(manager->fetchPendingAdForSpace("banner"), pending);
    EXPECT_NE(VuderuAdCache::adUnitForGuid("cached"), nullptr);

    VuderuFreqCapManager::updateViewCount("h", "banner");
    EXPECT_EQ(VuderuFreqCapManager::getFreqCapInfo("h")->views, 2);
    EXPECT_EQ(manager->fetchPendingAdForSpace("banner"), nullptr);
    EXPECT_EQ(VuderuAdCache::adUnitForGuid("cached"), nullptr);
    EXPECT_NE(VuderuAdCache::adUnitForGuid("kept"), nullptr);
    EXPECT_FALSE(log_->contains("VuderuAdAction: !! rendering a capped object"));

    VuderuFreqCapManager::updateViewCount("h", "banner");
    EXPECT_TRUE(log_->contains("VuderuAdAction: !! rendering a capped object: idHash=h, serveTime=1600000000000, expirationTime=1700000010000, "
                               "views=3, newCap=2, prevCap=1, prevCapType=2"));
    EXPECT_EQ(VuderuFreqCapManager::checkCap("h"), VuderuAdEvent::kCapExhausted);
    EXPECT_TRUE(log_->contains("VuderuAdAction: attempt to check cap for capped object: idHash=h"));
    PlatformClock::advance(9);
    EXPECT_EQ(VuderuFreqCapManager::checkCap("h"), VuderuAdEvent::kCapExhausted);
    PlatformClock::advance(1);
    EXPECT_EQ(VuderuFreqCapManager::checkCap("h"), VuderuAdEvent::kCapNotExhausted);
    EXPECT_EQ(VuderuFreqCapManager::getFreqCapInfo("h"), nullptr);
    VuderuAdCache::clearCache();
}

TEST_F(FreqCapTest, AHashWithoutRecordIsNeitherCountedNorCreated) {
    VuderuFreqCapManager::updateViewCount("none", "banner");
    EXPECT_EQ(VuderuFreqCapManager::checkCap("none"), VuderuAdEvent::kCapNotExhausted);
    EXPECT_EQ(VuderuFreqCapManager::getFreqCapInfo("none"), nullptr);
    EXPECT_TRUE(VuderuFreqCapManager::getAllFreqCapInfoObjects().empty());
}

// Views counted on the main thread while saves archive the store from other threads: every save
// holds a consistent snapshot, and the last holds every view.
TEST_F(FreqCapTest, CountingWhileSaving) {
    VuderuFreqCapManager::storeFreqCapInfoForAdUnits({served("h", 1000000), served("k", 1000000)});
    std::thread saver([] {
        for (int i = 0; i < 40; ++i) VuderuFreqCapManager::saveFreqCapManagerSync();
    });
    for (int i = 0; i < 2000; ++i) {
        VuderuFreqCapManager::updateViewCount("h", "banner");
        VuderuFreqCapManager::updateViewCount("k", "banner");
    }
    saver.join();
    VuderuFreqCapManager::saveFreqCapManagerSync();
    auto stored = VuderuFileCache::instance()->get(VuderuFreqCapManager::kFileCachePrefix).objectAs<VuderuFreqCapManager>();
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->freqCapInfoMap().at("h")->views, 2000);
    EXPECT_EQ(stored->freqCapInfoMap().at("k")->views, 2000);
}

namespace {

class FreqCapPersistenceTest : public AdRequestTest {
protected:
    void SetUp() override {
        AdRequestTest::SetUp();
        VuderuFileCache::createInstanceWithApiKeyAgentVersion("KEY", "137");
    }
    // The checker's JSON of the one ad request the server received.
    std::string postedRequestAsJson() {
        auto requests = collector_.requests();
        if (requests.size() != 1) return "requests: " + std::to_string(requests.size());
        makeDirectory("/tmp");
        std::ofstream(host("/tmp/request.avro"), std::ios::binary) << requests[0].body;
        std::string command = "/usr/bin/python3 '" VUDERU_ADS_TESTS_DIR "/avro_checker.py' check-request '" + host("/tmp/request.avro") + "'";
        std::string text;
        runShellCommand(command, &text);
        return text;
    }
};

} // namespace

TEST_F(FreqCapPersistenceTest, CountedViewsSurviveTheLaunchAndTravelWithTheNextRequest) {
    const std::string archive = *VuderuFileCache::instance()->createFilePath(VuderuFreqCapManager::kFileCachePrefix, true);
    int first = runInChildProcess([&]() -> int {
        VuderuFreqCapManager::setup();
        drainMain();
        VuderuFreqCapManager::storeFreqCapInfoForAdUnits({served("h", 2), served("other", 5)});
        VuderuFreqCapManager::updateViewCount("h", "banner");
        VuderuFreqCapManager::updateViewCount("h", "banner");
        if (VuderuFreqCapManager::checkCap("h") != VuderuAdEvent::kCapExhausted) return 1;
        NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationWillResignActiveNotification);
        return runMainUntil([&] { return NSFileManager::defaultManager()->fileExistsAtPath(archive); }, 30) ? 0 : 2;
    });
    ASSERT_EQ(first, 0);

    int second = runInChildProcess([&]() -> int {
        if (VuderuFreqCapManager::checkCap("h") != VuderuAdEvent::kCapExhausted) return 1;
        if (VuderuFreqCapManager::checkCap("other") != VuderuAdEvent::kCapNotExhausted) return 2;
        auto request = std::make_shared<VuderuAdRequest>();
        request->getAdRequestForSpace("banner", CGRect{{0, 0}, {320, 50}}, delegate_, Value(), false, {});
        return runMainUntil([&] { return request->runningTasks().empty(); }, 30) ? 0 : 3;
    });
    ASSERT_EQ(second, 0);
    const std::string json = postedRequestAsJson();
    EXPECT_NE(json.find(R"({"expirationTime": 1800000000000, "idHash": "h", "newCap": 2, "previousCap": 1, "previousCapType": 2, )"
                        R"("serveTime": 1600000000000, "views": 2})"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("idHash": "other", "newCap": 5)"), std::string::npos) << json;
}
