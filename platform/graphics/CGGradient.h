#pragma once
// Linear gradients in device RGB: colours at locations from 0 to 1.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <vector>

class CGGradient;
using CGGradientRef = std::shared_ptr<CGGradient>;

enum CGGradientDrawingOptions : unsigned {
    kCGGradientDrawsBeforeStartLocation = 1 << 0,
    kCGGradientDrawsAfterEndLocation = 1 << 1,
};

class CGGradient : public NSObject {
public:
    struct Stop {
        CGFloat location;
        CGFloat red, green, blue, alpha;
    };
    explicit CGGradient(std::vector<Stop> stops) : stops_(std::move(stops)) {}

    // components holds red, green, blue and alpha of each of count colours; without locations the
    // colours are spread evenly from 0 to 1. nil for no colours or too few components.
    static CGGradientRef createWithColorComponents(const std::vector<CGFloat>& components,
                                                   const std::vector<CGFloat>& locations, std::size_t count);
    const std::vector<Stop>& stops() const { return stops_; }

private:
    std::vector<Stop> stops_;
};
