#include "pickers/photopicker/PSPhotoCell.h"

PSPhotoCell::PSPhotoCell(const CGRect& frame) : UICollectionViewCell(frame) {}

const std::shared_ptr<UIImageView>& PSPhotoCell::photo() {
    if (!ivPhoto_) {
        ivPhoto_ = std::make_shared<UIImageView>(CGRectMake(0, 0, bounds().size.width, bounds().size.height));
        contentView()->addSubview(ivPhoto_);
    }
    return ivPhoto_;
}

void PSPhotoCell::setSelectMode(bool selected) {
    photo()->setAlpha(selected ? 0.2 : 1.0);
    setAccessibilityLabel(selected ? "photo (chosen)" : "photo");
}

void PSPhotoCell::layoutSubviews() {
    UICollectionViewCell::layoutSubviews();
    photo()->setFrame(CGRectMake(0, 0, bounds().size.width, bounds().size.height));
}
