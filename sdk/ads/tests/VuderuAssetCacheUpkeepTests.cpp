// The asset cache's upkeep: eviction of the least recently used, the size bound across many
// downloads, and what the application's notifications do.

#include "AssetCacheFixture.h"

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/WholeFile.h"
#include "platform/testsupport/ZipArchives.h"
#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/ads/VuderuZipArchive.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>

namespace {

std::uint64_t folderBytes(VuderuContentLoadingManager& manager) {
    return manager.getDirectoryFileSize(manager.cachesDirectoryPath() + "/asset_cache");
}

} // namespace

// Four assets (one still loading) over a limit of three and a half: the oldest that no pending ad
// needs and that is not loading goes, as few as bring the cache within the limit; with every
// candidate needed, the download still starts and nothing goes.
TEST_F(AssetCacheTest, EvictionTakesTheLeastRecentlyUsedThatNothingNeeds) {
    PlatformClock::setManual(2'000'000);
    auto adManager = VuderuAdManager::instance();
    // The oldest entry of all is a download still running.
    auto gate = std::make_shared<LoopbackGate>();
    server_.route("/v/loading.mp4", LoopbackHTTPServer::gated(200, {}, std::string(2000, 'l'), 1000, gate));
    const std::string loading = server_.url("/v/loading.mp4");
    lookup(loading);
    ASSERT_TRUE(runMainUntil([&] { return exists(assetPath(loading)) && readFile(assetPath(loading)).size() == 1000; }));
    std::vector<std::string> urls;
    for (const char* name : {"a", "b", "c"}) {
        PlatformClock::advance(10);
        urls.push_back(server_.url(std::string("/v/") + name + ".mp4"));
        lookup(urls.back());
        waitFor(urls.size());
    }
    // "a" is the pending ad's video; a hit on "b" makes "c" the older of the two.
    adManager->addPendingAd(std::make_shared<PendingVideoAd>(urls[0]));
    PlatformClock::advance(10);
    ASSERT_TRUE(lookup(urls[1]));
    EXPECT_TRUE(VuderuAdManager::isPendingAdAsset(manager_->getResourceId(urls[0])));
    EXPECT_FALSE(VuderuAdManager::isPendingAdAsset(manager_->getResourceId(urls[1])));

    adManager->setCacheSize(3500);
    PlatformClock::advance(10);
    const std::string d = server_.url("/v/d.mp4");
    lookup(d);
    waitFor(4);
    EXPECT_TRUE(exists(assetPath(loading)));
    EXPECT_TRUE(exists(assetPath(urls[0])));
    EXPECT_TRUE(exists(assetPath(urls[1])));
    EXPECT_FALSE(exists(assetPath(urls[2])));
    EXPECT_TRUE(entry(urls[2]).empty());
    EXPECT_TRUE(exists(assetPath(d)));

    // Every remaining candidate needed: nothing goes, the download still happens.
    for (const auto& url : {urls[1], d}) adManager->addPendingAd(std::make_shared<PendingVideoAd>(url));
    const std::string e = server_.url("/v/e.mp4");
    lookup(e);
    waitFor(5);
    for (const auto& url : {loading, urls[0], urls[1], d, e}) EXPECT_TRUE(exists(assetPath(url))) << url;
    gate->cancel();
}

// A hundred downloads, three at a time, with room for ten: asset_cache never holds more than the
// limit and the downloads in flight, and the sdk_cache tree does not count.
TEST_F(AssetCacheTest, ManyDownloadsStayWithinTheLimit) {
    PlatformClock::setManual(3'000'000);
    VuderuAdManager::instance()->setCacheSize(10 * 1000);
    lookup(server_.url("/sdk/ios.zip"), {{"removalType", "updateRemovable"}});
    waitFor(1);
    std::uint64_t largest = 0;
    for (int i = 0; i < 100; i += 3) {
        PlatformClock::advance(1);
        int batch = std::min(3, 100 - i);
        for (int j = 0; j < batch; ++j) lookup(server_.url("/v/n" + std::to_string(i + j) + ".mp4"));
        waitFor(1 + i + batch);
        largest = std::max(largest, folderBytes(*manager_));
    }
    EXPECT_LE(largest, 10u * 1000 + 3 * 1000);
    EXPECT_GE(largest, 10u * 1000);
    EXPECT_EQ(server_.requestCount(), 101u);
    for (const auto& heard : delegate_->heard()) EXPECT_EQ(heard.outcome, "done");
}

// The size bound counts what an earlier run stored from the start, listed in the index or not,
// without walking the folder again: removing an asset frees its share at once, a download's file
// is counted when it completes, and a resource's folder goes with its last file.
TEST_F(AssetCacheTest, TheSizeOfWhatIsStoredIsKeptFromTheStart) {
    PlatformClock::setManual(5'000'000);
    const std::string left = std::string(kRoot) + "/asset_cache/earlier/left.mp4";
    writeFile(left, std::string(2500, 'e'));
    auto adManager = VuderuAdManager::instance();
    adManager->setCacheSize(3000);
    auto fresh = std::make_shared<VuderuContentLoadingManager>();
    EXPECT_TRUE(fresh->isCachedFilesSizeInLimits());

    const std::string url = server_.url("/v/new.mp4");
    fresh->cachedAssetForPath(url, std::nullopt, true, true, std::nullopt, PlatformClock::now() + 3600, {}, delegate_);
    waitFor(1);
    ASSERT_EQ(delegate_->heard().at(0).outcome, "done");
    EXPECT_FALSE(fresh->isCachedFilesSizeInLimits()) << "2500 left by the earlier run and 1000 downloaded";

    fresh->deleteAssetForPath(left, "earlier");
    EXPECT_TRUE(fresh->isCachedFilesSizeInLimits());
    EXPECT_FALSE(exists(std::string(kRoot) + "/asset_cache/earlier"));
    adManager->setCacheSize(999);
    EXPECT_FALSE(fresh->isCachedFilesSizeInLimits());
    fresh->flushAssetsInfoWrites();
    adManager->setCacheSize(VuderuAdManager::kDefaultCacheSize);
}

// Resigning active cancels the loads (the cancelled one says nothing and keeps its entry as
// "downloadInProgress") and sweeps the expired; becoming active sweeps again and removes the
// cache's former location in the SDK's data folder.
TEST_F(AssetCacheTest, ResignAndBecomeActive) {
    PlatformClock::setManual(4'000'000);
    manager_->registerForNotifications();
    const std::string expired = server_.url("/v/old.mp4");
    manager_->cachedAssetForPath(expired, std::nullopt, true, true, std::nullopt, PlatformClock::now() + 5, {}, delegate_);
    waitFor(1);
    const std::string kept = server_.url("/sdk/ios.zip");
    manager_->cachedAssetForPath(kept, std::nullopt, true, true, std::nullopt, PlatformClock::now() + 5,
                                 {{"removalType", "updateRemovable"}}, delegate_);
    waitFor(2);
    auto gate = std::make_shared<LoopbackGate>();
    server_.route("/v/slow.mp4", LoopbackHTTPServer::gated(200, {}, std::string(2000, 's'), 1000, gate));
    const std::string slow = server_.url("/v/slow.mp4");
    lookup(slow);
    ASSERT_TRUE(runMainUntil([&] { return exists(assetPath(slow)) && readFile(assetPath(slow)).size() == 1000; }));
    PlatformClock::advance(10);

    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationWillResignActiveNotification);
    ASSERT_TRUE(runMainUntil([&] { return !exists(assetPath(slow)); }));
    gate->cancel();
    drainMain();
    EXPECT_EQ(delegate_->count(), 2u);
    EXPECT_EQ(status(slow), "downloadInProgress");
    EXPECT_FALSE(manager_->isLoadPending(manager_->getResourceId(slow)));
    EXPECT_FALSE(exists(assetPath(expired)));
    EXPECT_TRUE(exists(assetPath(kept, "sdk_cache")));

    const std::string old = VuderuUtil::filePathDirectory();
    writeFile(old + "/asset_cache/x/y.mp4", "old");
    writeFile(old + "/sdk_cache/z/ios.zip", "old");
    writeFile(old + "/local_asset_info_lookup.plist", "old");
    writeFile(old + "/other", "kept");
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationDidBecomeActiveNotification);
    for (const char* gone : {"/asset_cache", "/sdk_cache", "/local_asset_info_lookup.plist"}) EXPECT_FALSE(exists(old + gone)) << gone;
    EXPECT_TRUE(exists(old + "/other"));
    EXPECT_TRUE(exists(assetPath(kept, "sdk_cache")));
}

// A run killed while it unpacked the player bundle, or while it wrote a download, leaves hidden
// temporaries in folders beneath the cache's own; the next launch's sweep reaches them there. A
// file of that shape that no writer marked stays beneath (its name came from outside), and so does
// a running writer's temporary.
TEST_F(AssetCacheTest, TheLaunchSweepTakesWhatKilledWritesLeftBeneathTheCache) {
    const std::string bundle = std::string(kRoot) + "/sdk_cache/sdk_player_assets";
    makeDirectory(bundle);
    makeDirectory("/tmp");
    ASSERT_TRUE(zip_archives::makeArchive(host(bundle + "/ios.zip"), {{"img/closeX.png", std::string(256 << 10, '\0')}},
                                          host("/tmp/script.py")));
    ASSERT_TRUE(zip_archives::extractKilledHalfWay(
        [&] {
            VuderuZipArchive archive;
            if (archive.UnzipOpenFile(bundle + "/ios.zip")) archive.UnzipFileToOverWrite(bundle, true);
        },
        64 << 10));
    ASSERT_EQ(zip_archives::temporariesIn(host(bundle + "/img")).size(), 1u) << "the killed unzip left no temporary";
    // A download's temporary of a killed run, in its resource's folder.
    const std::string resource = std::string(kRoot) + "/asset_cache/earlier";
    makeDirectory(resource);
    ASSERT_TRUE(zip_archives::extractKilledHalfWay(
        [&] {
            WholeFileWriter download;
            if (download.begin(resource + "/clip.mp4") == 0) NSWriteAll(download.fd(), std::string(8192, 'v').data(), 8192);
        },
        4096));
    ASSERT_EQ(zip_archives::temporariesIn(host(resource)).size(), 1u);
    const std::string usersFile = zip_archives::deadWritersTemporaryName("closeX.png");
    writeFile(bundle + "/img/" + usersFile, "from the archive");
    WholeFileWriter live;
    ASSERT_EQ(live.begin(bundle + "/img/live.png"), 0);

    auto relaunched = std::make_shared<VuderuContentLoadingManager>();
    std::vector<std::string> expected = {usersFile, live.temporaryName()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(zip_archives::temporariesIn(host(bundle + "/img")), expected);
    EXPECT_EQ(zip_archives::temporariesIn(host(resource)), std::vector<std::string>{});
    EXPECT_EQ(readFile(bundle + "/img/" + usersFile), "from the archive");
    relaunched->flushAssetsInfoWrites();
}
