#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdManager.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

namespace {

class FakeAd : public IVuderuAd {
public:
    FakeAd(std::string space, std::string guid, bool ready) : space_(std::move(space)), guid_(std::move(guid)), ready_(ready) {}
    VuderuAdUnitPtr activeAdUnit() const override { return nullptr; }
    bool isGuidActive(const std::string& guid) const override { return guid == guid_; }
    bool readyForDisplay() const override { return ready_; }
    std::string adSpaceName() const override { return space_; }

private:
    std::string space_, guid_;
    bool ready_;
};

// The managers are the SDK's singletons: they load and save their stores on the test's own device.
class VuderuAdSpineTest : public DeviceTest {};

} // namespace

TEST(VuderuAdEvent, Vocabulary) {
    EXPECT_EQ(VuderuAdEvent::adEventStringToEnum(std::nullopt), 0);
    EXPECT_EQ(VuderuAdEvent::adEventStringToEnum(""), 0);
    EXPECT_EQ(VuderuAdEvent::adEventStringToEnum("Prepared"), 0);
    EXPECT_EQ(VuderuAdEvent::adEventStringToEnum("prepared"), 35);
    EXPECT_EQ(VuderuAdEvent::adEventEnumToString(27), "capExhausted");
    EXPECT_EQ(VuderuAdEvent::adEventArrayInstance().size(), 36u);
}

TEST(VuderuAdEvent, NameKeptOnlyForUnknownId) {
    VuderuAdEvent custom(0, "custom?x=1", nullptr, 5);
    EXPECT_EQ(custom.eventName(), "custom?x=1");
    VuderuAdEvent clicked(7, "whatever", nullptr, 5);
    EXPECT_EQ(clicked.eventName(), "clicked");
    VuderuAdEvent bare(0, std::nullopt, nullptr, 5);
    EXPECT_EQ(bare.eventName(), "unknown");
    EXPECT_FALSE(clicked.toBeSent());
}

TEST_F(VuderuAdSpineTest, AdLogTransfersAndManagerLookup) {
    auto log = std::make_shared<VuderuAdLog>(100, "guid");
    auto second = std::make_shared<VuderuAdLog>(100, std::nullopt);
    EXPECT_EQ(second->adLogId(), log->adLogId() + 1);
    log->logAdEvent(nullptr);
    log->logAdEvent(std::make_shared<VuderuAdEvent>(5, std::nullopt, nullptr, 1));
    log->pushEventsForTransferWithIdentifier("t1");
    EXPECT_TRUE(log->adEvents().empty());
    ASSERT_TRUE(log->eventsWithTransferIdentifier("t1"));
    EXPECT_EQ(log->eventsWithTransferIdentifier("t1")->size(), 1u);
    EXPECT_FALSE(log->eventsWithTransferIdentifier("t2"));
    EXPECT_TRUE(log->discardEventsWithTransferIdentifier("t1"));
    EXPECT_FALSE(log->discardEventsWithTransferIdentifier("t1"));

    auto manager = AdLogManager::instance();
    manager->storeAdLog(log);
    manager->storeAdLog(second);
    manager->storeAdLog(nullptr);
    EXPECT_EQ(manager->getAdLog("guid"), log);
    EXPECT_EQ(manager->getAdLog(std::nullopt), second);
    EXPECT_EQ(manager->getAdLog("other"), nullptr);
}

TEST_F(VuderuAdSpineTest, AdManagerRegistryPendingListAndSizeCodes) {
    auto manager = VuderuAdManager::instance();
    auto shown = std::make_shared<FakeAd>("s", "g1", true);
    EXPECT_TRUE(manager->registerAdAdSpaceName(shown, "s"));
    EXPECT_FALSE(manager->registerAdAdSpaceName(std::make_shared<FakeAd>("s", "g2", true), "s"));
    EXPECT_EQ(manager->adForSpace("s"), shown);
    EXPECT_TRUE(manager->isGuidActive("g1"));
    EXPECT_FALSE(manager->isGuidActive(""));
    manager->deRegisterAdForSpace("s");
    EXPECT_FALSE(manager->isGuidActive("g1"));

    auto notReady = std::make_shared<FakeAd>("s", "a", false);
    auto ready = std::make_shared<FakeAd>("s", "b", true);
    manager->addPendingAd(notReady);
    manager->addPendingAd(ready);
    EXPECT_EQ(manager->fetchPendingAdForSpace("s"), ready);
    EXPECT_EQ(manager->fetchPendingAdForSpace("t"), nullptr);
    manager->removePendingAd(ready);
    EXPECT_EQ(manager->fetchPendingAdForSpace("s"), nullptr);

    VuderuAdManager::setupDefaultsForAdSpaceSize("", 3);
    EXPECT_FALSE(VuderuAdManager::isTestAdSpace(""));
    VuderuAdManager::setupDefaultsForAdSpaceSize("test", 3);
    EXPECT_EQ(VuderuAdManager::adSizeForTestAdSpace("test"), 3);
    EXPECT_EQ(VuderuAdManager::adSizeForTestAdSpace("other"), 0);
    EXPECT_EQ(manager->cacheSize(), 20000000);
    EXPECT_EQ(manager->maxAssetSize(), 2000000);
}
