#include "platform/graphics/CGGradient.h"

CGGradientRef CGGradient::createWithColorComponents(const std::vector<CGFloat>& components,
                                                    const std::vector<CGFloat>& locations, std::size_t count) {
    if (count == 0 || components.size() < count * 4 || (!locations.empty() && locations.size() < count)) return nullptr;
    std::vector<Stop> stops;
    for (std::size_t i = 0; i < count; ++i) {
        CGFloat at = !locations.empty() ? locations[i] : count == 1 ? 0 : static_cast<CGFloat>(i) / static_cast<CGFloat>(count - 1);
        stops.push_back({at, components[i * 4], components[i * 4 + 1], components[i * 4 + 2], components[i * 4 + 3]});
    }
    return std::make_shared<CGGradient>(std::move(stops));
}
