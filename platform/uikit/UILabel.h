#pragma once
// A line (or lines) of text.

#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

#include <string>

class UILabel : public UIView {
public:
    UILabel();
    explicit UILabel(const CGRect& frame);

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    UIFontPtr font() const { return font_; }
    void setFont(UIFontPtr font) { font_ = font ? std::move(font) : UIFont::systemFontOfSize(17); }
    UIColorPtr textColor() const { return textColor_; }
    void setTextColor(UIColorPtr color) { textColor_ = color ? std::move(color) : UIColor::blackColor(); }
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment) { alignment_ = alignment; }
    long numberOfLines() const { return lines_; }
    void setNumberOfLines(long lines) { lines_ = lines; }

    // Measured with the font: one line unless numberOfLines allows more (0: any number), lines
    // broken to fit the given width; whole points, rounded up.
    CGSize sizeThatFits(CGSize size) const override;
    // The text in its colour, centred vertically, as many lines as fit and numberOfLines allows.
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
    // A tap finds a label by its text.
    void describeToScreen(UIScreenDescription& screen) override;
    // Named by its text in the outline of views.
    std::optional<UIScreenMention> screenMention() const override {
        if (text_.empty()) return std::nullopt;
        return UIScreenMention{text_, false, true};
    }

private:
    std::string text_;
    UIFontPtr font_ = UIFont::systemFontOfSize(17);
    UIColorPtr textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignmentLeft;
    long lines_ = 1;
};

// The texts of the labels in the view's tree (the view first, then its subviews in order), joined
// by spaces: how the driver reads a message made of labels.
std::string UILabelTextsInView(const UIViewPtr& view);
