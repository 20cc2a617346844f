#include "platform/uikit/UIColor.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIImage.h"

#include <algorithm>
#include <cmath>

UIColorPtr UIColor::colorWithRed(double red, double green, double blue, double alpha) {
    return std::make_shared<UIColor>(red, green, blue, alpha);
}
UIColorPtr UIColor::colorWithWhite(double white, double alpha) {
    auto c = colorWithRed(white, white, white, alpha);
    c->space_ = kCGColorSpaceModelMonochrome;
    return c;
}

UIColorPtr UIColor::colorWithHue(double hue, double saturation, double brightness, double alpha) {
    double h = std::fmod(std::max(0.0, hue), 1.0) * 6, f = h - std::floor(h);
    double v = brightness, p = v * (1 - saturation), q = v * (1 - saturation * f), t = v * (1 - saturation * (1 - f));
    switch (static_cast<int>(h)) {
    case 0: return colorWithRed(v, t, p, alpha);
    case 1: return colorWithRed(q, v, p, alpha);
    case 2: return colorWithRed(p, v, t, alpha);
    case 3: return colorWithRed(p, q, v, alpha);
    case 4: return colorWithRed(t, p, v, alpha);
    default: return colorWithRed(v, p, q, alpha);
    }
}

UIColorPtr UIColor::colorWithPatternImage(std::shared_ptr<UIImage> image) {
    auto c = std::make_shared<UIColor>(0.5, 0.5, 0.5, 1);
    if (image && image->CGImage()) {
        // The average colour stands in wherever a flat colour is drawn.
        const auto& bitmap = *image->CGImage();
        double sum[4] = {0, 0, 0, 0};
        int n = 0;
        for (int y = 0; y < bitmap.height(); y += std::max(1, bitmap.height() / 16))
            for (int x = 0; x < bitmap.width(); x += std::max(1, bitmap.width() / 16), ++n) {
                auto p = bitmap.pixelAt(x, y);
                sum[0] += p.red, sum[1] += p.green, sum[2] += p.blue, sum[3] += p.alpha;
            }
        if (n > 0) c = std::make_shared<UIColor>(sum[0] / n / 255, sum[1] / n / 255, sum[2] / n / 255, sum[3] / n / 255);
    }
    c->space_ = kCGColorSpaceModelPattern;
    c->pattern_ = std::move(image);
    return c;
}

std::size_t UIColor::numberOfComponents() const {
    switch (space_) {
    case kCGColorSpaceModelMonochrome: return 2;
    case kCGColorSpaceModelRGB: return 4;
    case kCGColorSpaceModelPattern: return 1;
    default: return 4; // colours are made only in the three spaces above
    }
}

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
    if (space_ == kCGColorSpaceModelPattern) return false;
    if (red) *red = r_;
    if (green) *green = g_;
    if (blue) *blue = b_;
    if (alpha) *alpha = a_;
    return true;
}

bool UIColor::getWhiteAlpha(double* white, double* alpha) const {
    if (space_ == kCGColorSpaceModelPattern) return false;
    if (white) *white = space_ == kCGColorSpaceModelMonochrome ? r_ : 0.299 * r_ + 0.587 * g_ + 0.114 * b_;
    if (alpha) *alpha = a_;
    return true;
}

bool UIColor::getHueSaturationBrightnessAlpha(double* hue, double* saturation, double* brightness, double* alpha) const {
    if (space_ == kCGColorSpaceModelPattern) return false;
    double maxC = std::max({r_, g_, b_}), minC = std::min({r_, g_, b_}), delta = maxC - minC, h = 0;
    if (delta > 0) {
        if (maxC == r_) h = std::fmod((g_ - b_) / delta + 6, 6);
        else if (maxC == g_) h = (b_ - r_) / delta + 2;
        else h = (r_ - g_) / delta + 4;
    }
    if (hue) *hue = h / 6;
    if (saturation) *saturation = maxC > 0 ? delta / maxC : 0;
    if (brightness) *brightness = maxC;
    if (alpha) *alpha = a_;
    return true;
}

UIColorPtr UIColor::colorWithAlphaComponent(double alpha) const {
    auto c = std::make_shared<UIColor>(r_, g_, b_, alpha);
    c->space_ = space_;
    c->pattern_ = pattern_;
    return c;
}

std::string UIColor::description() const {
    if (space_ == kCGColorSpaceModelMonochrome) return NSString::stringWithFormat("UIDeviceWhiteColorSpace %g %g", r_, a_);
    if (space_ == kCGColorSpaceModelPattern) return "UIPatternColor";
    return NSString::stringWithFormat("UIDeviceRGBColorSpace %g %g %g %g", r_, g_, b_, a_);
}

bool UIColor::isEqual(const NSObject* other) const {
    auto c = dynamic_cast<const UIColor*>(other);
    return c && c->space_ == space_ && c->pattern_ == pattern_ && c->r_ == r_ && c->g_ == g_ && c->b_ == b_ && c->a_ == a_;
}
