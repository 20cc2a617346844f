#pragma once
// Buttons: title, image and background image per control state.

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIGeometry.h"

#include <map>
#include <memory>
#include <string>

enum UIButtonType : long {
    UIButtonTypeCustom = 0,
    UIButtonTypeSystem = 1,
    UIButtonTypeDetailDisclosure = 2,
    UIButtonTypeInfoLight = 3,
    UIButtonTypeInfoDark = 4,
    UIButtonTypeContactAdd = 5,
};

class UIButton : public UIControl {
public:
    explicit UIButton(UIButtonType type = UIButtonTypeCustom);
    static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);

    UIButtonType buttonType() const { return type_; }

    void setTitleForState(const std::string& title, unsigned long state);
    std::string titleForState(unsigned long state) const;
    void setTitleColorForState(UIColorPtr color, unsigned long state);
    UIColorPtr titleColorForState(unsigned long state) const;
    void setImageForState(UIImagePtr image, unsigned long state);
    UIImagePtr imageForState(unsigned long state) const;
    void setBackgroundImageForState(UIImagePtr image, unsigned long state);
    UIImagePtr backgroundImageForState(unsigned long state) const;
    // Recorded: the colour a system button's image is drawn in, and the image's insets.
    UIColorPtr tintColor() const { return tintColor_; }
    void setTintColor(UIColorPtr color) { tintColor_ = std::move(color); }
    UIEdgeInsets imageEdgeInsets() const { return imageEdgeInsets_; }
    void setImageEdgeInsets(const UIEdgeInsets& insets) { imageEdgeInsets_ = insets; }

    // For the current state, falling back to the normal state's.
    std::string currentTitle() const { return titleForState(state()); }
    UIImagePtr currentImage() const { return imageForState(state()); }
    UIImagePtr currentBackgroundImage() const { return backgroundImageForState(state()); }
    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }

    CGSize sizeThatFits(CGSize size) const override;
    // Shows what it holds (the display paints it afresh each time).
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }

    // A tap finds a button by its title or its image's name; other lines name it by its
    // accessibility label, title or image, in that order.
    void describeToScreen(UIScreenDescription& screen) override;
    std::optional<UIScreenMention> screenMention() const override;

private:
    template <class T>
    static T lookup(const std::map<unsigned long, T>& values, unsigned long state);
    void updateTitleLabel();

    UIButtonType type_;
    std::map<unsigned long, std::string> titles_;
    std::map<unsigned long, UIColorPtr> titleColors_;
    std::map<unsigned long, UIImagePtr> images_;
    std::map<unsigned long, UIImagePtr> backgroundImages_;
    std::shared_ptr<UILabel> titleLabel_;
    UIColorPtr tintColor_;
    UIEdgeInsets imageEdgeInsets_{};
};
