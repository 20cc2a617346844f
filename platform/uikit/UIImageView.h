#pragma once
// Shows an image.

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

class UIImageView : public UIView {
public:
    UIImageView();
    explicit UIImageView(const CGRect& frame);
    // Sized to the image.
    explicit UIImageView(const UIImagePtr& image);

    UIImagePtr image() const { return image_; }
    void setImage(UIImagePtr image) { image_ = std::move(image); }
    UIImagePtr highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(UIImagePtr image) { highlightedImage_ = std::move(image); }
    CGSize sizeThatFits(CGSize size) const override;
    // Shows what it holds (the display paints it afresh each time).
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }

    // Named by its image.
    std::optional<UIScreenMention> screenMention() const override { return UIScreenMention{UIScreenDescription::imageName(image_), false}; }

private:
    UIImagePtr image_;
    UIImagePtr highlightedImage_;
};
