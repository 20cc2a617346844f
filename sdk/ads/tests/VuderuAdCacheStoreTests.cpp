#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/ads/VuderuFreqCapInfo.h"

#include <gtest/gtest.h>

namespace {

VuderuAdUnitPtr unit(const std::string& space, std::int32_t orientation, const std::string& guid, std::int64_t expiration = 0,
                     const std::string& group = "") {
    auto u = std::make_shared<VuderuAdUnit>();
    u->setAdSpace(space);
    u->setScreenOrientation(orientation);
    u->setExpiration(expiration);
    u->setGroupId(group);
    auto frame = std::make_shared<VuderuAdFrame>();
    frame->setAdLogGUID(guid);
    u->addAdFrame(frame);
    return u;
}

VuderuAdUnitPtr capped(const std::string& hash, std::int32_t cap, std::int64_t expirationTime = 5000000) {
    auto u = std::make_shared<VuderuAdUnit>();
    u->setIdHash(hash);
    u->setNewCap(cap);
    u->setExpirationTime(expirationTime);
    u->setServeTime(7);
    return u;
}

class AdCacheStoreTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        PlatformClock::setManual(1000);
    }
    void TearDown() override {
        VuderuAdCache::clearCache();
        DeviceProfile::reset();
        DeviceTest::TearDown();
    }
    const VuderuCacheKey portrait{"s", 0};
    const VuderuCacheKey landscape{"s", 1};
};

} // namespace

TEST_F(AdCacheStoreTest, KeysCompareByValueAndTurn) {
    EXPECT_EQ(VuderuCacheKey("s", 0).reoriented(), landscape);
    EXPECT_EQ(VuderuCacheKey("s", 5).reoriented(), portrait);
    EXPECT_TRUE(portrait.isEqual(&*std::make_shared<VuderuCacheKey>("s", 0)));
    EXPECT_EQ(portrait.description(), "<VuderuCacheKey (space:'s', orientation:0)>");
    EXPECT_EQ(VuderuCacheKey::withSpaceAndInterfaceOrientation("s", 2), portrait);
    EXPECT_EQ(VuderuCacheKey::withSpaceAndInterfaceOrientation("s", 3), landscape);
    DeviceProfile::update([](DeviceProfile& p) { p.orientation = UIDeviceOrientationLandscapeRight; });
    EXPECT_EQ(VuderuCacheKey::withSpace("s"), landscape);
}

TEST_F(AdCacheStoreTest, StoringValidatingAndChoosing) {
    VuderuAdCache::addAdUnits({unit("s", 0, "a", 5000000), unit("s", 0, "expired", 5000000), unit("", 0, "nameless"), unit("s", 2, "unknown"),
                               unit("s", 1, "landscape")});
    VuderuAdCache::validatedCachedAdUnitsForKey(portrait)->at(1)->setExpiration(1);
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(portrait), 1u);
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(landscape), 1u);
    EXPECT_EQ(VuderuAdCache::validatedCachedAdUnitsForKey({"other", 0}), nullptr);
    EXPECT_EQ(VuderuAdCache::adUnitForGuid("landscape")->adSpace(), "s");
    EXPECT_EQ(VuderuAdCache::adUnitForGuid("nameless"), nullptr);

    VuderuCacheRetrievalPolicy policy;
    policy.setAdUnitFilter([](const VuderuAdUnitPtr& u, std::size_t, bool* stop) { *stop = u->curAdFrame()->adLogGUID() == "b"; });
    EXPECT_EQ(VuderuAdCache::cachedAdUnitForKeyCacheRetrievalPolicy(portrait, policy), nullptr);
    VuderuAdCache::addAdUnitForKeyAtIndex(unit("s", 0, "b"), portrait, 0);
    VuderuAdCache::addAdUnitForKeyAtIndex(unit("s", 0, "past the end"), portrait, 5);
    policy.setRemoveFromCache(true);
    auto chosen = VuderuAdCache::cachedAdUnitForKeyCacheRetrievalPolicy(portrait, policy);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->curAdFrame()->adLogGUID(), "b");
    auto left = VuderuAdCache::allCachedAdUnitsForKey(portrait);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]->curAdFrame()->adLogGUID(), "a");
    EXPECT_EQ(VuderuAdCache::cachedAdUnitForKeyCacheRetrievalPolicy(portrait, *VuderuCacheRetrievalPolicy::defaultPolicy()), left[0]);
}

TEST_F(AdCacheStoreTest, ReplacingKeepsGroupAndMergesCallbacks) {
    auto old = unit("s", 0, "old", 0, "group");
    auto callbacks = std::make_shared<VuderuAdCallbackTable>();
    auto clicked = std::make_shared<VuderuAdCallback>();
    clicked->setEvent("clicked");
    clicked->setActions({"open"});
    (*callbacks)["clicked"] = clicked;
    old->adFrames()[0]->setAdCallbacks(callbacks);
    VuderuAdCache::addAdUnits({unit("s", 0, "first"), old});
    auto fresh = unit("s", 0, "new");
    EXPECT_FALSE(VuderuAdCache::findAndReplaceWithNewAdUnit(unit("s", 0, "absent"), fresh));
    ASSERT_TRUE(VuderuAdCache::findAndReplaceWithNewAdUnit(old, fresh));
    auto list = VuderuAdCache::allCachedAdUnitsForKey(portrait);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], fresh);
    EXPECT_EQ(fresh->groupId(), "group");
    EXPECT_EQ(fresh->adFrames()[0]->adCallbacks()->at("clicked")->actions(), std::vector<std::string>{"open"});
}

TEST_F(AdCacheStoreTest, RemovalsCoverBothOrientations) {
    auto a = unit("s", 0, "a", 0, "g1");
    VuderuAdCache::addAdUnits({a, unit("s", 1, "b", 0, "g1"), unit("s", 1, "c", 0, "g2"), unit("t", 0, "d")});
    VuderuAdCache::removeAdUnit(a);
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(portrait), 0u);
    VuderuAdCache::removeAdUnitsForGroupIDWithSpace("g1", "s");
    EXPECT_EQ(VuderuAdCache::allCachedAdUnitsForKey(landscape).size(), 1u);
    VuderuAdCache::removeAdUnitsForSpace("s");
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(landscape), 0u);
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey({"t", 0}), 1u);
    EXPECT_NE(VuderuAdCache::validatedCachedAdUnitsForKey(landscape), nullptr); // the key stays, empty
}

TEST_F(AdCacheStoreTest, ChangedKeywordsEmptyTheCache) {
    VuderuAdProperties::setKeywords(VuderuAdProperties::Dictionary{{"k", "v"}});
    VuderuAdCache::addAdUnits({unit("s", 0, "a")});
    VuderuAdProperties::setKeywords(VuderuAdProperties::Dictionary{{"k", "v"}});
    EXPECT_EQ(VuderuAdCache::validatedCacheCountForKey(portrait), 1u);
    VuderuAdProperties::clearKeywords();
    EXPECT_EQ(VuderuAdCache::validatedCachedAdUnitsForKey(portrait), nullptr);
}

TEST_F(AdCacheStoreTest, FrequencyCapsMergeServedBatches) {
    VuderuFreqCapManager::storeFreqCapInfoForAdUnits({capped("h", 3), capped("gone", 2)});
    VuderuFreqCapManager::getFreqCapInfo("h")->views = 2;
    VuderuFreqCapManager::storeFreqCapInfoForAdUnits({capped("h", 1), capped("h", 4), capped("gone", -1), capped("", 5)});
    auto h = VuderuFreqCapManager::getFreqCapInfo("h");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->views, 0);
    EXPECT_EQ(h->newCap, 4);
    EXPECT_EQ(h->serveTime, 7);
    EXPECT_EQ(VuderuFreqCapManager::getFreqCapInfo("gone"), nullptr);
    EXPECT_EQ(VuderuFreqCapManager::getAllFreqCapInfoObjects().size(), 1u);
    EXPECT_NE(VuderuFreqCapManager::getAllFreqCapInfoObjects()[0], h);

    EXPECT_FALSE(VuderuFreqCapManager::hasFrequencyCapExpired(1000001));
    EXPECT_TRUE(VuderuFreqCapManager::hasFrequencyCapExpired(1000000));
    VuderuFreqCapManager::storeFreqCapInfoForAdUnits({capped("old", 2, 999999)});
    VuderuFreqCapManager::discardExpiredFreqCapObjects();
    EXPECT_EQ(VuderuFreqCapManager::getFreqCapInfo("old"), nullptr);
    EXPECT_NE(VuderuFreqCapManager::getFreqCapInfo("h"), nullptr);
}

TEST_F(AdCacheStoreTest, AssetIndexIsReadFromTheCacheRoot) {
    const std::string root = "/var/mobile/Library/Caches/VuderuFiles";
    Value::Dictionary entry{{"cachedTime", Value::Date{500}}, {"resourceId", "sdk_player_assets"}};
    makeDirectory(root);
    ASSERT_TRUE(NSPropertyListSerialization::writePropertyListToFile(Value(Value::Dictionary{{kVuderuSDKAssetsResourceId, entry}}),
                                                                    root + "/" + kLocalAssetLookup, true));
    VuderuContentLoadingManager manager;
    EXPECT_EQ(manager.cachesDirectoryPath(), root);
    EXPECT_EQ(manager.localAssetInfoForResourceId("sdk_player_assets").dictionary().at("cachedTime").date().secondsSince1970, 500);
    EXPECT_TRUE(manager.localAssetInfoForResourceId("other").isNull());
    writeFile(root + "/" + kLocalAssetLookup, "not a property list");
    EXPECT_TRUE(VuderuContentLoadingManager().localAssetInfo().empty());
}
