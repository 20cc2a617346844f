#include "controls/popover/PVPopoverTheme.h"

#include "controls/popover/PVSystemVersion.h"
#include "controls/popover/UIColor+PVPopover.h"

#include <algorithm>

namespace {
constexpr float kFillDarkening = 0.4f;
constexpr float kStrokeDarkening = 0.6f;
constexpr float kGlossLightening = 0.2f;

UIColorPtr rgb255(double r, double g, double b) { return UIColor::colorWithRed(r / 255, g / 255, b / 255, 1); }
} // namespace

std::shared_ptr<PVPopoverTheme> PVPopoverTheme::theme() {
    return PVSystemVersionIsBelow("7.0") ? themeForIOS6() : themeForIOS7();
}

std::shared_ptr<PVPopoverTheme> PVPopoverTheme::themeForIOS6() {
    auto t = std::make_shared<PVPopoverTheme>();
    PVPopoverThemeValues& v = t->stored_;
    v.tintColor = rgb255(55, 63, 71);
    v.fillTopColor = v.tintColor;
    v.fillBottomColor = UIColor_PVPopover::colorByDarken(*v.tintColor, kFillDarkening);
    v.glossShadowOffset = CGSizeMake(0, 1.5);
    v.borderWidth = 6;
    v.arrowBase = 42;
    v.arrowHeight = 18;
    v.outerShadowColor = UIColor::colorWithWhite(0, 0.75);
    v.outerShadowBlurRadius = 8;
    v.outerShadowOffset = CGSizeMake(0, 2);
    v.outerCornerRadius = 8;
    v.innerShadowColor = UIColor::colorWithWhite(0, 0.75);
    v.innerShadowBlurRadius = 2;
    v.innerShadowOffset = CGSizeMake(0, 1);
    v.innerCornerRadius = 6;
    v.viewContentInsets = UIEdgeInsetsMake(3, 0, 0, 0);
    v.overlayColor = UIColor::clearColor();
    return t;
}

std::shared_ptr<PVPopoverTheme> PVPopoverTheme::themeForIOS7() {
    auto t = std::make_shared<PVPopoverTheme>();
    PVPopoverThemeValues& v = t->stored_;
    v.tintColor = rgb255(244, 244, 244);
    v.arrowBase = 25;
    v.arrowHeight = 13;
    v.outerShadowColor = UIColor::clearColor();
    v.outerStrokeColor = UIColor::clearColor();
    v.outerCornerRadius = 5;
    v.innerShadowColor = UIColor::clearColor();
    v.innerStrokeColor = UIColor::clearColor();
    v.overlayColor = UIColor::colorWithWhite(0, 0.15);
    return t;
}

const std::vector<std::string>& PVPopoverTheme::observableKeypaths() {
    static const std::vector<std::string> keys{
        "tintColor", "outerStrokeColor", "innerStrokeColor", "fillTopColor", "fillBottomColor",
        "glossShadowColor", "glossShadowOffset", "glossShadowBlurRadius", "borderWidth", "arrowBase",
        "arrowHeight", "outerShadowColor", "outerShadowBlurRadius", "outerShadowOffset", "outerCornerRadius",
        "innerShadowColor", "innerShadowBlurRadius", "innerShadowOffset", "innerCornerRadius",
        "viewContentInsets", "overlayColor"};
    return keys;
}

UIColorPtr PVPopoverTheme::fillTopColor() const { return stored_.fillTopColor ? stored_.fillTopColor : tintColor(); }

UIColorPtr PVPopoverTheme::fillBottomColor() const {
    return stored_.fillBottomColor ? stored_.fillBottomColor : fillTopColor();
}

UIColorPtr PVPopoverTheme::glossShadowColor() const {
    if (stored_.glossShadowColor) return stored_.glossShadowColor;
    auto fill = fillTopColor();
    return fill ? UIColor_PVPopover::colorByLighten(*fill, kGlossLightening) : nullptr;
}

UIColorPtr PVPopoverTheme::outerStrokeColor() const {
    if (stored_.outerStrokeColor) return stored_.outerStrokeColor;
    auto fill = fillTopColor();
    return fill ? UIColor_PVPopover::colorByDarken(*fill, kStrokeDarkening) : nullptr;
}

UIColorPtr PVPopoverTheme::innerStrokeColor() const {
    if (stored_.innerStrokeColor) return stored_.innerStrokeColor;
    auto fill = fillTopColor();
    return fill ? UIColor_PVPopover::colorByDarken(*fill, kStrokeDarkening) : nullptr;
}

CGSize PVPopoverTheme::outerShadowOffset() const {
    auto blur = static_cast<CGFloat>(stored_.outerShadowBlurRadius);
    return CGSizeMake(std::min(stored_.outerShadowOffset.width, blur), std::min(stored_.outerShadowOffset.height, blur));
}

unsigned long PVPopoverTheme::innerCornerRadius() const {
    return stored_.borderWidth != 0 ? stored_.innerCornerRadius : outerCornerRadius();
}

PVPopoverThemeValues PVPopoverTheme::values() const {
    PVPopoverThemeValues v;
    v.tintColor = tintColor();
    v.outerStrokeColor = outerStrokeColor();
    v.innerStrokeColor = innerStrokeColor();
    v.fillTopColor = fillTopColor();
    v.fillBottomColor = fillBottomColor();
    v.glossShadowColor = glossShadowColor();
    v.glossShadowOffset = glossShadowOffset();
    v.glossShadowBlurRadius = glossShadowBlurRadius();
    v.borderWidth = borderWidth();
    v.arrowBase = arrowBase();
    v.arrowHeight = arrowHeight();
    v.outerShadowColor = outerShadowColor();
    v.outerShadowBlurRadius = outerShadowBlurRadius();
    v.outerShadowOffset = outerShadowOffset();
    v.outerCornerRadius = outerCornerRadius();
    v.minOuterCornerRadius = minOuterCornerRadius();
    v.innerShadowColor = innerShadowColor();
    v.innerShadowBlurRadius = innerShadowBlurRadius();
    v.innerShadowOffset = innerShadowOffset();
    v.innerCornerRadius = innerCornerRadius();
    v.viewContentInsets = viewContentInsets();
    v.overlayColor = overlayColor();
    return v;
}

void PVPopoverTheme::setValues(const PVPopoverThemeValues& v) {
    setTintColor(v.tintColor);
    setOuterStrokeColor(v.outerStrokeColor);
    setInnerStrokeColor(v.innerStrokeColor);
    setFillTopColor(v.fillTopColor);
    setFillBottomColor(v.fillBottomColor);
    setGlossShadowColor(v.glossShadowColor);
    setGlossShadowOffset(v.glossShadowOffset);
    setGlossShadowBlurRadius(v.glossShadowBlurRadius);
    setBorderWidth(v.borderWidth);
    setArrowBase(v.arrowBase);
    setArrowHeight(v.arrowHeight);
    setOuterShadowColor(v.outerShadowColor);
    setOuterShadowBlurRadius(v.outerShadowBlurRadius);
    setOuterShadowOffset(v.outerShadowOffset);
    setOuterCornerRadius(v.outerCornerRadius);
    setMinOuterCornerRadius(v.minOuterCornerRadius);
    setInnerShadowColor(v.innerShadowColor);
    setInnerShadowBlurRadius(v.innerShadowBlurRadius);
    setInnerShadowOffset(v.innerShadowOffset);
    setInnerCornerRadius(v.innerCornerRadius);
    setViewContentInsets(v.viewContentInsets);
    setOverlayColor(v.overlayColor);
}
