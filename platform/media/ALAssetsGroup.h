#pragma once
// An album of the library: the camera roll (every photo and video of the camera's folder) or one
// album folder. Its assets are read afresh at each enumeration, oldest first, under its filter
// (all assets until set); the enumeration runs in the caller, as on the device, and ends with a
// call without an asset.

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGImage.h"
#include "platform/media/ALAsset.h"
#include "platform/media/ALAssetsFilter.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

using ALAssetsGroupType = unsigned long;
enum : ALAssetsGroupType {
    ALAssetsGroupLibrary = 1 << 0,
    ALAssetsGroupAlbum = 1 << 1,
    ALAssetsGroupEvent = 1 << 2,
    ALAssetsGroupFaces = 1 << 3,
    ALAssetsGroupSavedPhotos = 1 << 4,
    ALAssetsGroupPhotoStream = 1 << 5,
    ALAssetsGroupAll = 0xFFFFFFFF,
};

inline constexpr char ALAssetsGroupPropertyName[] = "ALAssetsGroupPropertyName";
inline constexpr char ALAssetsGroupPropertyType[] = "ALAssetsGroupPropertyType";
inline constexpr char ALAssetsGroupPropertyPersistentID[] = "ALAssetsGroupPropertyPersistentID";
inline constexpr char ALAssetsGroupPropertyURL[] = "ALAssetsGroupPropertyURL";

// The index of the closing call of an enumeration.
inline constexpr unsigned long ALAssetsGroupEnumerationEnd = static_cast<unsigned long>(-1);

using NSEnumerationOptions = unsigned long;
inline constexpr NSEnumerationOptions NSEnumerationConcurrent = 1UL << 0;
inline constexpr NSEnumerationOptions NSEnumerationReverse = 1UL << 1;

class ALAssetsGroup;
using ALAssetsGroupPtr = std::shared_ptr<ALAssetsGroup>;

class ALAssetsGroup : public NSObject {
public:
    using EnumerationBlock = std::function<void(const ALAssetPtr& asset, unsigned long index, bool* stop)>;

    ALAssetsGroup(ALAssetsGroupType type, std::string name, std::string deviceFolder);

    // The camera roll and the album folder named so; nil for an album that is not there.
    static ALAssetsGroupPtr cameraRoll();
    static ALAssetsGroupPtr albumNamed(const std::string& name);
    // Every group, camera roll first; the one whose URL carries the identifier.
    static std::vector<ALAssetsGroupPtr> allGroups();
    static ALAssetsGroupPtr groupWithIdentifier(const std::string& identifier);

    // Name (string), type (number), persistent ID (string), URL (NSURL); null for other names.
    Value valueForProperty(const std::string& property) const;
    NSURLPtr url() const;
    void setAssetsFilter(const ALAssetsFilterPtr& filter) { filter_ = filter ? filter : ALAssetsFilter::allAssets(); }
    const ALAssetsFilterPtr& assetsFilter() const { return filter_; }
    long numberOfAssets() const;
    // The square thumbnail of the newest asset under the filter; nil for an empty group.
    CGImageRef posterImage() const;

    void enumerateAssetsUsingBlock(const EnumerationBlock& block) const { enumerateAssetsWithOptionsUsingBlock(0, block); }
    void enumerateAssetsWithOptionsUsingBlock(NSEnumerationOptions options, const EnumerationBlock& block) const;

    const std::string& deviceFolder() const { return folder_; }
    std::string description() const override;

private:
    std::vector<ALAssetsLibraryStore::Record> records() const;

    ALAssetsGroupType type_;
    std::string name_;
    std::string folder_;
    std::string identifier_;
    ALAssetsFilterPtr filter_ = ALAssetsFilter::allAssets();
};
