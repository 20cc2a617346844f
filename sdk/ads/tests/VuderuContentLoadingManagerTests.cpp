// The asset cache: lookups, downloads, the index, cache keys and the callers it reports to.

#include "AssetCacheFixture.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/FileWrites.h"

#include <cstdio>

TEST_F(AssetCacheTest, ResourceIdsAreTheMD5OfTheJoinedTail) {
    EXPECT_EQ(manager_->getResourceId("media/v/a.mp4"), "f3b73eba87f04d1b2ddf2d52a609c9de");  // md5("media_v_a_mp4")
    EXPECT_EQ(manager_->getResourceId("http://x//media/v/a.mp4"), "f3b73eba87f04d1b2ddf2d52a609c9de");
    EXPECT_NE(manager_->getResourceId("http://h/media/v/a.mp4"), manager_->getResourceId("http://h/media/v/b.mp4"));
}

// A download with the key in the file name: nothing current at first, the file stored per
// resource, the finished download heard on the worker thread, then hits that refresh the entry.
TEST_F(AssetCacheTest, DownloadThenHitRefreshesLastAccess) {
    PlatformClock::setManual(1'000'000);
    const std::string url = server_.url("/v/k7f3.mp4");
    EXPECT_FALSE(lookup(url));
    EXPECT_EQ(status(url), "downloadInProgress");
    EXPECT_TRUE(manager_->isLoadPending(manager_->getResourceId(url)));
    EXPECT_EQ(manager_->httpLoadOperations().at(manager_->getResourceId(url)).dictionary().at("cbEmbedded").string(), "YES");
    waitFor(1);
    auto heard = delegate_->heard().front();
    EXPECT_EQ(heard.outcome, "done");
    EXPECT_FALSE(heard.onMainThread);
    EXPECT_EQ(heard.asset->cachedAssetPath(), assetPath(url));
    EXPECT_EQ(server_.requests().front().target, "/v/k7f3.mp4");  // the key travels in the name
    EXPECT_EQ(readFile(assetPath(url)).size(), 1000u);
    EXPECT_EQ(status(url), "downloadCompleted");
    EXPECT_EQ(entry(url)["cbKey"].string(), "k7f3");
    EXPECT_TRUE(manager_->httpLoadOperations().empty());

    PlatformClock::advance(50);
    auto hit = lookup(url, {{"removalType", "lruRemovable"}, {"mine", 1}});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->cachedAssetPath(), assetPath(url));
    EXPECT_EQ(hit->cbKey(), "k7f3");
    EXPECT_EQ(hit->tags().at("mine").integerValue(), 1);
    EXPECT_EQ(entry(url)["lastAccessTime"].date().secondsSince1970, 1'000'050);
    EXPECT_EQ(server_.requestCount(), 1u);
}

// A downloaded asset whose sync fails (the disk refuses it) is never named complete: the index
// write that would name it is dropped, the entry and the file go, and the next write names the
// rest. The asset synced before it stays.
TEST_F(AssetCacheTest, AnAssetThatCannotBeSyncedLeavesTheIndex) {
    PlatformClock::setManual(1'000'000);
    const std::string kept = server_.url("/v/kept.mp4"), lost = server_.url("/v/lost.mp4");
    lookup(kept);
    waitFor(1);
    manager_->flushAssetsInfoWrites();
    NSFailNextFileSyncsForTesting(1);
    lookup(lost);
    waitFor(2);

    manager_->flushAssetsInfoWrites();
    EXPECT_EQ(status(lost), "");
    EXPECT_FALSE(exists(assetPath(lost)));
    EXPECT_EQ(status(kept), "downloadCompleted");
    EXPECT_TRUE(exists(assetPath(kept)));
    manager_->flushAssetsInfoWrites();
    const std::string index = readFile(std::string(kRoot) + "/local_asset_info_lookup.plist");
    EXPECT_NE(index.find(manager_->getResourceId(kept)), std::string::npos);
    EXPECT_EQ(index.find(manager_->getResourceId(lost)), std::string::npos);
}

// The built-in key: appended as "cb=" to the request; a later lookup without a key does not
// match it, and an LRU asset that does not match is deleted.
TEST_F(AssetCacheTest, BurnedInKeyGoesOnTheRequestAndALookupWithoutKeyDeletesTheFile) {
    const std::string url = server_.url("/v/plain.mp4?x=1");
    EXPECT_FALSE(lookup(url, {}, true, std::nullopt, false));
    waitFor(1);
    EXPECT_EQ(server_.requests().front().target, "/v/plain.mp4?x=1&cb=" + VUDERU_BURNED_IN_CACHE_BUSTER);
    EXPECT_EQ(VUDERU_BURNED_IN_CACHE_BUSTER.size(), 32u);
    ASSERT_EQ(entry(url)["cbKey"].string(), VUDERU_BURNED_IN_CACHE_BUSTER);
    const std::string path = entry(url)["cachedAssetPath"].string();
    EXPECT_TRUE(exists(path));
    EXPECT_TRUE(lookup(url, {}, false, VUDERU_BURNED_IN_CACHE_BUSTER, false));
    EXPECT_FALSE(lookup(url, {}, false, std::nullopt, false));
    EXPECT_FALSE(exists(path));
    EXPECT_TRUE(entry(url).empty());
}

// What a lookup starts, by removal type, start flag and scheme.
TEST_F(AssetCacheTest, WhatALookupStarts) {
    struct Case {
        const char* name;
        std::string url;
        const char* removalType;
        bool start;
        std::size_t requests;  // after two lookups
        std::size_t heard;
        const char* folder;  // where the file lands; "" for nowhere
        const char* outcome;
        bool heardOnMain;
    };
    const Case cases[] = {
        {"update-only always downloads", server_.url("/sdk/ios.zip"), "updateRemovable", true, 2, 2, "sdk_cache", "done", false},
        {"update-only downloads without start", server_.url("/sdk2/ios.zip"), "updateRemovable", false, 2, 2, "sdk_cache", "done", false},
        {"LRU without start", server_.url("/v/nostart.mp4"), "lruRemovable", false, 0, 0, "", "", false},
        {"expiry-only is served from the cache", server_.url("/v/exp.mp4"), "expirationRemovable", true, 1, 1, "asset_cache", "done", false},
        {"https is refused", "https://127.0.0.1:1/v/s.mp4", "lruRemovable", true, 0, 2, "", "failed", true},
        {"another scheme with a slash is refused", "ftp://h/v/f.mp4", "lruRemovable", true, 0, 2, "", "failed", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate_ = std::make_shared<RecordingPreCachingDelegate>();
        std::size_t before = server_.requestCount();
        for (int i = 0; i < 2; ++i) {
            lookup(c.url, {{"removalType", c.removalType}}, c.start);
            EXPECT_TRUE(runMainUntil([&] { return manager_->httpLoadOperations().empty(); }));
            drainMain();
        }
        EXPECT_EQ(server_.requestCount() - before, c.requests);
        auto heard = delegate_->heard();
        ASSERT_EQ(heard.size(), c.heard);
        if (std::string(c.folder).empty()) {
            EXPECT_TRUE(entry(c.url).empty());
        } else {
            EXPECT_TRUE(exists(assetPath(c.url, c.folder)));
        }
        for (const auto& h : heard) {
            EXPECT_EQ(h.outcome, c.outcome);
            EXPECT_EQ(h.onMainThread, c.heardOnMain);
        }
    }
}

// Two callers, two downloads: each hears its own; a request for a resource already downloading
// starts nothing and hears the same outcome. The delegate property answers the latest caller.
TEST_F(AssetCacheTest, EachDownloadReportsToTheCallersThatAskedForIt) {
    auto gate = std::make_shared<LoopbackGate>();
    server_.route("/v/slow.mp4", LoopbackHTTPServer::gated(200, {}, std::string(2000, 's'), 1000, gate));
    auto video = std::make_shared<RecordingPreCachingDelegate>();
    auto bundle = std::make_shared<RecordingPreCachingDelegate>();
    auto joiner = std::make_shared<RecordingPreCachingDelegate>();
    lookup(server_.url("/v/slow.mp4"), {}, true, std::nullopt, true, video);
    lookup(server_.url("/sdk/ios.zip"), {{"removalType", "updateRemovable"}}, true, std::nullopt, true, bundle);
    lookup(server_.url("/v/slow.mp4"), {}, true, std::nullopt, true, joiner);
    EXPECT_EQ(manager_->delegate(), joiner);
    waitFor(1, bundle);
    gate->release();
    waitFor(1, video);
    waitFor(1, joiner);
    EXPECT_EQ(bundle->heard().size(), 1u);
    EXPECT_NE(bundle->heard().front().asset->assetUrlPath().find("ios.zip"), std::string::npos);
    ASSERT_EQ(video->heard().size(), 1u);
    EXPECT_NE(video->heard().front().asset->assetUrlPath().find("slow.mp4"), std::string::npos);
    EXPECT_EQ(joiner->heard().front().asset, video->heard().front().asset);
    std::size_t slowRequests = 0;
    for (const auto& request : server_.requests()) slowRequests += request.path == "/v/slow.mp4";
    EXPECT_EQ(slowRequests, 1u);
}

// The ad manager's limit of one asset: a larger body fails, leaving neither file nor entry; too
// little free space stops lookups altogether.
TEST_F(AssetCacheTest, SizeLimitAndFullDisk) {
    VuderuAdManager::instance()->setMaxAssetSize(999);
    const std::string url = server_.url("/v/big.mp4");
    lookup(url);
    waitFor(1);
    EXPECT_EQ(delegate_->heard().front().outcome, "failed");
    EXPECT_FALSE(exists(assetPath(url)));
    EXPECT_TRUE(entry(url).empty());
    EXPECT_FALSE(manager_->diskNotFree());

    DeviceRoot::setFreeSpaceOverride(998);
    EXPECT_FALSE(lookup(server_.url("/v/other.mp4")));
    EXPECT_TRUE(manager_->diskNotFree());
    DeviceRoot::setFreeSpaceOverride(999);
    lookup(server_.url("/v/other.mp4"));
    EXPECT_FALSE(manager_->diskNotFree());
    waitFor(2);
    EXPECT_EQ(server_.requestCount(), 2u);
}

// The index as another reader sees it: the entry's keys with their property-list types.
TEST_F(AssetCacheTest, PlistlibReadsTheIndexKeysAndTypes) {
    const std::string url = server_.url("/v/k1.mp4");
    lookup(url);
    waitFor(1);
    manager_->flushAssetsInfoWrites();
    writeFile("/tmp/read.py",
              "import plistlib, sys\n"
              "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
              "for rid, e in d.items():\n"
              "    print(rid == e['resourceId'], ' '.join(k + ':' + type(v).__name__ for k, v in sorted(e.items())))\n");
    std::string command = "python3 '" + host("/tmp/read.py") + "' '" + host(std::string(kRoot) + "/local_asset_info_lookup.plist") + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[512] = {};
    std::string out = std::fgets(line, sizeof line, pipe) ? line : "";
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(out,
              "True cachedAssetPath:str cachedTime:datetime cbKey:str downloadStatus:str expiryTime:datetime "
              "lastAccessTime:datetime removalType:str resourceId:str\n");
}

// An index that cannot be read is an empty one, and the next change writes a readable file.
TEST_F(AssetCacheTest, UnreadableIndexStartsEmptyAndIsRewritten) {
    writeFile(std::string(kRoot) + "/local_asset_info_lookup.plist", "<plist><dict><key>broken");
    manager_ = std::make_shared<VuderuContentLoadingManager>();
    EXPECT_TRUE(manager_->localAssetInfo().empty());
    lookup(server_.url("/v/k2.mp4"));
    waitFor(1);
    manager_->flushAssetsInfoWrites();
    auto reread = std::make_shared<VuderuContentLoadingManager>();
    EXPECT_EQ(reread->localAssetInfo().size(), 1u);
    // Read back, an entry still downloading in another run is not pending in this one.
    EXPECT_FALSE(reread->isLoadPending("anything"));
}
