#pragma once
// A line (or lines) of text.

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

#include <string>

enum NSTextAlignment : long { NSTextAlignmentLeft = 0, NSTextAlignmentCenter = 1, NSTextAlignmentRight = 2 };

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

    // An estimate: the headless screen has no font metrics, so a character is half the point size wide.
    CGSize sizeThatFits(CGSize size) const override;
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
