#pragma once
// What bar button items and tab bar items share: title, image, enabled state, tag and title text
// attributes per control state.

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIImage.h"

#include <map>
#include <string>

// The text attributes of a title (UITextAttributeTextColor, UITextAttributeFont).
struct UITextAttributes {
    UIColorPtr textColor;
    UIFontPtr font;
};

class UIBarItem : public NSObject {
public:
    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    UIImagePtr image() const { return image_; }
    void setImage(UIImagePtr image) { image_ = std::move(image); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }

    void setTitleTextAttributesForState(const UITextAttributes& attributes, unsigned long state);
    // The attributes set for exactly that state (empty when none).
    UITextAttributes titleTextAttributesForState(unsigned long state) const;

private:
    std::string title_;
    UIImagePtr image_;
    bool enabled_ = true;
    long tag_ = 0;
    std::string accessibilityLabel_;
    std::map<unsigned long, UITextAttributes> attributes_;
};
