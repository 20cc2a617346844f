// The SDK's player-asset bundle: a reply announcing a new one has the asset cache fetch it, and
// its arrival unpacks the images the ad manager then serves.

#include "sdk/ads/tests/AdCacheTakeFixture.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/testsupport/LoopbackHTTPServer.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuZipArchive.h"

namespace {

// An archive holding only the close button, as bytes.
std::string bundleWithOnlyCloseButton() {
    auto image = std::make_shared<NSData>("png", 3);
    EXPECT_TRUE(image->writeToFile("/tmp/closeX.png", true));
    auto archive = std::make_shared<VuderuZipArchive>();
    EXPECT_TRUE(archive->CreateZipFile2("/tmp/bundle.zip"));
    EXPECT_TRUE(archive->addFileToZipNewname("/tmp/closeX.png", "closeX.png"));
    EXPECT_TRUE(archive->CloseZipFile2());
    auto bytes = NSData::dataWithContentsOfFile("/tmp/bundle.zip");
    return bytes ? std::string(reinterpret_cast<const char*>(bytes->bytes()), bytes->length()) : std::string();
}

} // namespace

TEST_F(AdCacheTakeTest, ANewBundleIsFetchedAfterAReplyAndItsImagesServed) {
    clock_.reset();
    LoopbackHTTPServer server;
    server.route("/sdk/ios.zip", LoopbackHTTPServer::fixed(200, {}, bundleWithOnlyCloseButton()));
    auto manager = VuderuAdManager::instance();
    manager->setSdkAssetUrl(server.url("/sdk/ios.zip"));
    manager->setSdkAssetUrlUpdated(true);
    Value::Dictionary params{{"cacheKey", Value(std::make_shared<VuderuCacheKey>("banner", 0))}, {"timeout", Value(std::int64_t{1})}};
    VuderuAdCache::instance()->requestSuccessfulWithParams({servedUnit("banner", 0, "g1")}, Value(params));
    ASSERT_TRUE(runMainUntil([&] { return manager->sdkAssetDictionary().has_value(); }));
    auto images = *manager->sdkAssetDictionary();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_TRUE(NSFileManager::defaultManager()->fileExistsAtPath(images["closeX.png"]));
    EXPECT_EQ(images["closeX.png"].substr(images["closeX.png"].size() - 11), "/closeX.png");
    EXPECT_FALSE(manager->sdkAssetUrlUpdated());
    EXPECT_TRUE(logged("unzipAssetPreCachingFile: asset not exists " + images["closeX.png"].substr(0, images["closeX.png"].size() - 10) +
                       "more_info.png"));
    server.stop();
}
