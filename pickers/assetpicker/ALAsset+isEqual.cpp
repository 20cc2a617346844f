#include "pickers/assetpicker/ALAsset+isEqual.h"

namespace {
template <class T>
bool equalByProperty(const std::shared_ptr<T>& a, const std::shared_ptr<T>& b, const char* property) {
    if (!a || !b) return false;
    if (a == b) return true;
    auto url = a->valueForProperty(property);
    return !url.isNull() && url == b->valueForProperty(property);
}

template <class T, class Equal>
std::optional<std::size_t> firstEqual(const std::vector<std::shared_ptr<T>>& list, const std::shared_ptr<T>& object, Equal equal) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (equal(list[i], object)) return i;
    return std::nullopt;
}
} // namespace

bool ALAsset_isEqual::isEqual(const ALAssetPtr& asset, const ALAssetPtr& other) {
    return equalByProperty(asset, other, ALAssetPropertyAssetURL);
}

std::optional<std::size_t> ALAsset_isEqual::indexOfObject(const std::vector<ALAssetPtr>& assets, const ALAssetPtr& asset) {
    return firstEqual(assets, asset, isEqual);
}

bool ALAssetsGroup_isEqual::isEqual(const ALAssetsGroupPtr& group, const ALAssetsGroupPtr& other) {
    return equalByProperty(group, other, ALAssetsGroupPropertyURL);
}

std::optional<std::size_t> ALAssetsGroup_isEqual::indexOfObject(const std::vector<ALAssetsGroupPtr>& groups, const ALAssetsGroupPtr& group) {
    return firstEqual(groups, group, isEqual);
}
