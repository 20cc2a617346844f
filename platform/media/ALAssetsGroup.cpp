#include "platform/media/ALAssetsGroup.h"

#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSString.h"
#include "platform/media/AssetImageRendering.h"

namespace {
constexpr char kCameraRollName[] = "Camera Roll";
} // namespace

ALAssetsGroup::ALAssetsGroup(ALAssetsGroupType type, std::string name, std::string deviceFolder)
    : type_(type), name_(std::move(name)), folder_(std::move(deviceFolder)),
      identifier_(ALAssetsLibraryStore::identifierOf(folder_)) {}

ALAssetsGroupPtr ALAssetsGroup::cameraRoll() {
    return std::make_shared<ALAssetsGroup>(ALAssetsGroupSavedPhotos, kCameraRollName, ALAssetsLibraryStore::kCameraRollFolder);
}

ALAssetsGroupPtr ALAssetsGroup::albumNamed(const std::string& name) {
    const std::string folder = NSString::stringByAppendingPathComponent(ALAssetsLibraryStore::kAlbumsFolder, name);
    bool isFolder = false;
    if (name.empty() || name.find('/') != std::string::npos || name[0] == '.' ||
        !NSFileManager::defaultManager()->fileExistsAtPath(folder, &isFolder) || !isFolder)
        return nullptr;
    return std::make_shared<ALAssetsGroup>(ALAssetsGroupAlbum, name, folder);
}

std::vector<ALAssetsGroupPtr> ALAssetsGroup::allGroups() {
    std::vector<ALAssetsGroupPtr> groups{cameraRoll()};
    for (const std::string& name : ALAssetsLibraryStore::albumNames())
        if (auto album = albumNamed(name)) groups.push_back(album);
    return groups;
}

ALAssetsGroupPtr ALAssetsGroup::groupWithIdentifier(const std::string& identifier) {
    if (identifier.empty()) return nullptr;
    for (auto& group : allGroups())
        if (group->identifier_ == identifier) return group;
    return nullptr;
}

NSURLPtr ALAssetsGroup::url() const { return NSURL::URLWithString("assets-library://group/?id=" + identifier_); }

Value ALAssetsGroup::valueForProperty(const std::string& property) const {
    if (property == ALAssetsGroupPropertyName) return name_;
    if (property == ALAssetsGroupPropertyType) return static_cast<long long>(type_);
    if (property == ALAssetsGroupPropertyPersistentID) return identifier_;
    if (property == ALAssetsGroupPropertyURL) return url();
    return nullptr;
}

std::vector<ALAssetsLibraryStore::Record> ALAssetsGroup::records() const {
    std::vector<ALAssetsLibraryStore::Record> shown;
    for (auto& record : ALAssetsLibraryStore::recordsUnder(folder_)) {
        const bool video = record.kind == ALAssetsLibraryStore::Kind::Video;
        if (video ? filter_->showsVideos() : filter_->showsPhotos()) shown.push_back(std::move(record));
    }
    return shown;
}

long ALAssetsGroup::numberOfAssets() const { return static_cast<long>(records().size()); }

CGImageRef ALAssetsGroup::posterImage() const {
    auto shown = records();
    return shown.empty() ? nullptr : AssetImageRendering::thumbnail(shown.back());
}

void ALAssetsGroup::enumerateAssetsWithOptionsUsingBlock(NSEnumerationOptions options, const EnumerationBlock& block) const {
    if (!block) return;
    auto shown = records();
    bool stop = false;
    const bool reverse = options & NSEnumerationReverse;
    for (std::size_t i = 0; i < shown.size() && !stop; ++i) {
        const std::size_t index = reverse ? shown.size() - 1 - i : i;
        block(std::make_shared<ALAsset>(shown[index]), index, &stop);
    }
    block(nullptr, ALAssetsGroupEnumerationEnd, &stop);
}

std::string ALAssetsGroup::description() const {
    return NSString::stringWithFormat("ALAssetsGroup - Name:%@, Type:%@, Assets count:%@", name_, std::to_string(type_),
                                      std::to_string(numberOfAssets()));
}
