#pragma once
// A button drawn as a flat block of one colour that turns darker while a finger is down on it
// (black ones turn lighter). Only a touch lifted inside brings the resting colour back: a press
// that ends outside leaves the button in its pressed colour until a later press ends inside.

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIColor.h"

#include <memory>

class FlatButton : public UIButton {
public:
    FlatButton() : UIButton(UIButtonTypeCustom) {}
    static std::shared_ptr<FlatButton> initWithFrameWithBackgroundColor(const CGRect& frame, UIColorPtr color);

    // Makes the receiver flat in the colour (the button argument is not used).
    void makeFlatWithBackgroundColor(const std::shared_ptr<UIButton>& button, UIColorPtr color);
    void wasPressed();
    void endedPress();

    UIColorPtr myColor() const { return myColor_; }
    void setMyColor(UIColorPtr color) { myColor_ = std::move(color); }

    // The colour a press shows for a resting colour: each component 0.2 lower (not clamped), a
    // black one 0.2 white; nil for a colour that gives no components (a pattern).
    static UIColorPtr pressedColorFor(const UIColorPtr& color);

private:
    UIColorPtr myColor_;
};
