#pragma once
// A row of the photo picker's album list: the album's name and its photo count; the selected row
// is the picker blue with white texts.
#include "platform/uikit/UITableViewCell.h"

class PSAlbumCell : public UITableViewCell {
public:
    static constexpr char kReuseIdentifier[] = "PSAlbumCell";
    PSAlbumCell();
    const std::shared_ptr<UILabel>& lbAlbumName() const { return textLabel(); }
    const std::shared_ptr<UILabel>& lbCount() const { return detailTextLabel(); }
    void setSelectedAnimated(bool selected, bool animated) override;
};
