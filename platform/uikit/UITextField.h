#pragma once
// A one-line text field, as much as the app needs: its text and placeholder, look, and first
// responder status. There is no keyboard on the device: becoming first responder posts nothing
// (tests post the keyboard's notifications themselves).

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIFont.h"

#include <string>

enum UITextBorderStyle : long {
    UITextBorderStyleNone = 0,
    UITextBorderStyleLine = 1,
    UITextBorderStyleBezel = 2,
    UITextBorderStyleRoundedRect = 3,
};

// The keyboard's notifications and their userInfo keys (frames as NSValue-like rectangles, the
// duration in seconds).
inline constexpr const char* UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline constexpr const char* UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* UIKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";

class UITextField : public UIControl {
public:
    using UIControl::UIControl;

    const std::string& text() const { return text_; }
    // Sends value changed when the text changes.
    void setText(std::string text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string placeholder) { placeholder_ = std::move(placeholder); }
    UIFontPtr font() const { return font_; }
    void setFont(UIFontPtr font) { font_ = font ? std::move(font) : UIFont::systemFontOfSize(17); }
    UIColorPtr textColor() const { return textColor_; }
    void setTextColor(UIColorPtr color) { textColor_ = std::move(color); }
    UITextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle style) { borderStyle_ = style; }
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool secure) { secure_ = secure; }

    bool canBecomeFirstResponder() const override { return isEnabled(); }
    // A finger on the field makes it first responder.
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    // Its line: `field: "text"` (the placeholder in parentheses while empty, dots for secure text).
    void describeToScreen(UIScreenDescription& screen) override;

private:
    std::string text_;
    std::string placeholder_;
    UIFontPtr font_ = UIFont::systemFontOfSize(17);
    UIColorPtr textColor_;
    UITextBorderStyle borderStyle_ = UITextBorderStyleNone;
    bool secure_ = false;
};
