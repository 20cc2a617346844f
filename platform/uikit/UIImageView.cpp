#include "platform/uikit/UIImageView.h"

#include "platform/uikit/UIGraphics.h"

UIImageView::UIImageView() : UIImageView(CGRectZero) {}

UIImageView::UIImageView(const CGRect& frame) : UIView(frame) { setUserInteractionEnabled(false); }

UIImageView::UIImageView(const UIImagePtr& image) : UIImageView(CGRectZero) {
    image_ = image;
    if (image) setFrame(CGRectMake(0, 0, image->size().width, image->size().height));
}

void UIImageView::drawRect(const CGRect&) {
    if (!image_) return;
    image_->drawInRect(UIViewContentModeRect(contentMode(), image_->size(), bounds()));
}

CGSize UIImageView::sizeThatFits(CGSize size) const { return image_ ? image_->size() : size; }
