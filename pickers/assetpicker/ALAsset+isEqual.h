#pragma once
// Assets and albums compared by their library URLs: the library hands out new objects for the
// same asset or album at every enumeration, so the picker's selection, the grid's check marks and
// the album updates find their elements through these, never by object identity.

#include "platform/media/ALAsset.h"
#include "platform/media/ALAssetsGroup.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace ALAsset_isEqual {
// Both assets with equal ALAssetPropertyAssetURL values.
bool isEqual(const ALAssetPtr& asset, const ALAssetPtr& other);
// The index of the first equal asset.
std::optional<std::size_t> indexOfObject(const std::vector<ALAssetPtr>& assets, const ALAssetPtr& asset);
inline bool containsObject(const std::vector<ALAssetPtr>& assets, const ALAssetPtr& asset) { return indexOfObject(assets, asset).has_value(); }
} // namespace ALAsset_isEqual

namespace ALAssetsGroup_isEqual {
// Both albums with equal ALAssetsGroupPropertyURL values.
bool isEqual(const ALAssetsGroupPtr& group, const ALAssetsGroupPtr& other);
std::optional<std::size_t> indexOfObject(const std::vector<ALAssetsGroupPtr>& groups, const ALAssetsGroupPtr& group);
} // namespace ALAssetsGroup_isEqual
