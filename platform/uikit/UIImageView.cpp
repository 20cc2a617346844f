#include "platform/uikit/UIImageView.h"

UIImageView::UIImageView() : UIImageView(CGRectZero) {}

UIImageView::UIImageView(const CGRect& frame) : UIView(frame) { setUserInteractionEnabled(false); }

UIImageView::UIImageView(const UIImagePtr& image) : UIImageView(CGRectZero) {
    image_ = image;
    if (image) setFrame(CGRectMake(0, 0, image->size().width, image->size().height));
}

CGSize UIImageView::sizeThatFits(CGSize size) const { return image_ ? image_->size() : size; }
