#pragma once
// A cell of the photo picker's grid: the photo, dimmed while it is selected (and named so on the
// screen).
#include "platform/uikit/UICollectionViewCell.h"
#include "platform/uikit/UIImageView.h"

class PSPhotoCell : public UICollectionViewCell {
public:
    static constexpr char kReuseIdentifier[] = "PSPhotoCell";
    explicit PSPhotoCell(const CGRect& frame);
    const std::shared_ptr<UIImageView>& photo();
    void setSelectMode(bool selected);
    void layoutSubviews() override;

private:
    std::shared_ptr<UIImageView> ivPhoto_;
};
