#include "platform/uikit/UICollectionViewCell.h"

UICollectionViewCell::UICollectionViewCell(const CGRect& frame) : UIView(frame) {}

const UIViewPtr& UICollectionViewCell::contentView() {
    if (!contentView_) {
        auto b = bounds();
        contentView_ = std::make_shared<UIView>(CGRectMake(0, 0, b.size.width, b.size.height));
        addSubview(contentView_);
    }
    return contentView_;
}

void UICollectionViewCell::setBackgroundView(const UIViewPtr& view) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view) insertSubviewAtIndex(view, 0);
    setNeedsLayout();
}

void UICollectionViewCell::layoutSubviews() {
    auto b = bounds();
    CGRect whole = CGRectMake(0, 0, b.size.width, b.size.height);
    contentView()->setFrame(whole);
    if (backgroundView_) backgroundView_->setFrame(whole);
    UIView::layoutSubviews();
}
