#pragma once
// Colours: components from 0 to 1 (not clamped: the platform passes values outside on), in the
// colour space they were made in. White-and-alpha colours are monochrome (two components),
// red-green-blue-alpha ones RGB (four), and a pattern image's colour has one (its alpha).

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGImage.h"

#include <memory>

class UIColor;
class UIImage;
using UIColorPtr = std::shared_ptr<UIColor>;

class UIColor : public NSObject {
public:
    UIColor(double red, double green, double blue, double alpha) : r_(red), g_(green), b_(blue), a_(alpha) {}

    static UIColorPtr colorWithRed(double red, double green, double blue, double alpha);
    static UIColorPtr colorWithWhite(double white, double alpha);
    static UIColorPtr colorWithHue(double hue, double saturation, double brightness, double alpha);
    // Fills paint the image repeated; drawn as its average colour where a flat colour is needed
    // (strokes, text).
    static UIColorPtr colorWithPatternImage(std::shared_ptr<UIImage> image);

    static UIColorPtr blackColor();
    static UIColorPtr darkGrayColor();
    static UIColorPtr lightGrayColor();
    static UIColorPtr whiteColor();
    static UIColorPtr grayColor();
    static UIColorPtr redColor();
    static UIColorPtr greenColor();
    static UIColorPtr blueColor();
    static UIColorPtr cyanColor();
    static UIColorPtr yellowColor();
    static UIColorPtr magentaColor();
    static UIColorPtr orangeColor();
    static UIColorPtr purpleColor();
    static UIColorPtr brownColor();
    static UIColorPtr clearColor();

    CGColorSpaceModel colorSpaceModel() const { return space_; }
    // Components with the alpha: 2 for monochrome, 4 for RGB, 1 for a pattern.
    std::size_t numberOfComponents() const;
    const std::shared_ptr<UIImage>& patternImage() const { return pattern_; }

    double red() const { return r_; }
    double green() const { return g_; }
    double blue() const { return b_; }
    double alpha() const { return a_; }
    // Each answers false (writing nothing) for a pattern colour.
    bool getRedGreenBlueAlpha(double* red, double* green, double* blue, double* alpha) const;
    // An RGB colour's white is its luminance.
    bool getWhiteAlpha(double* white, double* alpha) const;
    bool getHueSaturationBrightnessAlpha(double* hue, double* saturation, double* brightness, double* alpha) const;
    UIColorPtr colorWithAlphaComponent(double alpha) const;
    // The colour for filling, stroking or both in the current context (a pattern: its average).
    void setFill() const;
    void setStroke() const;
    void set() const;

    // "UIDeviceRGBColorSpace 0.4 0.662745 0.980392 1", "UIDeviceWhiteColorSpace 0.5 1"
    std::string description() const override;
    bool isEqual(const NSObject* other) const override;

private:
    double r_, g_, b_, a_;
    CGColorSpaceModel space_ = kCGColorSpaceModelRGB;
    std::shared_ptr<UIImage> pattern_;
};
