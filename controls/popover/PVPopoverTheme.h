#pragma once
// The look of a popover: colours, radii, shadows and arrow sizes, in an iOS 6 and an iOS 7
// flavour. Several getters derive a value when none is stored (fills from the tint, strokes and
// gloss from the fill). Every setter announces its key, so controllers using a theme restyle when
// one of observableKeypaths() changes.

#include "controls/popover/PVPopoverTypes.h"
#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/foundation/NSObject.h"

#include <memory>
#include <string>
#include <vector>

class PVPopoverTheme : public NSObject, public NSKeyValueObserving {
public:
    // The iOS 6 theme below system version "7.0", the iOS 7 one from it on.
    static std::shared_ptr<PVPopoverTheme> theme();
    static std::shared_ptr<PVPopoverTheme> themeForIOS6();
    static std::shared_ptr<PVPopoverTheme> themeForIOS7();

    // The 21 keys a controller watches ("minOuterCornerRadius" is not among them).
    static const std::vector<std::string>& observableKeypaths();

    UIColorPtr tintColor() const { return stored_.tintColor; }
    UIColorPtr fillTopColor() const;
    UIColorPtr fillBottomColor() const;
    UIColorPtr glossShadowColor() const;
    CGSize glossShadowOffset() const { return stored_.glossShadowOffset; }
    unsigned long glossShadowBlurRadius() const { return stored_.glossShadowBlurRadius; }
    unsigned long borderWidth() const { return stored_.borderWidth; }
    unsigned long arrowBase() const { return stored_.arrowBase; }
    unsigned long arrowHeight() const { return stored_.arrowHeight; }
    UIColorPtr outerShadowColor() const { return stored_.outerShadowColor; }
    UIColorPtr outerStrokeColor() const;
    unsigned long outerShadowBlurRadius() const { return stored_.outerShadowBlurRadius; }
    CGSize outerShadowOffset() const;
    unsigned long outerCornerRadius() const { return stored_.outerCornerRadius; }
    unsigned long minOuterCornerRadius() const { return stored_.minOuterCornerRadius; }
    UIColorPtr innerShadowColor() const { return stored_.innerShadowColor; }
    UIColorPtr innerStrokeColor() const;
    unsigned long innerShadowBlurRadius() const { return stored_.innerShadowBlurRadius; }
    CGSize innerShadowOffset() const { return stored_.innerShadowOffset; }
    unsigned long innerCornerRadius() const;
    UIEdgeInsets viewContentInsets() const { return stored_.viewContentInsets; }
    UIColorPtr overlayColor() const { return stored_.overlayColor; }

    void setTintColor(UIColorPtr v) { set(&PVPopoverThemeValues::tintColor, std::move(v), "tintColor"); }
    void setFillTopColor(UIColorPtr v) { set(&PVPopoverThemeValues::fillTopColor, std::move(v), "fillTopColor"); }
    void setFillBottomColor(UIColorPtr v) { set(&PVPopoverThemeValues::fillBottomColor, std::move(v), "fillBottomColor"); }
    void setGlossShadowColor(UIColorPtr v) { set(&PVPopoverThemeValues::glossShadowColor, std::move(v), "glossShadowColor"); }
    void setGlossShadowOffset(CGSize v) { set(&PVPopoverThemeValues::glossShadowOffset, v, "glossShadowOffset"); }
    void setGlossShadowBlurRadius(unsigned long v) { set(&PVPopoverThemeValues::glossShadowBlurRadius, v, "glossShadowBlurRadius"); }
    void setBorderWidth(unsigned long v) { set(&PVPopoverThemeValues::borderWidth, v, "borderWidth"); }
    void setArrowBase(unsigned long v) { set(&PVPopoverThemeValues::arrowBase, v, "arrowBase"); }
    void setArrowHeight(unsigned long v) { set(&PVPopoverThemeValues::arrowHeight, v, "arrowHeight"); }
    void setOuterShadowColor(UIColorPtr v) { set(&PVPopoverThemeValues::outerShadowColor, std::move(v), "outerShadowColor"); }
    void setOuterStrokeColor(UIColorPtr v) { set(&PVPopoverThemeValues::outerStrokeColor, std::move(v), "outerStrokeColor"); }
    void setOuterShadowBlurRadius(unsigned long v) { set(&PVPopoverThemeValues::outerShadowBlurRadius, v, "outerShadowBlurRadius"); }
    void setOuterShadowOffset(CGSize v) { set(&PVPopoverThemeValues::outerShadowOffset, v, "outerShadowOffset"); }
    void setOuterCornerRadius(unsigned long v) { set(&PVPopoverThemeValues::outerCornerRadius, v, "outerCornerRadius"); }
    void setMinOuterCornerRadius(unsigned long v) { set(&PVPopoverThemeValues::minOuterCornerRadius, v, "minOuterCornerRadius"); }
    void setInnerShadowColor(UIColorPtr v) { set(&PVPopoverThemeValues::innerShadowColor, std::move(v), "innerShadowColor"); }
    void setInnerStrokeColor(UIColorPtr v) { set(&PVPopoverThemeValues::innerStrokeColor, std::move(v), "innerStrokeColor"); }
    void setInnerShadowBlurRadius(unsigned long v) { set(&PVPopoverThemeValues::innerShadowBlurRadius, v, "innerShadowBlurRadius"); }
    void setInnerShadowOffset(CGSize v) { set(&PVPopoverThemeValues::innerShadowOffset, v, "innerShadowOffset"); }
    void setInnerCornerRadius(unsigned long v) { set(&PVPopoverThemeValues::innerCornerRadius, v, "innerCornerRadius"); }
    void setViewContentInsets(UIEdgeInsets v) { set(&PVPopoverThemeValues::viewContentInsets, v, "viewContentInsets"); }
    void setOverlayColor(UIColorPtr v) { set(&PVPopoverThemeValues::overlayColor, std::move(v), "overlayColor"); }

    // All 22 values as read through the getters, and all 22 written through the setters.
    PVPopoverThemeValues values() const;
    void setValues(const PVPopoverThemeValues& values);

private:
    template <class T>
    void set(T PVPopoverThemeValues::*field, T value, const char* key) {
        willChangeValueForKey(key);
        stored_.*field = std::move(value);
        didChangeValueForKey(key);
    }

    PVPopoverThemeValues stored_;
};
