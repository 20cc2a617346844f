#pragma once
// A row of the album list: the album's poster 78 points high, its name and its asset count.

#include "platform/media/ALAssetsGroup.h"
#include "platform/uikit/UITableViewCell.h"

class APAssetsGroupViewCell : public UITableViewCell {
public:
    static constexpr char kReuseIdentifier[] = "Cell";

    APAssetsGroupViewCell() : UITableViewCell(UITableViewCellStyleSubtitle, kReuseIdentifier) {}

    ALAssetsGroupPtr assetsGroup;
    void bind(const ALAssetsGroupPtr& group);
    // The name and the localized "%ld Photos", without a separator.
    std::string accessibilityLabel() const;
};
