#include "platform/uikit/UIColor.h"

#include "platform/foundation/NSString.h"

UIColorPtr UIColor::colorWithRed(double red, double green, double blue, double alpha) {
    return std::make_shared<UIColor>(red, green, blue, alpha);
}
UIColorPtr UIColor::colorWithWhite(double white, double alpha) { return colorWithRed(white, white, white, alpha); }

UIColorPtr UIColor::blackColor() { return colorWithWhite(0, 1); }
UIColorPtr UIColor::darkGrayColor() { return colorWithWhite(1.0 / 3.0, 1); }
UIColorPtr UIColor::lightGrayColor() { return colorWithWhite(2.0 / 3.0, 1); }
UIColorPtr UIColor::whiteColor() { return colorWithWhite(1, 1); }
UIColorPtr UIColor::grayColor() { return colorWithWhite(0.5, 1); }
UIColorPtr UIColor::redColor() { return colorWithRed(1, 0, 0, 1); }
UIColorPtr UIColor::greenColor() { return colorWithRed(0, 1, 0, 1); }
UIColorPtr UIColor::blueColor() { return colorWithRed(0, 0, 1, 1); }
UIColorPtr UIColor::cyanColor() { return colorWithRed(0, 1, 1, 1); }
UIColorPtr UIColor::yellowColor() { return colorWithRed(1, 1, 0, 1); }
UIColorPtr UIColor::magentaColor() { return colorWithRed(1, 0, 1, 1); }
UIColorPtr UIColor::orangeColor() { return colorWithRed(1, 0.5, 0, 1); }
UIColorPtr UIColor::purpleColor() { return colorWithRed(0.5, 0, 0.5, 1); }
UIColorPtr UIColor::brownColor() { return colorWithRed(0.6, 0.4, 0.2, 1); }
UIColorPtr UIColor::clearColor() { return colorWithWhite(0, 0); }

bool UIColor::getRedGreenBlueAlpha(double* red, double* green, double* blue, double* alpha) const {
    if (red) *red = r_;
    if (green) *green = g_;
    if (blue) *blue = b_;
    if (alpha) *alpha = a_;
    return true;
}

UIColorPtr UIColor::colorWithAlphaComponent(double alpha) const { return colorWithRed(r_, g_, b_, alpha); }

std::string UIColor::description() const {
    return NSString::stringWithFormat("UIDeviceRGBColorSpace %g %g %g %g", r_, g_, b_, a_);
}

bool UIColor::isEqual(const NSObject* other) const {
    auto c = dynamic_cast<const UIColor*>(other);
    return c && c->r_ == r_ && c->g_ == g_ && c->b_ == b_ && c->a_ == a_;
}
