// The SDK's player-asset bundle: downloaded through the asset cache when a reply announces a new
// one, and unpacked into the folder of its file, whose player images the ad manager then serves.

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/PlatformClock.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/ads/VuderuZipArchive.h"
#include "sdk/analytics/VuderuLog.h"

namespace {

constexpr double kBundleLifetimeSeconds = 31536000;
const char* const kPlayerImages[] = {"closeX.png",       "closeX_retina.png",       "pause_button.png", "pause_button_retina.png",
                                     "play_button.png",  "play_button_retina.png",  "more_info.png",    "more_info_retina.png"};

// The bundle holds a few player images: what it unpacks is bounded in all and by its ratio to
// the download, so that a bomb served in its place fills no disk.
constexpr std::uint64_t kBundleMaximumBytes = 16 * 1024 * 1024;
constexpr std::uint64_t kBundleMaximumRatio = 20;

// Entries the archive refuses (outside the folder, past the bound, damaged) are logged.
class BundleUnzipLog : public VuderuZipArchiveDelegate {
public:
    void ErrorMessage(const std::string& message) override { VuderuLogAbove(0, "%s: %@", "unzipAssetPreCachingFile", message); }
};

std::string withoutBundleName(std::string path) {
    const std::string name = "ios.zip";
    for (auto at = path.find(name); at != std::string::npos; at = path.find(name, at)) path.erase(at, name.size());
    return path;
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

void VuderuAdCache::fetchSdkAssetBundle() {
    auto manager = VuderuAdManager::instance();
    const Value::Dictionary tags{{"removalType", Value(std::string("updateRemovable"))}};
    auto self = std::static_pointer_cast<VuderuAdCache>(shared_from_this());
    VuderuContentLoadingManager::sharedInstance()->cachedAssetForPath(manager->sdkAssetUrl(), std::string("sdk_player_assets"), true, false,
                                                                      std::nullopt, PlatformClock::now() + kBundleLifetimeSeconds, tags,
                                                                      std::weak_ptr<VuderuPreCachingDelegate>(self));
}

void VuderuAdCache::assetPreCachingDone(const VuderuCachedAssetPtr& asset) {
    VuderuAdManager::instance()->setSdkAssetUrlUpdated(false);
    VuderuLogAbove(1, "%s: asset %@", "assetPreCachingDone", asset ? asset->assetUrlPath() : std::string());
    unzipAssetPreCachingFile(asset);
}

void VuderuAdCache::assetPreCachingFailed(const VuderuCachedAssetPtr& asset) {
    VuderuLogAbove(1, "%s: asset %@", "assetPreCachingFailed", asset ? asset->assetUrlPath() : std::string());
}

void VuderuAdCache::assetPreCachingCancelled(const VuderuCachedAssetPtr& asset) {
    VuderuLogAbove(1, "%s: asset %@", "assetPreCachingCancelled", asset ? asset->assetUrlPath() : std::string());
}

void VuderuAdCache::unzipAssetPreCachingFile(const VuderuCachedAssetPtr& asset) {
    if (!asset) return;
    asset->setCachedAssetPathMinusFile(withoutBundleName(asset->cachedAssetPath()));
    const std::string folder = asset->cachedAssetPathMinusFile();
    auto archive = std::make_shared<VuderuZipArchive>();
    archive->setDelegate(std::make_shared<BundleUnzipLog>());
    archive->setExtractionLimits(kBundleMaximumBytes, kBundleMaximumRatio);
    if (!archive->UnzipOpenFile(asset->cachedAssetPath())) return;
    archive->UnzipFileToOverWrite(folder, true);
    archive->UnzipCloseFile();
    std::map<std::string, std::string> images;
    for (const char* name : kPlayerImages) {
        const std::string path = joined(folder, name);
        if (NSFileManager::defaultManager()->fileExistsAtPath(path)) {
            images[name] = path;
        } else {
            VuderuLogAbove(1, "%s: asset not exists %@", "unzipAssetPreCachingFile", path);
        }
    }
    VuderuAdManager::instance()->setSdkAssetDictionary(images);
}
