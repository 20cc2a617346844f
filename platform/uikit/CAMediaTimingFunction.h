#pragma once
// Timing curves of animations, by the platform's names, and the fill modes an animation may keep
// its values with after it ends.

#include "platform/foundation/NSObject.h"

#include <array>
#include <memory>
#include <string>

inline constexpr const char* kCAMediaTimingFunctionLinear = "linear";
inline constexpr const char* kCAMediaTimingFunctionEaseIn = "easeIn";
inline constexpr const char* kCAMediaTimingFunctionEaseOut = "easeOut";
inline constexpr const char* kCAMediaTimingFunctionEaseInEaseOut = "easeInEaseOut";
inline constexpr const char* kCAMediaTimingFunctionDefault = "default";

inline constexpr const char* kCAFillModeRemoved = "removed";
inline constexpr const char* kCAFillModeForwards = "forwards";
inline constexpr const char* kCAFillModeBackwards = "backwards";
inline constexpr const char* kCAFillModeBoth = "both";

class CAMediaTimingFunction : public NSObject {
public:
    // A named curve; an unknown name gives the default curve under that name.
    static std::shared_ptr<CAMediaTimingFunction> functionWithName(const std::string& name);
    static std::shared_ptr<CAMediaTimingFunction> functionWithControlPoints(float c1x, float c1y, float c2x, float c2y);

    // The name it was made with; empty for one made from control points.
    const std::string& name() const { return name_; }
    // The cubic Bézier's two inner control points (x1, y1, x2, y2).
    const std::array<float, 4>& controlPoints() const { return points_; }

private:
    std::string name_;
    std::array<float, 4> points_{0, 0, 1, 1};
};
using CAMediaTimingFunctionPtr = std::shared_ptr<CAMediaTimingFunction>;
