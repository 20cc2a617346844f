#pragma once
// A text view, kept as a plain view that holds its text and how it would show it: it neither
// scrolls, edits nor draws.

#include "platform/uikit/NSStringDrawing.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

#include <string>

class UITextView : public UIView {
public:
    UITextView() = default;
    explicit UITextView(const CGRect& frame) : UIView(frame) {}

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    UIFontPtr font() const { return font_; }
    void setFont(UIFontPtr font) { font_ = std::move(font); }
    UIColorPtr textColor() const { return textColor_; }
    void setTextColor(UIColorPtr color) { textColor_ = std::move(color); }
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment) { alignment_ = alignment; }
    bool isEditable() const { return editable_; }
    void setEditable(bool editable) { editable_ = editable; }

private:
    std::string text_;
    UIFontPtr font_;
    UIColorPtr textColor_;
    NSTextAlignment alignment_ = NSTextAlignmentLeft;
    bool editable_ = true;
};
