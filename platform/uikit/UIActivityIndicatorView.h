#pragma once
// The spinning wheel: twelve spokes drawn in the style's colour (or the one set), shown while
// animating; stopped, it hides unless told otherwise.

#include "platform/uikit/UIView.h"

enum UIActivityIndicatorViewStyle : long {
    UIActivityIndicatorViewStyleWhiteLarge = 0,
    UIActivityIndicatorViewStyleWhite = 1,
    UIActivityIndicatorViewStyleGray = 2,
};

class UIActivityIndicatorView : public UIView {
public:
    // Sized for the style: 37 points for the large wheel, 20 for the others.
    explicit UIActivityIndicatorView(UIActivityIndicatorViewStyle style);

    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);
    // The spokes' colour: white for the white styles, grey for the grey one, until set.
    UIColorPtr color() const { return color_; }
    void setColor(UIColorPtr color);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
    std::optional<UIScreenMention> screenMention() const override;

private:
    static UIColorPtr styleColor(UIActivityIndicatorViewStyle style);

    UIActivityIndicatorViewStyle style_;
    UIColorPtr color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};
