#pragma once
// A layer filled with an axial gradient from its start point to its end point (fractions of the
// bounds; top to bottom by default) through its colours, at its locations or evenly spread.

#include "platform/uikit/CALayer.h"

class CAGradientLayer : public CALayer {
public:
    static std::shared_ptr<CAGradientLayer> layer() { return std::make_shared<CAGradientLayer>(); }

    const std::vector<UIColorPtr>& colors() const { return colors_; }
    void setColors(std::vector<UIColorPtr> colors) { colors_ = std::move(colors); }
    const std::vector<double>& locations() const { return locations_; }
    void setLocations(std::vector<double> locations) { locations_ = std::move(locations); }
    CGPoint startPoint() const { return startPoint_; }
    void setStartPoint(CGPoint point) { startPoint_ = point; }
    CGPoint endPoint() const { return endPoint_; }
    void setEndPoint(CGPoint point) { endPoint_ = point; }

    void drawInContext(CGContext& context) override;

private:
    std::vector<UIColorPtr> colors_;
    std::vector<double> locations_;
    CGPoint startPoint_{0.5, 0};
    CGPoint endPoint_{0.5, 1};
};
