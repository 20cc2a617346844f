#include "platform/uikit/CAMediaTimingFunction.h"

#include <map>

namespace {
const std::map<std::string, std::array<float, 4>>& namedCurves() {
    static const std::map<std::string, std::array<float, 4>> curves{
        {kCAMediaTimingFunctionLinear, {0, 0, 1, 1}},
        {kCAMediaTimingFunctionEaseIn, {0.42f, 0, 1, 1}},
        {kCAMediaTimingFunctionEaseOut, {0, 0, 0.58f, 1}},
        {kCAMediaTimingFunctionEaseInEaseOut, {0.42f, 0, 0.58f, 1}},
        {kCAMediaTimingFunctionDefault, {0.25f, 0.1f, 0.25f, 1}},
    };
    return curves;
}
} // namespace

std::shared_ptr<CAMediaTimingFunction> CAMediaTimingFunction::functionWithName(const std::string& name) {
    auto f = std::make_shared<CAMediaTimingFunction>();
    f->name_ = name;
    auto it = namedCurves().find(name);
    f->points_ = it != namedCurves().end() ? it->second : namedCurves().at(kCAMediaTimingFunctionDefault);
    return f;
}

std::shared_ptr<CAMediaTimingFunction> CAMediaTimingFunction::functionWithControlPoints(float c1x, float c1y, float c2x,
                                                                                      float c2y) {
    auto f = std::make_shared<CAMediaTimingFunction>();
    f->points_ = {c1x, c1y, c2x, c2y};
    return f;
}
