#include "platform/uikit/UITextField.h"

void UITextField::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void UITextField::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    bool inside = !touches.empty() && pointInsideWithEvent(touches.front()->locationInView(self<UIView>()), event);
    UIControl::touchesEndedWithEvent(touches, event);
    if (inside && isEnabled()) becomeFirstResponder();
}

void UITextField::describeToScreen(UIScreenDescription& screen) {
    UIControl::describeToScreen(screen);
    std::string shown = secure_ ? std::string(text_.size(), '*') : text_;
    std::string line = "field: " + UIScreenDescription::quoted(shown);
    if (text_.empty() && !placeholder_.empty()) line += " (" + placeholder_ + ")";
    if (isFirstResponder()) line += " editing";
    screen.addLine(line);
}
