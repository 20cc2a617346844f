#pragma once
// A photo or video of the library. Each enumeration makes new asset objects; the same file gives
// an equal URL every time (ALAssetPropertyAssetURL).

#include "platform/foundation/Value.h"
#include "platform/graphics/CGImage.h"
#include "platform/media/ALAssetRepresentation.h"

#include <functional>
#include <memory>
#include <vector>
#include <string>

inline constexpr char ALAssetPropertyType[] = "ALAssetPropertyType";
inline constexpr char ALAssetPropertyLocation[] = "ALAssetPropertyLocation";
inline constexpr char ALAssetPropertyDuration[] = "ALAssetPropertyDuration";
inline constexpr char ALAssetPropertyOrientation[] = "ALAssetPropertyOrientation";
inline constexpr char ALAssetPropertyDate[] = "ALAssetPropertyDate";
inline constexpr char ALAssetPropertyRepresentations[] = "ALAssetPropertyRepresentations";
inline constexpr char ALAssetPropertyURLs[] = "ALAssetPropertyURLs";
inline constexpr char ALAssetPropertyAssetURL[] = "ALAssetPropertyAssetURL";
// The value of a property an asset does not have (a photo's duration).
inline constexpr char ALErrorInvalidProperty[] = "ALErrorInvalidProperty";

inline constexpr char ALAssetTypePhoto[] = "ALAssetTypePhoto";
inline constexpr char ALAssetTypeVideo[] = "ALAssetTypeVideo";
inline constexpr char ALAssetTypeUnknown[] = "ALAssetTypeUnknown";

class ALAsset;
using ALAssetPtr = std::shared_ptr<ALAsset>;

class ALAsset : public NSObject {
public:
    explicit ALAsset(ALAssetsLibraryStore::Record record) : record_(std::move(record)) {}

    // Type and duration as strings and numbers, the date as a date, the URL as an NSURL,
    // representations as the list of UTIs, URLs as UTI → URL. ALErrorInvalidProperty for a
    // property the asset lacks, null for unknown names.
    Value valueForProperty(const std::string& property) const;

    // Square, upright.
    CGImageRef thumbnail() const;
    // The thumbnails of several assets, in their order, decoded on every core at once (no more
    // at a time than there are cores).
    static std::vector<CGImageRef> thumbnailsOf(const std::vector<ALAssetPtr>& assets);
    // The same as a pipeline: each core takes the next asset as soon as it is free and hands its
    // thumbnail (null when it could not be made; null assets are skipped) to `take` on that core,
    // so whatever `take` does with it (encoding, writing) runs on every core too and no core
    // waits for a slower one. At most one thumbnail per core is held at once; returns when every
    // asset was taken. `take` is called concurrently.
    using ThumbnailTaker = std::function<void(std::size_t index, const CGImageRef& thumbnail)>;
    static void eachThumbnailOf(const std::vector<ALAssetPtr>& assets, const ThumbnailTaker& take);
    // Upright, in the picture's proportions.
    CGImageRef aspectRatioThumbnail() const;
    ALAssetRepresentationPtr defaultRepresentation() const;
    // nil for any UTI but the file's own.
    ALAssetRepresentationPtr representationForUTI(const std::string& uti) const;

    const ALAssetsLibraryStore::Record& record() const { return record_; }
    std::string description() const override;

private:
    ALAssetsLibraryStore::Record record_;
};

// "assets-library://asset/asset.JPG?id=…&ext=JPG"
NSURLPtr ALAssetURLOfRecord(const ALAssetsLibraryStore::Record& record);
// The identifier an asset or group URL carries; empty for any other URL.
std::string ALAssetsLibraryIdentifierOfURL(const NSURLPtr& url);
