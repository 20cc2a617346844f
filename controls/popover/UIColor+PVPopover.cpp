#include "controls/popover/UIColor+PVPopover.h"

#include <algorithm>
#include <cstdio>

namespace UIColor_PVPopover {

bool getValueOfRedGreenBlueAlpha(const UIColor& color, double* red, double* green, double* blue, double* alpha) {
    double r = 0, g = 0, b = 0, a = 0;
    bool known = true;
    switch (color.colorSpaceModel()) {
    case kCGColorSpaceModelMonochrome:
        color.getWhiteAlpha(&r, &a);
        g = b = r;
        break;
    case kCGColorSpaceModelRGB:
        color.getRedGreenBlueAlpha(&r, &g, &b, &a);
        break;
    default:
        known = false;
        break;
    }
    if (red) *red = r;
    if (green) *green = g;
    if (blue) *blue = b;
    if (alpha) *alpha = a;
    return known;
}

std::string hexString(const UIColor& color) {
    double r, g, b, a;
    getValueOfRedGreenBlueAlpha(color, &r, &g, &b, &a);
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", static_cast<unsigned>(static_cast<int>(r * 255)) & 0xff,
                  static_cast<unsigned>(static_cast<int>(g * 255)) & 0xff,
                  static_cast<unsigned>(static_cast<int>(b * 255)) & 0xff,
                  static_cast<unsigned>(static_cast<int>(a * 255)) & 0xff);
    return text;
}

UIColorPtr colorByLighten(const UIColor& color, float d) {
    double r, g, b;
    getValueOfRedGreenBlueAlpha(color, &r, &g, &b, nullptr);
    return UIColor::colorWithRed(std::min(r + d, 1.0), std::min(g + d, 1.0), std::min(b + d, 1.0), 1);
}

UIColorPtr colorByDarken(const UIColor& color, float d) {
    double r, g, b;
    getValueOfRedGreenBlueAlpha(color, &r, &g, &b, nullptr);
    return UIColor::colorWithRed(std::max(r - d, 0.0), std::max(g - d, 0.0), std::max(b - d, 0.0), 1);
}

} // namespace UIColor_PVPopover
