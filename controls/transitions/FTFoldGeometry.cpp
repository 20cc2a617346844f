#include "controls/transitions/FTFoldGeometry.h"

#include <cmath>

FTFoldKeyFrames FTFoldKeyFrames::make(double duration, bool reverse, CGFloat half, double shadowOpacity) {
    auto n = static_cast<unsigned>(std::ceil(static_cast<float>(duration * 60)));
    FTFoldKeyFrames out;
    for (unsigned i = 0; i <= n; ++i) {
        // With no time at all there is one entry, whose ends are both forced below.
        double theta = n == 0 ? 0 : (static_cast<float>(i) / static_cast<float>(n)) * 90 * M_PI / 180;
        double c = reverse ? std::sin(theta) : std::cos(theta);
        double k = reverse ? std::cos(theta) : std::sin(theta);
        if (i == (reverse ? 0 : n)) c = 0;
        if (i == (reverse ? n : 0)) k = 0;
        out.sizes.push_back(static_cast<float>(half * 2 * c));
        out.foldingShades.push_back(static_cast<float>(shadowOpacity * (1 - c)));
        out.cubeShades.push_back(static_cast<float>(shadowOpacity * (1 - k)));
    }
    return out;
}
