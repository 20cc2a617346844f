#include "platform/media/ALAsset.h"

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSString.h"
#include "platform/media/AssetImageRendering.h"
#include "platform/dispatch/WorkerPool.h"
#include "platform/dispatch/dispatch.h"

#include <algorithm>
#include <atomic>

namespace {
constexpr char kAssetURLPrefix[] = "assets-library://asset/asset.";
} // namespace

NSURLPtr ALAssetURLOfRecord(const ALAssetsLibraryStore::Record& record) {
    return NSURL::URLWithString(std::string(kAssetURLPrefix) + record.extension + "?id=" + record.identifier + "&ext=" +
                                record.extension);
}

std::string ALAssetsLibraryIdentifierOfURL(const NSURLPtr& url) {
    if (!url || url->scheme() != "assets-library") return {};
    auto query = url->query();
    if (!query) return {};
    for (const std::string& pair : NSString::componentsSeparatedByString(*query, "&"))
        if (NSString::hasPrefix(pair, "id=")) return pair.substr(3);
    return {};
}

Value ALAsset::valueForProperty(const std::string& property) const {
    const bool video = record_.kind == ALAssetsLibraryStore::Kind::Video;
    if (property == ALAssetPropertyType) return video ? ALAssetTypeVideo : ALAssetTypePhoto;
    if (property == ALAssetPropertyDuration) return video ? Value(record_.duration) : Value(ALErrorInvalidProperty);
    if (property == ALAssetPropertyOrientation) return static_cast<int>(defaultRepresentation()->orientation());
    if (property == ALAssetPropertyDate) return Value::Date{record_.date};
    if (property == ALAssetPropertyAssetURL) return ALAssetURLOfRecord(record_);
    if (property == ALAssetPropertyRepresentations) return Value::Array{defaultRepresentation()->UTI()};
    if (property == ALAssetPropertyURLs)
        return Value::Dictionary{{defaultRepresentation()->UTI(), Value(ALAssetURLOfRecord(record_))}};
    if (property == ALAssetPropertyLocation) return ALErrorInvalidProperty;
    return nullptr;
}

CGImageRef ALAsset::thumbnail() const { return AssetImageRendering::thumbnail(record_); }

std::vector<CGImageRef> ALAsset::thumbnailsOf(const std::vector<ALAssetPtr>& assets) {
    std::vector<CGImageRef> thumbnails(assets.size());
    eachThumbnailOf(assets, [&](std::size_t i, const CGImageRef& thumbnail) { thumbnails[i] = thumbnail; });
    return thumbnails;
}

void ALAsset::eachThumbnailOf(const std::vector<ALAssetPtr>& assets, const ThumbnailTaker& take) {
    std::atomic<std::size_t> next{0};
    const std::size_t workers = std::min<std::size_t>(assets.size(), WorkerPool::availableCores());
    if (workers == 0) return;
    dispatch_apply(workers, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&](std::size_t) {
        for (std::size_t i; (i = next.fetch_add(1)) < assets.size();)
            if (assets[i]) take(i, assets[i]->thumbnail());
    });
}

CGImageRef ALAsset::aspectRatioThumbnail() const { return AssetImageRendering::aspectRatioThumbnail(record_); }

ALAssetRepresentationPtr ALAsset::defaultRepresentation() const { return std::make_shared<ALAssetRepresentation>(record_); }

ALAssetRepresentationPtr ALAsset::representationForUTI(const std::string& uti) const {
    auto representation = defaultRepresentation();
    return representation->UTI() == uti ? representation : nullptr;
}

std::string ALAsset::description() const {
    return NSString::stringWithFormat("ALAsset - Type:%@, URLs:%@", record_.kind == ALAssetsLibraryStore::Kind::Video ? "Video" : "Photo",
                                      ALAssetURLOfRecord(record_)->absoluteString());
}
