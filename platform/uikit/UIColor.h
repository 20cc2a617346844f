#pragma once
// Colours: RGBA components from 0 to 1 (not clamped: the platform passes values outside on).

#include "platform/foundation/NSObject.h"

#include <memory>

class UIColor;
using UIColorPtr = std::shared_ptr<UIColor>;

class UIColor : public NSObject {
public:
    UIColor(double red, double green, double blue, double alpha) : r_(red), g_(green), b_(blue), a_(alpha) {}

    static UIColorPtr colorWithRed(double red, double green, double blue, double alpha);
    static UIColorPtr colorWithWhite(double white, double alpha);

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

    double red() const { return r_; }
    double green() const { return g_; }
    double blue() const { return b_; }
    double alpha() const { return a_; }
    bool getRedGreenBlueAlpha(double* red, double* green, double* blue, double* alpha) const;
    UIColorPtr colorWithAlphaComponent(double alpha) const;

    // "UIDeviceRGBColorSpace 0.4 0.662745 0.980392 1"
    std::string description() const override;
    bool isEqual(const NSObject* other) const override;

private:
    double r_, g_, b_, a_;
};
