#include "controls/flatbutton/FlatButton.h"

namespace {
// How much darker (or, for black, lighter) a press makes the colour.
constexpr double kPressShift = 0.2;
constexpr std::size_t kRGBComponents = 4;
constexpr std::size_t kMonochromeComponents = 2;

// A colour that gives no red, green and blue, by the number of its components.
UIColorPtr pressedByComponents(const UIColor& color) {
    switch (color.numberOfComponents()) {
    case kRGBComponents:
        return UIColor::colorWithRed(color.red() - kPressShift, color.green() - kPressShift, color.blue() - kPressShift,
                                     color.alpha());
    case kMonochromeComponents: {
        double hue = 0, saturation = 0, brightness = 0, alpha = 0;
        color.getHueSaturationBrightnessAlpha(&hue, &saturation, &brightness, &alpha);
        return UIColor::colorWithHue(hue - kPressShift, saturation - kPressShift, brightness - kPressShift, alpha);
    }
    default: return nullptr;
    }
}
} // namespace

std::shared_ptr<FlatButton> FlatButton::initWithFrameWithBackgroundColor(const CGRect& frame, UIColorPtr color) {
    auto button = std::make_shared<FlatButton>();
    button->setFrame(frame);
    button->makeFlatWithBackgroundColor(button, std::move(color));
    return button;
}

void FlatButton::makeFlatWithBackgroundColor(const std::shared_ptr<UIButton>&, UIColorPtr color) {
    myColor_ = color;
    setBackgroundColor(std::move(color));
    addTargetActionForControlEvents(
        self<FlatButton>(), &FlatButton::wasPressed,
        UIControlEventTouchDown);
    addTargetActionForControlEvents(
        self<FlatButton>(), &FlatButton::endedPress,
        UIControlEventTouchUpInside);
}

void FlatButton::wasPressed() { setBackgroundColor(pressedColorFor(myColor_)); }

void FlatButton::endedPress() { setBackgroundColor(myColor_); }

UIColorPtr FlatButton::pressedColorFor(const UIColorPtr& color) {
    if (!color) return nullptr;
    double red = 0, green = 0, blue = 0, alpha = 0, white = 0;
    if (!color->getRedGreenBlueAlpha(&red, &green, &blue, &alpha)) return pressedByComponents(*color);
    color->getWhiteAlpha(&white, &alpha);
    if (red + green + blue != 0) return UIColor::colorWithRed(red - kPressShift, green - kPressShift, blue - kPressShift, alpha);
    // Black turns lighter, not darker.
    if (white == 0) return UIColor::colorWithWhite(kPressShift, alpha);
    return UIColor::colorWithWhite(white - kPressShift, alpha);
}
