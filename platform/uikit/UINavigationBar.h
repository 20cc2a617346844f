#pragma once
// The bar at the top of a navigation controller; its items come from the controllers on the stack.

#include "platform/uikit/UIView.h"

enum UIBarStyle : long { UIBarStyleDefault = 0, UIBarStyleBlack = 1 };

class UINavigationBar : public UIView {
public:
    using UIView::UIView;
    UIColorPtr barTintColor() const { return barTintColor_; }
    void setBarTintColor(UIColorPtr color) { barTintColor_ = std::move(color); }
    UIColorPtr tintColor() const { return tintColor_; }
    void setTintColor(UIColorPtr color) { tintColor_ = std::move(color); }
    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style) { barStyle_ = style; }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent) { translucent_ = translucent; }
    // The bar tint and, from the controller on top, its title and bar button titles.
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }

private:
    UIColorPtr barTintColor_;
    UIColorPtr tintColor_;
    UIBarStyle barStyle_ = UIBarStyleDefault;
    bool translucent_ = true;
};
